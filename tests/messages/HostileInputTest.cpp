// Random and mutated envelopes through the decoder: every input ends in an
// envelope or a KSXmsg-derived exception, and whatever decodes re-encodes to
// bytes that decode to the same bytes again.
#include "messages/NodeMessages.h"

#include "TestBytes.h"

#include <gtest/gtest.h>

#include <random>

namespace arxmod {
namespace {

using namespace test;

// Swallows the throw traces of the loop instead of flooding the console.
class NullBuffer : public std::streambuf {
protected:
  int overflow(int c) override { return c; }
  std::streamsize xsputn(const char *, std::streamsize count) override { return count; }
};

const char *const kSeeds[] = {
    "00 1c 12 34 01 80 00 00 05 80 01 00 02 07 00 00 00 01 00 00 05 00 09 00 03 aa bb cc",
    "00 1b 00 01 02 80 00 00 05 00 02 aa bb 07 00 00 00 01 00 00 14 01 00 09 00 01 00 01 aa ee",
    "00 18 00 01 00 80 00 00 05 80 01 00 02 07 00 00 00 01 ff 07 ff 01 ff 00 ff 01 18",
    ("00 22 00 01 04 80 00 00 05 80 01 00 02 01 02 03 04 05 06 07 08 07 00 00 00 "
     "02 80 00 00 07 00 11 22 0e 00 05 00 09 00 00"), // one seed on two lines
    "00 19 00 01 01 80 00 00 05 80 01 00 02 07 00 00 00 01 50 00 05 41 42 43",
    "00 1a 00 01 01 80 00 00 05 80 01 00 02 07 00 00 00 01 11 65 00 00 00 00 01 e2 40",
    "00 16 00 01 01 80 00 00 05 80 01 00 02 07 00 00 00 01 1f 03 aa bb",
    "00 17 00 01 01 80 00 00 05 80 01 00 02 07 00 00 00 01 02 00 00 00 01 aa",
    "00 15 00 01 01 80 00 00 05 80 01 00 02 07 00 00 00 01 12 00 05",
};

std::vector<uint8_t> mutate(std::vector<uint8_t> bytes, std::mt19937 &random) {
  std::uniform_int_distribution<int> byte(0, 255);
  const int edits = std::uniform_int_distribution<int>(1, 4)(random);
  for (int i = 0; i < edits; ++i) {
    const size_t at = bytes.empty() ? 0 : random() % bytes.size();
    switch (random() % 4) {
    case 0:
      if (!bytes.empty())
        bytes[at] = static_cast<uint8_t>(byte(random));
      break;
    case 1:
      bytes.resize(at);
      break;
    case 2:
      bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                   static_cast<uint8_t>(byte(random)));
      break;
    default:
      if (!bytes.empty())
        bytes[at] = std::array<uint8_t, 4>{0x00, 0x7F, 0x80, 0xFF}[random() % 4];
    }
  }
  return bytes;
}

TEST(HostileInput, DecoderSurvivesRandomAndMutatedEnvelopes) {
  NullBuffer sink;
  std::streambuf *const old = std::cerr.rdbuf(&sink);
  std::vector<std::vector<uint8_t>> seeds;
  for (const char *seed : kSeeds)
    seeds.push_back(hex(seed));

  std::mt19937 random(20240501);
  int decoded = 0;
  int refused = 0;
  for (int round = 0; round < 50000; ++round) {
    std::vector<uint8_t> input;
    if (round % 4 == 0) {
      input.resize(random() % 48);
      for (uint8_t &b : input)
        b = static_cast<uint8_t>(random());
    } else {
      input = mutate(seeds[random() % seeds.size()], random);
    }
    ENVLMessage envelope;
    ByteReader reader(input);
    try {
      envelope.decode(reader);
    } catch (const KSXmsg &) {
      ++refused;
      continue;
    }
    ++decoded;
    (void)toText(envelope, true);
    if (!envelope.nodeMessage())
      continue;
    const auto first = envelope.encode();
    ENVLMessage again;
    ByteReader second(first);
    again.decode(second);
    ASSERT_EQ(again.encode(), first) << "round " << round;
    ASSERT_EQ(envelope.nodeMessage()->copy()->encodedLength(),
              envelope.nodeMessage()->encodedLength());
  }
  std::cerr.rdbuf(old);
  EXPECT_GT(decoded, 1000);
  EXPECT_GT(refused, 1000);
}

} // namespace
} // namespace arxmod
