// Placement: which messages a set of requests becomes, which requests each
// answers and why each ends where it does; and the exact request PDU of
// every function code.
#include "ModbusFixtures.h"

namespace XLARX::test {
namespace {

struct Read {
  const char *address;
  uint16_t count = 1;
};

struct PlacementCase {
  const char *name;
  Limits limits;
  std::vector<Read> reads;
  std::vector<std::string> plan;
};

TEST(PlacementTest, GroupsReadsIntoTheFewestMessages) {
  const std::vector<Read> spaced = {{"400101", 2}, {"400103", 2}, {"400111", 1}};
  const PlacementCase cases[] = {
      {"adjacent and nearby reads share one message", {}, spaced, {"3 u0 100+11 [0 1 2] last"}},
      {"a limit splits at the gap",
       Limits().max(5),
       spaced,
       {"3 u0 100+4 [0 1] gap", "3 u0 110+1 [2] last"}},
      {"a message that reaches the limit closes",
       Limits().max(4),
       {{"400101", 2}, {"400103", 2}, {"400105"}},
       {"3 u0 100+4 [0 1] size limit", "3 u0 104+1 [2] last"}},
      {"the limit stops an adjacent read",
       Limits().max(4),
       {{"400101", 3}, {"400104", 2}},
       {"3 u0 100+3 [0] size limit", "3 u0 103+2 [1] last"}},
      {"an invalid range is never covered",
       Limits().invalid(105, 2),
       {{"400101", 2}, {"400110"}, {"400104"}},
       {"3 u0 100+4 [0 2] invalid range", "3 u0 109+1 [1] last"}},
      {"invalid ranges are holding registers only",
       Limits().invalid(105, 2),
       {{"300101", 2}, {"300110"}},
       {"4 u0 100+10 [0 1] last"}},
      {"each unit reads apart",
       {},
       {{"400101"}, {"2:400102"}, {"2:400104"}},
       {"3 u0 100+1 [0] unit change", "3 u2 101+3 [1 2] last"}},
      {"classes read apart with their own functions",
       {},
       {{"000001"}, {"000005", 2}, {"100001"}, {"300001"}, {"400001"}},
       {"1 u0 0+6 [0 1] last", "2 u0 0+1 [2] last", "4 u0 0+1 [3] last", "3 u0 0+1 [4] last"}},
      {"a later read widens a message downwards",
       {},
       {{"400111"}, {"400101", 2}},
       {"3 u0 100+11 [0 1] last"}},
      {"overlapping entries share their registers",
       {},
       {{"400101", 4}, {"400103", 2}, {"400102", 1}},
       {"3 u0 100+4 [0 1 2] last"}},
      {"scattered reads list holding registers once",
       Limits().scattered(),
       {{"400101"}, {"405001"}, {"400101"}, {"300001"}},
       {"100 u0 @100,5000 [0 1 2] last", "4 u0 0+1 [3] last"}},
      {"scattered reads split at their limit and per unit",
       Limits().max(2).scattered(),
       {{"400101", 3}, {"3:400201"}, {"400102", 2}},
       {"100 u0 @100,101 [0 2] size limit", "100 u0 @102 [0 2] last", "100 u3 @200 [1] last"}},
      {"a dataset block is read whole once",
       Limits().scattered().block(100, 20),
       {{"400101p0", 2}, {"400101p18", 2}, {"400105"}, {"400101p19", 2}, {"400201"}},
       {"3 u0 100+20 [0 1 2] dataset block", "100 u0 @200 [4] last"}},
      {"a read that covers a block's members is not scattered",
       Limits().scattered().block(100, 20),
       {{"400105"}, {"400110", 2}},
       {"3 u0 100+20 [0 1] dataset block"}},
      {"a block read ends before a dataset block",
       Limits().block(100, 20),
       {{"400096", 2}, {"400106"}},
       {"3 u0 95+2 [0] dataset block", "3 u0 100+20 [1] dataset block"}},
      {"a member that does not fit adds no message",
       Limits().block(100, 4),
       {{"400101p3", 2}, {"400103", 4}, {"400301p0"}},
       {}},
      {"a block too large for one message is ignored",
       Limits().block(100, 200),
       {{"400105"}, {"400101p1"}},
       {"3 u0 104+1 [0] last"}},
      {"dataset blocks hold holding registers only",
       Limits().block(100, 20),
       {{"300105"}},
       {"4 u0 104+1 [0] last"}},
  };
  for (const PlacementCase &c : cases) {
    SCOPED_TRACE(c.name);
    auto t = makeRef<ModbusTransaction>(nullptr, configOf(c.limits));
    for (const Read &r : c.reads)
      read(*t, r.address, r.count);
    EXPECT_EQ(planLines(*t), c.plan);
    EXPECT_FALSE(t->closed());
  }
}

TEST(PlacementTest, ScatteredRequestsAreMarked) {
  auto t = makeRef<ModbusTransaction>(nullptr, configOf(Limits().scattered().block(100, 20)));
  const auto inBlock = read(*t, "400105");
  const auto scattered = read(*t, "400501");
  const auto covered = read(*t, "400106");
  EXPECT_FALSE(inBlock->scattered);
  EXPECT_TRUE(scattered->scattered);
  EXPECT_FALSE(covered->scattered);
  EXPECT_TRUE(t->liesInDatasetBlock(*covered));
  EXPECT_FALSE(t->liesInDatasetBlock(*scattered));
}

TEST(PlacementTest, MayMergeOnlyWithinTheLimitAndBesideInvalidRanges) {
  auto t = makeRef<ModbusTransaction>(nullptr, configOf(Limits().max(10).invalid(120, 1)));
  read(*t, "400101");
  const auto probe = [](const char *address, uint16_t count = 1) {
    return ModbusRequest::read(address, 0, 0xFFFF, count, false, -1);
  };
  EXPECT_TRUE(t->mayMerge(0, *probe("400110")));
  EXPECT_FALSE(t->mayMerge(0, *probe("400111")));   // 11 registers
  EXPECT_FALSE(t->mayMerge(0, *probe("2:400102"))); // another unit
  EXPECT_FALSE(t->mayMerge(0, *probe("300102")));   // another class
  auto wide = makeRef<ModbusTransaction>(nullptr, configOf(Limits().invalid(120, 1)));
  read(*wide, "400101");
  EXPECT_TRUE(wide->mayMerge(0, *probe("400120")));
  EXPECT_FALSE(wide->mayMerge(0, *probe("400122"))); // over register 120
  EXPECT_EQ(failureOf([&] { wide->mayMerge(1, *probe("400101")); }),
            "Invalid Modbus transaction index");
}

TEST(PlacementTest, WritesGoOutAloneAndCloseTheTransaction) {
  auto t = makeRef<ModbusTransaction>(nullptr, configOf(Limits()));
  read(*t, "400101");
  t->createWrite("400101", MBF_U32_4321, 0xFFFFFFFF, 0x12345678, 2, true);
  EXPECT_TRUE(t->closed());
  EXPECT_EQ(planLines(*t),
            (std::vector<std::string>{"3 u0 100+1 [0] last", "16 u0 100+2 [1] write"}));
  EXPECT_EQ(pduOf(*t, 1), (Bytes{16, 0, 100, 0, 2, 4, 0x12, 0x34, 0x56, 0x78}));
}

TEST(PlacementTest, BuildsThePduOfEveryFunction) {
  struct Case {
    const char *name;
    Limits limits;
    std::function<void(ModbusTransaction &)> add;
    Bytes pdu;
  };
  const uint16_t coils[] = {1, 0, 0, 7, 0, 0, 0, 0, 1};
  const Case cases[] = {
      {"read coils", {}, [](auto &t) { read(t, "000011", 12); }, {1, 0, 10, 0, 12}},
      {"read discrete inputs", {}, [](auto &t) { read(t, "165536"); }, {2, 0xFF, 0xFF, 0, 1}},
      {"read holding registers", {}, [](auto &t) { read(t, "400101", 125); }, {3, 0, 100, 0, 125}},
      {"read input registers", {}, [](auto &t) { read(t, "300001", 2); }, {4, 0, 0, 0, 2}},
      {"write one coil",
       Limits().singleWrites(),
       [](auto &t) { t.createWrite("000003", MBF_U16_21, 0xFFFF, 5, 1, false); },
       {5, 0, 2, 0xFF, 0x00}},
      {"write one coil off",
       Limits().singleWrites(),
       [](auto &t) { t.createWrite("000003", MBF_U16_21, 0xFFFF, 0, 1, false); },
       {5, 0, 2, 0x00, 0x00}},
      {"write one register: only the first",
       Limits().singleWrites(),
       [](auto &t) { t.createWrite("400101", MBF_U32_4321, 0xFFFFFFFF, 0x12345678, 2, false); },
       {6, 0, 100, 0x12, 0x34}},
      {"write coils",
       {},
       [&](auto &t) { t.createRawWrite("000001", MBF_U16_21_ARRAY, coils, false); },
       {15, 0, 0, 0, 9, 2, 0x09, 0x01}},
      {"write registers",
       {},
       [](auto &t) { t.createTextWrite("2:400001", MBF_ASCII, "HI", 2, true); },
       {16, 0, 0, 0, 2, 4, 'H', 'I', 0, 0}},
      {"read a file record",
       {},
       [](auto &t) { t.createFileRecordRead(4, 7, 3, 1); },
       {20, 7, 6, 0, 4, 0, 7, 0, 3}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    auto t = makeRef<ModbusTransaction>(nullptr, configOf(c.limits));
    c.add(*t);
    EXPECT_EQ(pduOf(*t, 0), c.pdu);
  }
}

TEST(PlacementTest, ScatteredReadsCarryAFreshTransmissionNumber) {
  auto t = makeRef<ModbusTransaction>(nullptr, configOf(Limits().scattered()));
  read(*t, "400101");
  read(*t, "2:405001");
  const Bytes first = pduOf(*t, 0);
  const Bytes second = pduOf(*t, 1);
  ASSERT_EQ(first.size(), 6u);
  EXPECT_EQ(first, (Bytes{100, 4, 4, first[3], 0, 100}));
  EXPECT_EQ(second, (Bytes{100, 4, 4, second[3], 0x13, 0x88}));
  EXPECT_EQ(static_cast<uint8_t>(second[3] - first[3]), 1);
  EXPECT_EQ(t->requestParameter(0), 0u);
  EXPECT_EQ(t->requestParameter(1), 2u);
}

TEST(PlacementTest, RefusesWhatCannotBeSent) {
  auto t = makeRef<ModbusTransaction>(nullptr, configOf(Limits()));
  t->createWrite("300001", MBF_U16_21, 0xFFFF, 1, 1, false);
  EXPECT_EQ(failureOf([&] { pduOf(*t, 0); }), "Could not build Modbus packet");
  EXPECT_EQ(failureOf([&] { pduOf(*t, 1); }), "Invalid Modbus transaction index");
  auto files = makeRef<ModbusTransaction>(nullptr, configOf(Limits()));
  files->createFileRecordRead(0x10000, 0, 1, 0);
  EXPECT_EQ(failureOf([&] { pduOf(*files, 0); }), "Could not build Modbus packet");
  EXPECT_EQ(failureOf([&] { t->addRequest(makeRef<XL::Request>()); }), "Not a Modbus request");
  EXPECT_EQ(t->requests().size(), 1u);
}

} // namespace
} // namespace XLARX::test
