// The recorder factory and the depth checks.
#include "logs/RecorderFactory.h"

#include "logs/DataLogRecorder.h"
#include "logs/EventLogRecorder.h"
#include "logs/WaveformLogRecorder.h"
#include "tree/RegisterObj.h"
#include "types/NumericTypes.h"

#include <cmath>

namespace XLARX {

using namespace arxmod;

namespace {

constexpr uint32_t kLogRegisterClass = 30;
constexpr uint32_t kEventLogRegisterClass = 31;
constexpr uint32_t kWaveformRecorderClass = 536;
constexpr uint32_t kDataRecorderClass = 537;

std::vector<uint32_t> dataLogSources(const ModuleObj &module) {
  std::vector<uint32_t> sources;
  if (!module.inputs())
    return sources;
  const auto &inputs = *module.inputs();
  for (size_t i = 0; i < inputs.size() && i < kMaxDataLogSources; ++i)
    if (inputs[i].handle != 0)
      sources.push_back(inputs[i].handle);
  return sources;
}

} // namespace

std::filesystem::path logFileName(const std::filesystem::path &directory, LogKey key) {
  return directory / (logKeyText(key) + ".arx");
}

uint32_t logDepth(const ModuleObj &module, const TreeReader &tree) {
  if (!module.setups() || module.setups()->empty())
    throw KSXmsg("Required log setup registers missing.");
  const ARXObj *depthRegister = nullptr;
  for (const uint32_t setup : *module.setups()) {
    const ARXObj *object = tree.find(setup);
    if (object && object->name().find("Depth") != std::string::npos) {
      depthRegister = object;
      break;
    }
  }
  if (!depthRegister)
    throw KSXmsg("Log depth register missing from tree.");
  const auto *bounded = dynamic_cast<const BoundedObj *>(depthRegister);
  if (!bounded)
    throw KSXmsg("Log depth register not BoundedObj type.");
  MemoryBlob blob(kProgramBlobSize);
  const auto *number = dynamic_cast<const NumericType *>(bounded->value(&blob));
  const double depth = number ? std::trunc(number->asDouble()) : 0;
  if (!(depth >= 1))
    throw KSXmsg("Log Depth register can not have zero value.");
  if ((bounded->bounds() && depth > (*bounded->bounds())[1]) || depth > kMaxLogDepth)
    throw KSXmsg("Depth register value too large");
  return static_cast<uint32_t>(depth);
}

const RegisterObj *logRegisterOf(const TreeReader &tree, uint32_t handle) {
  // The class number first: every read asks, and few objects are logs.
  const ARXObj *object = tree.find(handle);
  if (!object || (object->classNumber() != kLogRegisterClass &&
                  object->classNumber() != kEventLogRegisterClass))
    return nullptr;
  return dynamic_cast<const RegisterObj *>(object);
}

IRefPtr<BufRecorder> makeRecorder(LogKey key, const TreeReader &tree, uint32_t position,
                                  const std::filesystem::path &directory) {
  const RegisterObj *logRegister = logRegisterOf(tree, logKeyHandle(key));
  if (!logRegister)
    return nullptr;
  const uint32_t registerClass = logRegister->classNumber();
  const auto *module = dynamic_cast<const ModuleObj *>(tree.find(logRegister->parent()));
  if (!module)
    return nullptr;
  const uint32_t moduleClass = module->classNumber();
  if (registerClass == kLogRegisterClass && moduleClass != kDataRecorderClass &&
      moduleClass != kWaveformRecorderClass)
    return nullptr;

  BufRecorder::Identity identity{key, logDepth(*module, tree), position,
                                 logFileName(directory, key)};
  auto copy = [&] {
    return std::unique_ptr<RegisterObj>(static_cast<RegisterObj *>(logRegister->clone().release()));
  };
  IRefPtr<BufRecorder> recorder;
  if (registerClass == kEventLogRegisterClass)
    recorder = makeRef<EventLogRecorder>(std::move(identity), copy());
  else if (moduleClass == kDataRecorderClass)
    recorder =
        makeRef<DataLogRecorder>(std::move(identity), module->handle(), dataLogSources(*module));
  else
    recorder = makeRef<WaveformLogRecorder>(std::move(identity), copy());
  recorder->finishSetup();
  return recorder;
}

} // namespace XLARX
