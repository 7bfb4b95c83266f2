// SampleTree: the fixture tree and a form-independent description.
#include "SampleTree.h"

#include "TreeBuilder.h"
#include "tree/RegisterObj.h"
#include "tree/TextTree.h"

#include <sstream>

namespace arxmod::test {

IRefPtr<ObjList> makeSampleTree() {
  auto list = makeRef<ObjList>();
  list->setRevision("rev \"7\"");

  auto &root = addObject<ModuleObj>(*list, 2, 527, 0, "Factory");
  root.setSecurityLevels(SecurityLevels{{21, 1}, {22, 3}});
  root.setDescriptors(std::vector<std::string>{"first", "with \"quote\" and \\ slash"});

  auto &manager = addObject<ManagerObj>(*list, 3, 2000, 2, "Minimum Modules");
  manager.setManagedClass(511);
  manager.setAggregateSetupCounter(4);
  manager.setCapacity(16);
  manager.setCollectiveState(1);
  manager.setSetups(std::vector<uint32_t>{0x100, 0x200});

  auto &module = addObject<ModuleObj>(*list, 0x100, 511, 3, "Minimum 1");
  module.setLabel("Min <1> {x}");
  module.setComment("a comment\nover two lines");
  module.setState(2);
  module.setSetupCounter(9);
  module.setUpdateCounter(5);
  module.setUpdatePeriod("1 s");
  module.setInputs(std::vector<CompleteObjectHandle>{{0x2001, ""}, {0x2002, "east node"}});
  module.setOutputs(std::vector<uint32_t>{0x101, 0x102, 0x103, 0x104, 0x105, 0x106});
  module.setSetups(std::vector<uint32_t>{0x107, 0x108, 0x109, 0x10A, 0x10B, 0x999});
  module.setInputNames(std::vector<std::string>{"Source", "Enable"});
  module.setInputClasses(InputClassesList{{0, 0, 1, 23, 24, 25}, {1, 1, 3, 21}, {12345, 2, 2, 99}});

  auto &numeric = addObject<RegisterObj>(*list, 0x101, 25, 0x100, "Minimum 1 Minimum 1");
  numeric.setValueText("7.5");
  numeric.setTime(1700000000);
  addObject<RegisterObj>(*list, 0x102, 47, 0x100, "Text")
      .setValueText("\"line one\"\n\"line two\"");
  auto &calendar = addObject<CalendarObj>(*list, 0x103, 46, 0x100, "Calendar");
  calendar.setActivityDepth(3);
  calendar.setCalendarValue("1u");
  calendar.setProfileValue("2u");
  calendar.setProfileNames("\"a\"");
  calendar.setProfileLabels("\"b\"");
  auto &array = addObject<ArrayRegisterObj>(*list, 0x104, 29, 0x100, "Array");
  array.setDepth(10);
  array.setRollover(2);
  auto &log = addObject<LogRegisterObj>(*list, 0x105, 30, 0x100, "Log");
  log.setDepth(100);
  log.setRollover(1);
  log.setPosition(42);
  auto &events = addObject<EventLogRegisterObj>(*list, 0x106, 31, 0x100, "Events");
  events.setDepth(50);
  events.setPosition(7);
  events.setAlarmRollover(3);
  addObject<BoundedObj>(*list, 0x107, 24, 0x100, "Bounded").setBounds(Bounds{-1.5, 1e300});
  auto &en = addObject<EnumObj>(*list, 0x108, 22, 0x100, "Mode");
  en.setOptions(Enumerations{"Average Mode", "RMS \"Mode\""});
  en.setValueText("\"RMS Mode\"");
  auto &flag = addObject<BoolObj>(*list, 0x109, 21, 0x100, "Enable");
  flag.setNames(BoolTexts{"On", std::nullopt});
  flag.setLabels(BoolTexts{"Enabled", "Disabled"});
  flag.setValueText("true");
  addObject<AddressRegisterObj>(*list, 0x10A, 49, 0x100, "Source")
      .setAllowedClasses(std::vector<uint32_t>{1, 5, 2, 23, 25, 77});
  addObject<RegisterObj>(*list, 0x10B, 47, 0x100, "SECPassword").setValueText("\"secret\"");
  addObject<ARXObj>(*list, 0x300, 1, 2, "Plain");
  auto &other = addObject<ModuleObj>(*list, 0x200, 512, 3, "Maximum 1");
  other.setOutputs(std::vector<uint32_t>{0x101, 0x100});
  return list;
}

std::string describe(const ObjList &objects) {
  // The text form writes every attribute; objects are described one block
  // each in handle order, with nesting undone, so the description does not
  // depend on which form they were read from.
  std::ostringstream out;
  out << "revision " << objects.revision() << '\n';
  for (const ARXObj *object : objects.writeOrder()) {
    ObjList single;
    single.insert(object->clone());
    std::string text = textTreeString(single);
    out << text.substr(text.find('\n') + 1);
  }
  return out.str();
}

} // namespace arxmod::test
