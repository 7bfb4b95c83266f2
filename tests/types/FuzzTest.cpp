// Seeded fuzz loops: random and mutated byte strings through the decoder and
// texts through the text parser. Every input must end in a value or a
// ParseError (the decoder) or in a value (the text parser), and a decoded
// value must encode again and decode to the same bytes.
#include "SampleValues.h"

#include "types/TextParser.h"

#include <gtest/gtest.h>

#include <random>

namespace arxmod {
namespace {

using test::Bytes;
using test::encoded;

// Encodings of every sample and of a small program, to mutate.
std::vector<Bytes> seedEncodings() {
  MemoryBlob blob(kProgramBlobSize);
  std::vector<Bytes> seeds;
  for (const auto &sample : test::sampleValues(blob))
    seeds.push_back(encoded(*sample.second));
  auto *program = blob.make<Program>();
  program->addStatement(0x1234u, 21u);
  program->addStatement(0x12345678u, 300u, test::sampleValues(blob)[25].second);
  seeds.push_back(encoded(*program));
  return seeds;
}

template <typename Sequence> void mutate(Sequence &input, std::mt19937 &random) {
  const int edits = 1 + static_cast<int>(random() % 4);
  for (int e = 0; e < edits; ++e) {
    const size_t at = input.empty() ? 0 : random() % input.size();
    switch (random() % 4) {
    case 0:
      if (!input.empty())
        input[at] = static_cast<typename Sequence::value_type>(random());
      break;
    case 1:
      input.insert(input.begin() + at, static_cast<typename Sequence::value_type>(random()));
      break;
    case 2:
      if (!input.empty())
        input.erase(input.begin() + at);
      break;
    default:
      input.resize(at);
      break;
    }
  }
}

TEST(FuzzTest, DecoderEndsInAValueOrAParseError) {
  std::mt19937 random(20240611);
  const std::vector<Bytes> seeds = seedEncodings();
  int decoded = 0;
  for (int i = 0; i < 200000; ++i) {
    Bytes input;
    if (i % 2 == 0) {
      input.resize(random() % 48);
      for (uint8_t &byte : input)
        byte = static_cast<uint8_t>(random());
      if (i % 8 == 0 && !input.empty())
        input[0] = 0xF6; // steer some inputs into the program grammar
    } else {
      input = seeds[random() % seeds.size()];
      mutate(input, random);
    }
    RegisteredMemoryBlob blob(kProgramBlobSize);
    PICType *value = nullptr;
    try {
      value = decodePIC(input, blob);
    } catch (const PICType::ParseError &) {
      continue;
    }
    ++decoded;
    Bytes again;
    try {
      again = encoded(*value);
    } catch (const PICType::ParseError &) {
      continue; // a value too large for the result area
    }
    RegisteredMemoryBlob second(kProgramBlobSize);
    ASSERT_EQ(encoded(*decodePIC(again, second)), again) << "input " << i;
  }
  EXPECT_GT(decoded, 1000);
}

TEST(FuzzTest, TextParserAlwaysYieldsAValue) {
  std::mt19937 random(7);
  MemoryBlob seedBlob(kProgramBlobSize);
  std::vector<std::string> seeds;
  for (const auto &sample : test::sampleValues(seedBlob))
    seeds.push_back(sample.second->toText());
  seeds.push_back("0x1234 Register_read_value\n0x20 22 7u\n0x30 23\n  RangeType { 1u 2u }");
  static constexpr std::string_view kAlphabet = "{}\"@ \t\n0123456789xuabcdefRangeTypevoidtrue.-e_";
  for (int i = 0; i < 50000; ++i) {
    std::string text;
    if (i % 2 == 0) {
      text.resize(random() % 64);
      for (char &c : text)
        c = kAlphabet[random() % kAlphabet.size()];
    } else {
      text = seeds[random() % seeds.size()];
      mutate(text, random);
    }
    MemoryBlob blob(kProgramBlobSize);
    PICType *value = parsePICText(text, blob);
    ASSERT_NE(value, nullptr);
    value->toText(); // whatever came back must print
  }
}

} // namespace
} // namespace arxmod
