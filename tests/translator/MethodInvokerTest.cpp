// The method invoker on every object class of the fixture tree, through
// TreeTranslator::invokeCapturing as a program's execution calls it.
#include "TreeFixture.h"

#include "translator/InvocationErrors.h"
#include "types/TextParser.h"

#include <gtest/gtest.h>

namespace arxmod::test {
namespace {

struct Case {
  uint32_t handle;
  uint32_t method;
  const char *argument; // text form; "void" for none
  const char *expected; // one-line text form of the result
};

std::string invokeText(TreeFixture &translator, const Case &c) {
  RegisteredMemoryBlob blob(kProgramBlobSize);
  PICType *argument = parsePICText(c.argument, blob);
  return oneLineText(*translator.invokeCapturing(c.handle, c.method, argument));
}

void expectAll(std::initializer_list<Case> cases) {
  TreeFixture translator;
  for (const Case &c : cases) {
    SCOPED_TRACE(::testing::Message() << std::hex << "handle 0x" << c.handle << std::dec
                                      << " method " << c.method << " argument " << c.argument);
    EXPECT_EQ(invokeText(translator, c), c.expected);
  }
}

TEST(MethodInvokerTest, AnswersWhatEveryObjectHas) {
  expectAll({
      {0x20, 1, "void", "1u"},
      {0x20, 2, "void", "Plain"},
      {0x20, 3, "void", "Plain"}, // no label: the name
      {0x100, 3, "void", "Min One"},
      {0x100, 131, "void", "16u"},
      {0x20, 129, "21u", "0u"}, // no table, no defaults
      {0x20, 130, "void", "ExceptionType { 5u void }"},
      {0x20, 128, "\"x\"", "ExceptionType { 4u x }"},
      {0x20, 132, "void", "ExceptionType { 4u void }"},
      {0x20, 134, "void", "ExceptionType { 4u void }"},
      {0x20, 999, "void", "ExceptionType { 6u void }"},
      {0x101, 133, "25u", "true"},  // its own class
      {0x101, 133, "20u", "true"},  // an ancestor
      {0x101, 133, "1u", "true"},   // the root class
      {0x101, 133, "21u", "false"}, // a sibling
      {0x101, 133, "true", "ExceptionType { 3u true }"},
  });
}

TEST(MethodInvokerTest, AnswersSecurityFromTheTableOrTheClassDefaults) {
  expectAll({
      {0x100, 129, "128u", "3u"},
      {0x100, 129, "1000u", "0u"}, // a table without the method
      {0x100, 130, "void",
       "MethodSecurityArrayType { MethodSecurityType { 128u 3u } "
       "MethodSecurityType { 1001u 2u } }"},
      {0x101, 129, "22u", "1u"},
      {0x101, 129, "21u", "ExceptionType { 3u 21u }"},
      {0x101, 129, "true", "ExceptionType { 3u true }"},
      {0x101, 130, "void",
       "MethodSecurityArrayType { MethodSecurityType { 22u 1u } "
       "MethodSecurityType { 128u 1u } }"},
      {0x102, 129, "501u", "1u"},
      {0x104, 129, "22u", "1u"}, // an enumeration is a register
      {0x30, 129, "1001u", "1u"},
      {0x30, 129, "1500u", "ExceptionType { 3u 1500u }"},
      {0x10, 129, "1500u", "1u"},
      {0x10, 130, "void",
       "MethodSecurityArrayType { MethodSecurityType { 128u 1u } "
       "MethodSecurityType { 1500u 1u } MethodSecurityType { 1501u 1u } }"},
  });
}

TEST(MethodInvokerTest, AnswersRegistersFromTheirStoredData) {
  expectAll({
      {0x101, 21, "void", "230.5"},
      {0x10B, 21, "void", "ExceptionType { 5u void }"},
      {0x101, 20, "void", "ExceptionType { 4u void }"},
      {0x101, 22, "1.5", "ExceptionType { 4u void }"},
      {0x101, 300, "void", "ExceptionType { 4u void }"},
      {0x101, 585, "void", "ExceptionType { 4u void }"},
      {0x101, 622, "void", "ExceptionType { 4u void }"},
      {0x101, 35, "void", "ExceptionType { 6u void }"},
      {0x102, 28, "void", "RUN"},
      {0x102, 29, "void", "OFF"},
      {0x102, 30, "void", "RUN"},
      {0x102, 31, "void", "OFF"},
      {0x102, 32, "void", "RUN"},
      {0x103, 32, "void", "OFF"},
      {0x102, 500, "void", "ExceptionType { 4u void }"},
      {0x104, 520, "void", "StringArrayType { \"4W-WYE\" \"DELTA\" }"},
      {0x105, 540, "void", "Float64Array { 1 999999 }"},
      {0x105, 541, "void", "ExceptionType { 4u void }"},
      {0x106, 601, "void", "1u"},
      {0x106, 603, "void", "2u"},
      {0x106, 605, "void", "weekday"}, // no labels: the names
      {0x106, 607, "void", "weekday"},
      {0x106, 608, "void", "3u"},
      {0x106, 602, "void", "ExceptionType { 4u void }"},
      {0x107, 35, "void", "16u"},
      {0x107, 37, "void", "7u"},
      {0x107, 36, "void", "ExceptionType { 4u void }"},
      {0x108, 40, "void", "42u"},
      {0x108, 35, "void", "100u"},
      {0x108, 41, "void", "ExceptionType { 4u void }"},
      {0x109, 560, "void", "5u"},
      {0x109, 40, "void", "3u"},
      {0x109, 45, "void", "ExceptionType { 4u void }"},
      {0x10A, 627, "void", "UnsignedArrayType { 0u 3u 1u 23u }"},
      {0x101, 627, "void", "ExceptionType { 6u void }"},
  });
}

TEST(MethodInvokerTest, AnswersModulesAndManagers) {
  expectAll({
      {0x100, 80, "void", "9u"},
      {0x100, 81, "void", "5u"},
      {0x100, 1000, "void", "UnsignedArrayType { 257u 258u }"},
      {0x100, 1002, "void",
       "UnsignedArrayArrayType { UnsignedArrayType { 0u 15u 1u 23u } "
       "UnsignedArrayType { 16u 16u 1u 21u } }"},
      {0x100, 1003, "void", "UnsignedArrayType { 260u 261u }"},
      {0x100, 1004, "void", "UnsignedArrayType { 259u }"},
      {0x100, 1005, "void", "1 s"},
      {0x100, 1007, "void", "StringArrayType { \"Source\" \"Enable\" }"},
      {0x100, 1030, "void", "true"},
      {0x30, 1000, "void", "ExceptionType { 5u void }"},
      {0x30, 1002, "void", "ExceptionType { 5u void }"},
      {0x30, 1005, "void", "ExceptionType { 5u void }"},
      {0x30, 1007, "void", "ExceptionType { 5u void }"},
      {0x30, 1030, "void", "false"},
      {0x100, 1031, "void", "ExceptionType { 4u void }"},
      {0x100, 1006, "void", "ExceptionType { 4u void }"},
      {0x10, 100, "void", "4u"},
      {0x10, 101, "void", "ExceptionType { 4u void }"},
      {0x10, 1502, "void", "511u"},
      {0x10, 1505, "void", "true"},
      {0x10, 1506, "void", "16u"},
      {0x10, 1004, "void", "UnsignedArrayType { 256u }"}, // a manager is a module
      {0x10, 2, "void", "Minimum Modules"},
  });
}

TEST(MethodInvokerTest, NamesAMissingHandleAndMissingTree) {
  TreeFixture translator;
  EXPECT_EQ(invokeText(translator, {0x7F012, 1, "void", ""}),
            "ExceptionType { 9u void Invalid object 7f012 }");
  translator.dropTree();
  RegisteredMemoryBlob blob(kProgramBlobSize);
  try {
    translator.invokeCapturing(0x20, 1, blob.make<VoidType>());
    FAIL() << "no failure";
  } catch (const KSXmsg &e) {
    EXPECT_EQ(e.text(), "No tree");
  }
}

TEST(MethodInvokerTest, CapturesTheFailuresOfTheMappedLevel) {
  TreeFixture translator;
  translator.mapped = [](uint32_t handle, uint32_t, PICType *argument) -> PICType * {
    switch (handle) {
    case 1:
      throw XLARX::MappedARXException(3, "Mapping incompatible with register type");
    case 2:
      throw XLARX::MappedARXException(5, "");
    case 3:
      throw XLARX::ExceptNotSupported;
    case 4:
      return argument->blob().make<UnsignedType>(77u);
    default:
      return nullptr; // answered from the tree
    }
  };
  const std::pair<uint32_t, const char *> cases[] = {
      {1, "ExceptionType { 3u void Mapping incompatible with register type }"},
      {2, "ExceptionType { 5u void }"},
      {3, "ExceptionType { 4u void }"},
      {4, "77u"},
      {0x20, "1u"},
  };
  for (const auto &[handle, expected] : cases) {
    SCOPED_TRACE(handle);
    EXPECT_EQ(invokeText(translator, {handle, 1, "void", ""}), expected);
  }
}

} // namespace
} // namespace arxmod::test
