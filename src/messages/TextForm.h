// Pieces shared by the text forms of envelopes and node messages.
//
// These write to the caller's stream without touching its format flags, so a
// diagnostic print never changes how the caller's later output looks.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <span>
#include <string_view>

namespace arxmod {

// `value` in lower-case hexadecimal, two characters wide, blank-filled (" 0", "1f").
void writeHex2(std::ostream &out, unsigned value);

// Every byte as two lower-case hexadecimal digits (zero-filled) and a blank.
void writeHexBytes(std::ostream &out, std::span<const uint8_t> bytes);

// The name of a program-message or system-response status ("Good" ... "Nack"),
// or "Unknown(" + the byte as one character + ")". A byte that is not a
// printable ASCII character is written as \xNN so that hostile bytes never
// reach the console as control characters.
void writeStatusName(std::ostream &out, uint8_t status);

// The status names by code; empty for codes without a name.
std::string_view statusName(uint8_t status) noexcept;

} // namespace arxmod
