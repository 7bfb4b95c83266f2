// ENVL_Address: the 31-bit address of a node of the host's network.
//
// Always written in the four-byte compact form (bit 31 set) so that peers
// which only accept that form can read it; read in either form. The text form
// splits the value into its three parts: " <bits 0-15>.<bits 16-29>.<bit 30>".
#pragma once

#include "base/ByteReader.h"
#include "base/ByteWriter.h"

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>

namespace arxmod {

class ENVL_Address {
public:
  static constexpr uint32_t kMask = 0x7FFFFFFF;
  // Size of the written form; the two-byte form is only ever read.
  static constexpr size_t kEncodedLength = 4;

  constexpr ENVL_Address() = default;
  // Bit 31 cannot travel on the wire and is dropped.
  constexpr explicit ENVL_Address(uint32_t value) : value_(value & kMask) {}

  constexpr uint32_t value() const noexcept { return value_; }

  void encode(ByteWriter &writer) const;
  // Raises UnderflowStream on a short read.
  void decode(ByteReader &reader);

  std::string text() const;
  void print(std::ostream &out) const;

  friend constexpr bool operator==(ENVL_Address a, ENVL_Address b) = default;

private:
  uint32_t value_ = 0;
};

} // namespace arxmod
