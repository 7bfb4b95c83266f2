// ENVL_Password: the optional password of an envelope header or of a
// ChangePasswordMessage, 0, 2 or 8 raw bytes.
//
// Its length is announced by two bits of the byte in front of it (header
// flags, password state): bit 1 for two bytes, bit 2 for eight. The helpers
// below keep those bits and the password in agreement, since a disagreement
// would make the next reader mis-frame every field that follows.
#pragma once

#include "base/ByteReader.h"
#include "base/ByteWriter.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <span>

namespace arxmod {

class ENVL_Password {
public:
  static constexpr uint8_t kTwoByteBit = 0x02;
  static constexpr uint8_t kEightByteBit = 0x04;
  static constexpr uint8_t kLengthBits = kTwoByteBit | kEightByteBit;
  static constexpr size_t kMaxLength = 8;

  ENVL_Password() = default;
  // Keeps the first 8 bytes of a longer source; any resulting length other
  // than 0, 2 or 8 raises ENVL_PasswordLenErr.
  explicit ENVL_Password(std::span<const uint8_t> source);

  size_t length() const noexcept { return length_; }
  std::span<const uint8_t> bytes() const noexcept { return {bytes_.data(), length_}; }

  // The length bits (kTwoByteBit, kEightByteBit or 0) that announce this password.
  uint8_t lengthBits() const noexcept;
  // The password length that `bits` announce; both length bits raise ENVL_PasswordLenErr.
  static size_t lengthFromBits(uint8_t bits);
  // Raises ENVL_PasswordLenErr unless the length bits of `bits` announce this password.
  void checkAgainst(uint8_t bits) const;

  // Writes exactly length() raw bytes.
  void encode(ByteWriter &writer) const;
  // Reads `length` bytes (0, 2 or 8, else ENVL_PasswordLenErr); UnderflowStream when short.
  void decode(ByteReader &reader, size_t length);

  // "password: " then every byte as two lower-case hex digits and a blank.
  void print(std::ostream &out) const;

  friend bool operator==(const ENVL_Password &a, const ENVL_Password &b) {
    return std::ranges::equal(a.bytes(), b.bytes());
  }

private:
  static void checkLength(size_t length);

  std::array<uint8_t, kMaxLength> bytes_{};
  size_t length_ = 0;
};

} // namespace arxmod
