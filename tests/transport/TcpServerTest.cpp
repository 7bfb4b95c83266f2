// The Modbus TCP server of the simulated meter, seen from its clients:
// several at once, hostile ones, delayed replies and a clean stop.
#include "TransportFixture.h"

#include "transport/Mbap.h"
#include "transport/TcpSocket.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <random>

namespace arxhost::transport::test {
namespace {

using arxmod::sim::parseFaultSpec;

FileDescriptor connectTo(const ModbusTcpServer &server) {
  std::string error;
  FileDescriptor fd = connectTcp("127.0.0.1", server.port(), deadlineIn(1000), error);
  EXPECT_TRUE(fd.valid()) << error;
  return fd;
}

// True when the server closed the connection within a second (a reset when
// it left bytes unread).
bool closedByServer(int fd) {
  uint8_t byte = 0;
  const IoResult read = readExact(fd, {&byte, 1}, deadlineIn(1000));
  return read.status == IoStatus::Closed ||
         (read.status == IoStatus::Failed && read.error == ECONNRESET);
}

TEST(TcpServerTest, AnswersEachClientWithItsOwnTransactionIdentifiers) {
  SimServer sim;
  EXPECT_EQ(sim.server->address(), "127.0.0.1:" + std::to_string(sim.server->port()));
  FileDescriptor a = connectTo(*sim.server);
  FileDescriptor b = connectTo(*sim.server);
  send(a.get(), mbapFrame(0x0101, 1, Bytes{3, 0, 1, 0, 1}));
  send(b.get(), mbapFrame(0x0202, 1, Bytes{3, 0, 2, 0, 1}));
  send(a.get(), mbapFrame(0x0103, 1, Bytes{3, 0, 3, 0, 1}));
  for (const auto &[fd, transaction, value] :
       {std::tuple{b.get(), 0x0202, 2}, std::tuple{a.get(), 0x0101, 1},
        std::tuple{a.get(), 0x0103, 3}}) {
    SCOPED_TRACE(transaction);
    const auto reply = readRequest(fd); // a reply frame has the request's shape
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->transaction, transaction);
    EXPECT_EQ(reply->unit, 1);
    EXPECT_EQ(reply->pdu, (Bytes{3, 2, 0, static_cast<uint8_t>(value)}));
  }
  EXPECT_EQ(sim.server->clientCount(), 2u);
}

TEST(TcpServerTest, DisconnectsClientsItCannotTrust) {
  SimServer sim(ServerLimits{4, 100});
  struct Case {
    const char *name;
    Bytes bytes;
  };
  const Case cases[] = {
      {"protocol identifier 1", {0, 1, 0, 1, 0, 6, 1, 3, 0, 0, 0, 1}},
      {"length 1", {0, 1, 0, 0, 0, 1, 1}},
      {"length 255", {0, 1, 0, 0, 0, 255, 1}},
      {"half a frame, then silence", {0, 1, 0, 0, 0, 6, 1, 3}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    FileDescriptor client = connectTo(*sim.server);
    send(client.get(), c.bytes);
    EXPECT_TRUE(closedByServer(client.get()));
  }
  // The server still answers well-behaved clients.
  FileDescriptor client = connectTo(*sim.server);
  send(client.get(), mbapFrame(5, 1, Bytes{3, 0, 4, 0, 1}));
  ASSERT_TRUE(readRequest(client.get()));
}

TEST(TcpServerTest, OutlivesClientsThatSendRandomBytes) {
  SimServer sim(ServerLimits{64, 50}); // room for every client, however late it is accepted
  std::mt19937 random(7);
  for (int i = 0; i < 40; ++i) {
    FileDescriptor client = connectTo(*sim.server);
    Bytes noise(1 + random() % 300);
    for (uint8_t &byte : noise)
      byte = static_cast<uint8_t>(random());
    if (i % 2) // a valid header in front of random data
      noise.insert(noise.begin(), {0, 1, 0, 0, 0, static_cast<uint8_t>(1 + random() % 253), 1});
    send(client.get(), noise);
  }
  FileDescriptor client = connectTo(*sim.server);
  send(client.get(), mbapFrame(9, 1, Bytes{3, 0, 7, 0, 1}));
  const auto reply = readRequest(client.get());
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->pdu, (Bytes{3, 2, 0, 7}));
}

TEST(TcpServerTest, SendsNothingForUnitsThatDoNotAnswer) {
  SimServer sim;
  FileDescriptor client = connectTo(*sim.server);
  send(client.get(), mbapFrame(1, 9, Bytes{3, 0, 0, 0, 1}));
  send(client.get(), mbapFrame(2, 1, Bytes{3, 0, 0, 0, 1}));
  const auto reply = readRequest(client.get());
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->transaction, 2);
}

TEST(TcpServerTest, TurnsAwayClientsBeyondItsLimit) {
  SimServer sim(ServerLimits{1, 1000});
  FileDescriptor first = connectTo(*sim.server);
  send(first.get(), mbapFrame(1, 1, Bytes{3, 0, 0, 0, 1}));
  ASSERT_TRUE(readRequest(first.get())); // the first is being served
  FileDescriptor second = connectTo(*sim.server);
  EXPECT_TRUE(closedByServer(second.get()));
}

TEST(TcpServerTest, HoldsADelayedReplyUntilTheClockHasMovedAndStopsWhileHoldingIt) {
  arxmod::ManualClock clock;
  arxmod::ScopedClock use(clock);
  SimServer sim;
  sim.meter.inject(1, parseFaultSpec("delay:5000,times=2").fault);
  FileDescriptor client = connectTo(*sim.server);
  send(client.get(), mbapFrame(1, 1, Bytes{3, 0, 0, 0, 1}));
  pollfd wait{client.get(), POLLIN, 0};
  EXPECT_EQ(::poll(&wait, 1, 50), 0); // held back
  clock.advance(std::chrono::milliseconds(5000));
  ASSERT_TRUE(readRequest(client.get()));
  send(client.get(), mbapFrame(2, 1, Bytes{3, 0, 0, 0, 1}));
  sim.server->stop(); // ends the thread that waits for the clock
  EXPECT_TRUE(closedByServer(client.get()));
}

TEST(TcpServerTest, ExplainsAnAddressItCannotListenOn) {
  const auto errorOf = [](const std::string &listen) -> std::string {
    try {
      ModbusTcpServer server(listen,
                             [](uint8_t, std::span<const uint8_t>) { return ServedReply{}; });
    } catch (const ConnectionError &e) {
      return e.what();
    }
    return "";
  };
  EXPECT_EQ(errorOf("localhost"), "listen address 'localhost' has no port: write HOST:PORT");
  SimServer taken;
  EXPECT_EQ(errorOf(taken.server->address()),
            "cannot listen on " + taken.server->address() + ": Address already in use");
}

} // namespace
} // namespace arxhost::transport::test
