// Connection texts of ports: what each form means and what each mistake is
// told, naming the port.
#include "transport/ConnectionText.h"

#include <gtest/gtest.h>

namespace arxhost::transport {
namespace {

TEST(ConnectionTextTest, ReadsTcpAndRtuForms) {
  const auto tcp = std::get<TcpAddress>(parseConnection("P", "tcp://meter.local:1502"));
  EXPECT_EQ(tcp.host, "meter.local");
  EXPECT_EQ(tcp.port, 1502);
  EXPECT_EQ(tcp.replyTimeoutMs, 1000u);
  EXPECT_EQ(tcp.connectTimeoutMs, 3000u);
  const auto tuned =
      std::get<TcpAddress>(parseConnection("P", "tcp://[::1]:502?timeout=250&connect_timeout=50"));
  EXPECT_EQ(tuned.host, "::1");
  EXPECT_EQ(tuned.replyTimeoutMs, 250u);
  EXPECT_EQ(tuned.connectTimeoutMs, 50u);

  const auto rtu = std::get<RtuAddress>(parseConnection("P", "rtu:///dev/ttyS1?baud=9600"));
  EXPECT_EQ(rtu.device, "/dev/ttyS1");
  EXPECT_EQ(rtu.baud, 9600u);
  EXPECT_EQ(rtu.parity, 'E');
  EXPECT_EQ(rtu.stopBits, 1);
  EXPECT_EQ(rtu.dataBits, 8);
  const auto full = std::get<RtuAddress>(parseConnection(
      "P", "rtu:///dev/ttyUSB0?baud=115200&parity=N&stop=2&data=7&timeout=300&turnaround=0"));
  EXPECT_EQ(full.parity, 'N');
  EXPECT_EQ(full.stopBits, 2);
  EXPECT_EQ(full.dataBits, 7);
  EXPECT_EQ(full.replyTimeoutMs, 300u);
  EXPECT_EQ(full.turnaroundMs, 0u);
}

TEST(ConnectionTextTest, NamesThePortAndWhatIsWrong) {
  const std::string forms = "write tcp://HOST:PORT or rtu:///dev/ttyX?baud=19200&parity=E&stop=1";
  struct Case {
    const char *text;
    std::string message; // after "port 'North': connection '<text>': "
  };
  const Case cases[] = {
      {"", "no connection is set; " + forms},
      {"udp://meter:502", "unknown scheme; " + forms},
      {"tcp://meter", "address 'meter' has no port: write HOST:PORT; " + forms},
      {"tcp://:502", "address ':502' has no host: write HOST:PORT; " + forms},
      {"tcp://meter:http",
       "address 'meter:http' has port 'http', not a number from 0 to 65535; " + forms},
      {"tcp://meter:70000", "address 'meter:70000' has port '70000', not a number from 0 to "
                            "65535; " +
                                forms},
      {"tcp://::1:502", "address '::1:502' has an IPv6 address without brackets: write "
                        "[ADDRESS]:PORT; " +
                            forms},
      {"tcp://meter:0", "port 0 cannot be connected to"},
      {"tcp://meter:502?timeout=0", "timeout must be a number from 1 to 3600000, not '0'"},
      {"tcp://meter:502?retries=3", "unknown setting 'retries=3' (use timeout, connect_timeout)"},
      {"tcp://meter:502?timeout=5&timeout=6", "setting 'timeout' given twice"},
      {"rtu://dev/ttyS0?baud=9600", "the serial device must be an absolute path such as "
                                    "/dev/ttyS0; " +
                                        forms},
      {"rtu:///dev/ttyS0", "baud is missing; " + forms},
      {"rtu:///dev/ttyS0?baud=12345", "baud 12345 is not a serial line speed (use 1200 to "
                                      "921600, e.g. 9600, 19200, 38400, 115200)"},
      {"rtu:///dev/ttyS0?baud=9600&parity=X", "parity must be N, E or O, not 'X'"},
      {"rtu:///dev/ttyS0?baud=9600&stop=3", "stop must be a number from 1 to 2, not '3'"},
      {"rtu:///dev/ttyS0?baud=9600&flow", "unknown setting 'flow' (use baud, parity, stop, data, "
                                          "timeout, turnaround)"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text);
    try {
      parseConnection("North", c.text);
      ADD_FAILURE() << "accepted";
    } catch (const ConnectionError &e) {
      EXPECT_EQ(std::string(e.what()),
                "port 'North': connection '" + std::string(c.text) + "': " + c.message);
    }
  }
}

} // namespace
} // namespace arxhost::transport
