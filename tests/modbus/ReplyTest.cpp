// Reply PDUs: every shape decoded, every way a reply fails to decode or to
// answer its message, and the text that shows undecodable bytes.
#include "ModbusFixtures.h"

#include "modbus/ModbusReply.h"

namespace XLARX::test {
namespace {

ModbusMessage messageOf(MessageKind kind, uint8_t registerClass, uint16_t start, uint16_t count) {
  ModbusMessage message;
  message.kind = kind;
  message.registerClass = registerClass;
  message.start = start;
  message.count = count;
  return message;
}

TEST(ReplyTest, DecodesEveryShape) {
  struct Case {
    const char *name;
    Bytes bytes;
    std::vector<uint16_t> registers;
    uint8_t transmission = 0;
  };
  const Case cases[] = {
      {"coils", {1, 2, 0x05, 0x01}, {1, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}},
      {"discrete inputs", {2, 1, 0x80}, {0, 0, 0, 0, 0, 0, 0, 1}},
      {"holding registers", {3, 4, 0x12, 0x34, 0xAB, 0xCD}, {0x1234, 0xABCD}},
      {"input registers", {4, 0}, {}},
      {"write one coil", {5, 0, 2, 0xFF, 0}, {}},
      {"write registers", {16, 0, 100, 0, 2}, {}},
      {"file record", {20, 6, 5, 6, 0, 1, 0, 2}, {1, 2}},
      {"scattered read", {100, 6, 4, 9, 0, 7, 0, 8}, {7, 8}, 9},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const ModbusReply reply = decodeReply(c.bytes);
    EXPECT_EQ(reply.function, c.bytes[0]);
    EXPECT_FALSE(reply.exception);
    EXPECT_EQ(reply.registers, c.registers);
    EXPECT_EQ(reply.transmissionNumber, c.transmission);
  }
  const ModbusReply exception = decodeReply(Bytes{0x83, 2});
  EXPECT_EQ(exception.function, 3);
  EXPECT_EQ(exception.exception, 2);
  EXPECT_EQ(decodeReply(Bytes{0xAB, 9}).exception, 9); // any function may carry one
}

TEST(ReplyTest, TakesAtMost125Bits) {
  Bytes bits(2 + 17, 0xFF);
  bits[0] = 1;
  bits[1] = 17;
  EXPECT_EQ(decodeReply(bits).registers.size(), 125u);
}

TEST(ReplyTest, RefusesBytesOfAnyOtherShape) {
  const std::string undecodable = "Invalid Modbus response - Could not decode. Response: (";
  struct Case {
    Bytes bytes;
    std::string failure;
  };
  const Case cases[] = {
      {{}, "Invalid Modbus response - No Function Code"},
      {{0x2B, 0x0E}, "Modbus Function Code is not supported"},
      {{7}, "Modbus Function Code is not supported"},
      {{8, 0, 0, 0x12, 0x34}, undecodable + "5) 08 00 00 12 34 "},
      {{101, 0}, undecodable + "2) 65 00 "},
      {{3}, undecodable + "1) 03 "},
      {{3, 3, 0, 1, 2}, undecodable + "5) 03 03 00 01 02 "}, // odd byte count
      {{3, 4, 0, 1}, undecodable + "4) 03 04 00 01 "},       // cut short
      {{3, 2, 0, 1, 9}, undecodable + "5) 03 02 00 01 09 "}, // bytes beyond the count
      {{0x83}, undecodable + "1) 83 "},                      // exception without its code
      {{0x83, 2, 0}, undecodable + "3) 83 02 00 "},
      {{6, 0, 1, 0}, undecodable + "4) 06 00 01 00 "},
      {{20, 4, 5, 6, 0, 1}, undecodable + "6) 14 04 05 06 00 01 "},       // sub-record beyond
      {{20, 4, 3, 7, 0, 1}, undecodable + "6) 14 04 03 07 00 01 "},       // reference type 7
      {{20, 5, 4, 6, 0, 1, 2}, undecodable + "7) 14 05 04 06 00 01 02 "}, // odd record bytes
      {{20, 0}, undecodable + "2) 14 00 "},
      {{100, 1, 4}, undecodable + "3) 64 01 04 "},
      {{100, 5, 4, 9, 0, 7, 0}, undecodable + "7) 64 05 04 09 00 07 00 "},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.failure);
    EXPECT_EQ(failureOf([&] { decodeReply(c.bytes); }), c.failure);
  }
}

TEST(ReplyTest, AnswersOnlyTheMessageItWasSentFor) {
  ModbusMessage scattered = messageOf(MessageKind::ScatteredRead, 4, 0, 2);
  scattered.data = {7, 8};
  scattered.transmissionNumber = 9;
  ModbusMessage single = messageOf(MessageKind::Write, 4, 100, 2);
  single.single = true;
  struct Case {
    const char *name;
    Bytes reply;
    ModbusMessage sent;
    ReplyMatch match;
  };
  const Case cases[] = {
      {"registers", {3, 4, 0, 1, 0, 2}, messageOf(MessageKind::Read, 4, 0, 2), ReplyMatch::Matches},
      {"fewer registers",
       {3, 2, 0, 1},
       messageOf(MessageKind::Read, 4, 0, 2),
       ReplyMatch::WrongQuantity},
      {"input for holding registers",
       {4, 4, 0, 1, 0, 2},
       messageOf(MessageKind::Read, 4, 0, 2),
       ReplyMatch::WrongFunction},
      {"a read for a scattered read", {3, 4, 0, 1, 0, 2}, scattered, ReplyMatch::WrongFunction},
      {"scattered", {100, 6, 4, 9, 0, 1, 0, 2}, scattered, ReplyMatch::Matches},
      {"another transmission",
       {100, 6, 4, 10, 0, 1, 0, 2},
       scattered,
       ReplyMatch::WrongTransmission},
      {"fewer scattered registers", {100, 4, 4, 9, 0, 1}, scattered, ReplyMatch::WrongQuantity},
      {"coils", {1, 2, 0xFF, 0x01}, messageOf(MessageKind::Read, 0, 0, 9), ReplyMatch::Matches},
      {"a byte short of coils",
       {1, 1, 0xFF},
       messageOf(MessageKind::Read, 0, 0, 9),
       ReplyMatch::WrongQuantity},
      {"an exception for this function",
       {0x83, 2},
       messageOf(MessageKind::Read, 4, 0, 2),
       ReplyMatch::Matches},
      {"an exception for a request never sent",
       {0x90, 2},
       messageOf(MessageKind::Read, 4, 0, 2),
       ReplyMatch::WrongFunction},
      {"write echo",
       {16, 0, 100, 0, 2},
       messageOf(MessageKind::Write, 4, 100, 2),
       ReplyMatch::Matches},
      {"another write's echo",
       {16, 0, 101, 0, 2},
       messageOf(MessageKind::Write, 4, 100, 2),
       ReplyMatch::WrongQuantity},
      {"single write echo", {6, 0, 100, 0x12, 0x34}, single, ReplyMatch::Matches},
      {"file record",
       {20, 4, 3, 6, 0, 1},
       messageOf(MessageKind::FileRecordRead, 4, 0, 1),
       ReplyMatch::Matches},
      {"longer file record",
       {20, 6, 5, 6, 0, 1, 0, 2},
       messageOf(MessageKind::FileRecordRead, 4, 0, 1),
       ReplyMatch::WrongQuantity},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(checkReply(decodeReply(c.reply), c.sent), c.match);
  }
}

TEST(ReplyTest, ShowsUndecodableBytes32ToALine) {
  Bytes bytes(33);
  for (size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<uint8_t>(0xE0 + i);
  const std::string text = couldNotDecodeText(bytes);
  EXPECT_EQ(text.rfind("Invalid Modbus response - Could not decode. Response: (33) e0 e1 ", 0), 0u);
  EXPECT_NE(text.find(" fe ff\n00 "), std::string::npos);
  EXPECT_EQ(text.back(), ' ');
}

} // namespace
} // namespace XLARX::test
