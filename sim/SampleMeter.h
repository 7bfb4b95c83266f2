// The sample meter: a unit of the simulated meter laid out as the sample
// map (examples/mx4110_4120/map.xml) reads it, with live values.
//
// Holding registers from 401001 hold the instantaneous values (voltages,
// currents, powers, power factor, frequency, demands), from 401101 the
// energies, from 401201 the texts and state bits, at 401216 the power
// factor in the meter's lead/lag form (0 to 1 lagging, 1 to 2 leading),
// from 402001 the setups (volts mode, PT and CT primaries, demand period,
// a label); input register 300001 holds the temperature, coil 000001 the
// relay and discrete input 100001 a digital input. Each is written in the format the map reads it
// in, scaled as the map scales it; the currents follow the CT primary
// (402004) that a client may write, as a meter's secondary readings do, so
// the scaled amperes stay the same when it changes.
//
// The values come from LiveValues and move at every tick of the meter:
//
//   SimulatedMeter meter;
//   meter.addUnit(1, addSampleMeter);
//   meter.tick(clock.wallNow());   // once a second from the server's loop
#pragma once

#include "sim/RegisterBank.h"

namespace arxmod::sim {

// Maps the sample meter's registers in `bank`, sets its texts and setups,
// writes the values of the start and adds the tick hook that moves them.
void addSampleMeter(RegisterBank &bank);

} // namespace arxmod::sim
