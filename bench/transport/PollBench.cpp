// One poll of every mapped handle of the sample meter, served by `arxhost
// sim` in a process of its own over Modbus TCP on the loopback:
//
//   BM_PollThroughPlugin   read (method 21) of every readable mapped handle in
//                          one program, through the loaded plug-in's Process,
//                          its translator chain and arxhost's TCP transport,
//                          as `arxhost poll` does each round
//   BM_PollWithLibmodbus   a plain libmodbus client sending the messages that
//                          the device's translator places for the same read
//                          (`arxhost plan`) to the same simulator
//
// Pin both processes to one CPU; the simulator inherits the affinity. Runs of
// the two clients interleaved in random order share the machine's slow
// phases (this is how bench/run runs it):
//   taskset -c 0 build/<dir>/bench/transport/arxmod_poll_bench
//       --benchmark_enable_random_interleaving=true   (on the same line)
// Target: the plug-in's poll within 1.2 times the libmodbus time.
#include "ChildProcess.h"
#include "Commands.h"
#include "DeviceFiles.h"
#include "DevicePlan.h"
#include "HandleValues.h"
#include "SampleFiles.h"

#include <benchmark/benchmark.h>
#include <modbus/modbus.h>

#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace arxhost {
namespace {

// The simulator and a host database with the sample meter registered, for
// the whole program.
class SampleSetup {
public:
  SampleSetup() : sim_({ARXHOST_PATH, "sim", "--listen", "127.0.0.1:0"}) {
    const std::string line = sim_.readLine();
    if (line.rfind("listening on ", 0) != 0)
      throw ToolError("arxhost sim did not start: " + line);
    address_ = line.substr(13);
    std::string pattern = (std::filesystem::temp_directory_path() / "arxmod-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
      throw ToolError("cannot make a temporary folder");
    dir_ = pattern;
    std::ostringstream out;
    initCommand(db(), out);
    std::ofstream(dir_ / "translators" / "tree.xml") << kSampleTree;
    std::ofstream(dir_ / "translators" / "map.xml") << kSampleMap;
    NewDevice meter;
    meter.name = "meter1";
    meter.connection = "tcp://" + address_;
    meter.treeFile = "tree.xml";
    meter.mapFile = "map.xml";
    deviceAddCommand(db(), meter, out);
  }
  ~SampleSetup() {
    sim_.stop(SIGTERM);
    std::filesystem::remove_all(dir_);
  }

  std::filesystem::path db() const { return dir_ / "host.db"; }
  std::string host() const { return address_.substr(0, address_.rfind(':')); }
  int port() const { return std::atoi(address_.c_str() + address_.rfind(':') + 1); }

private:
  arxmod::test::ChildProcess sim_;
  std::string address_;
  std::filesystem::path dir_;
};

SampleSetup &sample() {
  static SampleSetup setup;
  return setup;
}

// The calling thread's CPU time in user and kernel mode, in microseconds.
struct ThreadCpu {
  double user = 0;
  double system = 0;
  static ThreadCpu now() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return {usage.ru_utime.tv_sec * 1e6 + usage.ru_utime.tv_usec,
            usage.ru_stime.tv_sec * 1e6 + usage.ru_stime.tv_usec};
  }
};

// Reports the client's own CPU per poll split into user and kernel time:
// the kernel part (sockets, scheduling) is alike for both clients, the user
// part is what each adds of its own.
void reportCpuSplit(benchmark::State &state, const ThreadCpu &start) {
  const ThreadCpu end = ThreadCpu::now();
  const auto polls = static_cast<double>(state.iterations());
  state.counters["user_us"] = (end.user - start.user) / polls;
  state.counters["kernel_us"] = (end.system - start.system) / polls;
}

void BM_PollThroughPlugin(benchmark::State &state) {
  DeviceSession session(sample().db(), "meter1", ARXMOD_PLUGIN_PATH, MeterNeed::Required);
  const std::vector<uint32_t> handles =
      DeviceFiles::load(session.database(), session.device()).readableHandles();
  const ThreadCpu start = ThreadCpu::now();
  for (auto _ : state) {
    const std::vector<HandleResult> values = invokeEach(session, handles, 21, ValueForm::Text);
    for (const HandleResult &value : values)
      if (value.error) {
        state.SkipWithError(("read failed: " + value.shown).c_str());
        return;
      }
    benchmark::DoNotOptimize(values.data());
  }
  reportCpuSplit(state, start);
  state.counters["handles"] = static_cast<double>(handles.size());
}

void BM_PollWithLibmodbus(benchmark::State &state) {
  HostDatabase database = HostDatabase::open(sample().db());
  const DevicePlan plan = planDevice(database, database.device("meter1"));
  modbus_t *context = modbus_new_tcp(sample().host().c_str(), sample().port());
  if (!context || modbus_connect(context) != 0) {
    state.SkipWithError("libmodbus cannot connect to the simulator");
    if (context)
      modbus_free(context);
    return;
  }
  uint16_t registers[MODBUS_MAX_READ_REGISTERS];
  uint8_t bits[MODBUS_MAX_READ_BITS];
  const ThreadCpu start = ThreadCpu::now();
  for (auto _ : state) {
    for (const PlannedRead &read : plan.messages) {
      modbus_set_slave(context, static_cast<int>(read.unit));
      const int first = read.message.start;
      const int count = read.message.count;
      int got = -1;
      switch (read.message.functionCode) {
      case 1:
        got = modbus_read_bits(context, first, count, bits);
        break;
      case 2:
        got = modbus_read_input_bits(context, first, count, bits);
        break;
      case 3:
        got = modbus_read_registers(context, first, count, registers);
        break;
      case 4:
        got = modbus_read_input_registers(context, first, count, registers);
        break;
      default:
        break;
      }
      if (got != count) {
        state.SkipWithError("a libmodbus read failed");
        break;
      }
    }
    benchmark::DoNotOptimize(registers);
  }
  reportCpuSplit(state, start);
  state.counters["messages"] = static_cast<double>(plan.messages.size());
  modbus_close(context);
  modbus_free(context);
}

// Medians of nine runs each: this VM's speed drifts from minute to minute.
BENCHMARK(BM_PollThroughPlugin)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_PollWithLibmodbus)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

} // namespace
} // namespace arxhost
