// Modbus TCP exchanges: connect, send, and match the reply by transaction.
#include "transport/TcpBackend.h"

#include "transport/Mbap.h"
#include "transport/TcpSocket.h"

#include <poll.h>
#include <sys/socket.h>

namespace arxhost::transport {
namespace {

// Reads, which a server may carry out twice without harm.
bool isRead(uint8_t function) {
  return function == 1 || function == 2 || function == 3 || function == 4 || function == 20 ||
         function == 100;
}

} // namespace

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

bool TcpBackend::stillOpen() {
  if (!socket_.valid())
    return false;
  // A peer that closed an idle connection makes it readable with no data.
  pollfd check{socket_.get(), POLLIN, 0};
  uint8_t byte = 0;
  if (::poll(&check, 1, 0) == 1 && ((check.revents & (POLLERR | POLLHUP)) ||
                                    ::recv(socket_.get(), &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0))
    socket_.reset();
  return socket_.valid();
}

BackendResult TcpBackend::exchange(uint8_t unit, std::span<const uint8_t> pdu, bool wantReply) {
  // A kept connection that the server closes as the request goes out looks
  // open until then. The request goes out again once, on a new connection,
  // when it cannot have reached the server (none of it was sent), or when it
  // is a read and nothing of the reply came.
  Attempt attempt = send(unit, pdu, wantReply);
  if (attempt.reused && attempt.result.outcome == Outcome::Broken &&
      (attempt.sent == 0 || (isRead(pdu[0]) && attempt.received == 0)))
    attempt = send(unit, pdu, wantReply);
  return std::move(attempt.result);
}

TcpBackend::Attempt TcpBackend::send(uint8_t unit, std::span<const uint8_t> pdu, bool wantReply) {
  Attempt attempt;
  attempt.reused = stillOpen();
  if (!attempt.reused) {
    std::string error;
    socket_ =
        connectTcp(address_.host, address_.port, deadlineIn(address_.connectTimeoutMs), error);
    if (!socket_.valid()) {
      attempt.result = broken("cannot connect: " + error);
      return attempt;
    }
  }
  const uint16_t transaction = ++transaction_;
  const IoResult sent = writeAll(socket_.get(), mbapFrame(transaction, unit, pdu),
                                 deadlineIn(address_.replyTimeoutMs));
  attempt.sent = sent.count;
  if (sent.status == IoStatus::TimedOut)
    attempt.result = broken("the request could not be sent within the reply timeout");
  else if (sent.status != IoStatus::Done)
    attempt.result = broken("connection lost while sending: " + errorText(sent.error));
  else if (wantReply)
    attempt.result = awaitReply(transaction, unit, attempt.received);
  return attempt;
}

BackendResult TcpBackend::awaitReply(uint16_t transaction, uint8_t unit, size_t &received) {
  const uint32_t deadline = deadlineIn(address_.replyTimeoutMs);
  for (;;) {
    uint8_t head[kMbapHeaderSize];
    // Wait for the reply before reading: a read straight after the request
    // would find nothing and cost a system call each exchange.
    IoResult got = waitReady(socket_.get(), POLLIN, deadline);
    if (got.status == IoStatus::Done)
      got = readExact(socket_.get(), head, deadline);
    received += got.count;
    if (got.status == IoStatus::TimedOut && got.count == 0)
      return {Outcome::NoReply,
              {},
              where() + ": no reply from unit " + std::to_string(unit) + " within " +
                  std::to_string(address_.replyTimeoutMs) + " ms"};
    if (got.status == IoStatus::TimedOut)
      return cutShort(got.count, kMbapHeaderSize);
    if (got.status != IoStatus::Done)
      return lost(got);
    const auto header = readMbapHeader(std::span<const uint8_t, kMbapHeaderSize>(head));
    if (!header) {
      socket_.reset();
      return {Outcome::Garbled, {}, where() + ": a reply frame with an invalid MBAP header"};
    }
    std::vector<uint8_t> pdu(header->pduSize());
    got = readExact(socket_.get(), pdu, deadline);
    received += got.count;
    if (got.status == IoStatus::TimedOut)
      return cutShort(kMbapHeaderSize + got.count, kMbapHeaderSize + pdu.size());
    if (got.status != IoStatus::Done)
      return lost(got);
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

BackendResult TcpBackend::lost(const IoResult &read) {
  return broken(read.status == IoStatus::Closed ? "the server closed the connection"
                                                : "connection lost: " + errorText(read.error));
}

} // namespace arxhost::transport
