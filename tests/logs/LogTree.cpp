// LogTree: the log fixture tree and records.
#include "LogTree.h"

#include "TreeBuilder.h"
#include "tree/RegisterObj.h"
#include "types/NumericTypes.h"

#include <string>

namespace arxmod::test {
namespace {

void addDepthRegister(ObjList &list, uint32_t handle, uint32_t module, const std::string &name,
                      uint32_t depth) {
  auto &bounded = addObject<BoundedObj>(list, handle, 24, module, name);
  bounded.setBounds(Bounds{1, kDepthBound});
  bounded.setValueText(std::to_string(depth));
}

} // namespace

IRefPtr<ObjList> makeLogTree(uint32_t depth, size_t sources) {
  auto list = makeRef<ObjList>();

  auto &recorder = addObject<ModuleObj>(*list, kDataModule, 537, 0x10, "Data Rec 1");
  std::vector<CompleteObjectHandle> inputs;
  for (size_t i = 0; i < sources; ++i) {
    const uint32_t source = kFirstSource + static_cast<uint32_t>(i);
    inputs.push_back({source, ""});
    addObject<RegisterObj>(*list, source, 25, 2, "Source " + std::to_string(i + 1));
  }
  inputs.push_back({0, ""}); // an input without a handle records nothing
  recorder.setInputs(inputs);
  recorder.setSetups(std::vector<uint32_t>{kDataDepth});
  recorder.setOutputs(std::vector<uint32_t>{kDataLog});
  addDepthRegister(*list, kDataDepth, kDataModule, "Data Rec 1 Depth", depth);
  addObject<LogRegisterObj>(*list, kDataLog, 30, kDataModule, "Data Rec 1 Data Log");

  auto &waves = addObject<ModuleObj>(*list, kWaveModule, 536, 0x11, "Wave Rec 1");
  waves.setSetups(std::vector<uint32_t>{kWaveDepth});
  addDepthRegister(*list, kWaveDepth, kWaveModule, "Wave Rec 1 Depth", depth);
  addObject<LogRegisterObj>(*list, kWaveLog, 30, kWaveModule, "Wave Rec 1 Log");

  auto &events = addObject<ModuleObj>(*list, kEventModule, 522, 0x12, "Event Log 1");
  events.setSetups(std::vector<uint32_t>{kEventDepth});
  addDepthRegister(*list, kEventDepth, kEventModule, "Event Log 1 Depth", depth);
  addObject<EventLogRegisterObj>(*list, kEventLog, 31, kEventModule, "Event Log 1 Log");

  addObject<ModuleObj>(*list, kOtherModule, 511, 0x13, "Minimum 1");
  addObject<LogRegisterObj>(*list, kOtherLog, 30, kOtherModule, "Minimum 1 Log");
  addObject<RegisterObj>(*list, kPlainRegister, 23, kOtherModule, "Plain");
  return list;
}

PICTypeContainer *makeRecord(MemoryBlob &blob, std::span<const double> values) {
  auto *record = blob.make<PICTypeContainer>();
  for (const double value : values)
    record->append(blob.make<Float64Type>(value));
  return record;
}

} // namespace arxmod::test
