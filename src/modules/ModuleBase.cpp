// SPXP_ModuleBase: the inputs, outputs, events and source interest that
// every virtual module uses.
#include "modules/ModuleBase.h"

#include "base/Clock.h"
#include "host/LibraryName.h"
#include "host/LogLevel.h"
#include "host/SLMessage.h"
#include "logs/LogBuffer.h"
#include "modules/SetupValues.h"
#include "tree/ClassTable.h"
#include "tree/TreeFormat.h"
#include "types/ArrayTypes.h"

#include <cmath>

namespace XLARX {

using arxmod::IRefPtr;
using arxmod::PICType;

namespace {

constexpr uint32_t kEventLogRegisterClass = 31;
constexpr uint32_t kEventRegisterClass = 33;
constexpr uint32_t kNotAvailableCode = 5;

// The first EventLog_Register of the tree that a module owns.
uint32_t findEventLog(const arxmod::TranslationTree &tree) {
  std::shared_lock lock(tree.objects()->lock());
  uint32_t found = 0;
  tree.objects()->forEach([&](const arxmod::ARXObj &object) {
    if (found == 0 && object.classNumber() == kEventLogRegisterClass &&
        dynamic_cast<const arxmod::RegisterObj *>(&object) &&
        dynamic_cast<const arxmod::ModuleObj *>(tree.objects()->find(object.parent())))
      found = object.handle();
  });
  return found;
}

template <typename T> std::vector<T> listOrEmpty(const std::optional<std::vector<T>> &list) {
  return list ? *list : std::vector<T>{};
}

} // namespace

std::string moduleHandleSuffix(uint32_t handle) {
  return " handle " + arxmod::handleText(handle) + ".";
}

ModuleDevice::ModuleDevice(uint32_t id, IRefPtr<Cache> valueCache,
                           IRefPtr<arxmod::TranslationTree> objectTree,
                           IRefPtr<arxmod::TranslationMap> translationMap, LogBuffer *logs)
    : deviceId(id), cache(std::move(valueCache)), tree(std::move(objectTree)),
      map(std::move(translationMap)), eventLogHandle(findEventLog(*tree)), logs_(logs) {}

LogBuffer &ModuleDevice::logBuffer() const { return logs_ ? *logs_ : LogBuffer::instance(); }

SPXP_ModuleBase::SPXP_ModuleBase(const arxmod::ModuleObj &module, IRefPtr<ModuleDevice> device)
    : device_(std::move(device)), handle_(module.handle()), classNumber_(module.classNumber()),
      name_(module.name()), inputs_(listOrEmpty(module.inputs())),
      outputs_(listOrEmpty(module.outputs())), setups_(listOrEmpty(module.setups())),
      scratchNumber_(scratchBlob_.make<arxmod::Float64Type>(0.0)),
      scratchCounter_(scratchBlob_.make<arxmod::UnsignedType>(0u)),
      scratchBoolean_(scratchBlob_.make<arxmod::BooleanType>(0u)),
      notAvailable_(scratchBlob_.make<arxmod::ExceptionType>(kNotAvailableCode, "")) {
  inputValues_.resize(inputs_.size(), nullptr);
  for (const uint32_t output : outputs_)
    if (const arxmod::ARXObj *object = device_->tree->find(output);
        object && object->classNumber() == kEventRegisterClass) {
      eventOutput_.handle = output;
      break;
    }
}

SPXP_ModuleBase::~SPXP_ModuleBase() {
  if (interested_)
    setInterest(false, 0);
}

bool SPXP_ModuleBase::controlWrite(uint32_t, const PICType &) { return false; }

void SPXP_ModuleBase::initialise(const arxmod::TreeReader &) {}

void SPXP_ModuleBase::validate(const arxmod::TreeReader &) {}

void SPXP_ModuleBase::refuse(std::string_view message) const {
  throw ModuleInvalid(std::string(message) + moduleHandleSuffix(handle_));
}

CalcPass SPXP_ModuleBase::initialPass() {
  arxmod::Clock &clock = arxmod::currentClock();
  return {arxmod::unixSeconds(clock.wallNow()), clock.tickNow(), nullptr};
}

uint32_t SPXP_ModuleBase::inputHandle(size_t n) const {
  if (n >= inputs_.size() || !inputs_[n].node.empty())
    return 0;
  return inputs_[n].handle;
}

const CacheValue *SPXP_ModuleBase::inputValue(Cache::Access &values, size_t n) const {
  const uint32_t handle = inputHandle(n);
  if (handle == 0)
    return nullptr;
  if (!inputValues_[n])
    inputValues_[n] = values.find(handle);
  return inputValues_[n];
}

bool SPXP_ModuleBase::booleanInput(size_t n) const {
  if (inputHandle(n) == 0)
    return true;
  Cache::Access values = device_->cache->access();
  const CacheValue *value = inputValue(values, n);
  if (!value || !value->received())
    return true;
  const auto *number = dynamic_cast<const arxmod::NumericType *>(value->value());
  return number && number->asBoolean();
}

bool SPXP_ModuleBase::pulseInput(size_t n, std::optional<uint32_t> &lastCount, bool missing) const {
  uint32_t count = 0;
  {
    Cache::Access values = device_->cache->access();
    const CacheValue *value = inputValue(values, n);
    const auto *number =
        value ? dynamic_cast<const arxmod::NumericType *>(value->value()) : nullptr;
    if (!number)
      return missing;
    count = number->asUnsigned();
  }
  const bool pulsed = lastCount && *lastCount != count;
  lastCount = count;
  return pulsed;
}

bool SPXP_ModuleBase::inputHasValue(size_t n) const {
  Cache::Access values = device_->cache->access();
  const CacheValue *value = inputValue(values, n);
  return value && value->received();
}

std::optional<SPXP_ModuleBase::SourceNumber> SPXP_ModuleBase::sourceNumber(Cache::Access &values,
                                                                           size_t n) const {
  const CacheValue *entry = inputValue(values, n);
  const auto *number = entry ? dynamic_cast<const arxmod::NumericType *>(entry->value()) : nullptr;
  if (!number || std::isnan(number->asDouble()))
    return std::nullopt;
  return SourceNumber{*entry, *number};
}

const arxmod::RegisterObj *
SPXP_ModuleBase::findOutputRegister(std::string_view label, const arxmod::TreeReader &tree) const {
  for (const std::vector<uint32_t> *list : {&outputs_, &setups_})
    for (const uint32_t handle : *list) {
      const auto *object = dynamic_cast<const arxmod::RegisterObj *>(tree.find(handle));
      if (object && object->name().find(label) != std::string::npos)
        return object;
    }
  return nullptr;
}

void SPXP_ModuleBase::raiseEvent(uint32_t priority, uint32_t causeHandle, const PICType &cause,
                                 std::string_view effect, const CalcPass &pass) {
  arxmod::MemoryBlob blob(kScratchBytes);
  auto *event = blob.make<arxmod::EventType>();
  event->setField(0, blob.make<arxmod::UnsignedType>(priority));
  event->setField(1, blob.make<arxmod::UnsignedType>(0u));
  event->setField(2, blob.make<arxmod::UnsignedType>(causeHandle));
  event->setField(3, cause.duplicate(blob));
  event->setField(4, blob.make<arxmod::UnsignedType>(handle_));
  event->setField(5, arxmod::makeString(blob, effect));
  storeOutput(eventOutput_, *event, pass);
  if (device_->eventLogHandle == 0)
    return;
  try {
    device_->logBuffer().Append(device_->deviceId, device_->eventLogHandle, *device_->tree,
                                pass.time, *event);
  } catch (const arxmod::KSXmsg &failure) {
    // The event stays in the module's Event output; the log's fault is
    // the operator's to see, and must not stop the module's pass.
    arxmod::SLMessage(arxmod::LogDestination::ConsoleAndSystemLog,
                      "Event of virtual module " + arxmod::handleText(handle_) + " of device " +
                          std::to_string(device_->deviceId) +
                          " not recorded in the event log. Reason: " + failure.text())
        .write(arxmod::kPriorityMessage, arxmod::libraryName(), 0, "Virtual modules", "");
  }
}

void SPXP_ModuleBase::raiseEvent(uint32_t priority, uint32_t causeHandle, std::string_view cause,
                                 std::string_view effect, const CalcPass &pass) {
  arxmod::MemoryBlob blob(kScratchBytes);
  raiseEvent(priority, causeHandle, *arxmod::makeString(blob, cause), effect, pass);
}

CacheValue &SPXP_ModuleBase::outputValue(Cache::Access &values, OutputRef &output) {
  if (!output.value)
    output.value = &values.obtain(output.handle, kCacheServeWhileFresh);
  return *output.value;
}

void SPXP_ModuleBase::storeLocked(Cache::Access &values, OutputRef &output, const PICType &value,
                                  double time, uint32_t tick) {
  if (output.handle != 0)
    outputValue(values, output).store(value, time, tick);
}

void SPXP_ModuleBase::storeOutput(OutputRef &output, const PICType &value,
                                  const CalcPass &pass) const {
  Cache::Access values = device_->cache->access();
  storeLocked(values, output, value, pass.time, pass.tick);
}

const arxmod::Float64Type &SPXP_ModuleBase::numberValue(double value) {
  scratchNumber_->set(value);
  return *scratchNumber_;
}

const arxmod::UnsignedType &SPXP_ModuleBase::counterValue(uint32_t count) {
  scratchCounter_->set(count);
  return *scratchCounter_;
}

const arxmod::BooleanType &SPXP_ModuleBase::booleanValue(bool value) {
  scratchBoolean_->set(value ? 1u : 0u);
  return *scratchBoolean_;
}

void SPXP_ModuleBase::storeNumber(OutputRef &output, double value, const CalcPass &pass) {
  storeOutput(output, numberValue(value), pass);
}

void SPXP_ModuleBase::storeCounter(OutputRef &output, uint32_t count, const CalcPass &pass) {
  storeOutput(output, counterValue(count), pass);
}

void SPXP_ModuleBase::storeBoolean(OutputRef &output, bool value, const CalcPass &pass) {
  storeOutput(output, booleanValue(value), pass);
}

void SPXP_ModuleBase::storeNotAvailable(OutputRef &output, const CalcPass &pass) const {
  storeOutput(output, *notAvailable_, pass);
}

void SPXP_ModuleBase::addSourcesToCache(size_t sourceCount) const {
  const arxmod::TranslationMap &map = *device_->map;
  for (size_t n = 0; n < sourceCount; ++n) {
    const uint32_t source = inputHandle(n);
    if (source != 0 && map.contains(source) &&
        device_->cache->addHandle(source, true, kCacheLowSpeed | kCacheRefreshable,
                                  map.settings().lowSpeedPeriodMs))
      device_->cache->appendToRefreshOrder(source);
  }
}

bool SPXP_ModuleBase::followEnable(size_t enableInput, size_t sourceCount) {
  const bool enabled = booleanInput(enableInput);
  setInterest(enabled, sourceCount);
  return enabled;
}

void SPXP_ModuleBase::announceReset(std::span<OutputRef> cleared, size_t resetInput,
                                    const CalcPass &pass) {
  {
    Cache::Access values = device_->cache->access();
    for (OutputRef &output : cleared)
      storeLocked(values, output, *notAvailable_, pass.time, pass.tick);
  }
  raiseEvent(eventPriority_, inputHandle(resetInput), "Reset", "Pulsed", pass);
}

void SPXP_ModuleBase::setInterest(bool interested, size_t sourceCount) {
  if (interested == interested_)
    return;
  interested_ = interested;
  Cache::Access values = device_->cache->access();
  if (!interested) {
    for (const uint32_t source : interests_)
      if (CacheValue *value = values.find(source); value && value->lowSpeedMarker > 0)
        --value->lowSpeedMarker;
    interests_.clear();
    return;
  }
  for (size_t n = 0; n < sourceCount; ++n)
    if (CacheValue *value = values.find(inputHandle(n))) {
      ++value->lowSpeedMarker;
      interests_.push_back(inputHandle(n));
    }
}

void SPXP_ModuleBase::readEventPriority(const arxmod::TreeReader &tree) {
  for (const uint32_t setup : setups_) {
    const arxmod::ARXObj *object = tree.find(setup);
    if (object && object->name().find("EvPriority") != std::string::npos) {
      eventPriority_ = setupUnsigned(setup, *device_->cache, tree).value_or(0);
      return;
    }
  }
}

} // namespace XLARX
