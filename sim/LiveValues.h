// LiveValues: the electrical quantities of a simulated three-phase feeder,
// moving with time so that a meter served from them looks alive.
//
// The load follows a slow cycle of five minutes with a little noise per
// phase; the power factor swings between lagging (inductive, reactive power
// positive) and leading (reactive power negative) over four minutes. Every
// quantity is derived from the phase voltages, the phase currents and the
// power factor angle, so they agree with each other: per-phase real power
// V x I x cos(phi), reactive V x I x sin(phi), apparent V x I; the totals are
// their sums; the neutral current is the phasor sum of the phase currents;
// energies integrate the powers over the time that passed; the demand is a
// moving average of the real power over the demand period.
//
// Time enters only through advance(now); the noise comes from a generator
// with a fixed seed, so a run is the same every time.
//
//   LiveValues live;
//   live.advance(clock.wallNow(), 15.0);
//   double kw = live.state().kwTotal;
#pragma once

#include "base/Clock.h"

#include <array>
#include <optional>
#include <random>

namespace arxmod::sim {

struct ElectricalState {
  std::array<double, 3> vln{};  // volts, line to neutral
  std::array<double, 3> vll{};  // volts, a-b, b-c, c-a
  std::array<double, 3> amps{}; // amperes
  double neutralAmps = 0;       // amperes
  std::array<double, 3> kw{};   // kilowatts per phase
  double kwTotal = 0;
  double kvarTotal = 0; // positive lagging, negative leading
  double kvaTotal = 0;
  double powerFactor = 1; // |cos(phi)|, signed: negative while leading
  bool leading = false;
  // The power factor as the meter's lead/lag register holds it: |cos(phi)|
  // (0 to 1) while lagging, 2 - |cos(phi)| (1 to 2) while leading.
  double leadLagPowerFactor = 1;
  double hertz = 50;
  double kwDemand = 0; // moving average over the demand period
  double kwPeakDemand = 0;
  double kwhDelivered = 0; // energies since the meter was made
  double kwhReceived = 0;
  double kvarhDelivered = 0;
  double kvahTotal = 0;
  double celsius = 0; // the meter's inner temperature
};

class LiveValues {
public:
  explicit LiveValues(uint32_t seed = 4110);

  // Moves every quantity to `now`. The first call sets the start; energies
  // and the demand move by the time passed since the previous call, and a
  // time that goes back leaves them where they are.
  void advance(WallTime now, double demandPeriodMinutes);
  const ElectricalState &state() const { return state_; }

private:
  // The quantities `t` seconds after the start (energies and demand aside).
  void update(double t);
  // Gaussian noise of relative size `spread`.
  double noise(double spread);

  std::mt19937 random_;
  std::optional<WallTime> start_;
  std::optional<WallTime> last_;
  ElectricalState state_;
};

} // namespace arxmod::sim
