// PICTokens: the token values of the binary value stream. The decoder's
// grammar declares the same numbers for its terminals, and the encoder
// writes the code of each key through putKey() and putStructureKind().
#pragma once

#include <cstdint>

namespace arxmod {

class NibbleWriter;

namespace pic_token {
// Value keys.
inline constexpr int kCharKey = 2;
inline constexpr int kComplexKey = 3;
inline constexpr int kFloatKey = 4;
inline constexpr int kSignedKey = 5;
inline constexpr int kUnsignedKey = 6;
inline constexpr int kBooleanFalseKey = 7;
inline constexpr int kBooleanTrueKey = 8;
inline constexpr int kEndStruct = 9;
inline constexpr int kEndStructureArray = 10;
inline constexpr int kProgramKey = 11;
inline constexpr int kVoidKey = 12;
inline constexpr int kFixedPointArrayKey = 13;
inline constexpr int kCharArrayKey = 14;
inline constexpr int kFloatArrayKey = 15;
inline constexpr int kSignedArrayKey = 16;
inline constexpr int kUnsignedArrayKey = 17;
inline constexpr int kComplexArrayKey = 18;
inline constexpr int kDeltaKey = 25;
inline constexpr int kFixedPointKey = 26;
inline constexpr int kBooleanArrayKey = 27;
inline constexpr int kStructureKey = 28;
inline constexpr int kStructureArrayKey = 29;
} // namespace pic_token

// Structure kinds; the value is the kind's token value.
enum class StructureKey : int {
  Unknown = 1,
  Reserved1 = 30,
  Alarm = 31,
  Event = 32,
  Exception = 33,
  ExtendedHandle = 34,
  List = 35,
  LogRecord = 36,
  MethodSecurity = 37,
  Range = 38,
  StringArray = 39,
  UnsignedArrayArray = 40,
  Waveform = 41,
  Date = 42,
  Calendar = 43,
  Profile = 44,
};

// Writes the stream code of a value key; a key without a code raises
// PICErrors 18.
void putKey(NibbleWriter &writer, int token);
// Writes the stream code of a structure kind; an unknown kind is written as
// nibble 15 and its original kind byte.
void putStructureKind(NibbleWriter &writer, StructureKey key, uint8_t unknownKindByte = 0);

} // namespace arxmod
