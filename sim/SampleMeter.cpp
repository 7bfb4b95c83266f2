// The sample meter's register layout and its live values.
#include "sim/SampleMeter.h"

#include "sim/LiveValues.h"

#include "map/ModbusFormatter.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace arxmod::sim {
namespace {

// Register offsets are the map's address minus 400001 (holding registers).
constexpr uint16_t kInstantaneous = 1000; // 401001
constexpr uint16_t kEnergies = 1100;      // 401101
constexpr uint16_t kTexts = 1200;         // 401201
constexpr uint16_t kSetups = 2000;        // 402001
constexpr uint16_t kCtPrimary = 2003;     // 402004
constexpr uint16_t kDemandPeriod = 2004;  // 402005
constexpr uint16_t kMeterLabel = 2010;    // 402011
constexpr uint16_t kStatus = 1214;        // 401215
// Currents are kept as milliamperes at the CT's 5 A secondary.
constexpr double kSecondaryMilliamps = 5000.0;
// State bits of 401215: bit 0 breaker closed; bits 1-2 alarm (01: active).
constexpr uint16_t kBreakerClosed = 0x0001;
constexpr uint16_t kAlarmActive = 0x0002;
constexpr double kAlarmAmps = 120.0;

// One register of the layout: where, in which map format, and its value in
// the map's units times the map's Scale.
struct LiveRegister {
  uint16_t offset;
  std::string_view format;
  double (*value)(const ElectricalState &s, double ctPrimary);
};

const LiveRegister kLiveRegisters[] = {
    {1000, "UINT16", [](const ElectricalState &s, double) { return s.vln[0] * 10; }},
    {1001, "UINT16", [](const ElectricalState &s, double) { return s.vln[1] * 10; }},
    {1002, "UINT16", [](const ElectricalState &s, double) { return s.vln[2] * 10; }},
    {1003, "UINT16", [](const ElectricalState &s, double) { return s.vll[0] * 10; }},
    {1004, "UINT16", [](const ElectricalState &s, double) { return s.vll[1] * 10; }},
    {1005, "UINT16", [](const ElectricalState &s, double) { return s.vll[2] * 10; }},
    {1006, "UINT16",
     [](const ElectricalState &s, double ct) { return s.amps[0] * kSecondaryMilliamps / ct; }},
    {1007, "UINT16",
     [](const ElectricalState &s, double ct) { return s.amps[1] * kSecondaryMilliamps / ct; }},
    {1008, "UINT16",
     [](const ElectricalState &s, double ct) { return s.amps[2] * kSecondaryMilliamps / ct; }},
    {1009, "SINT16", [](const ElectricalState &s, double) { return s.neutralAmps * 100; }},
    {1010, "IEEEFLOAT", [](const ElectricalState &s, double) { return s.kw[0]; }},
    {1012, "IEEEFLOAT", [](const ElectricalState &s, double) { return s.kw[1]; }},
    {1014, "IEEEFLOAT", [](const ElectricalState &s, double) { return s.kw[2]; }},
    {1016, "IEEEFLOAT", [](const ElectricalState &s, double) { return s.kwTotal; }},
    {1018, "SWAPPEDFLOAT", [](const ElectricalState &s, double) { return s.kvarTotal; }},
    {1020, "IEEEFLOAT", [](const ElectricalState &s, double) { return s.kvaTotal; }},
    {1023, "UINT16", [](const ElectricalState &s, double) { return s.hertz * 100; }},
    {1024, "IEEEFLOAT", [](const ElectricalState &s, double) { return s.kwDemand; }},
    {1026, "IEEEFLOAT", [](const ElectricalState &s, double) { return s.kwPeakDemand; }},
    {1100, "U32-M10K-4321", [](const ElectricalState &s, double) { return s.kwhDelivered * 1000; }},
    {1102, "U32-M10K-4321", [](const ElectricalState &s, double) { return s.kwhReceived * 1000; }},
    {1104, "UINT32", [](const ElectricalState &s, double) { return s.kvarhDelivered * 10000; }},
    {1106, "U64-87-21", [](const ElectricalState &s, double) { return s.kvahTotal * 1000; }},
    {1215, "IEEEFLOAT", [](const ElectricalState &s, double) { return s.leadLagPowerFactor; }},
};

// The registers of `number` in `format`, as the map's reader decodes them.
std::vector<uint16_t> encoded(std::string_view format, double number) {
  XLARX::ModbusConversion value;
  value.format = XLARX::formatCodeOf(format).value_or(XLARX::MBF_U16_21);
  const bool isFloat = value.format == XLARX::MBF_F32_4321 || value.format == XLARX::MBF_F32_2143;
  value.number = isFloat ? number : std::round(number);
  std::vector<uint16_t> words(XLARX::formatRegisterCount(value.format));
  XLARX::ModbusFormatter::instance().encode(value, words);
  return words;
}

// Sign and magnitude in 15 bits (S16-1-15) of a fraction of 32768.
uint16_t signMagnitude(double fraction) {
  const auto magnitude =
      static_cast<uint16_t>(std::lround(std::min(std::abs(fraction), 1.0) * 32767.0));
  return fraction < 0 ? static_cast<uint16_t>(0x8000 | magnitude) : magnitude;
}

void setText(RegisterBank &bank, uint16_t first, size_t registers, std::string_view text) {
  for (size_t i = 0; i < registers; ++i) {
    const auto byte = [&](size_t k) {
      return k < text.size() ? static_cast<uint8_t>(text[k]) : uint8_t{0};
    };
    bank.set(Table::HoldingRegisters, static_cast<uint16_t>(first + i),
             static_cast<uint16_t>(byte(2 * i) << 8 | byte(2 * i + 1)));
  }
}

// The meter's moving state: its quantities and the time since its first tick.
struct MeterTime {
  LiveValues live;
  std::optional<WallTime> start;
  uint32_t seconds = 0;
};

// Writes the quantities into the registers.
void publish(RegisterBank &bank, const ElectricalState &s, uint32_t secondsSinceStart) {
  const uint16_t ct = bank.get(Table::HoldingRegisters, kCtPrimary);
  const double ctPrimary = ct == 0 ? kSecondaryMilliamps / 1000.0 : ct;
  for (const LiveRegister &live : kLiveRegisters)
    bank.setRange(Table::HoldingRegisters, live.offset,
                  encoded(live.format, live.value(s, ctPrimary)));
  bank.set(Table::HoldingRegisters, 1022, signMagnitude(s.powerFactor));
  const bool alarm = *std::max_element(s.amps.begin(), s.amps.end()) > kAlarmAmps;
  bank.set(Table::HoldingRegisters, kStatus, kBreakerClosed | (alarm ? kAlarmActive : 0));
  bank.set(Table::InputRegisters, 0, static_cast<uint16_t>(std::lround(s.celsius * 10)));
  // The digital input changes state every 30 seconds.
  bank.set(Table::DiscreteInputs, 0, (secondsSinceStart / 30) % 2);
}

} // namespace

void addSampleMeter(RegisterBank &bank) {
  bank.map(Table::HoldingRegisters, kInstantaneous, 28);
  bank.map(Table::HoldingRegisters, kEnergies, 8);
  bank.map(Table::HoldingRegisters, kTexts, 17);
  bank.map(Table::HoldingRegisters, kSetups, 5);
  bank.map(Table::HoldingRegisters, kMeterLabel, 8);
  bank.map(Table::InputRegisters, 0, 1);
  bank.map(Table::Coils, 0, 1, 1);
  bank.map(Table::DiscreteInputs, 0, 1);

  setText(bank, kTexts, 8, "MX4120 Simulator");
  bank.setRange(Table::HoldingRegisters, kTexts + 8, encoded("UINT32", 41200017));
  setText(bank, kTexts + 10, 4, "2.1.0");
  // Setups: 4-wire wye, a 400 V PT primary, a 400 A CT, 15-minute demand.
  bank.setRange(Table::HoldingRegisters, kSetups, std::vector<uint16_t>{0, 0, 400, 400, 15});
  setText(bank, kMeterLabel, 8, "Main Feeder");

  auto time = std::make_shared<MeterTime>();
  publish(bank, time->live.state(), 0);
  bank.onTick([time](RegisterBank &b, WallTime now) {
    if (!time->start)
      time->start = now;
    time->live.advance(now, b.get(Table::HoldingRegisters, kDemandPeriod));
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now - *time->start);
    time->seconds = static_cast<uint32_t>(std::max<int64_t>(seconds.count(), 0));
    publish(b, time->live.state(), time->seconds);
  });
  // A new CT primary changes the current registers at once, as a meter's
  // secondary readings do.
  bank.onWrite(Table::HoldingRegisters, kCtPrimary, 1, [time](RegisterBank &b, const Access &) {
    publish(b, time->live.state(), time->seconds);
    return uint8_t{0};
  });
}

} // namespace arxmod::sim
