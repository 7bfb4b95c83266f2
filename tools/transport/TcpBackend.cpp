// Modbus TCP exchanges: connect, send, and match the reply by transaction.
#include "transport/TcpBackend.h"

#include "transport/Mbap.h"
#include "transport/TcpSocket.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace arxhost::transport {
namespace {

// Reads, which a server may carry out twice without harm.
bool isRead(std::span<const uint8_t> pdu) {
  if (pdu.empty())
    return false;
  const uint8_t function = pdu[0];
  return function == 1 || function == 2 || function == 3 || function == 4 || function == 20 ||
         function == 100;
}

} // namespace

std::string TcpBackend::where() const {
  return address_.host + ":" + std::to_string(address_.port);
}

void TcpBackend::disconnect() {
  socket_.reset();
  unreadCount_ = 0; // bytes of the old stream would be read as the new one's
}

BackendResult TcpBackend::broken(const std::string &what) {
  disconnect();
  return {Outcome::Broken, {}, where() + ": " + what};
}

BackendResult TcpBackend::cutShort(size_t received, size_t expected) {
  disconnect(); // the rest of the frame may still come and would start the next read
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
    disconnect();
  return socket_.valid();
}

BackendResult TcpBackend::exchange(uint8_t unit, std::span<const uint8_t> pdu, bool wantReply) {
  // A kept connection that the server closes as the request goes out looks
  // open until then. The request goes out again once, on a new connection,
  // when it cannot have reached the server (none of it was sent), or when it
  // is a read and nothing of the reply came.
  Attempt attempt = send(unit, pdu, wantReply);
  if (attempt.reused && attempt.result.outcome == Outcome::Broken &&
      (attempt.sent == 0 || (isRead(pdu) && attempt.received == 0)))
    attempt = send(unit, pdu, wantReply);
  return std::move(attempt.result);
}

TcpBackend::Attempt TcpBackend::send(uint8_t unit, std::span<const uint8_t> pdu, bool wantReply) {
  Attempt attempt;
  // Only a request that may not go out twice pays for the look at a kept
  // connection: a read sent on one that the server has closed goes out again
  // on a new one (see exchange()).
  attempt.reused = isRead(pdu) ? socket_.valid() : stillOpen();
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
    IoResult got = fill(kMbapHeaderSize, deadline);
    received += got.count;
    if (got.status == IoStatus::TimedOut && unreadCount_ == 0)
      return {Outcome::NoReply,
              {},
              where() + ": no reply from unit " + std::to_string(unit) + " within " +
                  std::to_string(address_.replyTimeoutMs) + " ms"};
    if (got.status == IoStatus::TimedOut)
      return cutShort(unreadCount_, kMbapHeaderSize);
    if (got.status != IoStatus::Done)
      return lost(got);
    const auto header =
        readMbapHeader(std::span<const uint8_t, kMbapHeaderSize>(unread_.data(), kMbapHeaderSize));
    if (!header) {
      disconnect();
      return {Outcome::Garbled, {}, where() + ": a reply frame with an invalid MBAP header"};
    }
    const size_t frameSize = kMbapHeaderSize + header->pduSize();
    got = fill(frameSize, deadline);
    received += got.count;
    if (got.status == IoStatus::TimedOut)
      return cutShort(unreadCount_, frameSize);
    if (got.status != IoStatus::Done)
      return lost(got);
    std::vector<uint8_t> pdu(unread_.begin() + kMbapHeaderSize, unread_.begin() + frameSize);
    consume(frameSize);
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

IoResult TcpBackend::fill(size_t count, uint32_t deadline) {
  size_t added = 0;
  while (unreadCount_ < count) {
    // Wait before reading: straight after a request the reply is not there
    // yet, and a read would only cost a system call.
    IoResult waited = waitReady(socket_.get(), POLLIN, deadline);
    if (waited.status == IoStatus::Done) {
      const ssize_t got =
          ::read(socket_.get(), unread_.data() + unreadCount_, unread_.size() - unreadCount_);
      if (got > 0) {
        unreadCount_ += static_cast<size_t>(got);
        added += static_cast<size_t>(got);
        continue;
      }
      if (got < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
        continue;
      waited = got == 0 ? IoResult{IoStatus::Closed} : IoResult{IoStatus::Failed, 0, errno};
    }
    waited.count = added;
    return waited;
  }
  return {IoStatus::Done, added};
}

void TcpBackend::consume(size_t count) {
  std::copy(unread_.begin() + static_cast<std::ptrdiff_t>(count),
            unread_.begin() + static_cast<std::ptrdiff_t>(unreadCount_), unread_.begin());
  unreadCount_ -= count;
}

BackendResult TcpBackend::lost(const IoResult &read) {
  return broken(read.status == IoStatus::Closed ? "the server closed the connection"
                                                : "connection lost: " + errorText(read.error));
}

} // namespace arxhost::transport
