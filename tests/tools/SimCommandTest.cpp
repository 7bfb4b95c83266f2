// arxhost sim as a script uses it: started with a free port, talked to over
// Modbus TCP through the host-side transport, stopped by a signal; and the
// mistakes on its command line.
#include "ToolFixture.h"

#include "ChildProcess.h"

#include "transport/DeviceExchange.h"

#include "frame/DL_Info.h"

#include <csignal>

namespace arxhost {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes ask(const transport::DeviceExchange &device, const Bytes &pdu) {
  arxmod::DL_Info packet;
  packet.data = pdu;
  const Bytes request = packet.toBytes();
  Bytes reply(512);
  int32_t length = static_cast<int32_t>(reply.size());
  device.callback()(device.context(), request.data(), static_cast<int32_t>(request.size()),
                    reply.data(), &length);
  if (length <= 0)
    return {};
  arxmod::ByteReader in(reply.data(), static_cast<size_t>(length));
  return arxmod::DL_Info::read(in).data;
}

using SimCommandTest = ToolFixture;

TEST_F(SimCommandTest, ServesTheSimulatedMeterUntilSignalled) {
  for (const int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal);
    arxmod::test::ChildProcess sim({ARXHOST_PATH, "sim", "--listen", "127.0.0.1:0", "--unit", "3",
                                    "--fault", "exception:6,fc=16"});
    const std::string line = sim.readLine();
    ASSERT_EQ(line.rfind("listening on 127.0.0.1:", 0), 0u) << line;
    transport::PortPool pool;
    const auto meter = transport::openDeviceExchange({"Port", "tcp://" + line.substr(13), 3}, pool);
    const Bytes write{16, 0, 9, 0, 1, 2, 0x12, 0x34};
    EXPECT_EQ(ask(*meter, write), (Bytes{0x90, 6}));
    EXPECT_EQ(ask(*meter, write), (Bytes{16, 0, 9, 0, 1}));
    EXPECT_EQ(ask(*meter, {3, 0, 9, 0, 1}), (Bytes{3, 2, 0x12, 0x34}));
    EXPECT_EQ(ask(*meter, {20, 7, 6, 0, 1, 0x27, 0x0F, 0, 1}), (Bytes{20, 4, 3, 6, 0, 0}));
    EXPECT_EQ(sim.stop(signal), 0);
  }
}

TEST_F(SimCommandTest, SaysWhatIsWrongWithItsOptions) {
  const auto errorWith = [](const SimOptions &options) {
    return errorOf([&] {
      std::ostringstream out;
      std::stop_source stopped;
      stopped.request_stop();
      simCommand(options, out, stopped.get_token());
    });
  };
  SimOptions fault;
  fault.faults = {"delay"};
  EXPECT_EQ(errorWith(fault),
            "fault 'delay': delay needs a value: delay:N; see 'arxhost sim --help'");
  fault.faults = {"noreply,unit=2"};
  EXPECT_EQ(errorWith(fault), "fault 'noreply,unit=2' names unit 2, but the simulator serves unit "
                              "1 (set it with --unit)");
  SimOptions listen;
  listen.listen = "127.0.0.1";
  EXPECT_EQ(errorWith(listen), "listen address '127.0.0.1' has no port: write HOST:PORT (give "
                               "--listen HOST:PORT; port 0 picks a free one)");
  SimOptions unit;
  unit.unit = 256;
  EXPECT_EQ(errorWith(unit), "--unit 256 is not a Modbus unit number (0 to 255)");
}

} // namespace
} // namespace arxhost
