// Parsing of tcp:// and rtu:// connection texts.
#include "transport/ConnectionText.h"

#include <charconv>
#include <map>
#include <set>

namespace arxhost::transport {
namespace {

constexpr std::string_view kForms =
    "write tcp://HOST:PORT or rtu:///dev/ttyX?baud=19200&parity=E&stop=1";
constexpr std::string_view kTcpKeys = "timeout, connect_timeout";
constexpr std::string_view kRtuKeys = "baud, parity, stop, data, timeout, turnaround";
// Speeds a serial line can be set to (termios B...).
const std::set<uint32_t> kBauds = {1200,  2400,   4800,   9600,   19200, 38400,
                                   57600, 115200, 230400, 460800, 921600};

class Reader {
public:
  Reader(std::string_view port, std::string_view text) : port_(port), text_(text) {}

  [[noreturn]] void fail(const std::string &what) const {
    throw ConnectionError("port '" + std::string(port_) + "': connection '" + std::string(text_) +
                          "': " + what);
  }

  uint32_t number(std::string_view key, std::string_view digits, uint32_t min, uint32_t max) const {
    uint32_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
        value < min || value > max)
      fail(std::string(key) + " must be a number from " + std::to_string(min) + " to " +
           std::to_string(max) + ", not '" + std::string(digits) + "'");
    return value;
  }

  // key=value pairs after '?', each key at most once and from `allowed`.
  std::map<std::string, std::string> options(std::string_view query,
                                             std::string_view allowed) const {
    std::map<std::string, std::string> result;
    while (!query.empty()) {
      const size_t amp = query.find('&');
      const std::string_view pair = query.substr(0, amp);
      const size_t equals = pair.find('=');
      const std::string key(pair.substr(0, equals));
      if (equals == std::string_view::npos || !isKey(key, allowed))
        fail("unknown setting '" + std::string(pair) + "' (use " + std::string(allowed) + ")");
      if (!result.emplace(key, pair.substr(equals + 1)).second)
        fail("setting '" + key + "' given twice");
      query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    }
    return result;
  }

  TcpAddress tcp(std::string_view rest) const {
    const size_t question = rest.find('?');
    TcpAddress address;
    try {
      parseHostPort("address", rest.substr(0, question), address.host, address.port);
    } catch (const ConnectionError &e) {
      fail(std::string(e.what()) + "; " + std::string(kForms));
    }
    if (address.port == 0)
      fail("port 0 cannot be connected to");
    if (question == std::string_view::npos)
      return address;
    for (const auto &[key, value] : options(rest.substr(question + 1), kTcpKeys)) {
      if (key == "timeout")
        address.replyTimeoutMs = number(key, value, 1, 3'600'000);
      else
        address.connectTimeoutMs = number(key, value, 1, 3'600'000);
    }
    return address;
  }

  RtuAddress rtu(std::string_view rest) const {
    const size_t question = rest.find('?');
    RtuAddress address;
    address.device = std::string(rest.substr(0, question));
    if (address.device.empty() || address.device[0] != '/')
      fail("the serial device must be an absolute path such as /dev/ttyS0; " + std::string(kForms));
    const auto settings =
        options(question == std::string_view::npos ? std::string_view() : rest.substr(question + 1),
                kRtuKeys);
    if (!settings.contains("baud"))
      fail("baud is missing; " + std::string(kForms));
    for (const auto &[key, value] : settings) {
      if (key == "baud") {
        address.baud = number(key, value, 1, 921600);
        if (!kBauds.contains(address.baud))
          fail("baud " + value +
               " is not a serial line speed (use 1200 to 921600, e.g. 9600, "
               "19200, 38400, 115200)");
      } else if (key == "parity") {
        if (value != "N" && value != "E" && value != "O")
          fail("parity must be N, E or O, not '" + value + "'");
        address.parity = value[0];
      } else if (key == "stop") {
        address.stopBits = static_cast<uint8_t>(number(key, value, 1, 2));
      } else if (key == "data") {
        address.dataBits = static_cast<uint8_t>(number(key, value, 7, 8));
      } else if (key == "timeout") {
        address.replyTimeoutMs = number(key, value, 1, 3'600'000);
      } else {
        address.turnaroundMs = number(key, value, 0, 10'000);
      }
    }
    return address;
  }

private:
  static bool isKey(std::string_view key, std::string_view allowed) {
    while (!allowed.empty()) {
      const size_t comma = allowed.find(", ");
      if (allowed.substr(0, comma) == key)
        return true;
      allowed = comma == std::string_view::npos ? std::string_view() : allowed.substr(comma + 2);
    }
    return false;
  }

  std::string_view port_;
  std::string_view text_;
};

} // namespace

void parseHostPort(std::string_view what, std::string_view text, std::string &host,
                   uint16_t &port) {
  const auto fail = [&](const std::string &problem) {
    throw ConnectionError(std::string(what) + " '" + std::string(text) + "' " + problem);
  };
  size_t colon = text.rfind(':');
  if (colon == std::string_view::npos)
    fail("has no port: write HOST:PORT");
  std::string_view name = text.substr(0, colon);
  if (name.size() >= 2 && name.front() == '[' && name.back() == ']')
    name = name.substr(1, name.size() - 2);
  else if (name.find(':') != std::string_view::npos)
    fail("has an IPv6 address without brackets: write [ADDRESS]:PORT");
  if (name.empty())
    fail("has no host: write HOST:PORT");
  const std::string_view digits = text.substr(colon + 1);
  unsigned value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
      value > 65535)
    fail("has port '" + std::string(digits) + "', not a number from 0 to 65535");
  host = std::string(name);
  port = static_cast<uint16_t>(value);
}

PortAddress parseConnection(std::string_view port, std::string_view text) {
  const Reader reader(port, text);
  if (text.starts_with("tcp://"))
    return reader.tcp(text.substr(6));
  if (text.starts_with("rtu://"))
    return reader.rtu(text.substr(6));
  if (text.empty())
    reader.fail("no connection is set; " + std::string(kForms));
  reader.fail("unknown scheme; " + std::string(kForms));
}

} // namespace arxhost::transport
