// Name resolution, connecting and listening with non-blocking sockets.
#include "transport/TcpSocket.h"

#include "transport/ConnectionText.h"

#include <cerrno>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <memory>

namespace arxhost::transport {
namespace {

using AddressList = std::unique_ptr<addrinfo, decltype(&freeaddrinfo)>;

AddressList resolve(const std::string &host, uint16_t port, int flags, std::string &error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = flags | AI_NUMERICSERV;
  addrinfo *found = nullptr;
  const int rc = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
  if (rc != 0)
    error = "cannot resolve '" + host + "': " + gai_strerror(rc);
  return AddressList(rc == 0 ? found : nullptr, &freeaddrinfo);
}

FileDescriptor openSocket(const addrinfo &address) {
  return FileDescriptor(::socket(
      address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address.ai_protocol));
}

} // namespace

FileDescriptor connectTcp(const std::string &host, uint16_t port, uint32_t deadline,
                          std::string &error) {
  const AddressList addresses = resolve(host, port, 0, error);
  for (const addrinfo *a = addresses.get(); a; a = a->ai_next) {
    FileDescriptor fd = openSocket(*a);
    if (!fd.valid()) {
      error = "cannot create a socket: " + errorText(errno);
      continue;
    }
    if (::connect(fd.get(), a->ai_addr, a->ai_addrlen) != 0 && errno != EINPROGRESS) {
      error = errorText(errno);
      continue;
    }
    const IoResult ready = waitReady(fd.get(), POLLOUT, deadline);
    if (ready.status == IoStatus::TimedOut) {
      error = "no connection within the connect timeout";
      return {};
    }
    int soError = ready.error;
    socklen_t length = sizeof(soError);
    if (ready.status == IoStatus::Done)
      getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &soError, &length);
    if (soError != 0) {
      error = errorText(soError);
      continue;
    }
    const int one = 1;
    setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
  }
  return {};
}

FileDescriptor listenTcp(const std::string &host, uint16_t port) {
  std::string error;
  const AddressList addresses = resolve(host, port, AI_PASSIVE, error);
  for (const addrinfo *a = addresses.get(); a; a = a->ai_next) {
    FileDescriptor fd = openSocket(*a);
    const int one = 1;
    if (!fd.valid() || setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0 ||
        ::bind(fd.get(), a->ai_addr, a->ai_addrlen) != 0 || ::listen(fd.get(), SOMAXCONN) != 0) {
      error = errorText(errno);
      continue;
    }
    return fd;
  }
  throw ConnectionError("cannot listen on " + host + ":" + std::to_string(port) + ": " + error);
}

std::string localAddress(int fd) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  char host[NI_MAXHOST] = "?";
  char service[NI_MAXSERV] = "?";
  if (getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
    getnameinfo(reinterpret_cast<sockaddr *>(&address), length, host, sizeof host, service,
                sizeof service, NI_NUMERICHOST | NI_NUMERICSERV);
  const std::string name = address.ss_family == AF_INET6 ? "[" + std::string(host) + "]" : host;
  return name + ":" + service;
}

} // namespace arxhost::transport
