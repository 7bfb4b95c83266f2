// Fuzz target: Process as a host calls it, for a device with the sample
// tree and map (mapped reads, setup writes, reads of its modules, the
// meter's commands), with the exchange callback answering from the fuzz
// input.
//
// Input: the program's statements are picked from the end of the input
// (a count, then one table index each); the front feeds the exchanges.
// Each exchange takes one choice byte: the meter's true reply, the same
// reply with its data bytes taken from the input, a reply cut short,
// input bytes as the reply, no reply (a timeout), a packet status from
// the input, an exception reply, or input bytes in place of the packet.
// When the input is used up, the meter's true replies end the call.
//
// Set up once per process: a temporary host database with the device, the
// meter translator installed, a clock on which the calls' waits take no
// time. Before every run the simulated meter is set back to its start
// state and the clock moves past the map's refresh periods.
#include "MeterCalls.h"
#include "QuietStreams.h"
#include "frame/DL_Info.h"
#include "frame/EngineSelection.h"
#include "frame/ProcessCall.h"
#include "host/Console.h"
#include "meter/MX4110_4120Translator.h"
#include "sim/MeterBehaviour.h"
#include "sim/SampleMeter.h"
#include "sim/SimulatedMeter.h"
#include "tree/TreeFile.h"
#include "types/ArrayTypes.h"
#include "types/NumericTypes.h"
#include "types/TextParser.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <span>
#include <thread>

namespace arxmod::test {
namespace {

constexpr int32_t kAnswerCapacity = 65536;
constexpr size_t kMaxStatements = 4;
constexpr uint8_t kUnit = 1;

// The text of the fuzzed write argument of the current run.
std::string fuzzedArgumentText;

PICType *fuzzedArgument(MemoryBlob &blob) { return parsePICText(fuzzedArgumentText, blob); }
PICType *deltaText(MemoryBlob &blob) { return makeString(blob, "DELTA"); }
PICType *five(MemoryBlob &blob) { return makeString(blob, "5"); }
PICType *label(MemoryBlob &blob) { return makeString(blob, "Feeder 7"); }
PICType *ratio(MemoryBlob &blob) { return blob.make<Float64Type>(13800.0); }
PICType *do1(MemoryBlob &blob) { return makeString(blob, "DO1"); }
PICType *yes(MemoryBlob &blob) { return makeString(blob, "Yes"); }
PICType *twelveAndAHalf(MemoryBlob &blob) { return blob.make<Float64Type>(12.5); }

// Handles of the sample tree's setups.
constexpr uint32_t kVoltsMode = 257, kPtPrimary = 258, kCtPrimary = 259, kMeterLabel = 261;

// The statements a program is made of: every object of the sample tree
// read (its modules read whole), writes of setups with fixed and fuzzed
// arguments, and the meter's commands.
std::vector<Invocation> statementTable(const ObjList &tree) {
  std::vector<Invocation> statements = {
      {kVoltsMode, 22, &deltaText},
      {kPtPrimary, 22, &ratio},
      {kCtPrimary, 22, &five},
      {kMeterLabel, 22, &label},
      {kVoltsMode, 22, &fuzzedArgument},
      {kMeterLabel, 22, &fuzzedArgument},
      {XLARX::kCommand2008Handle, 22, &five},
      {XLARX::kCommand2008Handle, 22, &fuzzedArgument},
      {XLARX::kOutputAssignmentHandle, 22, &do1},
      {XLARX::kAlarmEnableHandle, 22, &yes},
      {XLARX::kAlarmValueHandle, 22, &twelveAndAHalf},
      {XLARX::kLeadLagHandle, 21},
  };
  tree.forEach([&](const ARXObj &object) {
    statements.push_back({object.handle(), 21});
    statements.push_back({object.handle(), object.kind() == ObjKind::Module ? 80u : 3u});
  });
  return statements;
}

// A clock on which the fuzzing thread's waits (the command procedure's
// pauses between its steps) take no time, while the plug-in's own threads
// (calculation engines, log saving) wait until the run moves the clock on,
// as on a ManualClock: they must not race ahead on a clock that jumps.
class FuzzClock final : public Clock {
public:
  WallTime wallNow() const override { return clock_.wallNow(); }
  uint32_t tickNow() const override { return clock_.tickNow(); }
  bool waitUntilTick(uint32_t deadline, std::stop_token stop) override {
    if (std::this_thread::get_id() != owner_)
      return clock_.waitUntilTick(deadline, stop);
    const uint32_t now = clock_.tickNow();
    if (!tickReached(now, deadline))
      clock_.advance(std::chrono::milliseconds(deadline - now));
    return true;
  }
  void advance(std::chrono::milliseconds step) { clock_.advance(step); }

private:
  ManualClock clock_;
  const std::thread::id owner_ = std::this_thread::get_id();
};

struct Harness {
  FuzzClock clock;
  ScopedClock useClock{clock};
  sim::SimulatedMeter meter;
  uint16_t device = 0;
  std::vector<Invocation> statements;

  Harness() {
    installDeviceTranslatorMaker(&XLARX::makeMX4110_4120Translator);
    const std::filesystem::path examples = ARXMOD_EXAMPLES_DIR;
    device = meterDevices().addFiles(examples / "tree.xml", examples / "map.xml");
    statements = statementTable(*loadTreeFile(examples / "tree.xml"));
  }
  // The sample meter with the meter's own registers, as at its start.
  void resetMeter() {
    meter.addUnit(kUnit, [](sim::RegisterBank &bank) {
      bank = sim::RegisterBank();
      sim::addSampleMeter(bank);
      sim::addMeterBehaviour(bank);
    });
  }
};

Harness *harness = nullptr;
FuzzedDataProvider *input = nullptr;

enum class Reply : uint8_t {
  True,
  FuzzedData,
  CutShort,
  InputBytes,
  Timeout,
  PacketStatus,
  Exception,
  NoPacket,
  kMaxValue = NoPacket, // the last, for FuzzedDataProvider::ConsumeEnum
};

// Hands `bytes` to the plug-in in its reply buffer of *replyLength bytes;
// what does not fit arrives as no reply at all.
void sendReply(std::span<const uint8_t> bytes, uint8_t *reply, int32_t *replyLength) {
  const bool fits = bytes.size() <= static_cast<size_t>(*replyLength);
  if (fits)
    std::copy(bytes.begin(), bytes.end(), reply);
  *replyLength = fits ? static_cast<int32_t>(bytes.size()) : 0;
}

void fuzzedExchange(uint32_t, const uint8_t *packet, int32_t packetLength, uint8_t *reply,
                    int32_t *replyLength) {
  ByteReader in(packet, static_cast<size_t>(packetLength));
  DL_Info answer = DL_Info::read(in);
  std::vector<uint8_t> pdu =
      harness->meter.answer(kUnit, answer.data).pdu.value_or(std::vector<uint8_t>{});
  const Reply choice = input->remaining_bytes() ? input->ConsumeEnum<Reply>() : Reply::True;
  switch (choice) {
  case Reply::True:
    break;
  case Reply::FuzzedData: { // the reply's shape, the input's data
    const size_t header = std::min<size_t>(pdu.size(), 2);
    const std::vector<uint8_t> data = input->ConsumeBytes<uint8_t>(pdu.size() - header);
    std::copy(data.begin(), data.end(), pdu.begin() + static_cast<std::ptrdiff_t>(header));
    break;
  }
  case Reply::CutShort:
    pdu.resize(input->ConsumeIntegralInRange<size_t>(0, pdu.size()));
    break;
  case Reply::InputBytes:
    pdu = input->ConsumeBytes<uint8_t>(input->ConsumeIntegralInRange<size_t>(0, 260));
    break;
  case Reply::Timeout:
    *replyLength = 0;
    return;
  case Reply::PacketStatus:
    answer.status = input->ConsumeIntegral<uint32_t>();
    break;
  case Reply::Exception:
    pdu = {static_cast<uint8_t>(0x80 | (pdu.empty() ? 3 : pdu[0])),
           input->ConsumeIntegral<uint8_t>()};
    break;
  case Reply::NoPacket:
    sendReply(input->ConsumeBytes<uint8_t>(input->ConsumeIntegralInRange<size_t>(0, 260)), reply,
              replyLength);
    return;
  }
  answer.data = std::move(pdu);
  sendReply(answer.toBytes(), reply, replyLength);
}

} // namespace
} // namespace arxmod::test

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  arxmod::fuzz::quietStandardStreams();
  // The console lines of the system log entries the runs make, too.
  arxmod::consoleBuffer().setSink([](std::string_view) {});
  arxmod::test::harness = new arxmod::test::Harness();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  using namespace arxmod::test;
  FuzzedDataProvider provider(data, size);
  input = &provider;
  const std::vector<Invocation> &table = harness->statements;
  std::vector<Invocation> program;
  const size_t count = provider.ConsumeIntegralInRange<size_t>(1, kMaxStatements);
  for (size_t i = 0; i < count; ++i)
    program.push_back(table[provider.ConsumeIntegralInRange<size_t>(0, table.size() - 1)]);
  fuzzedArgumentText = provider.ConsumeRandomLengthString(64);
  harness->resetMeter();
  // Past the refresh periods of the map, so that the values of earlier
  // runs are read again rather than served from the cache.
  harness->clock.advance(std::chrono::minutes(2));

  const std::vector<uint8_t> request = programRequestFor(harness->device, program);
  std::vector<uint8_t> answer(kAnswerCapacity);
  int32_t length = kAnswerCapacity;
  if (arxmod::processCall(1, request.data(), static_cast<int32_t>(request.size()), answer.data(),
                          &length, &fuzzedExchange)) {
    // An answer that Process reports must be a whole packet that decodes
    // (a failure to decode escapes as an exception, which libFuzzer reports).
    if (length <= 0 || length > kAnswerCapacity)
      __builtin_trap();
    answer.resize(static_cast<size_t>(length));
    decodeAnswer(answer);
  }
  input = nullptr;
  return 0;
}
