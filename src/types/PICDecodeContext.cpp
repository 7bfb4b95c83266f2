// PICDecodeContext: the six-state lexer and the value builders.
#include "types/PICDecodeContext.h"

#include "types/NibbleWriter.h"
#include "types/PICTokens.h"

#include <bit>
#include <cmath>

namespace arxmod {
namespace {

// Terminal values the grammar declares besides the key tokens.
constexpr int kEndOfInput = 0;
constexpr int kUnknownStructureKey = 1;
constexpr int kObjectHandle = 19;
constexpr int kMethodWithValue = 21;
constexpr int kMethodWithoutValue = 22;
constexpr int kUnqualifiedValue = 23;
constexpr int kArraySize = 24;

uint64_t bigEndian(const uint8_t *bytes, size_t count) {
  uint64_t value = 0;
  for (size_t i = 0; i < count; ++i)
    value = value << 8 | bytes[i];
  return value;
}

// An 80-bit extended float (sign, 15-bit exponent, 64-bit mantissa with an
// explicit integer bit), big-endian, as the nearest double.
double extendedToDouble(const uint8_t *bytes) {
  const bool negative = bytes[0] & 0x80;
  const int exponent = (bytes[0] & 0x7F) << 8 | bytes[1];
  const uint64_t mantissa = bigEndian(bytes + 2, 8);
  double magnitude;
  if (exponent == 0x7FFF)
    magnitude = (mantissa << 1) == 0 ? HUGE_VAL : std::nan("");
  else
    magnitude = std::ldexp(static_cast<double>(mantissa), exponent - 16383 - 63);
  return negative ? -magnitude : magnitude;
}

template <typename A>
PICType *fillArray(MemoryBlob &blob, std::span<const uint8_t> payload, uint32_t count) {
  using S = typename A::StoredType;
  auto *array = blob.make<A>(static_cast<size_t>(count));
  const size_t width = count ? payload.size() / count : 0;
  std::span<S> elements = array->elements();
  for (size_t i = 0; i < elements.size(); ++i) {
    const uint8_t *element = payload.data() + i * width;
    if constexpr (std::is_same_v<S, float>)
      elements[i] = std::bit_cast<float>(static_cast<uint32_t>(bigEndian(element, 4)));
    else if constexpr (std::is_same_v<S, double>)
      elements[i] =
          width == 10 ? extendedToDouble(element) : std::bit_cast<double>(bigEndian(element, 8));
    else
      elements[i] = static_cast<S>(bigEndian(element, sizeof(S)));
  }
  return array;
}

// The 08, 16 and 32 classes of one integer kind, chosen by element width.
template <typename A08, typename A16, typename A32>
PICType *integerArray(MemoryBlob &blob, std::span<const uint8_t> payload, uint32_t count,
                      size_t width) {
  switch (width) {
  case 1:
    return fillArray<A08>(blob, payload, count);
  case 2:
    return fillArray<A16>(blob, payload, count);
  case 4:
    return fillArray<A32>(blob, payload, count);
  default:
    throw PICErrors(pic_error::kBadArraySize);
  }
}

// A big-endian integer payload of at most 4 bytes.
uint32_t integerPayload(std::span<const uint8_t> payload) {
  if (payload.size() > 4)
    throw PICErrors(pic_error::kIntegerTooLong);
  return static_cast<uint32_t>(bigEndian(payload.data(), payload.size()));
}

} // namespace

PICDecodeContext::PICDecodeContext(std::span<const uint8_t> bytes, MemoryBlob &blob)
    : data_(bytes.data()), nibbleCount_(bytes.size() * 2), blob_(blob) {}

unsigned PICDecodeContext::nibble() {
  if (atEnd())
    throw PICErrors(pic_error::kBadPayload);
  const uint8_t byte = data_[position_ / 2];
  const unsigned value = position_ % 2 ? byte & 0xF : byte >> 4;
  ++position_;
  return value;
}

uint8_t PICDecodeContext::byte() {
  const unsigned high = nibble();
  return static_cast<uint8_t>(high << 4 | nibble());
}

uint16_t PICDecodeContext::read16() {
  const unsigned high = byte();
  return static_cast<uint16_t>(high << 8 | byte());
}

uint32_t PICDecodeContext::read32() {
  const uint32_t high = read16();
  return high << 16 | read16();
}

int PICDecodeContext::lex(PICSemantic &value) {
  value = PICSemantic{};
  switch (lexState_) {
  case 'a':
    return lexValueKey();
  case 'b':
    return lexPayload(value);
  case 'c':
    return lexMethod(value);
  case 'd':
    return lexHandle(value);
  case 'e':
    return lexArraySize(value);
  case 'f':
    return lexStructureKind(value);
  default:
    throw PICErrors(pic_error::kBadLexState);
  }
}

int PICDecodeContext::lexValueKey() {
  using namespace pic_token;
  if (atEnd())
    return kEndOfInput;
  static constexpr int kOneNibble[16] = {-1,
                                         kCharKey,
                                         kComplexKey,
                                         kFloatKey,
                                         kSignedKey,
                                         kFixedPointKey,
                                         kUnsignedKey,
                                         kStructureKey,
                                         kStructureArrayKey,
                                         -1,
                                         -1,
                                         -1,
                                         -1,
                                         -1,
                                         -1,
                                         -1};
  static constexpr int kEscaped[16] = {-1,
                                       kBooleanFalseKey,
                                       kBooleanTrueKey,
                                       kEndStruct,
                                       kSignedKey,
                                       kFixedPointKey,
                                       kProgramKey,
                                       -1,
                                       kVoidKey,
                                       kEndStructureArray,
                                       kCharArrayKey,
                                       kBooleanArrayKey,
                                       kFloatArrayKey,
                                       kSignedArrayKey,
                                       kUnsignedArrayKey,
                                       -1};
  const unsigned first = nibble();
  int token = kOneNibble[first];
  if (first == 15) {
    const unsigned second = nibble();
    token = kEscaped[second];
    if (second == 15) {
      switch (byte()) {
      case 0:
        token = kComplexArrayKey;
        break;
      case 1:
        token = kFixedPointArrayKey;
        break;
      case 2:
        token = kDeltaKey;
        break;
      default:
        token = -1;
        break;
      }
    }
  }
  if (token < 0)
    throw PICErrors(pic_error::kUnknownKey);
  return token;
}

int PICDecodeContext::lexPayload(PICSemantic &value) {
  const unsigned code = nibble();
  uint32_t length;
  if (code < 13)
    length = code;
  else if (code == 13)
    length = byte();
  else if (code == 14)
    length = read32();
  else
    throw PICErrors(pic_error::kBadPayload);
  if (position_ % 2 != 0 || length > (nibbleCount_ - position_) / 2)
    throw PICErrors(pic_error::kBadPayload);
  value.bits = static_cast<uint64_t>(position_ / 2) << 32 | length;
  position_ += static_cast<size_t>(length) * 2;
  return kUnqualifiedValue;
}

int PICDecodeContext::lexMethod(PICSemantic &value) {
  if (atEnd())
    return kEndOfInput;
  const uint8_t code = byte();
  if (code == 0)
    return pic_token::kEndStruct;
  uint32_t number = code;
  bool withValue = code > 126;
  if (code == 0xFF) {
    const uint16_t wide = read16();
    if (wide == 0)
      throw PICErrors(pic_error::kMethodZero16);
    if (wide == 0xFFFF)
      throw PICErrors(pic_error::kBadPayload);
    number = wide;
    withValue = wide > 32766;
    if (withValue)
      number -= 0x8000;
  } else if (withValue) {
    number -= 128;
  }
  // Codes 127 and 128 (and 0x7FFF, 0x8000) would name method -1 or 0.
  if (number == 0 || number > 32766)
    throw PICErrors(pic_error::kMethodZero16);
  value.bits = number;
  return withValue ? kMethodWithValue : kMethodWithoutValue;
}

int PICDecodeContext::lexHandle(PICSemantic &value) {
  if (atEnd())
    return kEndOfInput;
  uint32_t handle = read16();
  if (handle == 0xFFFF) {
    handle = read32();
    if (handle == 0xFFFFFFFF)
      throw PICErrors(pic_error::kHandleAllOnes);
  }
  value.bits = handle;
  return kObjectHandle;
}

int PICDecodeContext::lexArraySize(PICSemantic &value) {
  const unsigned code = nibble();
  uint32_t size = code;
  if (code == 14)
    size = byte();
  else if (code == 15)
    size = read32();
  if (size == 0xFFFFFFFF)
    throw PICErrors(pic_error::kBadArraySize);
  value.bits = size;
  return kArraySize;
}

int PICDecodeContext::lexStructureKind(PICSemantic &value) {
  if (atEnd())
    return kEndOfInput;
  static constexpr StructureKey kKinds[13] = {
      StructureKey::LogRecord,      StructureKey::Alarm,     StructureKey::Event,
      StructureKey::ExtendedHandle, StructureKey::Range,     StructureKey::List,
      StructureKey::Reserved1,      StructureKey::Exception, StructureKey::Waveform,
      StructureKey::MethodSecurity, StructureKey::Date,      StructureKey::Calendar,
      StructureKey::Profile};
  const unsigned code = nibble();
  if (code < 13)
    return static_cast<int>(kKinds[code]);
  if (code < 15)
    return kEndOfInput;
  const uint8_t kind = byte();
  if (kind == 5)
    return static_cast<int>(StructureKey::StringArray);
  if (kind == 6)
    return static_cast<int>(StructureKey::UnsignedArrayArray);
  value.bits = kind;
  return kUnknownStructureKey;
}

PICType *PICDecodeContext::makeChar(const PICSemantic &payload) {
  return blob_.make<CharType>(integerPayload(payloadOf(payload)));
}

PICType *PICDecodeContext::makeUnsigned(const PICSemantic &payload) {
  return blob_.make<UnsignedType>(integerPayload(payloadOf(payload)));
}

PICType *PICDecodeContext::makeSigned(const PICSemantic &payload) {
  const std::span<const uint8_t> bytes = payloadOf(payload);
  uint32_t bits = integerPayload(bytes);
  if (!bytes.empty() && bytes.size() < 4 && (bytes[0] & 0x80))
    bits |= ~0u << (8 * bytes.size());
  return blob_.make<SignedType>(static_cast<int32_t>(bits));
}

PICType *PICDecodeContext::makeFloat(const PICSemantic &payload) {
  const std::span<const uint8_t> bytes = payloadOf(payload);
  if (bytes.size() == 4)
    return blob_.make<Float32Type>(
        std::bit_cast<float>(static_cast<uint32_t>(bigEndian(bytes.data(), 4))));
  if (bytes.size() == 8)
    return blob_.make<Float64Type>(std::bit_cast<double>(bigEndian(bytes.data(), 8)));
  throw PICErrors(pic_error::kBadFloatLength);
}

PICType *PICDecodeContext::makeFixedPoint(const PICSemantic &payload) {
  const std::span<const uint8_t> bytes = payloadOf(payload);
  if (bytes.size() == 4) {
    const auto low = static_cast<int32_t>(bigEndian(bytes.data(), 4));
    return blob_.make<FixedPointType>(FixedPoint::fromRaw(low));
  }
  if (bytes.size() == 8)
    return blob_.make<FixedPointType>(
        FixedPoint::fromRaw(static_cast<int64_t>(bigEndian(bytes.data(), 8))));
  throw PICErrors(pic_error::kBadFixedPointLength);
}

PICType *PICDecodeContext::makeBoolean(bool value) {
  return blob_.make<BooleanType>(value ? 1u : 0u);
}

PICType *PICDecodeContext::makeVoid() { return blob_.make<VoidType>(); }

PICType *PICDecodeContext::makeDelta() { return blob_.make<DeltaType>(); }

PICType *PICDecodeContext::makeComplex() { throw PICErrors(pic_error::kComplex); }

PICType *PICDecodeContext::makeArray(int arrayKey, const PICSemantic &payload) {
  using namespace pic_token;
  if (arrayKey == kComplexArrayKey)
    throw PICErrors(pic_error::kComplex);
  if (arrayKey == kFixedPointArrayKey)
    throw PICErrors(pic_error::kUnknownKey);
  const std::span<const uint8_t> bytes = payloadOf(payload);
  const uint32_t count = arraySize_;
  // The width must divide the payload exactly; an empty array has no payload.
  size_t width = 1;
  if (count != 0) {
    if (bytes.size() % count != 0)
      throw PICErrors(pic_error::kBadArraySize);
    width = bytes.size() / count;
  } else if (!bytes.empty()) {
    throw PICErrors(pic_error::kBadArraySize);
  }
  switch (arrayKey) {
  case kCharArrayKey:
    return integerArray<Char08Array, Char16Array, Char32Array>(blob_, bytes, count, width);
  case kBooleanArrayKey:
    return integerArray<Boolean08Array, Boolean16Array, Boolean32Array>(blob_, bytes, count, width);
  case kSignedArrayKey:
    return integerArray<Sint08Array, Sint16Array, Sint32Array>(blob_, bytes, count, width);
  case kUnsignedArrayKey:
    return integerArray<Uint08Array, Uint16Array, Uint32Array>(blob_, bytes, count, width);
  default:
    break;
  }
  if (count == 0 || width == 4)
    return fillArray<Float32Array>(blob_, bytes, count);
  if (width == 8)
    return fillArray<Float64Array>(blob_, bytes, count);
  if (width == 10)
    return fillArray<Float80Array>(blob_, bytes, count);
  throw PICErrors(pic_error::kBadArraySize);
}

PICTypeContainer *PICDecodeContext::newList() { return blob_.make<PICTypeContainer>(); }

PICTypeContainer *PICDecodeContext::append(PICTypeContainer *list, PICType *value) {
  list->append(value);
  return list;
}

PICTypeContainer *PICDecodeContext::fields(std::initializer_list<PICType *> values) {
  PICTypeContainer *list = newList();
  for (PICType *value : values)
    list->append(value);
  return list;
}

PICType *PICDecodeContext::structure(StructureKey key, PICTypeContainer *fields,
                                     uint64_t kindByte) {
  return buildStructure(blob_, key, *fields, static_cast<uint8_t>(kindByte));
}

PICType *PICDecodeContext::structureArray(StructureKey key, PICTypeContainer *elements,
                                          uint64_t kindByte) {
  PICStrucArrayBase *array = makeStructureArray(blob_, key, static_cast<uint8_t>(kindByte));
  for (PICType *fieldList : *elements)
    array->appendItem(structure(key, static_cast<PICTypeContainer *>(fieldList), kindByte));
  return array;
}

void PICDecodeContext::startProgram() { program_ = blob_.make<Program>(); }

PICType *PICDecodeContext::invocation(uint32_t method, PICType *argument) {
  return blob_.make<MethodInvocation>(method, argument);
}

void PICDecodeContext::addStatement(uint32_t handle, PICType *invocation) {
  program_->append(blob_.make<Statement>(handle, static_cast<MethodInvocation *>(invocation)));
}

void PICDecodeContext::addStatements(PICTypeContainer *handles, PICType *invocation) {
  for (const PICType *handle : *handles)
    addStatement(static_cast<const UnsignedType *>(handle)->get(), invocation);
}

} // namespace arxmod
