// PICCodec: the entry points of the binary form.
//
//   Decoding (a program or a result list, from a host or a meter):
//     RegisteredMemoryBlob blob(kProgramBlobSize);
//     PICType *value = decodePIC(bytes, blob);      // Program or PICTypeContainer
//     Program *program = decodeProgram(bytes, blob); // "Invalid ARX Program" otherwise
//   Any byte string ends in a value or in PICType::ParseError ("Parse Error "
//   and the failure code); nothing is read past the end and the nesting of
//   structures is bounded by the parser's stack.
//
//   Encoding:
//     size_t n = encodePIC(*program, buffer);  // a program or any value
//     ResultArea results;                      // 65536 bytes, like an answer
//     results.append(*value);                  // ParseError when it does not fit
#pragma once

#include "types/ProgramTypes.h"

#include <span>
#include <vector>

namespace arxmod {

// Capacity of the result area of one program's answer.
inline constexpr size_t kResultAreaSize = 65536;

// Decodes `bytes` into `blob`: a Program for a program stream, otherwise the
// PICTypeContainer of the values one after another.
PICType *decodePIC(std::span<const uint8_t> bytes, MemoryBlob &blob);

struct DecodedPIC {
  std::unique_ptr<RegisteredMemoryBlob> blob;
  PICType *value = nullptr;
};
// Decodes into a new 4096-byte registered arena, which is destroyed when the
// decode fails.
DecodedPIC decodePIC(std::span<const uint8_t> bytes);

// Decodes a program; a stream that is not a program raises KSXmsg
// "Invalid ARX Program".
Program *decodeProgram(std::span<const uint8_t> bytes, MemoryBlob &blob);

// Encodes `value` (programs included) into `buffer` and returns the bytes
// written. A value that does not fit, or cannot be encoded, raises
// PICType::ParseError "Parse Error Caught parse error <code> during PICType::write".
size_t encodePIC(const PICType &value, std::span<uint8_t> buffer);

// The encoded results of one program: the values one after another, without
// a leading key, in a fixed buffer.
class ResultArea {
public:
  explicit ResultArea(size_t capacity = kResultAreaSize) : buffer_(capacity) {}

  // Appends the value's encoding; on failure (ParseError) the area keeps
  // what it held before.
  void append(const PICType &value);
  std::span<const uint8_t> bytes() const noexcept { return {buffer_.data(), size_}; }
  size_t size() const noexcept { return size_; }
  void clear() noexcept { size_ = 0; }

private:
  std::vector<uint8_t> buffer_;
  size_t size_ = 0;
};

} // namespace arxmod
