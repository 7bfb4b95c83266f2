// Fuzz target: envelope and node-message bytes as a host sends them. Each
// input decodes or is refused with a KSXmsg; whatever decodes is written
// out as text and re-encodes to bytes that decode to the same bytes again.
#include "QuietStreams.h"
#include "messages/NodeMessages.h"

#include <cstdint>
#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  arxmod::fuzz::quietStandardStreams();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  using namespace arxmod;
  ENVLMessage envelope;
  ByteReader reader(data, size);
  try {
    envelope.decode(reader);
  } catch (const KSXmsg &) {
    return 0;
  }
  (void)toText(envelope, true);
  if (!envelope.nodeMessage())
    return 0;
  const std::vector<uint8_t> first = envelope.encode();
  ENVLMessage again;
  ByteReader second(first);
  again.decode(second);
  if (again.encode() != first ||
      envelope.nodeMessage()->copy()->encodedLength() != envelope.nodeMessage()->encodedLength())
    std::abort();
  return 0;
}
