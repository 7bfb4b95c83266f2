// XLARX::MappedTranslator: the answer to one invocation, from the cache,
// the level below, this level's own answers and the tree, with handles the
// map excludes for the device hidden.
#include "translator/MappedTranslator.h"

#include "logs/LogReads.h"
#include "modules/ModuleFactory.h"
#include "translator/InvocationErrors.h"
#include "types/ArrayTypes.h"
#include "types/NumericTypes.h"
#include "types/StructureTypes.h"

namespace XLARX {

using arxmod::PICType;

namespace {

constexpr std::string_view kDeviceNameToken = "!!DeviceName!!";
constexpr uint32_t kReadLabel = 3;
constexpr uint32_t kWriteValue = 22;
constexpr uint32_t kSetupCounter = 80;
constexpr uint32_t kManagerSetupCounter = 100;
constexpr uint32_t kEnumerationTexts = 520;
constexpr uint32_t kOutputHandles = 1003;
constexpr uint32_t kSetupHandles = 1004;

// A client's write to a register of one of the device's virtual modules:
// true when a module took the value, none when no module handles the
// register (the write is then answered as before).
PICType *writeVirtualModule(uint32_t deviceId, uint32_t handle, PICType *argument) {
  try {
    if (!writeVirtualModuleRegister(deviceId, handle, *argument))
      return nullptr;
  } catch (const ControlWriteRefused &refused) {
    throw MappedARXException(ExceptWrongArgument, refused.text());
  }
  return argument->blob().make<arxmod::BooleanType>(1u);
}

} // namespace

PICType *MappedTranslator::readCached(uint32_t handle, uint32_t method, PICType *argument,
                                      uint32_t requiredFlags) const {
  return current_.cache ? current_.cache->readCached(handle, method, argument, requiredFlags)
                        : nullptr;
}

bool MappedTranslator::isExcluded(uint32_t handle, arxmod::MemoryBlob &blob) const {
  const std::optional<uint32_t> config = current_.map->treeExclusionConfigHandle(handle);
  if (!config || *config == 0)
    return false;
  const PICType *value = readCached(*config, 21, blob.make<arxmod::VoidType>(), 0);
  if (const auto *number = dynamic_cast<const arxmod::NumericType *>(value))
    return number->asDouble() == 0;
  if (const auto *text = dynamic_cast<const arxmod::CharArrayBase *>(value))
    return text->text() == "0";
  return false;
}

PICType *MappedTranslator::invoke(uint32_t handle, uint32_t method, PICType *argument) {
  arxmod::MemoryBlob &blob = argument->blob();
  if (isExcluded(handle, blob))
    return exceptionResult(blob, ExceptInvalidObject);
  // A log register's records and position come from the PC-side log, ahead
  // of any value the cache holds for the handle.
  if (isLogRead(handle, method, *current_.tree))
    if (PICType *logged = answerLogRead(LogBuffer::instance(), deviceId_, handle, method, argument,
                                        *current_.tree, blob))
      return logged;
  if (method == kWriteValue)
    if (PICType *written = writeVirtualModule(deviceId_, handle, argument))
      return written;
  PICType *result = readCached(handle, method, argument, kCacheRefreshable);
  if (!result)
    result = invokeMapped(handle, method, argument);
  if (!result)
    result = ownAnswer(handle, method, argument);
  if (!result) {
    result = invokeTree(handle, method, argument);
    if (method == kReadLabel)
      result = withDeviceName(result);
  }
  if (method == kOutputHandles || method == kSetupHandles)
    result = withoutExcluded(result);
  return result;
}

PICType *MappedTranslator::invokeMapped(uint32_t handle, uint32_t method, PICType *argument) {
  if (method != kReadLabel)
    return nullptr;
  const arxmod::TranslationInfo *entry = current_.map->entryFor(handle);
  if (!entry || entry->dynamicLabel->activeFormat().text.empty())
    return nullptr;
  return dynamicLabel(*entry->dynamicLabel, argument);
}

// The label a dynamic label composes from the current values of its
// ordinal and device label registers; none (the tree's label) while the
// ordinal has no number.
PICType *MappedTranslator::dynamicLabel(const DynamicLabel &label, PICType *argument) {
  arxmod::MemoryBlob &blob = argument->blob();
  const auto *ordinal = dynamic_cast<const arxmod::NumericType *>(
      label.ordinalHandle ? invokeCapturing(label.ordinalHandle, 21, argument) : nullptr);
  if (label.ordinalHandle && !ordinal)
    return nullptr;
  std::string deviceLabel;
  if (label.deviceLabelHandle)
    if (const auto *text = dynamic_cast<const arxmod::CharArrayBase *>(
            invokeCapturing(label.deviceLabelHandle, 21, argument)))
      deviceLabel = text->text();
  try {
    const auto composed = label.produceLabel(ordinal ? ordinal->asSigned() : 0, deviceLabel);
    return composed ? arxmod::makeString(blob, *composed) : nullptr;
  } catch (const arxmod::MapLookupError &failure) {
    throw MappedARXException(ExceptWrongArgument, failure.text());
  }
}

PICType *MappedTranslator::ownAnswer(uint32_t handle, uint32_t method, PICType *argument) {
  arxmod::MemoryBlob &blob = argument->blob();
  if (method == kSetupCounter || method == kManagerSetupCounter)
    return blob.make<arxmod::UnsignedType>(baseNumber() +
                                           static_cast<uint32_t>(state_.configTime.load()));
  if (method != kEnumerationTexts)
    return nullptr;
  const arxmod::TranslationInfo *entry = current_.map->entryFor(handle);
  if (!entry || !entry->enumeration)
    return nullptr;
  auto *texts = blob.make<arxmod::StringArrayType>();
  std::string text;
  for (const int32_t ordinal : entry->enumeration->ordinals())
    if (entry->enumeration->textFor(ordinal, text, ""))
      texts->append(text);
  return texts;
}

PICType *MappedTranslator::withDeviceName(PICType *label) {
  const auto *text = dynamic_cast<const arxmod::CharArrayBase *>(label);
  if (!text)
    return label;
  std::string composed = text->text();
  size_t at = composed.find(kDeviceNameToken);
  if (at == std::string::npos)
    return label;
  const std::string name = configuredName().value_or("DeviceName");
  for (; at != std::string::npos; at = composed.find(kDeviceNameToken, at + name.size()))
    composed.replace(at, kDeviceNameToken.size(), name);
  return arxmod::makeString(label->blob(), composed);
}

PICType *MappedTranslator::withoutExcluded(PICType *handles) {
  const auto *list = dynamic_cast<const arxmod::Uint32Array *>(handles);
  if (!list)
    return handles;
  std::vector<uint32_t> kept;
  kept.reserve(list->count());
  for (const uint32_t handle : list->elements())
    if (!isExcluded(handle, handles->blob()))
      kept.push_back(handle);
  if (kept.size() == list->count())
    return handles;
  return handles->blob().make<arxmod::Uint32Array>(std::span<const uint32_t>(kept));
}

} // namespace XLARX
