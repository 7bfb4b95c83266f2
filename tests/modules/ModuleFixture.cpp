// ModuleFixture: device trees with virtual modules, their maps and caches.
#include "ModuleFixture.h"

#include "TreeBuilder.h"
#include "map/MapFile.h"
#include "tree/ModuleLabels.h"
#include "types/NumericTypes.h"
#include "types/StructureTypes.h"

#include <gtest/gtest.h>

namespace XLARX::test {

using arxmod::test::addObject;

namespace {

std::vector<std::string> inputNames(uint32_t classNumber, const std::vector<uint32_t> &numbers) {
  std::vector<std::string> names;
  for (const uint32_t number : numbers)
    names.emplace_back(arxmod::registerLabel(classNumber, number));
  return names;
}

// 16 sources (the given ones first), then `more`.
std::vector<uint32_t> channelInputs(const std::vector<uint32_t> &sources,
                                    std::initializer_list<uint32_t> more) {
  std::vector<uint32_t> inputs = sources;
  inputs.resize(16, 0);
  inputs.insert(inputs.end(), more);
  return inputs;
}

std::vector<uint32_t> channelRegisters(std::initializer_list<uint32_t> more) {
  std::vector<uint32_t> numbers(16, 0);
  numbers.insert(numbers.end(), more);
  return numbers;
}

} // namespace

ModuleFixture::ModuleFixture(uint32_t deviceId, arxmod::ManualClock *clock)
    : deviceId_(deviceId),
      ownClock_(clock ? std::nullopt : std::optional<arxmod::ManualClock>(std::in_place)),
      clock_(clock ? *clock : *ownClock_), objects_(arxmod::makeRef<arxmod::ObjList>()) {
  if (!clock)
    useClock_.emplace(clock_);
  addObject<arxmod::ModuleObj>(*objects_, 2, 501, kManager, "Power Meter");
}

arxmod::RegisterObj &ModuleFixture::addRegister(uint32_t handle, uint32_t classNumber,
                                                const std::string &name,
                                                std::optional<std::string> valueText,
                                                uint32_t parent) {
  auto &added = addObject<arxmod::RegisterObj>(*objects_, handle, classNumber, parent, name);
  added.setValueText(std::move(valueText));
  return added;
}

arxmod::ModuleObj &ModuleFixture::addModule(uint32_t handle, uint32_t classNumber,
                                            const std::string &name,
                                            const std::vector<uint32_t> &inputs,
                                            const std::vector<uint32_t> &inputRegisters) {
  auto &module = addObject<arxmod::ModuleObj>(*objects_, handle, classNumber, kManager, name);
  std::vector<arxmod::CompleteObjectHandle> linked;
  for (const uint32_t input : inputs)
    linked.push_back({input, ""});
  module.setInputs(linked);
  module.setInputNames(inputNames(classNumber, inputRegisters));
  module.setOutputs(std::vector<uint32_t>{});
  module.setSetups(std::vector<uint32_t>{});
  modules_.push_back(handle);
  return module;
}

arxmod::ModuleObj &ModuleFixture::addExtremum(uint32_t handle, uint32_t classNumber,
                                              const std::vector<uint32_t> &sources, uint32_t enable,
                                              uint32_t reset) {
  const std::string label = classNumber == 511 ? "Minimum" : "Maximum";
  auto &module = addModule(handle, classNumber, label.substr(0, 3),
                           channelInputs(sources, {enable, reset}), channelRegisters({1, 2}));
  std::vector<uint32_t> outputs;
  for (uint32_t n = 1; n <= 16; ++n) {
    addRegister(handle + n, 25, module.name() + " " + label + " " + std::to_string(n), {}, handle);
    outputs.push_back(handle + n);
  }
  for (uint32_t n = 1; n <= 16; ++n) {
    addRegister(handle + 16 + n, 26, module.name() + " Trigger " + std::to_string(n), {}, handle);
    outputs.push_back(handle + 16 + n);
  }
  addRegister(handle + 0x40, 23, module.name() + " EvPriority", "100u", handle);
  module.setOutputs(outputs);
  module.setSetups(std::vector<uint32_t>{handle + 0x40});
  return module;
}

arxmod::ModuleObj &ModuleFixture::addAveraging(uint32_t handle,
                                               const std::vector<uint32_t> &sources,
                                               const std::string &mode, uint32_t enable,
                                               uint32_t reset, uint32_t operateNow) {
  auto &module = addModule(handle, 592, "Avg", channelInputs(sources, {enable, reset, operateNow}),
                           channelRegisters({1, 2, 3}));
  std::vector<uint32_t> outputs;
  for (uint32_t n = 1; n <= 16; ++n) {
    addRegister(handle + n, 25, "Avg Value " + std::to_string(n), {}, handle);
    outputs.push_back(handle + n);
  }
  auto &calcMode =
      addObject<arxmod::EnumObj>(*objects_, handle + 0x40, 22, handle, "Avg Calc Mode");
  calcMode.setOptions(arxmod::Enumerations{"Average Mode", mode});
  calcMode.setValueText("1u");
  module.setOutputs(outputs);
  module.setSetups(std::vector<uint32_t>{handle + 0x40});
  return module;
}

arxmod::ModuleObj &ModuleFixture::addPeriodicTimer(uint32_t handle, const std::string &period,
                                                   const std::string &syncMode, uint32_t enable,
                                                   uint32_t sync) {
  auto &module = addModule(handle, 518, "PT", {enable, sync}, {0, 1});
  addRegister(handle + 1, 26, "PT Trigger", {}, handle);
  addRegister(handle + 2, 33, "PT Event", {}, handle);
  addRegister(handle + 0x40, 23, "PT Period", period, handle);
  auto &mode = addObject<arxmod::EnumObj>(*objects_, handle + 0x41, 22, handle, "PT Sync Mode");
  mode.setOptions(arxmod::Enumerations{syncMode});
  mode.setValueText("0u");
  addRegister(handle + 0x42, 23, "PT EvPriority", "30u", handle);
  module.setOutputs(std::vector<uint32_t>{handle + 1, handle + 2});
  module.setSetups(std::vector<uint32_t>{handle + 0x40, handle + 0x41, handle + 0x42});
  return module;
}

arxmod::ModuleObj &ModuleFixture::addFeedback(uint32_t handle, uint32_t source, uint32_t enable) {
  auto &module = addModule(handle, 567, "FB", {source, enable}, {0, 1});
  addRegister(handle + 1, 26, "FB Pulse Out", {}, handle);
  module.setOutputs(std::vector<uint32_t>{handle + 1});
  return module;
}

arxmod::ModuleObj &ModuleFixture::addDataRecorder(uint32_t handle,
                                                  const std::vector<uint32_t> &sources,
                                                  const std::string &depth, uint32_t enable,
                                                  uint32_t record, uint32_t reset) {
  auto &module = addModule(handle, 537, "DR", channelInputs(sources, {enable, record, 0, reset}),
                           channelRegisters({1, 2, 3, 4}));
  addObject<arxmod::LogRegisterObj>(*objects_, handle + 1, 30, handle, "DR Data Log");
  addRegister(handle + 2, 21, "DR Log State", {}, handle);
  addRegister(handle + 3, 23, "DR Records Left", {}, handle);
  addRegister(handle + 4, 26, "DR Record Complete", {}, handle);
  addRegister(handle + 5, 33, "DR Event", {}, handle);
  auto &depthRegister =
      addObject<arxmod::BoundedObj>(*objects_, handle + 0x40, 24, handle, "DR Depth");
  depthRegister.setBounds(arxmod::Bounds{1, 1000});
  depthRegister.setValueText(depth);
  addRegister(handle + 0x41, 23, "DR Staleness Threshold", "0u", handle);
  auto &action =
      addObject<arxmod::EnumObj>(*objects_, handle + 0x42, 22, handle, "DR Staleness Action");
  action.setOptions(arxmod::Enumerations{"Log N/A", "Last-Known-Value"});
  action.setValueText("0u");
  module.setOutputs(
      std::vector<uint32_t>{handle + 1, handle + 2, handle + 3, handle + 4, handle + 5});
  module.setSetups(std::vector<uint32_t>{handle + 0x40, handle + 0x41, handle + 0x42});
  return module;
}

arxmod::ModuleObj &ModuleFixture::addExternal(uint32_t handle, uint32_t classNumber) {
  auto &module = addModule(handle, classNumber, "EXT", {}, {});
  module.setInputs(std::nullopt);
  module.setInputNames(std::nullopt);
  const char *label = classNumber == 544 ? "Trigger" : classNumber == 545 ? "Switch" : "Number";
  const uint32_t registerClass = classNumber == 544 ? 26 : classNumber == 545 ? 21 : 25;
  addRegister(handle + 1, registerClass, std::string("EXT ") + label, {}, handle);
  addRegister(handle + 2, 33, "EXT Event", {}, handle);
  addRegister(handle + 0x40, 23, "EXT EvPriority", "7u", handle);
  module.setOutputs(std::vector<uint32_t>{handle + 1, handle + 2});
  module.setSetups(std::vector<uint32_t>{handle + 0x40});
  return module;
}

void ModuleFixture::addEventLog(uint32_t handle) {
  auto &controller =
      addObject<arxmod::ModuleObj>(*objects_, handle - 1, 522, kManager, "Event Log Controller");
  controller.setSetups(std::vector<uint32_t>{handle + 1});
  addObject<arxmod::EventLogRegisterObj>(*objects_, handle, 31, handle - 1, "Event Log");
  auto &depth = addObject<arxmod::BoundedObj>(*objects_, handle + 1, 24, handle - 1, "EL Depth");
  depth.setBounds(arxmod::Bounds{1, 1000});
  depth.setValueText("50u");
}

const arxmod::IRefPtr<ModuleDevice> &ModuleFixture::device(LogBuffer *logs) {
  if (device_) {
    if (logs && logs != logs_)
      ADD_FAILURE() << "the device was made with another log buffer";
    return device_;
  }
  logs_ = logs;
  std::string body = "<Map><DeviceInfo HighSpeedUpdateRate='10' LowSpeedUpdateRate='30'/>";
  for (const uint32_t handle : mapped_)
    body += "<ModbusInfo ARXHandle='" + std::to_string(handle) +
            "' Name='m' ModbusAddress='400001' RequestType='R' Format='UINT16'/>";
  for (const uint32_t handle : calculated_.value_or(modules_))
    body += "<CalcInfo ARXHandle='" + std::to_string(handle) + "'/>";
  body += "</Map>";
  auto tree = arxmod::makeRef<arxmod::TranslationTree>(objects_);
  device_ =
      arxmod::makeRef<ModuleDevice>(deviceId_, arxmod::makeRef<Cache>(tree, "Feeder", deviceId_),
                                    tree, arxmod::readMapBytes(body, "modules.xml"), logs);
  return device_;
}

arxmod::IRefPtr<KernelInfo> ModuleFixture::kernel(arxmod::IRefPtr<SPXP_ModuleList> list) {
  const arxmod::IRefPtr<ModuleDevice> &made = device();
  return arxmod::makeRef<KernelInfo>(deviceId_, made->map, made->cache, made->tree,
                                     std::move(list));
}

arxmod::IRefPtr<SPXP_ModuleList> ModuleFixture::buildList(LogBuffer *logs) {
  const arxmod::IRefPtr<ModuleDevice> &made = device(logs);
  const std::vector<uint32_t> handles = made->map->calculatedHandles();
  return buildModuleList(made, handles);
}

void ModuleFixture::setValue(uint32_t handle, double value) {
  arxmod::MemoryBlob blob(64);
  Cache::Access values = device()->cache->access();
  values.obtain(handle, kCacheRefreshable)
      .store(*blob.make<arxmod::Float64Type>(value), arxmod::unixSeconds(clock_.wallNow()),
             clock_.tickNow());
}

void ModuleFixture::setText(uint32_t handle, const std::string &text) {
  arxmod::MemoryBlob blob(256);
  Cache::Access values = device()->cache->access();
  values.obtain(handle, kCacheRefreshable)
      .store(*arxmod::makeString(blob, text), arxmod::unixSeconds(clock_.wallNow()),
             clock_.tickNow());
}

std::optional<double> ModuleFixture::number(uint32_t handle) {
  Cache::Access values = device()->cache->access();
  const CacheValue *value = values.find(handle);
  const auto *number = value ? dynamic_cast<const arxmod::NumericType *>(value->value()) : nullptr;
  return number ? std::optional(number->asDouble()) : std::nullopt;
}

bool ModuleFixture::notAvailable(uint32_t handle) {
  Cache::Access values = device()->cache->access();
  const CacheValue *value = values.find(handle);
  const auto *exception =
      value ? dynamic_cast<const arxmod::ExceptionType *>(value->value()) : nullptr;
  return exception && exception->code() == 5;
}

std::string ModuleFixture::text(uint32_t handle) {
  Cache::Access values = device()->cache->access();
  const CacheValue *value = values.find(handle);
  return value && value->value() ? value->value()->toText() : "";
}

uint32_t ModuleFixture::updateTick(uint32_t handle) {
  Cache::Access values = device()->cache->access();
  const CacheValue *value = values.find(handle);
  return value ? value->updateTick() : 0;
}

void ModuleFixture::pass(SPXP_ModuleList &list) {
  std::lock_guard guard(list.lock());
  list.computeLocked({arxmod::unixSeconds(clock_.wallNow()), clock_.tickNow(), nullptr},
                     [](const SPXP_ModuleBase &module, const std::string &reason) {
                       ADD_FAILURE() << "module " << module.handle() << " failed: " << reason;
                     });
}

void ModuleFixture::step(SPXP_ModuleList &list) {
  clock_.advance(std::chrono::seconds(1));
  pass(list);
}

} // namespace XLARX::test
