// Modbus RTU exchanges: frame timing, the reply length rule and CRC checks.
#include "transport/RtuBackend.h"

#include "transport/RtuFrame.h"
#include "transport/SerialLine.h"

#include "base/Clock.h"

#include <poll.h>
#include <termios.h>

namespace arxhost::transport {

RtuBackend::RtuBackend(RtuAddress address)
    : address_(std::move(address)),
      silenceMs_((silentIntervalMicros(address_.baud) + 999) / 1000 + 1) {}

BackendResult RtuBackend::broken(const std::string &what) {
  line_.reset();
  return {Outcome::Broken, {}, address_.device + ": " + what};
}

void RtuBackend::waitForQuietLine() {
  arxmod::Clock &clock = arxmod::currentClock();
  if (!arxmod::tickReached(clock.tickNow(), quietFrom_))
    clock.waitUntilTick(quietFrom_, {});
}

BackendResult RtuBackend::exchange(uint8_t unit, std::span<const uint8_t> pdu, bool wantReply) {
  if (!line_.valid()) {
    std::string error;
    line_ = openSerialLine(address_, error);
    if (!line_.valid())
      return {Outcome::Broken, {}, error};
  }
  waitForQuietLine();
  tcflush(line_.get(), TCIFLUSH); // a late reply to an earlier request is not this one's
  const auto frame = rtuFrame(unit, pdu);
  const IoResult sent = writeAll(line_.get(), frame, deadlineIn(address_.replyTimeoutMs));
  if (sent.status != IoStatus::Done)
    return broken("cannot send: " + (sent.status == IoStatus::TimedOut
                                         ? std::string("the line did not take the request")
                                         : errorText(sent.error)));
  const bool broadcast = unit == 0;
  quietFrom_ = deadlineIn(broadcast ? address_.turnaroundMs : silenceMs_);
  if (broadcast || !wantReply)
    return {Outcome::NoReply, {}, ""};
  return awaitReply(unit);
}

BackendResult RtuBackend::awaitReply(uint8_t unit) {
  std::vector<uint8_t> frame;
  uint8_t chunk[kMaxRtuFrameSize];
  const uint32_t deadline = deadlineIn(address_.replyTimeoutMs);
  for (;;) {
    // The first byte may take the reply timeout; later ones end the frame
    // when the line has been silent for 3.5 characters.
    const uint32_t until = frame.empty() ? deadline : deadlineIn(silenceMs_);
    const IoResult ready = waitReady(line_.get(), POLLIN, until);
    if (ready.status == IoStatus::Failed)
      return broken("cannot read: " + errorText(ready.error));
    if (ready.status == IoStatus::TimedOut)
      break;
    const ssize_t got = ::read(line_.get(), chunk, kMaxRtuFrameSize - frame.size());
    if (got == 0)
      return broken("the line hung up");
    if (got < 0 && errno != EAGAIN && errno != EINTR)
      return broken("cannot read: " + errorText(errno));
    if (got > 0)
      frame.insert(frame.end(), chunk, chunk + got);
    const auto expected = rtuReplyLength(frame);
    if ((expected && frame.size() >= *expected) || frame.size() >= kMaxRtuFrameSize)
      break;
  }
  quietFrom_ = deadlineIn(silenceMs_);
  if (frame.empty())
    return {Outcome::NoReply,
            {},
            address_.device + ": no reply from unit " + std::to_string(unit) + " within " +
                std::to_string(address_.replyTimeoutMs) + " ms"};
  if (const auto expected = rtuReplyLength(frame); expected && frame.size() > *expected)
    frame.resize(*expected); // bytes after the frame belong to no request
  const auto garbled = [&](const std::string &what) {
    return BackendResult{Outcome::Garbled, {}, address_.device + ": " + what};
  };
  if (frame.size() < kMinRtuFrameSize)
    return garbled("a reply frame of " + std::to_string(frame.size()) + " bytes");
  if (!rtuCrcValid(frame))
    return garbled("a reply frame of " + std::to_string(frame.size()) + " bytes with a bad CRC");
  if (frame[0] != unit)
    return garbled("the reply came from unit " + std::to_string(frame[0]) + " instead of unit " +
                   std::to_string(unit));
  return {Outcome::Reply, std::vector<uint8_t>(frame.begin() + 1, frame.end() - 2), ""};
}

} // namespace arxhost::transport
