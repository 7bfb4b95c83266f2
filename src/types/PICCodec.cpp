// PICCodec: runs the generated parser over a byte string, and the encoder's
// boundary where failure codes become PICType::ParseError.
#include "types/PICCodec.h"

#include "PICGrammar.hpp"
#include "types/NibbleWriter.h"

#include <cstdlib>
#include <string>

namespace arxmod {
namespace {

// The parser trace is on for the whole process when YYDEBUG starts with Y or y.
const bool kTraceOn = [] {
  const char *setting = std::getenv("YYDEBUG");
  pic_debug = setting && (setting[0] == 'Y' || setting[0] == 'y');
  return pic_debug != 0;
}();

[[noreturn]] void writeFailed(int code) {
  throw PICType::ParseError("Caught parse error " + std::to_string(code) +
                            " during PICType::write");
}

} // namespace

PICType *decodePIC(std::span<const uint8_t> bytes, MemoryBlob &blob) {
  PICDecodeContext context(bytes, blob);
  int failure;
  try {
    failure = pic_parse(context);
  } catch (const PICErrors &error) {
    failure = error.code();
  }
  if (failure != 0 || !context.result)
    throw PICType::ParseError(std::to_string(failure));
  return context.result;
}

DecodedPIC decodePIC(std::span<const uint8_t> bytes) {
  DecodedPIC decoded;
  decoded.blob = std::make_unique<RegisteredMemoryBlob>(kProgramBlobSize);
  decoded.value = decodePIC(bytes, *decoded.blob);
  return decoded;
}

Program *decodeProgram(std::span<const uint8_t> bytes, MemoryBlob &blob) {
  auto *program = dynamic_cast<Program *>(decodePIC(bytes, blob));
  if (!program)
    throw KSXmsg("Invalid ARX Program");
  return program;
}

size_t encodePIC(const PICType &value, std::span<uint8_t> buffer) {
  NibbleWriter writer(buffer);
  try {
    value.encode(writer);
    writer.flush();
  } catch (const PICErrors &error) {
    writeFailed(error.code());
  }
  return writer.size();
}

void ResultArea::append(const PICType &value) {
  const std::span<uint8_t> free(buffer_.data() + size_, buffer_.size() - size_);
  NibbleWriter writer(free);
  try {
    value.encodeAsValue(writer);
    writer.flush();
  } catch (const PICErrors &error) {
    writeFailed(error.code());
  }
  size_ += writer.size();
}

} // namespace arxmod
