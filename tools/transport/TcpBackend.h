// TcpBackend: Modbus TCP to one server, over one connection that is opened
// on first use, kept for later exchanges and opened again after it broke.
//
// A request whose kept connection the server has just closed goes out again
// once on a new connection when that cannot carry it out twice (see
// exchange()). Every request gets the next transaction identifier; frames
// that answer another transaction (a late reply to a request that timed out,
// a peer's stray frame) are read and dropped until the reply timeout. A frame whose
// header cannot be trusted, or that stops half way, is a garbled reply and
// ends the connection, so that the next exchange starts on a clean stream.
//
// Replies are read whole in one call where they arrived whole, with what
// came behind them kept for the next frame: a poll sends many messages, and
// each system call spared on each of them shows in its time.
#pragma once

#include "transport/Backend.h"
#include "transport/ConnectionText.h"
#include "transport/Io.h"
#include "transport/Mbap.h"

#include <array>

namespace arxhost::transport {

class TcpBackend final : public Backend {
public:
  explicit TcpBackend(TcpAddress address) : address_(std::move(address)) {}

  BackendResult exchange(uint8_t unit, std::span<const uint8_t> pdu, bool wantReply) override;

private:
  struct Attempt {
    BackendResult result;
    bool reused = false; // sent on a connection kept from an earlier exchange
    size_t sent = 0;     // bytes of the request frame that left
    size_t received = 0; // bytes of reply frames that came
  };

  // True when the kept connection is open and not closed by the peer.
  bool stillOpen();
  // Reads until `count` bytes are unread, waiting for them until `deadline`.
  IoResult fill(size_t count, uint32_t deadline);
  // Drops the first `count` unread bytes: a frame taken.
  void consume(size_t count);
  void disconnect();
  Attempt send(uint8_t unit, std::span<const uint8_t> pdu, bool wantReply);
  BackendResult awaitReply(uint16_t transaction, uint8_t unit, size_t &received);
  BackendResult lost(const IoResult &read);
  BackendResult broken(const std::string &what);
  BackendResult cutShort(size_t received, size_t expected);
  std::string where() const;

  TcpAddress address_;
  FileDescriptor socket_;
  uint16_t transaction_ = 0;
  // Bytes read from the connection and not yet taken as frames; room for
  // two whole frames.
  std::array<uint8_t, 2 * (kMbapHeaderSize + kMaxMbapLength)> unread_{};
  size_t unreadCount_ = 0;
};

} // namespace arxhost::transport
