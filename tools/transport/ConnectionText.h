// ConnectionText: how a port reaches its meters, read from Port.Connection.
//
//   tcp://HOST:PORT[?timeout=MS&connect_timeout=MS]
//   rtu:///dev/ttyX?baud=19200&parity=E&stop=1[&data=8&timeout=MS&turnaround=MS]
//
// HOST is a name, an IPv4 address or an IPv6 address in brackets. For RTU,
// baud is required; parity is N, E or O (default E), stop 1 or 2 (default
// 1), data 7 or 8 (default 8). timeout is the reply timeout (default 1000
// ms), connect_timeout the TCP connect timeout (default 3000 ms), turnaround
// the wait after a broadcast before the next request (default 100 ms).
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>

namespace arxhost::transport {

class ConnectionError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

struct TcpAddress {
  std::string host;
  uint16_t port = 502;
  uint32_t connectTimeoutMs = 3000;
  uint32_t replyTimeoutMs = 1000;
};

struct RtuAddress {
  std::string device;
  uint32_t baud = 19200;
  char parity = 'E';
  uint8_t dataBits = 8;
  uint8_t stopBits = 1;
  uint32_t replyTimeoutMs = 1000;
  uint32_t turnaroundMs = 100;
};

using PortAddress = std::variant<TcpAddress, RtuAddress>;

// Parses a connection text; ConnectionError names the port, the text and
// what is wrong with it.
PortAddress parseConnection(std::string_view port, std::string_view text);

// "HOST:PORT" ("[v6]:PORT" for IPv6) into host and port; port 0 is allowed
// (a server picks a free one). ConnectionError names `what` and the text.
void parseHostPort(std::string_view what, std::string_view text, std::string &host, uint16_t &port);

} // namespace arxhost::transport
