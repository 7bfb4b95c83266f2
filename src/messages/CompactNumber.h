// Compact numbers: unsigned values of at most 31 bits in two or four bytes,
// big-endian. Values below 0x8000 take a plain u16; larger ones a u32 with
// bit 31 set, which is how a reader tells the two forms apart from the first
// byte. Envelope lengths, node addresses and program lengths use them.
#pragma once

#include "base/ByteReader.h"
#include "base/ByteWriter.h"

#include <cstddef>
#include <cstdint>

namespace arxmod {

// Largest value a compact number can carry (31 bits).
inline constexpr uint32_t kCompactMax = 0x7FFFFFFF;
// Values below this take the two-byte form.
inline constexpr uint32_t kCompactShortLimit = 0x8000;

// Writes `value`; a value above kCompactMax cannot be represented and raises
// ENVL_Exception rather than being written truncated.
void writeCompact(ByteWriter &writer, uint32_t value);

// Writes the four-byte form even for small values (node addresses).
void writeCompactLong(ByteWriter &writer, uint32_t value);

// Reads either form; raises UnderflowStream on a short read.
uint32_t readCompact(ByteReader &reader);

// 2 or 4: the bytes writeCompact() produces for `value`.
constexpr size_t compactSize(uint32_t value) noexcept { return value < kCompactShortLimit ? 2 : 4; }

} // namespace arxmod
