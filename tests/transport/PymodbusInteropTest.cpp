// The Modbus TCP backend against another implementation: a pymodbus server
// (Debian's python3-pymodbus) that the test starts on a free loopback port,
// read and written through the exchange callback and checked against what
// the server holds afterwards.
#include "PymodbusServer.h"
#include "TransportFixture.h"

#include <gtest/gtest.h>

namespace arxhost::transport::test {
namespace {

TEST(PymodbusInteropTest, ReadsAndWritesEveryTableOfAPymodbusServer) {
  arxmod::test::PymodbusServer server;
  if (!server.skipReason().empty())
    GTEST_SKIP() << server.skipReason();
  const std::string port = server.port();
  ASSERT_FALSE(port.empty()) << "the pymodbus server did not start";

  PortPool pool;
  const auto exchange = openDeviceExchange({"Py", "tcp://127.0.0.1:" + port, 1}, pool);
  struct Case {
    const char *name;
    Bytes request;
    Bytes reply;
  };
  const Case cases[] = {
      {"read holding registers", {3, 0, 2, 0, 3}, {3, 6, 0x03, 0xEA, 0x03, 0xEB, 0x03, 0xEC}},
      {"read input registers", {4, 0, 98, 0, 2}, {4, 4, 0x08, 0x32, 0x08, 0x33}},
      {"read coils", {1, 0, 0, 0, 10}, {1, 2, 0xAA, 0x02}},
      {"read discrete inputs", {2, 0, 0, 0, 10}, {2, 2, 0x49, 0x02}},
      {"read past the registers", {3, 0, 99, 0, 2}, {0x83, 2}},
      {"write one register", {6, 0, 5, 0xBE, 0xEF}, {6, 0, 5, 0xBE, 0xEF}},
      {"write registers", {16, 0, 10, 0, 2, 4, 0, 7, 0, 8}, {16, 0, 10, 0, 2}},
      {"write one coil", {5, 0, 4, 0xFF, 0}, {5, 0, 4, 0xFF, 0}},
      {"write coils", {15, 0, 8, 0, 4, 1, 0x05}, {15, 0, 8, 0, 4}},
      {"read back", {3, 0, 5, 0, 1}, {3, 2, 0xBE, 0xEF}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const CallResult result = call(*exchange, c.request);
    EXPECT_EQ(result.status(), 0u) << exchange->lastFailure();
    EXPECT_EQ(result.pdu(), c.reply);
  }

  server.closeInput();
  std::vector<int> coils = arxmod::test::tableValues(server.readLine(), "co");
  std::vector<int> registers = arxmod::test::tableValues(server.readLine(), "hr");
  EXPECT_EQ(server.wait(), 0);
  ASSERT_EQ(coils.size(), 20u);
  ASSERT_EQ(registers.size(), 20u);
  EXPECT_EQ(coils[4], 1);
  EXPECT_EQ((std::vector<int>(coils.begin() + 8, coils.begin() + 12)),
            (std::vector<int>{1, 0, 1, 0}));
  EXPECT_EQ(registers[5], 0xBEEF);
  EXPECT_EQ(registers[10], 7);
  EXPECT_EQ(registers[11], 8);
  EXPECT_EQ(registers[12], 1012);
}

} // namespace
} // namespace arxhost::transport::test
