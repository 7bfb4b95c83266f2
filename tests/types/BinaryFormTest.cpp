// Binary form: the byte vectors of every key and length form, straddling
// bytes, handles and method codes in both widths, structures, round trips
// and hostile input.
#include "SampleValues.h"

#include "types/NibbleWriter.h"

#include <gtest/gtest.h>

namespace arxmod {
namespace {

using test::Bytes;
using test::encoded;

std::string hex(const Bytes &bytes) {
  std::string text;
  char digits[4];
  for (uint8_t byte : bytes) {
    std::snprintf(digits, sizeof digits, "%02X ", byte);
    text += digits;
  }
  if (!text.empty())
    text.pop_back();
  return text;
}

std::string parseFailure(const Bytes &bytes) {
  RegisteredMemoryBlob blob(kProgramBlobSize);
  try {
    decodePIC(bytes, blob);
  } catch (const PICType::ParseError &error) {
    return error.text();
  }
  return "<decoded>";
}

// The single value of a decoded result list.
PICType *decodeOne(const Bytes &bytes, MemoryBlob &blob) {
  auto *list = picCast<PICTypeContainer>(decodePIC(bytes, blob));
  EXPECT_EQ(list->count(), 1u);
  return list->count() == 1 ? list->first() : nullptr;
}

TEST(NibbleWriterTest, BytesStraddleAfterAHalfByte) {
  uint8_t buffer[4] = {};
  NibbleWriter writer(buffer);
  writer.putNibble(0xA);
  writer.putByte(0xBC);
  writer.put12(0xDEF);
  EXPECT_EQ(writer.size(), 3u);
  EXPECT_EQ(Bytes(buffer, buffer + 3), (Bytes{0xAB, 0xCD, 0xEF}));
  EXPECT_FALSE(writer.halfPending());
}

TEST(NibbleWriterTest, FailureCodes) {
  uint8_t buffer[1] = {};
  NibbleWriter full(buffer);
  full.putByte(1);
  EXPECT_THROW(full.putNibble(1), PICErrors);
  try {
    NibbleWriter writer(buffer);
    writer.putLength(3);
    FAIL();
  } catch (const PICErrors &error) {
    EXPECT_EQ(error.code(), 7);
  }
  try {
    NibbleWriter writer(buffer);
    putKey(writer, 30);
    FAIL();
  } catch (const PICErrors &error) {
    EXPECT_EQ(error.code(), 18);
  }
}

TEST(EncodeTest, ValuesEncodeToTheirByteVectors) {
  MemoryBlob blob(kProgramBlobSize);
  auto *range = blob.make<RangeType>();
  range->setField(0, blob.make<UnsignedType>(1u));
  range->setField(1, blob.make<UnsignedType>(2u));
  auto *list = blob.make<PICTypeList>();
  list->append(blob.make<UnsignedType>(5u));
  std::vector<uint8_t> twenty(20, 7);
  const struct {
    const char *name;
    PICType *value;
    const char *bytes;
  } cases[] = {
      {"signed -1", blob.make<SignedType>(-1), "41 FF"},
      {"signed 0", blob.make<SignedType>(0), "41 00"},
      {"signed 300", blob.make<SignedType>(300), "42 01 2C"},
      {"signed -129", blob.make<SignedType>(-129), "42 FF 7F"},
      {"signed min", blob.make<SignedType>(INT32_MIN), "44 80 00 00 00"},
      {"unsigned 0", blob.make<UnsignedType>(0u), "60"},
      {"unsigned 300", blob.make<UnsignedType>(300u), "62 01 2C"},
      {"unsigned 0x12345678", blob.make<UnsignedType>(0x12345678u), "64 12 34 56 78"},
      {"float32 1", blob.make<Float32Type>(1.0f), "34 3F 80 00 00"},
      {"float64 1", blob.make<Float64Type>(1.0), "38 3F F0 00 00 00 00 00 00"},
      {"float80 1", blob.make<Float80Type>(1.0), "38 3F F0 00 00 00 00 00 00"},
      {"char 65", blob.make<CharType>(65u), "11 41"},
      {"true", blob.make<BooleanType>(1u), "F2"},
      {"false", blob.make<BooleanType>(0u), "F1"},
      {"void", blob.make<VoidType>(), "F8"},
      {"delta", blob.make<DeltaType>(), "FF 02"},
      {"fixed 0.5", blob.make<FixedPointType>(FixedPoint::fromDouble(0.5)), "54 40 00 00 00"},
      {"fixed 1.5", blob.make<FixedPointType>(FixedPoint::fromDouble(1.5)),
       "58 00 00 00 00 C0 00 00 00"},
      {"fixed -0.5", blob.make<FixedPointType>(FixedPoint::fromDouble(-0.5)), "54 C0 00 00 00"},
      {"uint08 array", blob.make<Uint08Array>(std::span<const uint8_t>({1, 2, 3})),
       "FE 33 01 02 03"},
      {"uint16 array", blob.make<Uint16Array>(std::span<const uint16_t>({1, 0x203})),
       "FE 24 00 01 02 03"},
      {"char08 array", makeString(blob, "AB"), "FA 22 41 42"},
      {"empty boolean array", blob.make<Boolean08Array>(size_t{0}), "FB 00"},
      {"float32 array", blob.make<Float32Array>(std::span<const float>({1.0f})),
       "FC 14 3F 80 00 00"},
      {"range", range, "74 61 01 61 02 F3"},
      {"list", list, "75 61 05 F3"},
      {"string array", blob.make<StringArrayType>(), "7F 05 F3"},
      {"unsigned array array", blob.make<UnsignedArrayArrayType>(), "7F 06 F3"},
      {"unknown", blob.make<UnknownStructure>(uint8_t{0x42}), "7F 42 F3"},
      {"range array",
       [&] {
         auto *ranges = blob.make<RangeArray>();
         ranges->append(range);
         return static_cast<PICType *>(ranges);
       }(),
       "84 61 01 61 02 F3 F9"},
      {"extended handle", blob.make<ExtendedHandleType>(0x1Au, "e"), "73 61 1A FA 11 65 F3"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(hex(encoded(*c.value)), c.bytes);
  }
}

TEST(EncodeTest, LargeSizesAndLengthsUseTheirLongForms) {
  MemoryBlob blob(1 << 20);
  std::vector<uint8_t> twenty(20, 7);
  const Bytes small = encoded(*blob.make<Uint08Array>(std::span<const uint8_t>(twenty)));
  EXPECT_EQ(hex(Bytes(small.begin(), small.begin() + 4)), "FE E1 4D 14");
  EXPECT_EQ(small.size(), 24u);

  std::vector<uint16_t> many(300, 0x0102);
  const Bytes large = encoded(*blob.make<Uint16Array>(std::span<const uint16_t>(many)));
  // Size 300 as nibble 15 and 32 bits, length 600 as nibble 14 and 32 bits.
  EXPECT_EQ(hex(Bytes(large.begin(), large.begin() + 10)), "FE F0 00 00 12 CE 00 00 02 58");
  EXPECT_EQ(large.size(), 10u + 600u);

  RegisteredMemoryBlob decodeBlob(kProgramBlobSize);
  EXPECT_TRUE(decodeOne(large, decodeBlob)
                  ->equals(*blob.make<Uint16Array>(std::span<const uint16_t>(many))));
}

TEST(EncodeTest, ProgramsEncodeHandlesAndMethodsInBothWidths) {
  MemoryBlob blob(kProgramBlobSize);
  const struct {
    uint32_t handle, method;
    PICType *argument;
    const char *bytes;
  } cases[] = {
      {0x1234, 5, nullptr, "F6 12 34 05"},
      {0x1234, 7, blob.make<UnsignedType>(1u), "F6 12 34 87 61 01"},
      {0x12345678, 5, nullptr, "F6 FF FF 12 34 56 78 05"},
      {0xFFFF, 5, nullptr, "F6 FF FF 00 00 FF FF 05"},
      {0xFFFE, 126, nullptr, "F6 FF FE 7E"},
      {0x10, 200, nullptr, "F6 00 10 FF 00 C8"},
      {0x10, 200, blob.make<BooleanType>(1u), "F6 00 10 FF 80 C8 F2"},
      {0x10, 127, blob.make<VoidType>(), "F6 00 10 FF 00 7F"},
      {0x10, 32766, blob.make<SignedType>(1), "F6 00 10 FF FF FE 41 01"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.bytes);
    auto *program = blob.make<Program>();
    program->addStatement(c.handle, c.method, c.argument);
    const Bytes bytes = encoded(*program);
    EXPECT_EQ(hex(bytes), c.bytes);
    RegisteredMemoryBlob decodeBlob(kProgramBlobSize);
    EXPECT_TRUE(decodeProgram(bytes, decodeBlob)->equals(*program));
  }
}

TEST(EncodeTest, FailuresBecomeParseErrors) {
  MemoryBlob blob(kProgramBlobSize);
  auto failure = [&](const PICType &value, size_t capacity) {
    Bytes buffer(capacity);
    try {
      encodePIC(value, buffer);
    } catch (const PICType::ParseError &error) {
      return error.text();
    }
    return std::string("<encoded>");
  };
  auto programWith = [&](uint32_t handle, uint32_t method) {
    auto *program = blob.make<Program>();
    program->addStatement(handle, method);
    return program;
  };
  EXPECT_EQ(failure(*blob.make<UnsignedType>(0x12345678u), 4),
            "Parse Error Caught parse error 6 during PICType::write");
  EXPECT_EQ(failure(*programWith(0xFFFFFFFF, 5), 16),
            "Parse Error Caught parse error 16 during PICType::write");
  EXPECT_EQ(failure(*programWith(1, 0), 16),
            "Parse Error Caught parse error 19 during PICType::write");
  EXPECT_EQ(failure(*programWith(1, 32767), 16),
            "Parse Error Caught parse error 19 during PICType::write");
}

TEST(EncodeTest, ProgramClassesCannotBeEncodedAsValues) {
  MemoryBlob blob(kProgramBlobSize);
  auto *program = blob.make<Program>();
  Statement *statement = program->addStatement(1u, 21u);
  ResultArea area;
  const struct {
    PICType *value;
    const char *text;
  } cases[] = {{program, "CantWriteProgram picstmt "},
               {statement, "CantWriteStatement picstmt "},
               {statement->invocation(), "CantWriteMethodInvocation picstmt "}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.text);
    try {
      area.append(*c.value);
      FAIL();
    } catch (const KSXmsg &error) {
      EXPECT_EQ(error.text(), c.text);
    }
  }
}

TEST(ResultAreaTest, AppendsValuesAndRefusesOverflowWithoutDamage) {
  MemoryBlob blob(kProgramBlobSize);
  ResultArea area(8);
  area.append(*blob.make<UnsignedType>(5u));
  area.append(*blob.make<UnsignedType>(7u));
  EXPECT_EQ(hex(Bytes(area.bytes().begin(), area.bytes().end())), "61 05 61 07");
  EXPECT_THROW(area.append(*makeString(blob, "too long")), PICType::ParseError);
  EXPECT_EQ(area.size(), 4u);
  RegisteredMemoryBlob decodeBlob(kProgramBlobSize);
  auto *list = picCast<PICTypeContainer>(
      decodePIC(Bytes(area.bytes().begin(), area.bytes().end()), decodeBlob));
  ASSERT_EQ(list->count(), 2u);
  EXPECT_EQ(picCast<UnsignedType>(list->at(1))->get(), 7u);
}

TEST(DecodeTest, EveryValueClassRoundTrips) {
  MemoryBlob blob(kProgramBlobSize);
  for (const auto &[name, value] : test::sampleValues(blob)) {
    SCOPED_TRACE(name);
    const Bytes bytes = encoded(*value);
    RegisteredMemoryBlob decodeBlob(kProgramBlobSize);
    PICType *decoded = decodeOne(bytes, decodeBlob);
    ASSERT_NE(decoded, nullptr);
    EXPECT_TRUE(decoded->equals(*value)) << decoded->toText();
    EXPECT_TRUE(value->equals(*decoded));
    EXPECT_EQ(hex(encoded(*decoded)), hex(bytes));
  }
}

TEST(DecodeTest, DecodedClassesFollowKeyAndWidth) {
  const struct {
    Bytes bytes;
    const char *type;
  } cases[] = {
      {{0x34, 0x3F, 0x80, 0, 0}, "Float32Type"},
      {{0x38, 0x3F, 0xF0, 0, 0, 0, 0, 0, 0}, "Float64Type"},
      {{0x11, 0x41}, "CharType"},
      {{0xFA, 0x12, 0, 0x41}, "Char16Array"},
      {{0xFB, 0x14, 0, 0, 0, 1}, "Boolean32Array"},
      {{0xFD, 0x00}, "Sint08Array"},
      {{0xFC, 0x00}, "Float32Array"},
      {{0xFC, 0x18, 0x3F, 0xF0, 0, 0, 0, 0, 0, 0}, "Float64Array"},
      {{0xFC, 0x1A, 0x3F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0}, "Float80Array"},
      {{0x7F, 0x77, 0x61, 0x01, 0xF3}, "UnknownStructure"},
      {{0x86, 0xF9}, "<RESERVED1>"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.type);
    if (c.type[0] == '<') {
      EXPECT_EQ(parseFailure(c.bytes), "Parse Error 1");
      continue;
    }
    RegisteredMemoryBlob blob(kProgramBlobSize);
    EXPECT_EQ(decodeOne(c.bytes, blob)->typeName(), c.type);
  }
  RegisteredMemoryBlob blob(kProgramBlobSize);
  auto *extended =
      picCast<Float80Array>(decodeOne({0xFC, 0x1A, 0x3F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0}, blob));
  EXPECT_EQ(extended->element(0), 1.0);
  EXPECT_EQ(picCast<SignedType>(decodeOne({0x43, 0xFF, 0x00, 0x01}, blob))->get(), -65535);
  EXPECT_EQ(picCast<SignedType>(decodeOne({0x40}, blob))->get(), 0);
}

TEST(DecodeTest, ProgramsAndResults) {
  RegisteredMemoryBlob blob(kProgramBlobSize);
  auto *empty = decodeProgram(Bytes{0xF6}, blob);
  EXPECT_EQ(empty->structureCount(), 0u);

  auto *program = decodeProgram(Bytes{0xF6, 0x12, 0x34, 0x87, 0x61, 0x01, 0x00, 0x20, 0x15}, blob);
  ASSERT_EQ(program->structureCount(), 2u);
  EXPECT_EQ(program->at(0)->handle(), 0x1234u);
  EXPECT_EQ(program->at(0)->invocation()->method(), 7u);
  EXPECT_EQ(picCast<UnsignedType>(program->at(0)->invocation()->argument())->get(), 1u);
  EXPECT_EQ(program->at(1)->invocation()->method(), 21u);
  EXPECT_EQ(program->at(1)->invocation()->argument()->typeName(), "VoidType");

  auto *results = picCast<PICTypeContainer>(decodePIC(Bytes{0x61, 0x05, 0x61, 0x07}, blob));
  ASSERT_EQ(results->count(), 2u);
  EXPECT_EQ(picCast<UnsignedType>(results->at(0))->get(), 5u);
  EXPECT_EQ(picCast<PICTypeContainer>(decodePIC(Bytes{}, blob))->count(), 0u);
  try {
    decodeProgram(Bytes{0x61, 0x05}, blob);
    FAIL();
  } catch (const KSXmsg &error) {
    EXPECT_EQ(error.text(), "Invalid ARX Program");
  }
}

TEST(DecodeTest, FailureCodes) {
  const struct {
    Bytes bytes;
    const char *text;
  } cases[] = {
      {{0x34, 0x3F, 0x80, 0x00}, "Parse Error 11"}, // payload past the end
      {{0x3F}, "Parse Error 11"},                   // length nibble 15
      {{0xF4, 0x10, 0x05}, "Parse Error 11"},       // escaped key: payload off a byte
      {{0xF5, 0x40, 0, 0, 0, 1}, "Parse Error 11"},
      {{0x32, 0x3F, 0x80}, "Parse Error 21"},                   // float of 2 bytes
      {{0x52, 0x3F, 0x80}, "Parse Error 22"},                   // fixed point of 2 bytes
      {{0x65, 1, 2, 3, 4, 5}, "Parse Error 8"},                 // integer of 5 bytes
      {{0x21, 0x00}, "Parse Error 9"},                          // complex value
      {{0xFF, 0x00, 0x00}, "Parse Error 9"},                    // complex array
      {{0x90}, "Parse Error 10"},                               // unknown key
      {{0xF7}, "Parse Error 10"},                               // unknown escaped key
      {{0xFF, 0x07}, "Parse Error 10"},                         // unknown double escape
      {{0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xF0}, "Parse Error 20"}, // size all ones
      {{0xFE, 0x23, 1, 2, 3}, "Parse Error 20"},                // width 1.5
      {{0xFE, 0x01, 0x07}, "Parse Error 20"},                   // empty array with payload
      {{0xFC, 0x12, 1, 2}, "Parse Error 20"},                   // float width 2
      {{0xF6, 0x12, 0x34, 0x00}, "Parse Error 1"},              // method byte 0
      {{0xF6, 0x12, 0x34, 0xFF, 0x00, 0x00}, "Parse Error 14"},
      {{0xF6, 0x12, 0x34, 0xFF, 0xFF, 0xFF}, "Parse Error 11"},
      {{0xF6, 0x12, 0x34, 0x80, 0xF8}, "Parse Error 14"}, // method 0 with value
      {{0xF6, 0x12, 0x34, 0x7F, 0xF8}, "Parse Error 14"}, // method -1 with value
      {{0xF6, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x05}, "Parse Error 13"},
      {{0xF6, 0x12}, "Parse Error 11"},                  // handle cut short
      {{0xF6, 0x12, 0x34}, "Parse Error 1"},             // statement without method
      {{0x61, 0x05, 0xF6}, "Parse Error 1"},             // program after a value
      {{0x75, 0x61, 0x05}, "Parse Error 1"},             // structure never ended
      {{0xF3}, "Parse Error 1"},                         // stray END_STRUCT
      {{0x74, 0x61, 0x01, 0xF3}, "Parse Error 1"},       // range of one field
      {{0x72, 0x60, 0x60, 0xFA, 0x00}, "Parse Error 1"}, // event handle not a handle
      {{0x7D}, "Parse Error 1"},                         // kind nibble 13: end of input
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(hex(c.bytes));
    EXPECT_EQ(parseFailure(c.bytes), c.text);
  }
}

TEST(DecodeTest, DeepNestingFailsInsteadOfExhaustingTheStack) {
  Bytes deep;
  for (int i = 0; i < 100000; ++i) {
    deep.push_back(0x75);
  }
  EXPECT_EQ(parseFailure(deep), "Parse Error 2");

  Bytes nested;
  for (int i = 0; i < 50; ++i)
    nested.push_back(0x75);
  nested.push_back(0x60);
  nested.insert(nested.end(), 50, 0xF3);
  RegisteredMemoryBlob blob(kProgramBlobSize);
  EXPECT_NO_THROW(decodePIC(nested, blob));
}

TEST(DecodeTest, FailedDecodeReleasesTheArenaItMade) {
  const long live = MemoryBlob::liveCount();
  const size_t registered = RegisteredMemoryBlob::registeredCount();
  EXPECT_THROW(decodePIC(Bytes{0x75, 0x61, 0x05, 0x21}), PICType::ParseError);
  EXPECT_EQ(MemoryBlob::liveCount(), live);
  EXPECT_EQ(RegisteredMemoryBlob::registeredCount(), registered);
  DecodedPIC decoded = decodePIC(Bytes{0x61, 0x05});
  EXPECT_EQ(decoded.blob->chunkSize(), kProgramBlobSize);
  EXPECT_TRUE(decoded.blob->contains(decoded.value));
}

} // namespace
} // namespace arxmod
