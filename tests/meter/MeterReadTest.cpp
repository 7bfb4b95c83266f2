// What the meter translator reads on its own: the circuit labels and the
// mode every 300000 ms, the labels composed from them in mode 13, the
// setup counters that follow their changes, and the lead/lag text.
#include "MeterTranslatorFixture.h"
#include "meter/MX4110_4120Translator.h"

#include <bit>

namespace arxmod::test {
namespace {

using namespace std::chrono_literals;
using sim::RegisterBank;
using sim::Table;

constexpr uint32_t kCurrentA = 0x09D00001;
constexpr uint32_t kVoltageBN = 0x0A20000A;
constexpr uint32_t kModule = 0x100;

class MeterReadTest : public MeterTranslatorFixture {
protected:
  void setMode(int16_t mode) {
    withMeter([&](RegisterBank &bank) {
      bank.set(Table::HoldingRegisters, sim::meter::kMode, static_cast<uint16_t>(mode));
    });
  }
  void setLabels(const std::array<std::string, 3> &labels) {
    withMeter([&](RegisterBank &bank) { sim::setCircuitLabels(bank, labels); });
  }
  // The setup counter of the module, as a number.
  uint64_t setupCounter(uint16_t device) {
    const Answer answer = run(device, {{kModule, 80}});
    EXPECT_EQ(answer.results.size(), 1u);
    return answer.results.empty() ? 0 : std::stoull(answer.results[0]);
  }
};

TEST_F(MeterReadTest, LabelsAndModeAreReadOnTheFirstCallAndEvery300000Ms) {
  std::shared_ptr<AccessLog> labels, mode;
  withMeter([&](RegisterBank &bank) {
    labels = logAccesses(bank, Table::HoldingRegisters, sim::meter::kCircuitLabels, 15);
    mode = logAccesses(bank, Table::HoldingRegisters, sim::meter::kMode, 2);
  });
  const auto reads = [&] {
    std::pair<size_t, size_t> counted;
    withMeter([&](RegisterBank &) { counted = {labels->readCount(), mode->readCount()}; });
    return counted;
  };
  const uint16_t device = addMeterDevice();
  run(device, {{kModule, 80}});
  run(device, {{kModule, 80}});
  EXPECT_EQ(reads(), std::make_pair(size_t{1}, size_t{1}));
  clock().advance(300000ms);
  run(device, {{kModule, 80}});
  EXPECT_EQ(reads(), std::make_pair(size_t{1}, size_t{1})); // not yet
  clock().advance(1ms);
  run(device, {{kModule, 80}});
  run(device, {{kModule, 80}});
  EXPECT_EQ(reads(), std::make_pair(size_t{2}, size_t{2}));
}

TEST_F(MeterReadTest, InMode13PerPhaseLabelsNameTheirCircuit) {
  struct Case {
    int16_t mode;
    std::array<std::string, 3> labels;
    std::string currentA;
    std::string voltageBN;
  } cases[] = {
      {13,
       {"", "", ""},
       "Current Phase Average@Feeder 7_M01",
       "Average Voltage Line-to-Neutral@Feeder 7_M02"},
      {13,
       {" Main ", "", "Spare"},
       "Current Phase Average@Feeder 7_Main",
       "Average Voltage Line-to-Neutral@Feeder 7_M02"},
      {12, {"", "", ""}, "Current A", "Vln b"}, // the tree's labels
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.currentA);
    setMode(c.mode);
    setLabels(c.labels);
    const uint16_t device = addMeterDevice("Feeder 7");
    EXPECT_EQ(run(device, {{kCurrentA, 3}, {kVoltageBN, 3}}).results,
              (std::vector<std::string>{c.currentA, c.voltageBN}));
  }
}

TEST_F(MeterReadTest, SetupCounterMovesWithEachChangeOfLabelsOrMode) {
  const uint16_t device = addMeterDevice();
  const uint64_t start = setupCounter(device); // labels read once: one change
  struct Step {
    std::string name;
    std::optional<int16_t> mode;
    std::optional<std::array<std::string, 3>> labels;
    uint64_t changes;
  } steps[] = {
      {"nothing changed", {}, {}, 0},
      {"mode", 13, {}, 1},
      {"labels", {}, std::array<std::string, 3>{"A1", "", ""}, 1},
      {"both", 2, std::array<std::string, 3>{"A1", "B1", ""}, 2},
      {"labels set as their defaults read", {}, std::array<std::string, 3>{"A1", "B1", "M03"}, 0},
  };
  uint64_t expected = start;
  for (const Step &step : steps) {
    SCOPED_TRACE(step.name);
    if (step.mode)
      setMode(*step.mode);
    if (step.labels)
      setLabels(*step.labels);
    clock().advance(300001ms);
    expected += step.changes;
    EXPECT_EQ(setupCounter(device), expected);
  }
}

TEST_F(MeterReadTest, PowerFactorReadsAsLeadOrLag) {
  const uint16_t device = addMeterDevice();
  struct Case {
    float factor;
    std::string text;
  } cases[] = {{1.2f, "Lead"}, {2.0f, "Lead"}, {-1.5f, "Lead"}, {0.8f, "Lag"}, {0.0f, "Lag"},
               {-0.5f, "Lag"}, {1.0f, ""},     {-1.0f, ""},     {2.5f, ""}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.factor);
    const auto bits = std::bit_cast<uint32_t>(c.factor);
    withMeter([&](RegisterBank &bank) {
      bank.setRange(
          Table::HoldingRegisters, 1022,
          std::vector<uint16_t>{static_cast<uint16_t>(bits >> 16), static_cast<uint16_t>(bits)});
    });
    EXPECT_EQ(run(device, {{XLARX::kLeadLagHandle, 21}}).results,
              std::vector<std::string>{c.text + std::string(1, '\0')});
  }
  inject("exception:2");
  EXPECT_EQ(run(device, {{XLARX::kLeadLagHandle, 21}}).results,
            std::vector<std::string>{"ExceptionType { 4u void Illegal Data Address }"});
}

} // namespace
} // namespace arxmod::test
