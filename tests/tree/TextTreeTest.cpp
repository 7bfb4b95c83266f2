// Text trees: the lexer's longest-match rules, counted strings, header
// warnings, round trips, structured blocks, refusals and framework files.
#include "tree/TextTree.h"
#include "SampleTree.h"
#include "tree/RegisterObj.h"
#include "tree/TextTreeLexer.h"
#include "tree/TreeFile.h"

#include <gtest/gtest.h>

#include <cmath>

namespace arxmod {
namespace {

std::vector<Token> lex(std::string_view input) {
  TextTreeLexer lexer(input);
  std::vector<Token> tokens;
  for (Token token = lexer.next(); token.kind != TokenKind::End; token = lexer.next())
    tokens.push_back(token);
  return tokens;
}

std::string kinds(std::string_view input) {
  std::string out;
  for (const Token &token : lex(input)) {
    static const char *names[] = {"int",     "real", "{",  "}",     "=",      ",",     "quoted",
                                  "counted", "node", "kw", "class", "method", "error", "end"};
    out += std::string(names[static_cast<int>(token.kind)]) + ":" + token.value() + " ";
  }
  return out;
}

TEST(TextTreeLexerTest, MatchesTheLongestToken) {
  const struct {
    const char *input;
    const char *tokens;
  } cases[] = {
      {"0x1A2b", "int:0x1A2b "},
      {"1a2b", "int:1 error:a int:2 error:b "},
      {"0123", "int:0123 "},
      {"-0x1F", "int:-0 error:x int:1 error:F "},
      {"+12 -7", "int:+12 int:-7 "},
      {"1.5 1. .5 1e3 1.5E-3 -2.5e+2",
       "real:1.5 real:1. real:.5 real:1e3 real:1.5E-3 real:-2.5e+2 "},
      {"1e 1.e", "int:1 error:e real:1. error:e "},
      {"+NAN -INF NAN", "real:+NAN real:-INF error:NAN "},
      {"{ } = ,", "{:{ }:} =:= ,:, "},
      {"\"a \\\" b\" \"\\\\\"", "quoted:a \" b quoted:\\ "},
      {"0x5@east node\r\n7", "int:0x5 node:east node int:7 "},
      {"saved_as_Module (p) classid Numeric_Register BooleanVariable_Register Register_read_value",
       "kw:saved_as_Module kw:(p) kw:classid class:Numeric_Register "
       "class:BooleanVariable_Register method:Register_read_value "},
      {"numeric_register a_1", "error:numeric_register error:a_ int:1 "},
      {"# \x80 $ 5", "error:# error:\x80 "},
      {". + -", "error:. error:+ error:- "},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(kinds(c.input), c.tokens);
  }
  EXPECT_EQ(lex("0x1A2b")[0].integer, 0x1A2B);
  EXPECT_EQ(lex("0123")[0].integer, 123);
  EXPECT_EQ(lex("-17")[0].integer, -17);
  EXPECT_TRUE(std::isnan(lex("-NAN")[0].real));
  EXPECT_EQ(lex("BooleanVariable_Register")[0].number, 21u);
  EXPECT_EQ(lex("99999999999999999999")[0].kind, TokenKind::Error);
  EXPECT_EQ(lex("0x10000000000000000")[0].kind, TokenKind::Error);
}

TEST(TextTreeLexerTest, CountedStringsTakeExactlyTheirBytes) {
  const struct {
    std::string input;
    std::string tokens;
  } cases[] = {
      {"<5>a \"b>c", "counted:a \"b> error:c "},
      {"<0> 7", "counted: int:7 "},
      {std::string("<3>\0\n}x", 7), std::string("counted:\0\n} error:x ", 20)},
      {"<9>short", "error:<9>short "},
      {"<99999999999999999999999>x", "error:<99999999999999999999999>x "},
      {"<x>", "error:< error:x error:> "},
      {"<5", "error:< int:5 "},
      {"\"unterminated", "error:\"unterminated "},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(kinds(c.input), c.tokens);
  }
}

TEST(TextTreeTest, WrittenTreeReadsBackWithEveryAttribute) {
  auto sample = test::makeSampleTree();
  const std::string text = textTreeString(*sample);
  std::vector<std::string> warnings;
  auto back = parseTextTree(text, &warnings);
  EXPECT_TRUE(warnings.empty());
  EXPECT_EQ(back->count(), sample->count());
  EXPECT_EQ(back->revision(), sample->revision());
  EXPECT_EQ(test::describe(*back), test::describe(*sample));
  EXPECT_EQ(textTreeString(*back), text);
  // Nested registers are written inside their module's outputs.
  EXPECT_NE(text.find("outputs = {\n    saved_as_Register 0x101\n"), std::string::npos);
  EXPECT_EQ(text.find("secret"), std::string::npos);
}

TEST(TextTreeTest, HeaderProblemsAreWarnings) {
  const std::string body = "saved_as_ARX 0x9 classid = ARX name = <1>n\n";
  const struct {
    std::string header;
    std::vector<std::string> warnings;
  } cases[] = {
      {"", {"\nDAT PARSER WARNING: No revision number in file\n"}},
      {"REVISION = 1005\n", {}},
      {"REVISION = 1004\n", {"\nDAT PARSER WARNING: Wrong revision, got 1004, expected 1005.\n"}},
      {"REVISION 1005\n", {"\nDAT PARSER WARNING: '=' expected.\n"}},
      {"REVISION =\n", {"\nDAT PARSER WARNING: Revision Number expected.\n"}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.header);
    std::vector<std::string> warnings;
    auto objects = parseTextTree(c.header + body, &warnings);
    EXPECT_EQ(warnings, c.warnings);
    ASSERT_TRUE(objects->find(9));
    EXPECT_EQ(objects->find(9)->name(), "n");
  }
}

TEST(TextTreeTest, UnreadableFilesEndInBadDataFile) {
  const struct {
    const char *text;
    const char *message;
  } cases[] = {
      {"REVISION = 1005 saved_as_ARX 0x1 saved_as_Register 0x1",
       "\nDuplicate definition for handle: 1\n"},
      {"saved_as_ARX 0x1 name = \"unterminated", "\nARXOBJS LEVEL 1 EXCEPTION: Parse Error\n"},
      {"saved_as_ARX 0x1 name = <40>short", "\nARXOBJS LEVEL 1 EXCEPTION: Parse Error\n"},
      {"saved_as_ARX 0x1 depth = 5", "\nARXOBJS LEVEL 1 EXCEPTION: Parse Error\n"},
      {"saved_as_ARX -1", "\nARXOBJS LEVEL 1 EXCEPTION: Parse Error\n"},
      {"saved_as_ARX 0x100000000", "\nARXOBJS LEVEL 1 EXCEPTION: Parse Error\n"},
      {"saved_as_Module 0x1 outputs = { 0x2", "\nARXOBJS LEVEL 1 EXCEPTION: Parse Error\n"},
      {"saved_as_Register 0x1 value = { { }", "\nARXOBJS LEVEL 1 EXCEPTION: Parse Error\n"},
      {"saved_as_ARX 0x1 junk", "\nARXOBJS LEVEL 1 EXCEPTION: Parse Error\n"},
      {"0x5", "\nARXOBJS LEVEL 1 EXCEPTION: Parse Error\n"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.text);
    try {
      parseTextTree(c.text);
      ADD_FAILURE() << "parsed";
    } catch (const BadDataFile &failure) {
      EXPECT_EQ(failure.text(), c.message);
    }
  }
}

TEST(TextTreeTest, DeepNestingIsRefusedNotFollowed) {
  std::string nested = "saved_as_Module 0x1";
  for (int i = 2; i < 5000; ++i)
    nested += " outputs = { saved_as_Module " + std::to_string(i);
  EXPECT_THROW(parseTextTree(nested), BadDataFile);
  EXPECT_THROW(parseTextTree("saved_as_Register 0x1 value = " + std::string(5000, '{')),
               BadDataFile);
}

TEST(TextTreeTest, StructuredValuesAndOddStatementsSurvive) {
  const std::string text =
      "REVISION = 1005\n"
      "saved_as_Register 0x7\n"
      "  classid = 35\n"
      "  parent = 0x2\n"
      "  name = <4>Sch}\n"
      "  value = {\n    Schedule { \"}\" <1>{ (p) 5 }\n  }\n"
      "saved_as_AddressRegister 0x8 classid = Mystery_Register name = <1>a\n"
      "  allowedclasses = { 1 2 3 Numeric_Register 99 }\n"
      "saved_as_Module 0x9 classid = Minimum_Module name = <1>m\n"
      "  inputs = { 0x7 0x8@far away\n }\n"
      "  inputclasses = { { start_range = 0 end_range = 15 input_type = extended_only "
      "Numeric_Register } }\n";
  auto objects = parseTextTree(text);
  auto *reg = dynamic_cast<RegisterObj *>(objects->find(7));
  ASSERT_NE(reg, nullptr);
  EXPECT_EQ(reg->classNumber(), 35u);
  EXPECT_EQ(reg->structuredValue(), "\n    Schedule { \"}\" <1>{ (p) 5 }\n  ");
  EXPECT_FALSE(reg->valueText());
  EXPECT_EQ(objects->find(8)->classNumber(), 0u); // unknown class name left unset
  auto *address = dynamic_cast<AddressRegisterObj *>(objects->find(8));
  EXPECT_EQ(*address->allowedClasses(), (std::vector<uint32_t>{1, 2, 3, 23, 99}));
  auto *module = dynamic_cast<ModuleObj *>(objects->find(9));
  EXPECT_EQ(module->inputs()->at(1), (CompleteObjectHandle{8, "far away"}));
  EXPECT_EQ(module->inputClasses()->front(), (std::vector<uint32_t>{0, 15, 3, 23}));
  // Written back, the structured block is unchanged and reads back the same.
  auto again = parseTextTree(textTreeString(*objects));
  EXPECT_EQ(dynamic_cast<RegisterObj *>(again->find(7))->structuredValue(), reg->structuredValue());
  EXPECT_EQ(textTreeString(*again), textTreeString(*objects));
}

std::string framework(std::string_view text, uint32_t endAdjust = 0) {
  std::string bytes(kFrameworkMagic);
  bytes += std::string("designer name\0", 14);
  const uint32_t end = static_cast<uint32_t>(bytes.size() + 4 + text.size()) + endAdjust;
  for (int i = 0; i < 4; ++i)
    bytes += static_cast<char>(end >> (8 * i));
  return bytes + std::string(text) + "trailing bytes not in the tree";
}

TEST(FrameworkFileTest, ReadsTheEmbeddedTextUpToItsEnd) {
  const std::string text = "REVISION = 1005 saved_as_ARX 0x4 name = <2>fw";
  auto span = [](const std::string &s) {
    return std::span(reinterpret_cast<const uint8_t *>(s.data()), s.size());
  };
  auto objects = readFrameworkFile(span(framework(text)));
  ASSERT_TRUE(objects);
  EXPECT_EQ(objects->find(4)->name(), "fw");
  EXPECT_FALSE(readFrameworkFile(span(framework(text, 1000))));
  EXPECT_FALSE(readFrameworkFile(span(std::string("ARX_DESIGNER_FRAMEWORK"))));
  EXPECT_FALSE(readFrameworkFile(span(std::string(kFrameworkMagic) + "no terminator")));
  EXPECT_FALSE(readFrameworkFile(span(std::string("ARX_DESIGNER_FRAMEWORX") + text)));
  // Through the form detection: by name only.
  EXPECT_EQ(loadTreeBytes(framework(text), "Device.FWN")->find(4)->name(), "fw");
  EXPECT_THROW(loadTreeBytes(framework(text), "device.dat"), BadDataFile);
  try {
    loadTreeBytes(framework(text, 1000), "device.fwn");
    ADD_FAILURE() << "loaded";
  } catch (const KSXmsg &failure) {
    EXPECT_NE(failure.text().find("XML parse error"), std::string::npos) << failure.text();
  }
}

} // namespace
} // namespace arxmod
