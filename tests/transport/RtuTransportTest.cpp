// The Modbus RTU transport over a pseudo-terminal pair: the transport opens
// the terminal's serial side, the test plays the meter on the other.
#include "TransportFixture.h"

#include "sim/SimulatedMeter.h"
#include "transport/RtuFrame.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>

namespace arxhost::transport::test {
namespace {

using Steady = std::chrono::steady_clock;

const Bytes kRead{3, 0, 10, 0, 2};
const Bytes kReadReply{3, 4, 0, 10, 0, 11};

// The meter's side of a pseudo-terminal; runs `answer` on each request
// frame the transport writes.
class PtyMeter {
public:
  using Answer = std::function<void(int fd, const Bytes &request)>;

  explicit PtyMeter(Answer answer) : answer_(std::move(answer)) {
    master_.reset(posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK));
    if (!master_.valid() || grantpt(master_.get()) != 0 || unlockpt(master_.get()) != 0)
      throw std::runtime_error("no pseudo-terminal");
    device_ = ptsname(master_.get());
    thread_ = std::thread([this] { run(); });
  }
  ~PtyMeter() {
    wake_.wake();
    thread_.join();
  }

  std::string connection(const std::string &settings = "") const {
    return "rtu://" + device_ + "?baud=19200&timeout=150" + settings;
  }
  std::vector<Bytes> requests() {
    std::lock_guard lock(mutex_);
    return requests_;
  }

private:
  void run() {
    for (;;) {
      // A request frame ends when the line has been quiet for 30 ms.
      Bytes frame;
      if (waitReady(master_.get(), POLLIN, std::nullopt, wake_.readEnd()).status != IoStatus::Done)
        return;
      uint8_t chunk[256];
      while (waitReady(master_.get(), POLLIN, deadlineIn(30), wake_.readEnd()).status ==
             IoStatus::Done) {
        const ssize_t got = ::read(master_.get(), chunk, sizeof chunk);
        if (got <= 0)
          break;
        frame.insert(frame.end(), chunk, chunk + got);
      }
      if (frame.empty())
        continue; // the serial side is not open yet
      {
        std::lock_guard lock(mutex_);
        requests_.push_back(frame);
      }
      answer_(master_.get(), frame);
    }
  }

  Answer answer_;
  FileDescriptor master_;
  std::string device_;
  WakePipe wake_;
  std::mutex mutex_;
  std::vector<Bytes> requests_;
  std::thread thread_;
};

// The reply PDU of the simulated meter to a request frame, framed again.
Bytes simulatedReply(arxmod::sim::SimulatedMeter &meter, const Bytes &request) {
  const Bytes pdu(request.begin() + 1, request.end() - 2);
  const auto reply = meter.answer(request[0], pdu).pdu;
  return reply ? rtuFrame(request[0], *reply) : Bytes{};
}

TEST(RtuTransportTest, CarriesRequestsToTheSimulatedMeterOverTheLine) {
  arxmod::sim::SimulatedMeter meter;
  addStandardUnit(meter, 1);
  addStandardUnit(meter, 2);
  PtyMeter line([&](int fd, const Bytes &request) {
    ASSERT_TRUE(rtuCrcValid(request));
    send(fd, simulatedReply(meter, request));
  });
  PortPool pool;
  const auto exchange = openDeviceExchange({"Line1", line.connection(), 2}, pool);
  EXPECT_EQ(call(*exchange, kRead).pdu(), kReadReply);
  EXPECT_EQ(call(*exchange, {16, 0, 5, 0, 1, 2, 0x12, 0x34}, 1).pdu(), (Bytes{16, 0, 5, 0, 1}));
  EXPECT_EQ(call(*exchange, {3, 0, 99, 0, 2}).pdu(), (Bytes{0x83, 2}));
  EXPECT_EQ(call(*exchange, {20, 7, 6, 0, 9, 0, 0, 0, 1}).pdu(), (Bytes{0x94, 2}));
  const auto requests = line.requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[0], rtuFrame(2, kRead));
  EXPECT_EQ(requests[1][0], 1); // the unit of the request parameter
}

TEST(RtuTransportTest, BadFramesAreBadPacketsAndSilenceIsATimeout) {
  struct Case {
    const char *name;
    Bytes reply;
    uint32_t status; // 99: reply length 0
    std::string failure;
  };
  Bytes badCrc = rtuFrame(1, kReadReply);
  badCrc.back() ^= 0x01;
  Bytes withTrailer = rtuFrame(1, kReadReply);
  withTrailer.insert(withTrailer.end(), {0xFF, 0xFF, 0xFF});
  const Case cases[] = {
      {"a bad CRC", badCrc, 1, "a reply frame of 9 bytes with a bad CRC"},
      {"another unit", rtuFrame(3, kReadReply), 1, "the reply came from unit 3 instead of unit 1"},
      {"three bytes", {1, 3, 4}, 1, "a reply frame of 3 bytes"},
      {"half a frame", Bytes(badCrc.begin(), badCrc.begin() + 5), 1,
       "a reply frame of 5 bytes with a bad CRC"},
      {"silence", {}, 99, "no reply from unit 1 within 150 ms"},
      {"bytes after the frame", withTrailer, 0, ""},
      {"a function without a length rule", rtuFrame(1, Bytes{0x2B, 0x0E, 1}), 0, ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    PtyMeter line([&](int fd, const Bytes &) { send(fd, c.reply); });
    PortPool pool;
    const auto exchange = openDeviceExchange({"Line1", line.connection(), 1}, pool);
    const auto start = Steady::now();
    const CallResult result = call(*exchange, kRead);
    EXPECT_LT(Steady::now() - start, std::chrono::seconds(2));
    if (c.status == 99)
      EXPECT_EQ(result.length, 0);
    else
      EXPECT_EQ(result.status(), c.status);
    EXPECT_EQ(exchange->lastFailure(),
              c.failure.empty()
                  ? ""
                  : "port 'Line1': " + line.connection().substr(6, 10) + ": " + c.failure)
        << line.connection();
  }
}

TEST(RtuTransportTest, ABroadcastIsSentWithoutWaitingForAReply) {
  std::atomic<int> heard{0};
  PtyMeter line([&](int, const Bytes &) { ++heard; });
  PortPool pool;
  const auto exchange = openDeviceExchange({"Line1", line.connection("&turnaround=0"), 0}, pool);
  EXPECT_EQ(call(*exchange, {6, 0, 1, 0, 7}).length, 0);
  EXPECT_EQ(exchange->lastFailure(), "");
  for (int i = 0; i < 100 && heard == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10)); // the meter's thread reads it
  EXPECT_EQ(line.requests(), (std::vector<Bytes>{rtuFrame(0, Bytes{6, 0, 1, 0, 7})}));
}

TEST(RtuTransportTest, ALineThatCannotBeOpenedGivesLengthZeroAndSaysWhy) {
  PortPool pool;
  const auto exchange =
      openDeviceExchange({"Line9", "rtu:///nonexistent/ttyS9?baud=9600", 1}, pool);
  EXPECT_EQ(call(*exchange, kRead).length, 0);
  EXPECT_EQ(exchange->lastFailure(),
            "port 'Line9': cannot open /nonexistent/ttyS9: No such file or directory");
}

} // namespace
} // namespace arxhost::transport::test
