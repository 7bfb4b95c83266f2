// The Modbus TCP transport behind the exchange callback: against the served
// simulated meter, and against peers that answer late, wrongly or never.
#include "TransportFixture.h"

#include "transport/Mbap.h"
#include "transport/TcpSocket.h"

#include <gtest/gtest.h>

#include <chrono>

namespace arxhost::transport::test {
namespace {

using arxmod::sim::parseFaultSpec;
using arxmod::sim::RegisterBank;
using arxmod::sim::Table;
using Steady = std::chrono::steady_clock;

const Bytes kRead{3, 0, 10, 0, 2};
const Bytes kReadReply{3, 4, 0, 10, 0, 11};

class TcpTransportTest : public ::testing::Test {
protected:
  std::unique_ptr<DeviceExchange> open(const std::string &connection, int64_t unit = 1) {
    return openDeviceExchange({"Port1", connection, unit}, pool);
  }

  PortPool pool;
};

TEST_F(TcpTransportTest, CarriesEveryFunctionToTheServedMeter) {
  SimServer sim;
  const auto exchange = open(sim.connection());
  struct Case {
    const char *name;
    Bytes request;
    Bytes reply;
  };
  const Case cases[] = {
      {"read coils", {1, 0, 0, 0, 4}, {1, 1, 0x0A}},
      {"read discrete inputs", {2, 0, 1, 0, 3}, {2, 1, 0x05}},
      {"read holding registers", kRead, kReadReply},
      {"read input registers", {4, 0, 9, 0, 1}, {4, 2, 1, 9}},
      {"write one coil", {5, 0, 0, 0xFF, 0}, {5, 0, 0, 0xFF, 0}},
      {"write registers", {16, 0, 50, 0, 1, 2, 0xAB, 0xCD}, {16, 0, 50, 0, 1}},
      {"an exception reply is a reply", {3, 0, 99, 0, 2}, {0x83, 2}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const CallResult result = call(*exchange, c.request);
    EXPECT_EQ(result.status(), 0u);
    EXPECT_EQ(result.pdu(), c.reply);
    EXPECT_EQ(result.reply->hostWord3, 0xCAFEu); // the reply is a copy of the request packet
    EXPECT_EQ(exchange->lastFailure(), "");
  }
  sim.meter.withUnit(1, [](RegisterBank &bank) {
    EXPECT_EQ(bank.get(Table::HoldingRegisters, 50), 0xABCD);
    EXPECT_EQ(bank.get(Table::Coils, 0), 1);
  });
}

TEST_F(TcpTransportTest, TakesTheUnitFromTheRequestParameterElseFromTheDevice) {
  SimServer sim;
  sim.meter.addUnit(7, [](RegisterBank &bank) { bank.map(Table::HoldingRegisters, 10, 2, 77); });
  const auto exchange = open(sim.connection(), 7);
  EXPECT_EQ(call(*exchange, kRead).pdu(), (Bytes{3, 4, 0, 77, 0, 77}));
  EXPECT_EQ(call(*exchange, kRead, 1).pdu(), kReadReply);
  const CallResult noSuchUnit = call(*exchange, kRead, 256);
  EXPECT_EQ(noSuchUnit.status(), 1u);
  EXPECT_EQ(exchange->lastFailure(), "port 'Port1': cannot send a request of 5 bytes to unit 256");
  EXPECT_EQ(call(*exchange, {}).status(), 1u);
}

TEST_F(TcpTransportTest, ATimeoutGivesLengthZeroAndKeepsTheConnection) {
  SimServer sim;
  sim.meter.inject(1, parseFaultSpec("noreply").fault);
  const auto exchange = open(sim.connection() + "?timeout=100");
  const auto start = Steady::now();
  EXPECT_EQ(call(*exchange, kRead).length, 0);
  EXPECT_LT(Steady::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(exchange->lastFailure(),
            "port 'Port1': " + sim.server->address() + ": no reply from unit 1 within 100 ms");
  EXPECT_EQ(call(*exchange, kRead).pdu(), kReadReply);
  EXPECT_EQ(sim.server->clientCount(), 1u);
}

TEST_F(TcpTransportTest, ALateReplyIsNotTakenForTheNextRequestsReply) {
  // The reply to the first read arrives while the second read waits.
  ScriptedPeer peer([](int fd) {
    const auto first = readRequest(fd);
    const auto second = readRequest(fd);
    if (!first || !second)
      return;
    send(fd, mbapFrame(first->transaction, 1, Bytes{3, 4, 0xEE, 0xEE, 0xEE, 0xEE}));
    send(fd, mbapFrame(second->transaction, 1, Bytes{3, 2, 0, 20}));
    readRequest(fd);
  });
  const auto exchange = open(peer.connection("?timeout=100"));
  EXPECT_EQ(call(*exchange, kRead).length, 0);
  EXPECT_EQ(call(*exchange, Bytes{3, 0, 20, 0, 1}).pdu(), (Bytes{3, 2, 0, 20}));
}

TEST_F(TcpTransportTest, FramesThatArriveTogetherAreEachTakenForTheirOwnRequest) {
  // The first reply comes in one segment with a stray copy of itself and the
  // first half of the second reply; the second half follows the second read.
  ScriptedPeer peer([](int fd) {
    const auto first = readRequest(fd);
    if (!first)
      return;
    const Bytes second =
        mbapFrame(static_cast<uint16_t>(first->transaction + 1), 1, Bytes{3, 2, 0, 20});
    Bytes burst = mbapFrame(first->transaction, 1, kReadReply);
    const Bytes stray = mbapFrame(first->transaction, 1, Bytes{3, 4, 0xEE, 0xEE, 0xEE, 0xEE});
    burst.insert(burst.end(), stray.begin(), stray.end());
    burst.insert(burst.end(), second.begin(), second.begin() + 5);
    send(fd, burst);
    if (readRequest(fd))
      send(fd, Bytes(second.begin() + 5, second.end()));
    readRequest(fd);
  });
  const auto exchange = open(peer.connection("?timeout=1000"));
  EXPECT_EQ(call(*exchange, kRead).pdu(), kReadReply);
  EXPECT_EQ(call(*exchange, {3, 0, 20, 0, 1}).pdu(), (Bytes{3, 2, 0, 20}));
  EXPECT_EQ(exchange->lastFailure(), "");
  EXPECT_EQ(peer.accepted(), 1);
}

TEST_F(TcpTransportTest, ReconnectsAfterTheServerDroppedTheConnection) {
  ScriptedPeer peer([](int fd) {
    const auto request = readRequest(fd);
    if (request)
      send(fd, mbapFrame(request->transaction, request->unit, kReadReply));
  }); // the connection closes after one reply
  const auto exchange = open(peer.connection());
  EXPECT_EQ(call(*exchange, kRead).pdu(), kReadReply);
  EXPECT_EQ(call(*exchange, kRead).pdu(), kReadReply);
  EXPECT_EQ(peer.accepted(), 2);
}

TEST_F(TcpTransportTest, SendsAReadAgainButNotAWriteWhenAKeptConnectionCloses) {
  // The server answers the first request of each connection, then reads the
  // next one and closes the connection without answering it.
  ScriptedPeer peer([](int fd) {
    if (const auto request = readRequest(fd))
      send(fd, mbapFrame(request->transaction, request->unit, request->pdu));
    readRequest(fd);
  });
  const auto exchange = open(peer.connection());
  const Bytes write{6, 0, 1, 0, 9};
  EXPECT_EQ(call(*exchange, write).pdu(), write);
  EXPECT_EQ(call(*exchange, kRead).pdu(), kRead); // on a second connection
  EXPECT_EQ(peer.accepted(), 2);
  EXPECT_EQ(call(*exchange, write).length, 0); // the server may have carried it out
  EXPECT_EQ(peer.accepted(), 2);
}

TEST_F(TcpTransportTest, AConnectionLostMidExchangeGivesLengthZeroThenReconnects) {
  int calls = 0;
  ScriptedPeer peer([&](int fd) {
    const auto request = readRequest(fd);
    if (request && ++calls > 1)
      send(fd, mbapFrame(request->transaction, request->unit, kReadReply));
  });
  const auto exchange = open(peer.connection());
  EXPECT_EQ(call(*exchange, kRead).length, 0);
  EXPECT_EQ(exchange->lastFailure(),
            "port 'Port1': " + peer.connection().substr(6) + ": the server closed the connection");
  EXPECT_EQ(call(*exchange, kRead).pdu(), kReadReply);
}

TEST_F(TcpTransportTest, NeverTakesAReplyOfAnotherTransaction) {
  ScriptedPeer peer([](int fd) {
    while (const auto request = readRequest(fd)) {
      const auto other = static_cast<uint16_t>(request->transaction + 1);
      send(fd, mbapFrame(other, request->unit, Bytes{3, 4, 0xEE, 0xEE, 0xEE, 0xEE}));
      if (request->pdu[2] == 10) // the first read also gets its own reply
        send(fd, mbapFrame(request->transaction, request->unit, kReadReply));
    }
  });
  const auto exchange = open(peer.connection("?timeout=100"));
  EXPECT_EQ(call(*exchange, kRead).pdu(), kReadReply);
  EXPECT_EQ(call(*exchange, {3, 0, 20, 0, 2}).length, 0);
}

TEST_F(TcpTransportTest, AnswersHostilePeersWithinTheReplyTimeout) {
  struct Case {
    const char *name;
    std::function<void(int fd, const Request &)> answer;
    uint32_t status; // reply status, or 99 for reply length 0
    const char *failure;
  };
  const auto frame = [](uint16_t transaction, uint8_t unit, const Bytes &pdu) {
    return mbapFrame(transaction, unit, pdu);
  };
  const Case cases[] = {
      {"garbage", [](int fd, const Request &) { send(fd, Bytes(40, 0x5A)); }, 1,
       "a reply frame with an invalid MBAP header"},
      {"a length of 0",
       [](int fd, const Request &r) {
         send(fd, {uint8_t(r.transaction >> 8), uint8_t(r.transaction), 0, 0, 0, 0, 1});
       },
       1, "a reply frame with an invalid MBAP header"},
      {"a length of 300",
       [](int fd, const Request &r) {
         send(fd, {uint8_t(r.transaction >> 8), uint8_t(r.transaction), 0, 0, 1, 44, 1});
       },
       1, "a reply frame with an invalid MBAP header"},
      {"half a frame",
       [&](int fd, const Request &r) {
         const Bytes whole = frame(r.transaction, r.unit, kReadReply);
         send(fd, Bytes(whole.begin(), whole.begin() + 9));
       },
       1, "the reply stopped after 9 of 13 bytes"},
      {"half a header",
       [](int fd, const Request &) {
         send(fd, {0, 1, 0});
       },
       1, "the reply stopped after 3 of 7 bytes"},
      {"another unit",
       [&](int fd, const Request &r) { send(fd, frame(r.transaction, 9, kReadReply)); }, 1,
       "the reply came from unit 9 instead of unit 1"},
      {"silence", [](int, const Request &) {}, 99, "no reply from unit 1 within 100 ms"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedPeer peer([&](int fd) {
      if (const auto request = readRequest(fd)) {
        c.answer(fd, *request);
        readRequest(fd); // hold the connection open until the client gives up on it
      }
    });
    PortPool own;
    const auto exchange = openDeviceExchange({"Port1", peer.connection("?timeout=100"), 1}, own);
    const auto start = Steady::now();
    const CallResult result = call(*exchange, kRead);
    EXPECT_LT(Steady::now() - start, std::chrono::seconds(2));
    if (c.status == 99) {
      EXPECT_EQ(result.length, 0);
    } else {
      EXPECT_EQ(result.status(), c.status);
      EXPECT_TRUE(result.pdu().empty());
    }
    EXPECT_EQ(exchange->lastFailure(),
              "port 'Port1': " + peer.connection().substr(6) + ": " + c.failure);
  }
}

TEST_F(TcpTransportTest, ANoReplyPacketIsSentWithoutWaiting) {
  SimServer sim;
  const auto exchange = open(sim.connection());
  EXPECT_EQ(call(*exchange, {6, 0, 1, 0, 5}, 0, arxmod::DL_Info::kFlagNoReply).length, 0);
  EXPECT_EQ(call(*exchange, {3, 0, 1, 0, 1}).pdu(), (Bytes{3, 2, 0, 5}));
}

TEST_F(TcpTransportTest, AServerThatIsNotThereGivesLengthZeroAndSaysWhy) {
  std::string connection;
  {
    FileDescriptor closed = listenTcp("127.0.0.1", 0);
    connection = "tcp://" + localAddress(closed.get());
  }
  const auto exchange = open(connection);
  EXPECT_EQ(call(*exchange, kRead).length, 0);
  EXPECT_EQ(exchange->lastFailure(),
            "port 'Port1': " + connection.substr(6) + ": cannot connect: Connection refused");
}

TEST_F(TcpTransportTest, RefusesAConnectionTextOrUnitThatCannotWork) {
  const auto errorOf = [&](const DeviceLink &link) -> std::string {
    try {
      openDeviceExchange(link, pool);
    } catch (const ConnectionError &e) {
      return e.what();
    }
    return "";
  };
  EXPECT_EQ(errorOf({"North", "tcp://meter", 1}),
            "port 'North': connection 'tcp://meter': address 'meter' has no port: write "
            "HOST:PORT; write tcp://HOST:PORT or rtu:///dev/ttyX?baud=19200&parity=E&stop=1");
  EXPECT_EQ(errorOf({"North", "tcp://meter:502", 256}),
            "port 'North': device unit 256 is not a Modbus unit number (0 to 255)");
}

TEST_F(TcpTransportTest, ConcurrentDevicesOnOnePortShareOneConnection) {
  SimServer sim;
  sim.meter.addUnit(2, [](RegisterBank &bank) { bank.map(Table::HoldingRegisters, 0, 4, 2); });
  const auto first = open(sim.connection(), 1);
  const auto second = open(sim.connection(), 2);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      const DeviceExchange &exchange = t % 2 ? *second : *first;
      const Bytes expected = t % 2 ? Bytes{3, 2, 0, 2} : Bytes{3, 2, 0, 3};
      for (int i = 0; i < 50; ++i)
        EXPECT_EQ(call(exchange, {3, 0, 3, 0, 1}).pdu(), expected);
    });
  for (auto &thread : threads)
    thread.join();
  EXPECT_EQ(sim.server->clientCount(), 1u);
  EXPECT_EQ(sim.meter.requestCount(1) + sim.meter.requestCount(2), 200u);
}

} // namespace
} // namespace arxhost::transport::test
