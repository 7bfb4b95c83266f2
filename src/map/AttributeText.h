// AttributeText: how the attribute texts of a map file are read as numbers.
//
// Map files are written by hand, so every reader here accepts any text and
// gives a defined result: leading blanks are skipped, reading stops at the
// first character that does not fit, text that does not start with a
// number gives 0, and numbers too large for their type saturate instead of
// overflowing (an attribute may be a megabyte of digits).
//
//   readInteger("0x1F")  -> 31      readInteger("017") -> 15 (octal)
//   readInteger("12abc") -> 12      readInteger("true") -> 0
//   readHex("FF00") == readHex("0xFF00") -> 0xFF00
//   readConstantOrReference("r1234")  -> handle 1234
#pragma once

#include "map/TranslationInfo.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace arxmod {

// An integer with automatic base: "0x" or "0X" hexadecimal, a leading "0"
// octal, else decimal; an optional sign. Saturates at the 64-bit limits;
// callers keep the low bits their field holds.
int64_t readInteger(std::string_view text);
// An integer; non-zero is true (so "true" is false).
inline bool readBoolean(std::string_view text) { return readInteger(text) != 0; }
// A real number; 0 when the text does not start with one. Beyond the range
// of a double, the largest double of that sign.
double readReal(std::string_view text);
// The real number the text starts with, or none.
std::optional<double> readLeadingReal(std::string_view text);
// A base-16 integer, "0x" prefix allowed, saturating at 32 bits.
uint32_t readHex(std::string_view text);

// A scaling constant or a reference to a handle: none for an empty text;
// "r" and an integer, or any text with an "x" in it (read as an integer),
// name a handle (`defaultConstant` stays as the constant); anything else is
// a real constant.
std::optional<ConstantOrReference> readConstantOrReference(std::string_view text,
                                                           double defaultConstant);

} // namespace arxmod
