// Requests: the address syntax with unit and position, the checks that keep
// a request within one well-formed message, write encodings, decoded
// responses and the request questions.
#include "ModbusFixtures.h"

#include "modbus/RequestAddress.h"

namespace XLARX::test {
namespace {

TEST(RequestAddressTest, ReadsUnitPrefixAndPositionSuffix) {
  struct Case {
    const char *text;
    uint32_t unit;
    uint8_t registerClass;
    uint16_t offset;
    int32_t position;
  };
  const Case cases[] = {
      {"400101", 0, 4, 100, -1},
      {"2:400101", 2, 4, 100, -1},
      {"400101p3", 0, 4, 100, 3},
      {"17:400101P0", 17, 4, 100, 0},
      {"465536", 0, 4, 65535, -1},
      {"000001", 0, 0, 0, -1},
      {"4001019p2", 0, 4, 100, 2},
      {"4294967295:300002", 4294967295u, 3, 1, -1},
      {"100010p2147483647", 0, 1, 9, 2147483647},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text);
    const RequestAddress address = parseRequestAddress(c.text);
    EXPECT_EQ(address.unit, c.unit);
    EXPECT_EQ(address.reg.registerClass, c.registerClass);
    EXPECT_EQ(address.reg.offset, c.offset);
    EXPECT_EQ(address.position, c.position);
  }
}

TEST(RequestAddressTest, RefusesWhatTheSyntaxRejects) {
  for (const char *text : {"", "200001", "40", "4", "4a0001", ":400101", "x:400101", "400101p",
                           "400101p-1", "400101p2x", "400101p2147483648", "4294967296:400101",
                           "2:3:400101", "400000", "4abc:400101"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(failureOf([&] { parseRequestAddress(text); }),
              "Invalid Modbus Register Address '" + std::string(text) + "'");
  }
}

TEST(ModbusRequestTest, RefusesRequestsNoMessageCanCarry) {
  struct Case {
    std::function<void()> make;
    std::string failure;
  };
  const uint16_t words[124] = {};
  const Case cases[] = {
      {[] { ModbusRequest::read("400101", 0, 0xFFFF, 0, false, -1); },
       "Invalid Number Of Registers 0 for Modbus Register Address '400101'"},
      {[] { ModbusRequest::read("400101", 30, 0xFFFF, 4464, false, -1); }, // 70000 in 16 bits
       "Invalid Number Of Registers 4464 for Modbus Register Address '400101'"},
      {[] { ModbusRequest::read("465536", 4, 0xFFFF, 2, false, -1); },
       "Invalid Modbus Register Address '465536': its 2 registers run past register 65535"},
      {[] { ModbusRequest::read("465533p5", 0, 0xFFFF, 2, false, -1); },
       "Invalid Modbus Register Address '465533p5': its 2 registers run past register 65535"},
      {[&] { ModbusRequest::rawWrite("400101", 30, words, true); },
       "Invalid Number Of Registers 124 for Modbus Register Address '400101'"},
      {[] { ModbusRequest::numericWrite("400101", 0, 0xFFFF, 1, 0, true); },
       "Invalid Number Of Registers 0 for Modbus Register Address '400101'"},
      {[] { ModbusRequest::fileRecordRead(5, 0, 0, 1); },
       "Invalid Number Of Registers 0 for file 5 record 0"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.failure);
    EXPECT_EQ(failureOf(c.make), c.failure);
  }
  // The largest of each kind still fits.
  EXPECT_NO_THROW(ModbusRequest::read("465411", 30, 0xFFFF, 125, false, -1));
  EXPECT_NO_THROW(ModbusRequest::rawWrite("400101", 30, std::span(words).first(123), true));
  EXPECT_NO_THROW(ModbusRequest::numericWrite("000001", 30, 0xFFFF, 0, 1968, true));
}

TEST(ModbusRequestTest, EncodesWritesByTheirFormat) {
  const uint16_t words[] = {0x1234, 0xABCD};
  EXPECT_EQ(ModbusRequest::rawWrite("400101", MBF_U16_21_ARRAY, words, true)->encodeRegisters(),
            (std::vector<uint16_t>{0x1234, 0xABCD}));
  EXPECT_EQ(ModbusRequest::rawWrite("400101", MBF_ASCII, words, true)->encodeRegisters(),
            (std::vector<uint16_t>{0x3412, 0xCDAB})); // low byte first, sent high first
  EXPECT_EQ(ModbusRequest::numericWrite("400101", MBF_U32_M10k_2143, 0xFFFFFFFF, 123456, 2, true)
                ->encodeRegisters(),
            (std::vector<uint16_t>{3456, 12}));
  EXPECT_EQ(ModbusRequest::textWrite("400101", MBF_ASCII, "AB", 3, true)->encodeRegisters(),
            (std::vector<uint16_t>{0x4142, 0, 0}));
  EXPECT_EQ(
      failureOf([] {
        ModbusRequest::numericWrite("400101", MBF_S16_1_15, 0xFFFF, 1, 1, true)->encodeRegisters();
      }),
      "Unsupported Modbus conversion");
}

TEST(ModbusRequestTest, DecodesResponsesByTheItem) {
  const auto ascii = ModbusRequest::read("400101", MBF_ASCII, 0xFFFFFFFF, 3, false, -1);
  const uint16_t text[] = {0x2041, 0x2042, 0x2020};
  auto response = ascii->makeDecodedResponse(text);
  EXPECT_EQ(response->kind, ResponseKind::Text);
  EXPECT_EQ(response->text, "A B");
  EXPECT_EQ(response->errorCode, 0u);

  const auto array = ModbusRequest::read("400101", MBF_U16_21_ARRAY, 0xFFFFFFFF, 1, false, -1);
  const uint16_t spaces[] = {0x2020};
  EXPECT_EQ(array->makeDecodedResponse(spaces)->text, "  "); // arrays are not trimmed

  const auto marked = ModbusRequest::read("400101", MBF_U16_21, 0xFFFF, 1, true, -1);
  const uint16_t marker[] = {0xFFFF};
  response = marked->makeDecodedResponse(marker);
  EXPECT_EQ(response->errorCode, kModbusNotAvailable);
  EXPECT_EQ(response->value, -1.0);

  const auto signedPair = ModbusRequest::read("400101", MBF_S32_4321, 0xFFFFFFFF, 2, false, -1);
  const uint16_t minusTwo[] = {0xFFFF, 0xFFFE};
  response = signedPair->makeDecodedResponse(minusTwo);
  EXPECT_EQ(response->value, -2.0);
  EXPECT_EQ(response->format, MBF_S32_4321);

  const auto undecodable = ModbusRequest::read("400101", MBF_U32_1234, 0xFFFFFFFF, 2, false, -1);
  EXPECT_EQ(failureOf([&] { undecodable->makeDecodedResponse(minusTwo); }),
            "Unsupported Modbus conversion");
}

TEST(ModbusRequestTest, AnswersTheRequestQuestions) {
  const auto readRequest = ModbusRequest::read("400101", 0, 0xFFFF, 1, false, -1);
  const auto configWrite = ModbusRequest::numericWrite("400101", 0, 0xFFFF, 5, 1, true);
  const auto plainWrite = ModbusRequest::numericWrite("400101", 0, 0xFFFF, 5, 1, false);
  EXPECT_FALSE(isWrite(*readRequest));
  EXPECT_FALSE(isConfigWrite(*readRequest));
  EXPECT_TRUE(isWrite(*plainWrite));
  EXPECT_FALSE(isConfigWrite(*plainWrite));
  EXPECT_TRUE(isConfigWrite(*configWrite));
  const XL::Request other;
  EXPECT_EQ(failureOf([&] { isWrite(other); }), "Not modbus request");
  EXPECT_EQ(failureOf([&] { isConfigWrite(other); }), "Not modbus request");
}

} // namespace
} // namespace XLARX::test
