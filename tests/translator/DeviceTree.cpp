// DeviceTree: the fixture tree of the translator and plug-in tests.
#include "DeviceTree.h"

#include "TreeBuilder.h"
#include "tree/RegisterObj.h"

#include <sstream>

namespace arxmod::test {

IRefPtr<ObjList> makeDeviceTree() {
  auto list = makeRef<ObjList>();
  list->setRevision("1005");

  auto &manager = addObject<ManagerObj>(*list, 0x10, 2000, 2, "Minimum Modules");
  manager.setManagedClass(511);
  manager.setAggregateSetupCounter(4);
  manager.setCapacity(16);
  manager.setCollectiveState(1);
  manager.setSetups(std::vector<uint32_t>{0x100});

  auto &module = addObject<ModuleObj>(*list, 0x100, 511, 0x10, "Minimum 1");
  module.setLabel("Min One");
  module.setSecurityLevels(SecurityLevels{{128, 3}, {1001, 2}});
  module.setState(1);
  module.setSetupCounter(9);
  module.setUpdateCounter(5);
  module.setUpdatePeriod("1 s");
  module.setInputs(std::vector<CompleteObjectHandle>{{0x101, ""}, {0x102, ""}});
  module.setOutputs(std::vector<uint32_t>{0x104, 0x105});
  module.setSetups(std::vector<uint32_t>{0x103});
  module.setInputNames(std::vector<std::string>{"Source", "Enable"});
  module.setInputClasses(InputClassesList{{0, 15, 1, 23}, {16, 16, 1, 21}});

  addObject<RegisterObj>(*list, 0x101, 25, 0x100, "Vln a").setValueText("230.5");
  auto &enable = addObject<BoolObj>(*list, 0x102, 21, 0x100, "Enable");
  enable.setValueText("true");
  enable.setNames(BoolTexts{"RUN", std::nullopt});
  addObject<BoolObj>(*list, 0x103, 21, 0x100, "Reset").setValueText("0u");
  auto &mode = addObject<EnumObj>(*list, 0x104, 22, 0x100, "Volts Mode");
  mode.setOptions(Enumerations{"4W-WYE", "DELTA"});
  mode.setValueText("\"DELTA\"");
  auto &bounded = addObject<BoundedObj>(*list, 0x105, 24, 0x100, "PT Prim");
  bounded.setBounds(Bounds{1.0, 999999.0});
  bounded.setValueText("120");
  auto &calendar = addObject<CalendarObj>(*list, 0x106, 46, 0x100, "Calendar");
  calendar.setActivityDepth(3);
  calendar.setCalendarValue("1u");
  calendar.setProfileValue("2u");
  calendar.setProfileNames("\"weekday\"");
  auto &array = addObject<ArrayRegisterObj>(*list, 0x107, 29, 0x100, "Array");
  array.setDepth(16);
  array.setRollover(7);
  auto &log = addObject<LogRegisterObj>(*list, 0x108, 30, 0x100, "Data Log");
  log.setDepth(100);
  log.setRollover(2);
  log.setPosition(42);
  auto &events = addObject<EventLogRegisterObj>(*list, 0x109, 31, 0x100, "Event Log");
  events.setPosition(3);
  events.setAlarmRollover(5);
  addObject<AddressRegisterObj>(*list, 0x10A, 49, 0x100, "Source Address")
      .setAllowedClasses(std::vector<uint32_t>{0, 3, 1, 23});
  addObject<RegisterObj>(*list, 0x10B, 23, 0x100, "Empty");
  addObject<ARXObj>(*list, 0x20, 1, 2, "Plain");
  addObject<ModuleObj>(*list, 0x30, 500, 0x10, "Bare");
  return list;
}

std::string oneLineText(const PICType &value) {
  std::ostringstream out;
  value.print(out, "\n");
  std::string text = foldToOneLine(out.str());
  text.erase(0, text.find_first_not_of(' '));
  return text;
}

} // namespace arxmod::test
