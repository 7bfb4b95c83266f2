// SPXP_DreModule: checks, first values, records and resets.
#include "modules/DreModule.h"

#include "logs/LogBuffer.h"
#include "logs/RecorderFactory.h"
#include "modules/InputValidation.h"
#include "modules/SetupValues.h"
#include "types/PICTypeContainer.h"

#include <cmath>

namespace XLARX {

namespace {

constexpr uint32_t kLogRegisterClass = 30;
constexpr size_t kLogStateOutput = 1;
constexpr size_t kRecordsLeftOutput = 2;
constexpr size_t kRequiredOutputs = 4; // up to Record Complete
constexpr size_t kRecordBlobBytes = 1024;

// 16 sources, Enable, Record, Rearm, Reset; the first source must have a handle.
constexpr uint32_t kInputRegisters[] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4};
constexpr size_t kRequiredInputs[] = {0};
constexpr InputLayout kInputs{kInputRegisters, kRequiredInputs};

} // namespace

void SPXP_DreModule::validate(const arxmod::TreeReader &tree) {
  const auto *module = dynamic_cast<const arxmod::ModuleObj *>(tree.find(handle()));
  if (!checkModuleInputs(module, kInputs, tree))
    refuse("Invalid module configuration for Datarecorder Module");
  if (!findOutputRegister(" Depth", tree))
    refuse("Required setup register (Depth) missing for DataRecorder Module");
  try {
    depth_ = logDepth(*module, tree);
  } catch (const arxmod::KSXmsg &) {
    refuse("Setup register (Depth) outside valid range for DataRecorder Module");
  }
  if (outputs().size() < kRequiredOutputs)
    refuse("One or more required output registers missing for DataRecorder Module");
  const arxmod::RegisterObj *dataLog = findOutputRegister(" Data Log", tree);
  if (!dataLog || dataLog->classNumber() != kLogRegisterClass)
    refuse("Required output register (Data Log) missing for DataRecorder Module");
  const arxmod::RegisterObj *recordComplete = findOutputRegister(" Record Complete", tree);
  if (!recordComplete)
    refuse("Required output register (Record Complete) missing for DataRecorder Module");
  dataLog_ = dataLog->handle();
  logState_.handle = outputs()[kLogStateOutput];
  recordsLeft_.handle = outputs()[kRecordsLeftOutput];
  recordComplete_.handle = recordComplete->handle();
}

void SPXP_DreModule::initialise(const arxmod::TreeReader &tree) {
  readEventPriority(tree);
  Cache &cache = *device().cache;
  if (const arxmod::RegisterObj *threshold = findOutputRegister("Staleness Threshold", tree))
    stalenessMs_ = std::max(0.0, setupNumber(threshold->handle(), cache, tree).value_or(0)) * 1000;
  if (const arxmod::RegisterObj *action = findOutputRegister("Staleness Action", tree))
    lastKnownValue_ =
        setupText(action->handle(), cache, tree).value_or("").find("Last-Known-Value") !=
        std::string::npos;
  addSourcesToCache(kSources);
  const CalcPass pass = initialPass();
  storeBoolean(logState_, false, pass);
  storeCounter(recordsLeft_, 0, pass);
  storeCounter(recordComplete_, 0, pass);
}

arxmod::PICTypeContainer *SPXP_DreModule::buildRecord(const CalcPass &pass,
                                                      arxmod::MemoryBlob &blob) const {
  auto *record = blob.make<arxmod::PICTypeContainer>();
  Cache::Access values = device().cache->access();
  for (size_t n = 0; n < kSources && n < inputs().size(); ++n) {
    if (inputs()[n].handle == 0)
      continue;
    const std::optional<SourceNumber> source = sourceNumber(values, n);
    const bool fresh =
        source && (lastKnownValue_ || stalenessMs_ == 0 ||
                   static_cast<double>(pass.tick - source->entry.updateTick()) < stalenessMs_);
    record->append(fresh ? source->number.duplicate(blob) : notAvailable().duplicate(blob));
  }
  return record;
}

void SPXP_DreModule::takeRecord(const CalcPass &pass) {
  arxmod::MemoryBlob blob(kRecordBlobBytes);
  const arxmod::PICTypeContainer *record = buildRecord(pass, blob);
  device().logBuffer().Append(device().deviceId, dataLog_, *device().tree, pass.time, *record);
  ++taken_;
  storeRecordsLeft(pass);
  storeCounter(recordComplete_, ++completed_, {std::round(pass.time), pass.tick, nullptr});
}

void SPXP_DreModule::storeRecordsLeft(const CalcPass &pass) {
  storeCounter(recordsLeft_, depth_ - static_cast<uint32_t>(std::min<uint64_t>(taken_, depth_)),
               pass);
}

void SPXP_DreModule::setLogState(bool on, const CalcPass &pass) {
  if (on == logging_)
    return;
  logging_ = on;
  storeBoolean(logState_, on, pass);
}

void SPXP_DreModule::compute(const CalcPass &pass) {
  if (pulseInput(kResetInput, resetCount_, false)) {
    device().logBuffer().Clear(device().deviceId, dataLog_, *device().tree);
    taken_ = 0;
    storeRecordsLeft(pass);
    announceReset({}, kResetInput, pass);
  }
  const bool enabled = followEnable(kEnableInput, kSources);
  setLogState(enabled, pass);
  const bool record = pulseInput(kRecordInput, recordCount_, false);
  if (enabled && record)
    takeRecord(pass);
}

} // namespace XLARX
