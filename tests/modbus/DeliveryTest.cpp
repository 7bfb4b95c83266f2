// Delivery through the serial engine with the simulated meter behind the
// exchange callback: every reply shape, exceptions, timeouts, bad packets,
// replies that answer another request, and the two traces.
#include "ModbusFixtures.h"

#include "PacketBuilder.h"
#include "TempHostDatabase.h"
#include "frame/LegacyDLIComm.h"
#include "frame/LegacyDLITransaction.h"
#include "modbus/ModbusTrace.h"
#include "sim/SimExchange.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace XLARX::test {
namespace {

using arxmod::sim::RegisterBank;
using arxmod::sim::Table;

constexpr uint16_t kDevice = 9;

class DeliveryTest : public ::testing::Test {
protected:
  DeliveryTest() {
    db.exec("INSERT INTO Translator VALUES(1,'MX4110_4120',7,'mx4110_4120.so')");
    meter.addUnit(1, [](RegisterBank &bank) {
      bank.map(Table::HoldingRegisters, 0, 1000);
      bank.map(Table::HoldingRegisters, 5000, 10);
      bank.map(Table::InputRegisters, 0, 10);
      bank.map(Table::Coils, 0, 16);
      bank.mapFile(4, 10);
      const uint16_t values[] = {0x0001, 0x0002, 0x4120, 0x4220, 0xFFFF, 0x0003};
      bank.setRange(Table::HoldingRegisters, 100, values);
      bank.set(Table::HoldingRegisters, 5000, 77);
      bank.set(Table::InputRegisters, 0, 0xFFFE);
      bank.set(Table::Coils, 2, 1);
      bank.setFileRecord(4, 1, 0xBEEF);
    });
    meter.addUnit(2, [](RegisterBank &bank) { bank.map(Table::HoldingRegisters, 0, 200, 2); });
    const auto bytes =
        arxmod::test::requestPacket(kDevice, 1, arxmod::test::channelEnvelope()).toBytes();
    arxmod::ByteReader in(bytes);
    origin = makeRef<arxmod::LegacyDLITransaction>(in, exchange.context(),
                                                   arxmod::sim::SimExchange::callback(), 4096);
  }

  IRefPtr<ModbusTransaction> transaction(const Limits &limits = {}) {
    return makeRef<ModbusTransaction>(origin, configOf(limits));
  }
  void run(ModbusTransaction &t) { arxmod::LegacyDLIComm().process(t); }
  void inject(const char *fault, uint8_t unit = 1) {
    meter.inject(unit, arxmod::sim::parseFaultSpec(fault).fault);
  }

  arxmod::test::TempHostDatabase db;
  arxmod::sim::SimulatedMeter meter;
  arxmod::sim::SimExchange exchange{meter, 1, std::chrono::milliseconds(100)};
  IRefPtr<arxmod::LegacyDLITransaction> origin;
};

TEST_F(DeliveryTest, DecodesEveryReadShape) {
  auto t = transaction();
  read(*t, "400101", 2, MBF_U32_4321);
  read(*t, "400103", 2, MBF_ASCII);
  read(*t, "400106", 1, MBF_U16_21);
  read(*t, "000001", 1);
  read(*t, "000003", 1);
  read(*t, "300001", 1, MBF_S16_21);
  read(*t, "2:400051", 1);
  t->createFileRecordRead(4, 1, 2, 0);
  run(*t);
  const double numbers[] = {65538, 0, 3, 0, 1, -2, 2};
  for (size_t i = 0; i < std::size(numbers); ++i) {
    SCOPED_TRACE(i);
    ASSERT_TRUE(responseOf(*t, i));
    EXPECT_EQ(responseOf(*t, i)->status, XL::ResponseOkay);
    EXPECT_EQ(responseOf(*t, i)->errorCode, 0u);
    if (i != 1) {
      EXPECT_EQ(responseOf(*t, i)->value, numbers[i]);
    }
  }
  EXPECT_EQ(responseOf(*t, 1)->text, "A B");
  EXPECT_EQ(responseOf(*t, 7)->text, std::string("\xEF\xBE\0\0", 4)); // an array, low byte first
  EXPECT_EQ(t->requestCount(), 5u);
}

TEST_F(DeliveryTest, ScatteredReadsCollectTheirRegistersAcrossMessages) {
  auto t = transaction(Limits().max(2).scattered());
  read(*t, "400101", 3, MBF_U48_M10k_21_65);
  read(*t, "405001");
  read(*t, "400102", 1);
  ASSERT_EQ(t->requestCount(), 2u); // [100 101] and [102 5000]
  run(*t);
  EXPECT_EQ(responseOf(*t, 0)->value, 1 + 2 * 1e4 + 0x4120 * 1e8);
  EXPECT_EQ(responseOf(*t, 1)->value, 77);
  EXPECT_EQ(responseOf(*t, 2)->value, 2);
}

TEST_F(DeliveryTest, DatasetMembersReadTheirPosition) {
  auto t = transaction(Limits().block(100, 10));
  read(*t, "400101p4", 2, MBF_U32_4321);
  read(*t, "400102");
  read(*t, "400101p9", 2); // does not fit: never answered
  run(*t);
  EXPECT_EQ(responseOf(*t, 0)->value, 0xFFFF0003u);
  EXPECT_EQ(responseOf(*t, 1)->value, 2);
  EXPECT_FALSE(t->responses()[2]);
}

TEST_F(DeliveryTest, WritesAnswerOneAndReachTheMeter) {
  auto t = transaction();
  t->createWrite("400201", MBF_U32_4321, 0xFFFFFFFF, 0x12345678, 2, true);
  run(*t);
  EXPECT_EQ(responseOf(*t, 0)->value, 1);
  EXPECT_EQ(responseOf(*t, 0)->status, XL::ResponseOkay);
  meter.withUnit(1, [](RegisterBank &bank) {
    EXPECT_EQ(bank.range(Table::HoldingRegisters, 200, 2), (std::vector<uint16_t>{0x1234, 0x5678}));
  });
}

TEST_F(DeliveryTest, AnExceptionAnswersOnlyTheRequestsOfItsMessage) {
  for (bool unmappedFirst : {true, false}) {
    SCOPED_TRACE(unmappedFirst);
    auto t = transaction();
    read(*t, unmappedFirst ? "403001" : "400101");
    read(*t, unmappedFirst ? "400101" : "403001");
    run(*t);
    const size_t bad = unmappedFirst ? 0 : 1;
    EXPECT_EQ(responseOf(*t, bad)->errorCode, kModbusErrorBase + 2);
    EXPECT_EQ(responseOf(*t, bad)->value, -1);
    EXPECT_EQ(responseOf(*t, bad)->status, XL::ResponseOkay);
    EXPECT_EQ(responseOf(*t, 1 - bad)->errorCode, 0u);
    EXPECT_EQ(responseOf(*t, 1 - bad)->value, 1);
  }
}

TEST_F(DeliveryTest, ATimeoutFailsEveryRequestWithoutSendingMore) {
  auto t = transaction(Limits().scattered());
  read(*t, "400101");
  read(*t, "2:400101");
  inject("noreply");
  run(*t);
  for (size_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(responseOf(*t, i)->status, XL::ResponseTimeout);
    EXPECT_EQ(responseOf(*t, i)->errorCode, kModbusErrorBase);
  }
  EXPECT_EQ(meter.requestCount(2), 0u);
}

TEST_F(DeliveryTest, ABadPacketFailsOnlyItsOwnMessage) {
  auto t = transaction();
  read(*t, "300:400101"); // a unit the exchange cannot address
  read(*t, "400101");
  run(*t);
  EXPECT_EQ(responseOf(*t, 0)->status, XL::ResponseBadPacket);
  EXPECT_EQ(responseOf(*t, 0)->errorCode, kModbusErrorBase);
  EXPECT_EQ(responseOf(*t, 1)->status, XL::ResponseOkay);
  EXPECT_EQ(responseOf(*t, 1)->value, 1);
}

TEST_F(DeliveryTest, RepliesToOtherRequestsEndTheCall) {
  struct Case {
    const char *fault;
    Limits limits;
    std::string failure;
  };
  const Case cases[] = {
      {"function", {}, "Mismatched Modbus function class"},
      {"function:4", Limits().scattered(), "Mismatched Modbus function class"},
      {"transmission", Limits().scattered(),
       "Mismatched Modbus scattered read transmission number"},
      {"cut:4", {}, "Invalid Modbus response - Could not decode. Response: (4) 03 04 00 01 "},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.fault);
    meter.clearFaults(1);
    inject(c.fault);
    auto t = transaction(c.limits);
    read(*t, "400101", 2);
    EXPECT_EQ(failureOf([&] { run(*t); }), c.failure);
  }
  meter.clearFaults(1);
  // The sim answers a scattered read with an exception of its own function.
  auto t = transaction(Limits().scattered());
  read(*t, "400101");
  inject("exception:6");
  run(*t);
  EXPECT_EQ(responseOf(*t, 0)->errorCode, kModbusErrorBase + 6);
}

TEST_F(DeliveryTest, TheNotAvailableMarkerIsAnError) {
  auto t = transaction();
  t->createRead("400105", MBF_U16_21, 0xFFFF, 1, true, -1);
  t->createRead("400105", MBF_U16_21, 0xFFFF, 1, false, -1);
  run(*t);
  EXPECT_EQ(responseOf(*t, 0)->errorCode, kModbusNotAvailable);
  EXPECT_EQ(responseOf(*t, 1)->value, 0xFFFF);
}

// Points the trace at a file and local time at UTC for one test.
class TraceFile {
public:
  explicit TraceFile(std::filesystem::path path) : path_(std::move(path)) {
    if (const char *zone = std::getenv("TZ"))
      zone_ = zone;
    setenv("ARXMOD_TRACE_FILE", path_.c_str(), 1);
    setenv("TZ", "UTC", 1);
    tzset();
  }
  ~TraceFile() {
    unsetenv("ARXMOD_TRACE_FILE");
    if (zone_)
      setenv("TZ", zone_->c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }
  TraceFile(const TraceFile &) = delete;
  TraceFile &operator=(const TraceFile &) = delete;

  // The lines written so far; in value lines the reply sequence number (a
  // process-wide count) is replaced by "###".
  std::vector<std::string> lines() const {
    std::vector<std::string> lines;
    const std::string text = arxmod::test::readFile(path_);
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
      std::string line = text.substr(start, end - start);
      const bool packet = line.find(":TX:") != std::string::npos ||
                          line.find(":RX") != std::string::npos ||
                          line.find(":Mismatched") != std::string::npos;
      const size_t time = line.rfind(':');
      if (!packet && time != std::string::npos && time >= 3)
        line.replace(time - 3, 3, "###");
      lines.push_back(line);
    }
    return lines;
  }

private:
  std::filesystem::path path_;
  std::optional<std::string> zone_;
};

std::string hex2(uint8_t byte) {
  char text[3];
  std::snprintf(text, sizeof text, "%.2X", byte);
  return text;
}

TEST_F(DeliveryTest, TracesPacketsAndValues) {
  arxmod::ManualClock clock; // 2023-11-14 22:13:20 UTC
  arxmod::ScopedClock useClock(clock);
  TraceFile trace(db.directory() / "trace.txt");
  constexpr uint32_t kBoth = kValueTraceFlag | kPacketTraceFlag;
  auto t = transaction(Limits().max(2).scattered().flags(kBoth));
  read(*t, "400101", 2, MBF_U32_4321);
  read(*t, "400103", 2, MBF_ASCII);
  t->createRead("400106", MBF_U16_21, 0xFF, 1, true, 0xFF);
  read(*t, "2:300001");
  inject("noreply", 2);
  run(*t);
  auto excepted = transaction(Limits().flags(kPacketTraceFlag));
  read(*excepted, "403001");
  run(*excepted);
  auto quiet = transaction(Limits());
  read(*quiet, "400101");
  run(*quiet);
  inject("function");
  auto mismatched = transaction(Limits().flags(kPacketTraceFlag));
  read(*mismatched, "400101");
  EXPECT_EQ(failureOf([&] { run(*mismatched); }), "Mismatched Modbus function class");

  const std::string at = ":20231114T221320";
  const auto tn = [&](size_t message) {
    return hex2(t->messages().at(message).message.transmissionNumber);
  };
  const std::vector<std::string> expected = {
      "9:TX:64 06 04 " + tn(0) + " 00 64 00 65" + at,
      "9:RX:64 06 04 " + tn(0) + " 00 01 00 02" + at,
      "9:400101:2:MBF_U32_4321:FFFFFFFF:--------:65538:0001 0002:###" + at,
      "9:TX:64 06 04 " + tn(1) + " 00 66 00 67" + at,
      "9:RX:64 06 04 " + tn(1) + " 41 20 42 20" + at,
      "9:400103:2:MBF_ASCII:FFFFFFFF:--------:A B:4120 4220:###" + at,
      "9:TX:64 04 04 " + tn(2) + " 00 69" + at,
      "9:RX:64 04 04 " + tn(2) + " 00 03" + at,
      "9:400106:1:MBF_U16_21:00FF:00FF:3:0003:###" + at,
      "9:TX:04 00 00 00 01" + at,
      "9:RX:ResponseTimeout:NULL" + at,
      "9:TX:03 0B B8 00 01" + at,
      "9:RX:MB_EC_ILLEGAL_DATA_ADDRESS:83 02" + at,
      "9:TX:03 00 64 00 01" + at,
      "9:Mismatched Modbus function class:04 02 00 01" + at,
  };
  EXPECT_EQ(trace.lines(), expected);
}

TEST(ValueTraceTest, WritesEachKindOfResult) {
  const arxmod::WallTime when{std::chrono::seconds(1'700'000'000)};
  const auto array = ModbusRequest::read("400001", MBF_U16_21_ARRAY, 0xFFFFFFFF, 1, false, -1);
  const auto text = ModbusRequest::read("400001", MBF_ASCII, 0xFFFFFFFF, 1, false, -1);
  const auto number = ModbusRequest::read("400001", MBF_F32_4321, 0xFFFFFFFF, 2, true, -2);
  ModbusResponse empty;
  empty.kind = ResponseKind::Text;
  const uint16_t half[] = {0x3FC0, 0x0000};
  const std::string line = valueTraceText(*array, empty, {}, 1007, when);
  EXPECT_EQ(line.substr(0, line.rfind(':')),
            "400001:1:MBF_U16_21_ARRAY:FFFFFFFF:--------:ARRAY:NULL:007");
  EXPECT_NE(valueTraceText(*text, empty, {}, 5, when).find(":EMPTY:NULL:005:"), std::string::npos);
  EXPECT_NE(valueTraceText(*number, *number->makeDecodedResponse(half), {}, 5, when)
                .find(":FFFFFFFE:1.5:NULL:"),
            std::string::npos);
  EXPECT_NE(valueTraceText(*number, *number->makeErrorResponse(kModbusErrorBase + 4), {}, 5, when)
                .find(":EX=0004:"),
            std::string::npos);
  EXPECT_EQ(packetTraceText("", {}, when).substr(0, 11), "EMPTY:NULL:");
}

} // namespace
} // namespace XLARX::test
