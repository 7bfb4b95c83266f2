// TcpSocket: the socket calls of the TCP backend and server: connect with a
// deadline, listen, and the text of a socket's local address.
#pragma once

#include "transport/Io.h"

#include <cstdint>
#include <string>

namespace arxhost::transport {

// A connected non-blocking socket to host:port, or an invalid descriptor and
// the reason in `error`. Tries each address the name resolves to until the
// deadline.
FileDescriptor connectTcp(const std::string &host, uint16_t port, uint32_t deadline,
                          std::string &error);

// A non-blocking listening socket on host:port (port 0: a free one); raises
// ConnectionError naming the address and the reason.
FileDescriptor listenTcp(const std::string &host, uint16_t port);

// "127.0.0.1:40123" or "[::1]:40123" for a bound socket.
std::string localAddress(int fd);

} // namespace arxhost::transport
