// EnumerationInfo and its two kinds: options, look-ups and values.
#include "map/EnumerationInfo.h"

#include "map/AttributeText.h"
#include "tree/ARXObj.h"
#include "types/ArrayTypes.h"
#include "types/StructureTypes.h"

namespace arxmod {
namespace {

constexpr uint32_t kBooleanRegister = 21;
constexpr uint32_t kNumericRegister = 23;
constexpr uint32_t kNumericVariableRegister = 25;
constexpr uint32_t kNoData = 5; // the exception code of a value the device does not have

} // namespace

bool EnumerationInfo::add(int32_t ordinal, std::string text) {
  if (!texts_.try_emplace(ordinal, std::move(text)).second)
    return false;
  ordinals_.push_back(ordinal);
  return true;
}

bool EnumerationInfo::textFor(int32_t ordinal, std::string &text, std::string_view fallback) const {
  if (auto it = texts_.find(ordinal); it != texts_.end()) {
    text = it->second;
    return true;
  }
  if (!fallback.empty()) {
    text = fallback;
    return true;
  }
  if (!defaultValue_.empty()) {
    text = defaultValue_;
    return true;
  }
  return false;
}

bool EnumerationInfo::ordinalFor(std::string_view text, int32_t &ordinal) const {
  for (int32_t candidate : ordinals_) {
    if (texts_.at(candidate) == text) {
      ordinal = candidate;
      return true;
    }
  }
  return false;
}

PICType *EnumerationInfo::valueOfText(const std::string &text, MemoryBlob &blob,
                                      const ARXObj *object) {
  const uint32_t classNumber = object ? object->classNumber() : 1;
  if (const std::optional<double> number = readLeadingReal(text)) {
    if (classNumber == kBooleanRegister)
      return blob.make<BooleanType>(*number != 0 ? 1u : 0u);
    if (classNumber >= kNumericRegister && classNumber <= kNumericVariableRegister)
      return blob.make<Float64Type>(*number);
  }
  return makeString(blob, text);
}

PICType *EnumerationInfo::valueFor(int32_t ordinal, MemoryBlob &blob, const ARXObj *object,
                                   std::string_view fallback) const {
  std::string text;
  if (!textFor(ordinal, text, fallback) || text.empty())
    return blob.make<UnsignedType>(static_cast<uint32_t>(ordinal));
  return valueOfText(text, blob, object);
}

PICType *ConfigValueInfo::valueFor(int32_t ordinal, MemoryBlob &blob, const ARXObj *object,
                                   std::string_view fallback) const {
  std::string text;
  if (!textFor(ordinal, text, fallback))
    return nullptr;
  if (text == "-NA-")
    return blob.make<ExceptionType>(kNoData, "");
  return valueOfText(text, blob, object);
}

PICType *ConfigLabelInfo::valueFor(int32_t ordinal, MemoryBlob &blob, const ARXObj *object,
                                   std::string_view fallback) const {
  std::string text;
  if (!textFor(ordinal, text, fallback))
    throw MapLookupError("Could not find a configurable label value for configLabel=" +
                         std::to_string(ordinal));
  if (object) {
    if (const size_t at = text.find("{LBL}"); at != std::string::npos)
      text.replace(at, 5, object->label().value_or(object->name()));
  }
  text.push_back('\0'); // the label goes out with its terminating zero
  return makeString(blob, text);
}

} // namespace arxmod
