// LiveValues: the feeder's quantities over time.
#include "sim/LiveValues.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace arxmod::sim {
namespace {

constexpr double kNominalVolts = 230.0;
constexpr double kNominalAmps = 100.0;
constexpr double kLoadCycleSeconds = 300.0; // the load's slow swing
constexpr double kLoadSwing = 0.25;         // +-25 % of the nominal current
constexpr double kPowerFactorCycleSeconds = 240.0;
constexpr double kMaxAngle = 0.45;  // radians: cos 0.45 = 0.90
constexpr double kStartPhase = 0.5; // radians into the swing: the feeder starts lagging
constexpr std::array<double, 3> kPhaseShare{1.00, 0.93, 1.06}; // an unbalanced load
constexpr double kTwoPi = 2.0 * std::numbers::pi;

// The magnitude of a + b e^(-j 2pi/3) + c e^(+j 2pi/3) for three magnitudes
// 120 degrees apart (the same angle for all).
double phasorSum(double a, double b, double c) {
  const double re = a - 0.5 * (b + c);
  const double im = std::sqrt(3.0) / 2.0 * (c - b);
  return std::hypot(re, im);
}

// Line-to-line voltage of two phases 120 degrees apart.
double lineToLine(double a, double b) { return std::sqrt(a * a + b * b + a * b); }

} // namespace

LiveValues::LiveValues(uint32_t seed) : random_(seed) {
  state_.kwhDelivered = 54321.0;
  state_.kwhReceived = 12.5;
  state_.kvarhDelivered = 12000.0;
  state_.kvahTotal = 60000.0;
  state_.kwPeakDemand = 75.0;
  update(0.0);
  state_.kwDemand = state_.kwTotal;
}

double LiveValues::noise(double spread) {
  std::normal_distribution<double> gauss(0.0, spread);
  return std::clamp(gauss(random_), -3.0 * spread, 3.0 * spread);
}

void LiveValues::update(double t) {
  const double load = 1.0 + kLoadSwing * std::sin(kTwoPi * t / kLoadCycleSeconds);
  const double angle = kMaxAngle * std::sin(kTwoPi * t / kPowerFactorCycleSeconds + kStartPhase);
  ElectricalState &s = state_;
  s.kwTotal = 0;
  s.kvarTotal = 0;
  s.kvaTotal = 0;
  for (size_t p = 0; p < 3; ++p) {
    s.vln[p] = kNominalVolts * (1.0 + 0.004 * (static_cast<double>(p) - 1.0) + noise(0.002));
    s.amps[p] = kNominalAmps * load * kPhaseShare[p] * (1.0 + noise(0.01));
    const double kva = s.vln[p] * s.amps[p] / 1000.0;
    s.kw[p] = kva * std::cos(angle);
    s.kwTotal += s.kw[p];
    s.kvarTotal += kva * std::sin(angle);
    s.kvaTotal += kva;
  }
  for (size_t p = 0; p < 3; ++p)
    s.vll[p] = lineToLine(s.vln[p], s.vln[(p + 1) % 3]);
  s.neutralAmps = phasorSum(s.amps[0], s.amps[1], s.amps[2]);
  s.leading = angle < 0;
  s.powerFactor = (s.leading ? -1.0 : 1.0) * s.kwTotal / s.kvaTotal;
  s.leadLagPowerFactor = s.leading ? 2.0 - std::abs(s.powerFactor) : std::abs(s.powerFactor);
  s.hertz = 50.0 + 0.02 * std::sin(kTwoPi * t / 97.0) + noise(0.002);
  s.celsius = 34.0 + 2.0 * load + noise(0.05);
}

void LiveValues::advance(WallTime now, double demandPeriodMinutes) {
  if (!start_)
    start_ = now;
  update(std::chrono::duration<double>(now - *start_).count());
  ElectricalState &s = state_;
  const double elapsed = last_ ? std::chrono::duration<double>(now - *last_).count() : 0.0;
  if (elapsed > 0) {
    const double hours = elapsed / 3600.0;
    s.kwhDelivered += s.kwTotal * hours;
    s.kvarhDelivered += std::abs(s.kvarTotal) * hours;
    s.kvahTotal += s.kvaTotal * hours;
    const double period = std::max(demandPeriodMinutes, 1.0) * 60.0;
    s.kwDemand += (s.kwTotal - s.kwDemand) * std::min(1.0, elapsed / period);
  }
  s.kwPeakDemand = std::max(s.kwPeakDemand, s.kwDemand);
  if (!last_ || now > *last_)
    last_ = now;
}

} // namespace arxmod::sim
