// The replies of a simulated unit to every supported function code, the
// exception of each kind of bad request, and the hooks meter behaviour uses.
#include "sim/PduAnswer.h"

#include <gtest/gtest.h>

#include <random>

namespace arxmod::sim {
namespace {

using Bytes = std::vector<uint8_t>;

class PduAnswerTest : public ::testing::Test {
protected:
  PduAnswerTest() {
    bank.map(Table::Coils, 0, 20);
    for (uint16_t coil : {0, 2, 9})
      bank.set(Table::Coils, coil, 1);
    bank.map(Table::DiscreteInputs, 100, 10);
    bank.set(Table::DiscreteInputs, 101, 1);
    bank.map(Table::InputRegisters, 0, 10, 0x1000);
    bank.map(Table::HoldingRegisters, 0, 200);
    for (uint16_t a = 0; a < 200; ++a)
      bank.set(Table::HoldingRegisters, a, a);
    bank.map(Table::HoldingRegisters, 5000, 10, 0xBEEF);
    bank.mapFile(1, 20);
    for (uint16_t r = 0; r < 20; ++r)
      bank.setFileRecord(1, r, static_cast<uint16_t>(0xF000 + r));
  }

  Bytes answer(const Bytes &request) { return answerPdu(bank, request); }

  RegisterBank bank;
};

TEST_F(PduAnswerTest, AnswersEveryFunctionCode) {
  struct Case {
    const char *name;
    Bytes request;
    Bytes reply;
  };
  const Case cases[] = {
      {"read coils", {1, 0, 0, 0, 10}, {1, 2, 0x05, 0x02}},
      {"read discrete inputs", {2, 0, 100, 0, 3}, {2, 1, 0x02}},
      {"read holding registers", {3, 0, 1, 0, 2}, {3, 4, 0, 1, 0, 2}},
      {"read input registers", {4, 0, 9, 0, 1}, {4, 2, 0x10, 0x00}},
      {"write one coil", {5, 0, 3, 0xFF, 0x00}, {5, 0, 3, 0xFF, 0x00}},
      {"write one register", {6, 0, 7, 0x12, 0x34}, {6, 0, 7, 0x12, 0x34}},
      {"write coils", {15, 0, 10, 0, 10, 2, 0xFF, 0x01}, {15, 0, 10, 0, 10}},
      {"write registers", {16, 0, 20, 0, 2, 4, 0xAA, 0xBB, 0xCC, 0xDD}, {16, 0, 20, 0, 2}},
      {"read file record",
       {20, 7, 6, 0, 1, 0, 2, 0, 3},
       {20, 8, 7, 6, 0xF0, 0x02, 0xF0, 0x03, 0xF0, 0x04}},
      {"read two file records",
       {20, 14, 6, 0, 1, 0, 0, 0, 1, 6, 0, 1, 0, 19, 0, 1},
       {20, 8, 3, 6, 0xF0, 0x00, 3, 6, 0xF0, 0x13}},
      {"scattered read",
       {100, 6, 4, 0x2A, 0x00, 0x01, 0x13, 0x88},
       {100, 6, 4, 0x2A, 0x00, 0x01, 0xBE, 0xEF}},
      {"read the last coil", {1, 0, 19, 0, 1}, {1, 1, 0x00}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(answer(c.request), c.reply);
  }
  EXPECT_EQ(bank.get(Table::Coils, 3), 1);
  EXPECT_EQ(bank.get(Table::HoldingRegisters, 7), 0x1234);
  EXPECT_EQ(bank.range(Table::Coils, 10, 10),
            (std::vector<uint16_t>{1, 1, 1, 1, 1, 1, 1, 1, 1, 0}));
  EXPECT_EQ(bank.range(Table::HoldingRegisters, 20, 2), (std::vector<uint16_t>{0xAABB, 0xCCDD}));
}

TEST_F(PduAnswerTest, RefusesBadRequestsWithTheirExceptionCode) {
  struct Case {
    const char *name;
    Bytes request;
    uint8_t code;
  };
  const Case cases[] = {
      {"unknown function 7", {7}, 1},
      {"unknown function 0x2B", {0x2B, 0x0E, 1, 0}, 1},
      {"function 8 is not answered", {8, 0, 0, 0x12, 0x34}, 1},
      {"read 0 registers", {3, 0, 0, 0, 0}, 3},
      {"read 126 registers", {3, 0, 0, 0, 126}, 3},
      {"read request one byte long", {3, 0, 0, 0, 1, 9}, 3},
      {"read request cut short", {3, 0, 0, 0}, 3},
      {"read past the mapped registers", {3, 0, 199, 0, 2}, 2},
      {"read past address 65535", {3, 0xFF, 0xFF, 0, 2}, 2},
      {"read unmapped input register", {4, 0, 10, 0, 1}, 2},
      {"read 2001 coils", {1, 0, 0, 0x07, 0xD1}, 3},
      {"read 0 discrete inputs", {2, 0, 100, 0, 0}, 3},
      {"read unmapped coils", {1, 0, 15, 0, 6}, 2},
      {"write coil value 0x1234", {5, 0, 3, 0x12, 0x34}, 3},
      {"write unmapped coil", {5, 0, 20, 0xFF, 0x00}, 2},
      {"write unmapped register", {6, 0x13, 0x92, 0, 1}, 2},
      {"write one register cut short", {6, 0, 1}, 3},
      {"write coils with a wrong byte count", {15, 0, 0, 0, 10, 1, 0xFF}, 3},
      {"write 1969 coils", {15, 0, 0, 0x07, 0xB1, 247}, 3},
      {"write 124 registers", {16, 0, 0, 0, 124, 248}, 3},
      {"write registers with fewer bytes", {16, 0, 0, 0, 2, 4, 0, 1, 0}, 3},
      {"write registers across the mapped end", {16, 0, 198, 0, 3, 6, 0, 1, 0, 2, 0, 3}, 2},
      {"file record of reference type 5", {20, 7, 5, 0, 1, 0, 0, 0, 1}, 2},
      {"file record of an unknown file", {20, 7, 6, 0, 2, 0, 0, 0, 1}, 2},
      {"file record past the end of the file", {20, 7, 6, 0, 1, 0, 19, 0, 2}, 2},
      {"file record number 0x2710", {20, 7, 6, 0, 1, 0x27, 0x10, 0, 1}, 2},
      {"file record of length 0", {20, 7, 6, 0, 1, 0, 0, 0, 0}, 3},
      {"file record byte count 8", {20, 8, 6, 0, 1, 0, 0, 0, 1, 0}, 3},
      {"file record reply too long", {20, 7, 6, 0, 1, 0, 0, 0, 122}, 3},
      {"scattered read with marker 3", {100, 4, 3, 1, 0, 1}, 3},
      {"scattered read with an odd byte count", {100, 5, 4, 1, 0, 1, 0}, 3},
      {"scattered read of no address", {100, 2, 4, 1}, 3},
      {"scattered read with a byte count past the data", {100, 6, 4, 1, 0, 1}, 3},
      {"scattered read of an unmapped register", {100, 6, 4, 1, 0, 1, 0x03, 0xE8}, 2},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(answer(c.request), (Bytes{static_cast<uint8_t>(c.request[0] | 0x80), c.code}));
  }
  // Refused writes leave the bank as it was.
  EXPECT_EQ(bank.range(Table::HoldingRegisters, 198, 2), (std::vector<uint16_t>{198, 199}));
  EXPECT_EQ(bank.get(Table::Coils, 3), 0);
}

TEST_F(PduAnswerTest, ReadsTheLargestRequestsTheProtocolAllows) {
  bank.mapAll();
  Bytes registers = answer({3, 0, 0, 0, 125});
  EXPECT_EQ(registers.size(), 2u + 250u);
  EXPECT_EQ(answer({1, 0, 0, 0x07, 0xD0}).size(), 2u + 250u);
  Bytes scattered{100, 250, 4, 9};
  for (uint16_t a = 0; a < 124; ++a)
    scattered.insert(scattered.end(), {0, static_cast<uint8_t>(a)});
  EXPECT_EQ(answer(scattered).size(), 4u + 248u);
}

TEST_F(PduAnswerTest, AnswersRandomRequestsWithinTheProtocolsLimits) {
  bank.mapAll();
  std::mt19937 random(20240611);
  const uint8_t functions[] = {1, 2, 3, 4, 5, 6, 15, 16, 20, 100, 0, 8, 0x83, 255};
  for (int i = 0; i < 5000; ++i) {
    Bytes request(1 + random() % 260);
    for (uint8_t &byte : request)
      byte = static_cast<uint8_t>(random());
    request[0] = functions[random() % std::size(functions)];
    if (request.size() > 1 && random() % 2) // a plausible byte count more often
      request[request.size() > 5 ? 5 : 1] = static_cast<uint8_t>(request.size() - 6);
    const Bytes reply = answer(request);
    ASSERT_TRUE(reply.size() >= 2 && reply.size() <= kMaxPduSize &&
                (reply[0] & 0x7F) == (request[0] & 0x7F))
        << testing::PrintToString(request) << " -> " << testing::PrintToString(reply);
  }
}

TEST_F(PduAnswerTest, HooksSeeTheRangesThatOverlapThem) {
  // A command block whose write sets a result register, as the meter does.
  bank.map(Table::HoldingRegisters, 5374, 2);
  std::vector<Access> writes;
  bank.onWrite(Table::HoldingRegisters, 5249, 22, [&](RegisterBank &b, const Access &access) {
    writes.push_back(access);
    b.set(Table::HoldingRegisters, 5374, b.get(Table::HoldingRegisters, 5249));
    return uint8_t{0};
  });
  bank.map(Table::HoldingRegisters, 5249, 22);
  EXPECT_EQ(answer({16, 0x14, 0x81, 0, 2, 4, 0x07, 0xD8, 0, 0}), (Bytes{16, 0x14, 0x81, 0, 2}));
  EXPECT_EQ(answer({3, 0x14, 0xFE, 0, 1}), (Bytes{3, 2, 0x07, 0xD8}));
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].first, 5249);
  EXPECT_EQ(writes[0].count, 2);

  // A read hook refreshes a value before it is read and can refuse a read.
  uint16_t clock = 0;
  bank.onRead(Table::HoldingRegisters, 10, 1, [&](RegisterBank &b, const Access &) {
    b.set(Table::HoldingRegisters, 10, ++clock);
    return uint8_t{0};
  });
  bank.onRead(Table::HoldingRegisters, 50, 1,
              [](RegisterBank &, const Access &) { return uint8_t{6}; });
  EXPECT_EQ(answer({3, 0, 9, 0, 2}), (Bytes{3, 4, 0, 9, 0, 1}));
  EXPECT_EQ(answer({100, 4, 4, 7, 0, 10}), (Bytes{100, 4, 4, 7, 0, 2}));
  EXPECT_EQ(answer({3, 0, 11, 0, 39}).size(), 2u + 78u); // ends before 50, no hook
  EXPECT_EQ(answer({3, 0, 11, 0, 40}), (Bytes{0x83, 6}));
  EXPECT_EQ(clock, 2);
}

} // namespace
} // namespace arxmod::sim
