// XLARX::ModbusTranslator: answers from this call's replies to the value,
// time stamp and label reads of mapped handles (writes: ModbusWrites.cpp).
#include "translator/ModbusTranslator.h"

#include "map/ModbusFormat.h"
#include "translator/ClassKinds.h"
#include "translator/InvocationErrors.h"
#include "translator/Truncation.h"
#include "types/ArrayTypes.h"
#include "types/NumericTypes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iomanip>
#include <limits>
#include <sstream>

namespace XLARX {

using arxmod::PICType;

namespace {

// A number as a default-formatted stream writes it (six significant digits,
// %g), without building a stream: a poll formats many text registers.
std::string streamedText(double value) {
  char text[32];
  const int length = std::snprintf(text, sizeof text, "%g", value);
  return std::string(text, static_cast<size_t>(std::clamp(length, 0, int{sizeof text} - 1)));
}

int32_t ordinalOf(double value) {
  return static_cast<int32_t>(std::clamp<int64_t>(truncatedInteger(value),
                                                  std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

void requireVoid(const PICType *argument) {
  if (!dynamic_cast<const arxmod::VoidType *>(argument))
    throw ExceptWrongArgument;
}

} // namespace

PICType *ModbusTranslator::invokeMapped(uint32_t handle, uint32_t method, PICType *argument) {
  if (method == 3 || method == 20 || method == 21 || method == 22)
    if (const arxmod::TranslationInfo *entry = map()->entryFor(handle)) {
      PICType *result = method == 21   ? readValue(*entry, handle, argument)
                        : method == 20 ? readTime(*entry, argument)
                        : method == 22 ? invokeWrite(*entry, handle, argument)
                                       : configurableLabel(*entry, handle, argument);
      if (result)
        return result;
    }
  return MappedTranslator::invokeMapped(handle, method, argument);
}

PICType *ModbusTranslator::readValue(const arxmod::TranslationInfo &entry, uint32_t handle,
                                     PICType *argument) {
  requireVoid(argument);
  const ModbusResponse *reply = usableReply(readItem(entry));
  if (!reply)
    return nullptr;
  arxmod::MemoryBlob &blob = argument->blob();
  if (reply->errorCode != 0)
    return exceptionValue(*reply, blob);
  const arxmod::ARXObj *object = findObject(handle);
  const bool stringKind = isOfKind(object, kStringRegisterClass);
  if (reply->kind == ResponseKind::Text && !stringKind)
    throw MappedARXException(ExceptWrongArgument,
                             "Mapping incompatible with the string register type");
  if (entry.configValueHandle != 0 && entry.configValues)
    if (PICType *value = entry.configValues->valueFor(
            ordinalOf(conversion().referenceValue(entry.configValueHandle)), blob, object, ""))
      return value;
  if (entry.enumeration)
    return entry.enumeration->valueFor(ordinalOf(conversion().readConvert(entry, reply->value)),
                                       blob, object, entry.defaultEnumValue);
  if (isOfKind(object, kBooleanRegisterClass)) {
    const auto low =
        static_cast<uint32_t>(truncatedInteger(conversion().readConvert(entry, reply->value)));
    const bool masked = entry.format == MBF_MaskedBool || entry.format == MBF_InvertedMaskedBool;
    bool on = low != 0;
    if (masked && entry.matchPattern != -1)
      on = low == (static_cast<uint32_t>(entry.matchPattern) & entry.mask);
    if (entry.format == MBF_InvertedMaskedBool)
      on = !on;
    return blob.make<arxmod::BooleanType>(on ? 1u : 0u);
  }
  if (isOfKind(object, kNumericRegisterClass))
    return blob.make<arxmod::Float64Type>(conversion().readConvert(entry, reply->value));
  if (stringKind)
    return arxmod::makeString(blob, registerText(entry, *reply));
  throw MappedARXException(ExceptWrongArgument, "Mapping incompatible with register type");
}

std::string ModbusTranslator::registerText(const arxmod::TranslationInfo &entry,
                                           const ModbusResponse &reply) {
  if (entry.format == MBF_ASCII || entry.format == MBF_ASCII_Reverse)
    return reply.text;
  if (entry.scalingPresent || entry.rangePresent)
    return streamedText(conversion().readConvert(entry, reply.value));
  const int64_t number = truncatedInteger(reply.value);
  switch (entry.format) {
  case MBF_U16_21:
    return std::to_string(static_cast<uint16_t>(number));
  case MBF_S16_21:
  case MBF_S16_1_15:
    return std::to_string(static_cast<int16_t>(number));
  case MBF_U32_4321:
  case MBF_U32_2143:
  case MBF_U32_M10k_4321:
  case MBF_U32_M10k_2143:
    return std::to_string(static_cast<uint32_t>(number));
  case MBF_S32_4321:
  case MBF_S32_2143:
  case MBF_S32_M10k_4321:
  case MBF_S32_M10k_2143:
    return std::to_string(static_cast<int32_t>(number));
  case MBF_BCD:
  case MBF_PackedBCD: {
    std::ostringstream out;
    out << std::fixed << std::setprecision(0) << reply.value;
    return out.str();
  }
  case MBF_MaskedBool:
  case MBF_InvertedMaskedBool:
    return std::to_string(ConvertMaskedBoolStringValue(entry, reply.value));
  default:
    return streamedText(reply.value);
  }
}

PICType *ModbusTranslator::readTime(const arxmod::TranslationInfo &entry, PICType *argument) {
  requireVoid(argument);
  if (!entry.readTimePresent)
    return nullptr;
  arxmod::MemoryBlob &blob = argument->blob();
  if (entry.readTime.handle == 0)
    return blob.make<arxmod::Float64Type>(entry.readTime.constant);
  const arxmod::TranslationInfo *stamp = map()->entryFor(entry.readTime.handle);
  const ModbusResponse *reply = stamp ? usableReply(readItem(*stamp)) : nullptr;
  if (!reply)
    return nullptr;
  if (reply->errorCode != 0)
    return exceptionValue(*reply, blob);
  return blob.make<arxmod::Float64Type>(conversion().readConvert(*stamp, reply->value));
}

PICType *ModbusTranslator::configurableLabel(const arxmod::TranslationInfo &entry, uint32_t handle,
                                             PICType *argument) {
  if (entry.configLabelHandle == 0 || !entry.configLabels)
    return nullptr;
  const int32_t ordinal = ordinalOf(conversion().referenceValue(entry.configLabelHandle));
  try {
    return entry.configLabels->valueFor(ordinal, argument->blob(), findObject(handle), "");
  } catch (const arxmod::MapLookupError &failure) {
    throw MappedARXException(ExceptWrongArgument, failure.text());
  }
}

} // namespace XLARX
