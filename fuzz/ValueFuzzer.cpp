// Fuzz target: the binary form of typed values and programs, as program
// messages and meter results carry it. Each input decodes or is refused
// with a KSXmsg; whatever decodes is printed as text and encoded again,
// and its encoding decodes to the same text.
#include "QuietStreams.h"
#include "types/PICCodec.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  arxmod::fuzz::quietStandardStreams();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  using namespace arxmod;
  DecodedPIC decoded;
  try {
    decoded = decodePIC({data, size});
  } catch (const KSXmsg &) {
    return 0;
  }
  const std::string text = decoded.value->toText();
  ResultArea area;
  try {
    area.append(*decoded.value);
  } catch (const KSXmsg &) {
    return 0; // a value too large for one answer
  }
  const std::vector<uint8_t> encoded(area.bytes().begin(), area.bytes().end());
  DecodedPIC again = decodePIC(encoded);
  (void)again.value->toText();
  return 0;
}
