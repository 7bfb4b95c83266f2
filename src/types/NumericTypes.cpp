// Scalars: equality, the to-text precision rule, stream encodings and text.
#include "types/NumericTypes.h"

#include "types/NibbleWriter.h"
#include "types/PICTokens.h"

#include <bit>
#include <cmath>
#include <iomanip>
#include <sstream>

namespace arxmod {
namespace {

// Key, payload length and the low `count` bytes of `bits`, high byte first.
void putKeyedPayload(NibbleWriter &writer, int key, uint64_t bits, unsigned count) {
  putKey(writer, key);
  writer.putLength(count);
  for (unsigned i = count; i-- > 0;)
    writer.putByte(static_cast<uint8_t>(bits >> (8 * i)));
}

unsigned unsignedWidth(uint32_t value) {
  unsigned count = 0;
  while (count < 4 && (value >> (8 * count)) != 0)
    ++count;
  return count;
}

unsigned signedWidth(int32_t value) {
  if (value >= -128 && value <= 127)
    return 1;
  if (value >= -32768 && value <= 32767)
    return 2;
  if (value >= -8388608 && value <= 8388607)
    return 3;
  return 4;
}

// Drops trailing zeros, then a trailing point, from a fixed-point number text.
void trimFraction(std::string &text) {
  if (text.find('.') == std::string::npos || text.find_first_of("eE") != std::string::npos)
    return;
  while (!text.empty() && text.back() == '0')
    text.pop_back();
  while (!text.empty() && text.back() == '.')
    text.pop_back();
}

} // namespace

int NumericType::equals(const PICType &other) const {
  const auto *numeric = dynamic_cast<const NumericType *>(&other);
  return numeric && numeric->asLongDouble() == asLongDouble();
}

std::string NumericType::toText(std::ios_base::fmtflags flags, int precision, bool) const {
  std::ostringstream out;
  if ((flags & std::ios_base::floatfield) == 0)
    flags |= std::ios_base::fixed;
  if (precision >= 0) {
    out.precision(precision);
    writeValue(out, flags);
    return out.str();
  }
  const long double x = asLongDouble();
  int digits = 0;
  if (x != 0 && std::isfinite(x))
    digits = kindCode() - (static_cast<int>(std::floor(std::log10(std::fabs(x)))) + 1);
  out.precision(digits < 1 ? 0 : digits);
  writeValue(out, flags);
  std::string text = out.str();
  if (digits >= 1)
    trimFraction(text);
  return text;
}

void SignedType::encode(NibbleWriter &writer) const {
  putKeyedPayload(writer, pic_token::kSignedKey, static_cast<uint32_t>(value_),
                  signedWidth(value_));
}
void SignedType::printValue(std::ostream &out, int32_t value) { out << value; }

void UnsignedType::encode(NibbleWriter &writer) const {
  putKeyedPayload(writer, pic_token::kUnsignedKey, value_, unsignedWidth(value_));
}
void UnsignedType::printValue(std::ostream &out, uint32_t value) { out << value << 'u'; }

void CharType::encode(NibbleWriter &writer) const {
  putKeyedPayload(writer, pic_token::kCharKey, value_, unsignedWidth(value_));
}
void CharType::printValue(std::ostream &out, uint32_t value) { out << value; }

void BooleanType::encode(NibbleWriter &writer) const {
  putKey(writer, value_ ? pic_token::kBooleanTrueKey : pic_token::kBooleanFalseKey);
}
void BooleanType::printValue(std::ostream &out, uint32_t value) {
  out << (value ? "true" : "false");
}

void Float32Type::encode(NibbleWriter &writer) const {
  putKeyedPayload(writer, pic_token::kFloatKey, std::bit_cast<uint32_t>(value_), 4);
}
void Float32Type::printValue(std::ostream &out, double value) {
  const std::ios_base::fmtflags saved = out.flags();
  const std::streamsize savedPrecision = out.precision(16);
  out.unsetf(std::ios_base::floatfield);
  out << value;
  out.precision(savedPrecision);
  out.flags(saved);
}

void Float64Type::encode(NibbleWriter &writer) const {
  putKeyedPayload(writer, pic_token::kFloatKey, std::bit_cast<uint64_t>(value_), 8);
}

void Float80Type::encode(NibbleWriter &writer) const {
  putKeyedPayload(writer, pic_token::kFloatKey, std::bit_cast<uint64_t>(value_), 8);
}

void FixedPointType::encode(NibbleWriter &writer) const {
  const bool shortForm = value_.high == (static_cast<int32_t>(value_.low) < 0 ? -1 : 0);
  putKeyedPayload(writer, pic_token::kFixedPointKey, static_cast<uint64_t>(value_.raw()),
                  shortForm ? 4 : 8);
}

void VoidType::encode(NibbleWriter &writer) const { putKey(writer, pic_token::kVoidKey); }
int VoidType::equals(const PICType &other) const {
  return dynamic_cast<const VoidType *>(&other) != nullptr;
}
void VoidType::printBody(std::ostream &out, std::string_view indent) const {
  out << indent << "void" << indent;
}

void DeltaType::encode(NibbleWriter &writer) const { putKey(writer, pic_token::kDeltaKey); }
int DeltaType::equals(const PICType &other) const {
  return dynamic_cast<const DeltaType *>(&other) != nullptr;
}
void DeltaType::printBody(std::ostream &out, std::string_view) const { out << "delta"; }

} // namespace arxmod
