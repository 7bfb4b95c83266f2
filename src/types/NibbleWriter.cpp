// NibbleWriter: nibble, byte and count writing over a fixed buffer.
#include "types/NibbleWriter.h"
#include "types/PICTokens.h"

namespace arxmod {

void NibbleWriter::store(uint8_t byte) {
  if (position_ == end_)
    throw PICErrors(pic_error::kBufferFull);
  *position_++ = byte;
}

void NibbleWriter::putNibble(unsigned nibble) {
  nibble &= 0xF;
  if (!half_) {
    if (position_ == end_)
      throw PICErrors(pic_error::kBufferFull);
    pending_ = static_cast<uint8_t>(nibble);
    half_ = true;
    return;
  }
  store(static_cast<uint8_t>(pending_ << 4 | nibble));
  half_ = false;
}

void NibbleWriter::putByte(uint8_t byte) {
  if (!half_) {
    store(byte);
    return;
  }
  putNibble(byte >> 4);
  putNibble(byte & 0xF);
}

void NibbleWriter::put16(uint16_t value) {
  putByte(static_cast<uint8_t>(value >> 8));
  putByte(static_cast<uint8_t>(value));
}

void NibbleWriter::put32(uint32_t value) {
  put16(static_cast<uint16_t>(value >> 16));
  put16(static_cast<uint16_t>(value));
}

void NibbleWriter::put12(uint16_t value) {
  putNibble((value >> 8) & 0xF);
  putByte(static_cast<uint8_t>(value));
}

void NibbleWriter::putBytes(std::span<const uint8_t> bytes) {
  for (uint8_t byte : bytes)
    putByte(byte);
}

void NibbleWriter::putLength(uint32_t length) {
  if (!half_)
    throw PICErrors(pic_error::kLengthNotInLowHalf);
  if (length < 13) {
    putNibble(length);
  } else if (length < 256) {
    putNibble(13);
    putByte(static_cast<uint8_t>(length));
  } else {
    putNibble(14);
    put32(length);
  }
}

void NibbleWriter::putArraySize(uint32_t size) {
  if (size <= 13) {
    putNibble(size);
  } else if (size <= 255) {
    putNibble(14);
    putByte(static_cast<uint8_t>(size));
  } else {
    putNibble(15);
    put32(size);
  }
}

void NibbleWriter::flush() {
  if (half_)
    putNibble(0);
}

} // namespace arxmod

namespace arxmod {

void putKey(NibbleWriter &writer, int token) {
  using namespace pic_token;
  switch (token) {
  case kCharKey:
    return writer.putNibble(1);
  case kComplexKey:
    return writer.putNibble(2);
  case kFloatKey:
    return writer.putNibble(3);
  case kSignedKey:
    return writer.putNibble(4);
  case kFixedPointKey:
    return writer.putNibble(5);
  case kUnsignedKey:
    return writer.putNibble(6);
  case kStructureKey:
    return writer.putNibble(7);
  case kStructureArrayKey:
    return writer.putNibble(8);
  case kBooleanFalseKey:
    return writer.putByte(0xF1);
  case kBooleanTrueKey:
    return writer.putByte(0xF2);
  case kEndStruct:
    return writer.putByte(0xF3);
  case kProgramKey:
    return writer.putByte(0xF6);
  case kVoidKey:
    return writer.putByte(0xF8);
  case kEndStructureArray:
    return writer.putByte(0xF9);
  case kCharArrayKey:
    return writer.putByte(0xFA);
  case kBooleanArrayKey:
    return writer.putByte(0xFB);
  case kFloatArrayKey:
    return writer.putByte(0xFC);
  case kSignedArrayKey:
    return writer.putByte(0xFD);
  case kUnsignedArrayKey:
    return writer.putByte(0xFE);
  case kComplexArrayKey:
    return writer.put16(0xFF00);
  case kFixedPointArrayKey:
    return writer.put16(0xFF01);
  case kDeltaKey:
    return writer.put16(0xFF02);
  default:
    throw PICErrors(pic_error::kKeyWithoutCode);
  }
}

void putStructureKind(NibbleWriter &writer, StructureKey key, uint8_t unknownKindByte) {
  switch (key) {
  case StructureKey::LogRecord:
    return writer.putNibble(0);
  case StructureKey::Alarm:
    return writer.putNibble(1);
  case StructureKey::Event:
    return writer.putNibble(2);
  case StructureKey::ExtendedHandle:
    return writer.putNibble(3);
  case StructureKey::Range:
    return writer.putNibble(4);
  case StructureKey::List:
    return writer.putNibble(5);
  case StructureKey::Reserved1:
    return writer.putNibble(6);
  case StructureKey::Exception:
    return writer.putNibble(7);
  case StructureKey::Waveform:
    return writer.putNibble(8);
  case StructureKey::MethodSecurity:
    return writer.putNibble(9);
  case StructureKey::Date:
    return writer.putNibble(10);
  case StructureKey::Calendar:
    return writer.putNibble(11);
  case StructureKey::Profile:
    return writer.putNibble(12);
  case StructureKey::StringArray:
    return writer.put12(0xF05);
  case StructureKey::UnsignedArrayArray:
    return writer.put12(0xF06);
  case StructureKey::Unknown:
    return writer.put12(static_cast<uint16_t>(0xF00 | unknownKindByte));
  }
  throw PICErrors(pic_error::kKeyWithoutCode);
}

} // namespace arxmod
