// Fuzz target: the text parser that turns stored texts (tree attributes,
// map values, log files, method arguments) back into typed values and
// programs. It never throws; a text that yields no value comes back as a
// string. Whatever it yields is printed and encoded in the binary form.
#include "QuietStreams.h"
#include "types/PICCodec.h"
#include "types/TextParser.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  arxmod::fuzz::quietStandardStreams();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  using namespace arxmod;
  RegisteredMemoryBlob blob(kProgramBlobSize);
  const std::string_view text(reinterpret_cast<const char *>(data), size);
  PICType *value = parsePICText(text, blob);
  if (!value)
    __builtin_trap();
  (void)value->toText();
  ResultArea area;
  try {
    area.append(*value);
  } catch (const KSXmsg &) {
  }
  return 0;
}
