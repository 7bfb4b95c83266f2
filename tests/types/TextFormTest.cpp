// Text form: print, to-text with the precision rule and one-line folding,
// the text parser's grammar, fallbacks and limits, and CompleteObjectHandle.
#include "SampleValues.h"

#include "types/CompleteObjectHandle.h"
#include "types/TextParser.h"

#include <gtest/gtest.h>

namespace arxmod {
namespace {

std::string printed(const PICType &value) {
  std::ostringstream out;
  value.print(out, "\n\t");
  return out.str();
}

TEST(TextFormTest, PrintWritesIndentationNamesAndBraces) {
  MemoryBlob blob(kProgramBlobSize);
  auto *range = blob.make<RangeType>();
  range->setField(1, blob.make<UnsignedType>(2u));
  auto *list = blob.make<PICTypeList>();
  list->append(blob.make<UnsignedType>(5u));
  auto *strings = blob.make<StringArrayType>();
  strings->append("a b");
  auto *program = blob.make<Program>();
  program->addStatement(0x1234u, 21u);
  program->addStatement(0x20u, 22u, blob.make<UnsignedType>(7u));
  program->addStatement(0x30u, 4u);
  const struct {
    PICType *value;
    const char *text;
  } cases[] = {
      {blob.make<UnsignedType>(7u), "\n\t7u"},
      {blob.make<SignedType>(-7), "\n\t-7"},
      {blob.make<CharType>(65u), "\n\t65"},
      {blob.make<BooleanType>(1u), "\n\ttrue"},
      {blob.make<Float32Type>(2.5f), "\n\t2.5"},
      {blob.make<Float64Type>(0.1), "\n\t0.1"},
      {blob.make<Float64Type>(1e20), "\n\t1e+20"},
      {blob.make<VoidType>(), "\n\t\n\tvoid\n\t"},
      {makeString(blob, "hello"), "\n\thello"},
      {blob.make<Uint08Array>(std::span<const uint8_t>({1, 2})),
       "\n\tUnsignedArrayType\n\t{\n\t\t1u\n\t\t2u\n\t\n\t}"},
      {blob.make<Boolean08Array>(std::span<const uint8_t>({1, 0})),
       "\n\t\n\t\ttrue\n\t\tfalse\n\t"},
      {range, "\n\tRangeType\n\t{0u 2u \n\t}"},
      {list, "\n\tPICTypeList\n\t{\n\t\t5u\n\t\n\t}"},
      {strings, "\n\tStringArrayType\n\t{\n\t\t\"a b\"\n\t\n\t}"},
      {blob.make<ExtendedHandleType>(0x1Au, "east"), "\n\t\n\t\t0x1a@east"},
      {program, "\n\t\n\t0x1234 Register_read_value\n\t0x20 Register_write_value\n\t\t7u"
                "\n\t0x30 4"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(printed(*c.value), c.text);
  }
}

TEST(TextFormTest, ScalarsFollowThePrecisionRule) {
  MemoryBlob blob(kProgramBlobSize);
  const struct {
    NumericType *value;
    int precision;
    const char *text;
  } cases[] = {
      {blob.make<Float64Type>(1234.5678), -1, "1234.5678"},
      {blob.make<Float32Type>(2.9f), -1, "2.9"},
      {blob.make<Float32Type>(123456789.0f), -1, "123456792"},
      {blob.make<Float64Type>(0.0), -1, "0"},
      {blob.make<Float64Type>(100.0), -1, "100"},
      {blob.make<Float64Type>(-0.015625), -1, "-0.015625"},
      {blob.make<Float64Type>(2.0 / 3.0), 3, "0.667"},
      {blob.make<UnsignedType>(70000u), -1, "70000"},
      {blob.make<SignedType>(-12), 4, "-12"},
      {blob.make<BooleanType>(1u), -1, "1"},
      {blob.make<FixedPointType>(FixedPoint::fromDouble(-1.5)), -1, "-1.5"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(c.value->toText({}, c.precision), c.text);
  }
  EXPECT_EQ(blob.make<UnsignedType>(255u)->toText(std::ios_base::hex), "ff");
}

TEST(TextFormTest, OneLineFoldsBlanks) {
  MemoryBlob blob(kProgramBlobSize);
  auto *list = blob.make<PICTypeList>();
  list->append(blob.make<UnsignedType>(5u));
  list->append(makeString(blob, "a\r\nb"));
  EXPECT_EQ(list->toText({}, -1, true), " PICTypeList { 5u a b }");
  EXPECT_EQ(*list->toNewText({}, -1, true), " PICTypeList { 5u a b }");
  EXPECT_EQ(foldToOneLine("\t\t a  \n b"), " a b");
}

TEST(TextParserTest, ReadsScalarsHandlesAndStrings) {
  MemoryBlob blob(kProgramBlobSize);
  const struct {
    const char *text;
    const char *type;
    const char *shown;
  } cases[] = {
      {"7u", "UnsignedType", "7"},
      {"  -5 ", "SignedType", "-5"},
      {"3000000000", "UnsignedType", "3000000000"},
      {"2.5", "Float64Type", "2.5"},
      {"-1e3", "Float64Type", "-1000"},
      {"true", "BooleanType", "1"},
      {"0x1au", "UnsignedType", "26"},
      {"\n\tvoid\n\t", "VoidType", ""},
      {"delta", "DeltaType", ""},
      {"0x1a@east side", "ExtendedHandleType", ""},
      {"\"quoted \"text\"\"", "Char08Array", ""},
      {"The quick brown fox.", "Char08Array", ""},
      {"12 apples", "Char08Array", ""},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.text);
    PICType *value = parsePICText(c.text, blob);
    EXPECT_EQ(value->typeName(), c.type);
    if (auto *number = dynamic_cast<NumericType *>(value)) {
      EXPECT_EQ(number->toText(), c.shown);
    }
  }
  EXPECT_EQ(picCast<ExtendedHandleType>(parsePICText("0x1a@east side", blob))->name(), "east side");
  EXPECT_EQ(picCast<Char08Array>(parsePICText("\"quoted \"text\"\"", blob))->text(),
            "quoted \"text\"");
  EXPECT_EQ(picCast<Char08Array>(parsePICText("The quick brown fox.", blob))->text(),
            "The quick brown fox.");
}

TEST(TextParserTest, TextsThatAreNoValueComeBackAsThemselves) {
  MemoryBlob blob(kProgramBlobSize);
  std::string deep;
  for (int i = 0; i < 200; ++i)
    deep += "PICTypeList { ";
  const std::string longToken(kTextTokenBufferSize + 1, '7');
  const struct {
    std::string text;
    const char *error;
  } cases[] = {
      {"", "Syntax error"},
      {"RangeType { 1u }", "Syntax error"},
      {"RangeType { 1u 2u", "Syntax error"},
      {"5 6", "Syntax error"},
      {"0x10 Register_read_nothing", "Invalid method.\n"},
      {"0x10 0", "Syntax error"},
      {deep, "Parser stack overflow"},
      {longToken, "Token buffer overflow"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.text.substr(0, 40));
    const TextParseResult result = parsePICTextWithReport(c.text, blob);
    EXPECT_EQ(result.error, c.error);
    EXPECT_EQ(picCast<Char08Array>(result.value)->text(), c.text);
  }
}

TEST(TextParserTest, ReadsStatementsWithNumbersAndNames) {
  MemoryBlob blob(kProgramBlobSize);
  auto *program = picCast<Program>(parsePICText(
      "0x1234 Register_read_value\n0x20 22 7u\n0x30 Register_write_value\n  RangeType { 1u 2u }\n"
      "0xFFFFFFFE 200",
      blob));
  ASSERT_EQ(program->structureCount(), 4u);
  EXPECT_EQ(program->at(0)->handle(), 0x1234u);
  EXPECT_EQ(program->at(0)->invocation()->method(), 21u);
  EXPECT_FALSE(program->at(0)->invocation()->hasValue());
  EXPECT_EQ(picCast<UnsignedType>(program->at(1)->invocation()->argument())->get(), 7u);
  EXPECT_EQ(program->at(2)->invocation()->argument()->typeName(), "RangeType");
  EXPECT_EQ(program->at(3)->handle(), 0xFFFFFFFEu);
  EXPECT_EQ(program->at(3)->invocation()->method(), 200u);
}

TEST(TextParserTest, EveryPrintedValueReadsBackEqual) {
  MemoryBlob blob(kProgramBlobSize), target(kProgramBlobSize);
  for (const auto &[name, value] : test::sampleValues(blob)) {
    // The kind byte of an unknown structure has no text form.
    if (name.starts_with("UnknownStructure"))
      continue;
    SCOPED_TRACE(name);
    const std::string text = value->toText();
    const TextParseResult parsed = parsePICTextWithReport(text, target);
    EXPECT_EQ(parsed.error, "") << text;
    EXPECT_TRUE(parsed.value->equals(*value)) << text << "\n-> " << parsed.value->toText();
  }
  auto *program = blob.make<Program>();
  program->addStatement(0x1234u, 21u);
  program->addStatement(0x20u, 22u, blob.make<Float64Type>(1.25));
  program->addStatement(0x21u, 22u, test::makeList(blob, {blob.make<UnsignedType>(1u)}));
  program->addStatement(0x22u, 9999u, makeString(blob, "set point"));
  PICType *parsed = parsePICText(program->toText(), target);
  EXPECT_TRUE(parsed->equals(*program)) << program->toText() << "\n-> " << parsed->toText();
}

TEST(CompleteObjectHandleTest, TextAndValues) {
  MemoryBlob blob(kProgramBlobSize);
  const CompleteObjectHandle named{0x1A, "east"}, local{0x1A, ""};
  EXPECT_EQ(named.toText(), "0x1a@east");
  EXPECT_EQ(local.toText(), "0x1a");
  EXPECT_EQ(CompleteObjectHandle::fromText("0x1a@east"), named);
  EXPECT_EQ(CompleteObjectHandle::fromText(" 26"), local);
  EXPECT_EQ(CompleteObjectHandle::fromText("0x1A@"), local);
  for (const char *bad : {"", "east", "0x", "0x1g", "99999999999", "-1"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(CompleteObjectHandle::fromText(bad), std::nullopt);
  }
  EXPECT_EQ(picCast<UnsignedType>(local.toPICType(blob))->get(), 26u);
  EXPECT_EQ(picCast<ExtendedHandleType>(named.toPICType(blob))->name(), "east");

  const CompleteObjectHandle bare[] = {{1, ""}, {2, ""}};
  EXPECT_EQ(CompleteObjectHandle::listToPICType(bare, blob)->typeName(), "Uint32Array");
  const CompleteObjectHandle mixed[] = {{1, ""}, {2, "west"}};
  auto *array = picCast<ExtendedHandleArrayType>(CompleteObjectHandle::listToPICType(mixed, blob));
  ASSERT_EQ(array->structureCount(), 2u);
  EXPECT_FALSE(array->at(0)->hasName());
  EXPECT_EQ(array->at(1)->name(), "west");
}

} // namespace
} // namespace arxmod
