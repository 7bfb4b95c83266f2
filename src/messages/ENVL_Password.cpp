// ENVL_Password: raw password bytes and the length bits that announce them.
#include "messages/ENVL_Password.h"

#include "messages/ENVL_Exception.h"
#include "messages/TextForm.h"
#include "messages/WireRead.h"

#include <algorithm>
#include <ostream>

namespace arxmod {

ENVL_Password::ENVL_Password(std::span<const uint8_t> source) {
  const size_t kept = std::min(source.size(), kMaxLength);
  checkLength(kept);
  std::copy_n(source.begin(), kept, bytes_.begin());
  length_ = kept;
}

void ENVL_Password::checkLength(size_t length) {
  if (length != 0 && length != 2 && length != kMaxLength)
    throwTraced(kUnitBase, ENVL_PasswordLenErr());
}

uint8_t ENVL_Password::lengthBits() const noexcept {
  if (length_ == 2)
    return kTwoByteBit;
  return length_ == kMaxLength ? kEightByteBit : 0;
}

size_t ENVL_Password::lengthFromBits(uint8_t bits) {
  switch (bits & kLengthBits) {
  case kTwoByteBit:
    return 2;
  case kEightByteBit:
    return kMaxLength;
  case 0:
    return 0;
  default:
    throwTraced(kUnitBase, ENVL_PasswordLenErr());
  }
}

void ENVL_Password::checkAgainst(uint8_t bits) const {
  if (lengthFromBits(bits) != length_)
    throwTraced(kUnitBase, ENVL_PasswordLenErr());
}

void ENVL_Password::encode(ByteWriter &writer) const { writer.writeBytes(bytes()); }

void ENVL_Password::decode(ByteReader &reader, size_t length) {
  checkLength(length);
  wire::require(reader.readBytes({bytes_.data(), length}), kUnitBase, SourceLine::current());
  length_ = length;
}

void ENVL_Password::print(std::ostream &out) const {
  out << "password: ";
  writeHexBytes(out, bytes());
}

} // namespace arxmod
