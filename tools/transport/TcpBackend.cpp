// Modbus TCP exchanges: connect, send, and match the reply by transaction.
#include "transport/TcpBackend.h"

#include "transport/Mbap.h"
#include "transport/TcpSocket.h"

#include <poll.h>
#include <sys/socket.h>

namespace arxhost::transport {

std::string TcpBackend::where() const {
  return address_.host + ":" + std::to_string(address_.port);
}

BackendResult TcpBackend::broken(const std::string &what) {
  socket_.reset();
  return {Outcome::Broken, {}, where() + ": " + what};
}

BackendResult TcpBackend::cutShort(size_t received, size_t expected) {
  socket_.reset(); // the rest of the frame may still come and would start the next read
  return {Outcome::Garbled,
          {},
          where() + ": the reply stopped after " + std::to_string(received) + " of " +
              std::to_string(expected) + " bytes"};
}

bool TcpBackend::connected(std::string &error) {
  if (socket_.valid()) {
    // A peer that closed an idle connection makes it readable with no data.
    pollfd check{socket_.get(), POLLIN, 0};
    uint8_t byte = 0;
    if (::poll(&check, 1, 0) == 1 &&
        ((check.revents & (POLLERR | POLLHUP)) ||
         ::recv(socket_.get(), &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0))
      socket_.reset();
  }
  if (!socket_.valid())
    socket_ =
        connectTcp(address_.host, address_.port, deadlineIn(address_.connectTimeoutMs), error);
  return socket_.valid();
}

BackendResult TcpBackend::exchange(uint8_t unit, std::span<const uint8_t> pdu, bool wantReply) {
  const uint16_t transaction = ++transaction_;
  const auto frame = mbapFrame(transaction, unit, pdu);
  // A connection that broke before any byte of this request left is made
  // again once; after a partial send the request may have reached the peer.
  for (int attempt = 0;; ++attempt) {
    std::string error;
    if (!connected(error))
      return broken("cannot connect: " + error);
    const IoResult sent = writeAll(socket_.get(), frame, deadlineIn(address_.replyTimeoutMs));
    if (sent.status == IoStatus::Done)
      break;
    if (sent.status == IoStatus::TimedOut)
      return broken("the request could not be sent within the reply timeout");
    if (sent.count > 0 || attempt > 0)
      return broken("connection lost while sending: " + errorText(sent.error));
    socket_.reset();
  }
  if (!wantReply)
    return {Outcome::NoReply, {}, ""};
  return awaitReply(transaction, unit);
}

BackendResult TcpBackend::awaitReply(uint16_t transaction, uint8_t unit) {
  const uint32_t deadline = deadlineIn(address_.replyTimeoutMs);
  for (;;) {
    uint8_t head[kMbapHeaderSize];
    IoResult got = readExact(socket_.get(), head, deadline);
    if (got.status == IoStatus::TimedOut && got.count == 0)
      return {Outcome::NoReply,
              {},
              where() + ": no reply from unit " + std::to_string(unit) + " within " +
                  std::to_string(address_.replyTimeoutMs) + " ms"};
    if (got.status == IoStatus::TimedOut)
      return cutShort(got.count, kMbapHeaderSize);
    if (got.status != IoStatus::Done)
      return broken(got.status == IoStatus::Closed ? "the server closed the connection"
                                                   : "connection lost: " + errorText(got.error));
    const auto header = readMbapHeader(std::span<const uint8_t, kMbapHeaderSize>(head));
    if (!header) {
      socket_.reset();
      return {Outcome::Garbled, {}, where() + ": a reply frame with an invalid MBAP header"};
    }
    std::vector<uint8_t> pdu(header->pduSize());
    got = readExact(socket_.get(), pdu, deadline);
    if (got.status == IoStatus::TimedOut)
      return cutShort(kMbapHeaderSize + got.count, kMbapHeaderSize + pdu.size());
    if (got.status != IoStatus::Done)
      return broken(got.status == IoStatus::Closed ? "the server closed the connection"
                                                   : "connection lost: " + errorText(got.error));
    if (header->transaction != transaction)
      continue; // a reply to another request
    if (header->unit != unit)
      return {Outcome::Garbled,
              {},
              where() + ": the reply came from unit " + std::to_string(header->unit) +
                  " instead of unit " + std::to_string(unit)};
    return {Outcome::Reply, std::move(pdu), ""};
  }
}

} // namespace arxhost::transport
