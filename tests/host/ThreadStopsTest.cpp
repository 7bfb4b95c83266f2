// The thread stop registry runs feeding threads' stops first, later
// registrations first within one order, each stop once, and survives a
// stop that throws.
#include "host/ThreadStops.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

namespace arxmod {
namespace {

std::string ran;

void stopEngineA() { ran += "A"; }
void stopEngineB() { ran += "B"; }
void stopLogBuffer() { ran += "L"; }
void stopThrowing() {
  ran += "T";
  throw std::runtime_error("stop failed");
}

TEST(ThreadStopsTest, RunsByOrderThenLatestFirstAndOnlyOnce) {
  ran.clear();
  // The log buffer registers first, as when its thread starts before any
  // calculation thread; the calculation threads must still stop before it.
  registerThreadStop(ThreadStopOrder::LogBuffer, &stopLogBuffer);
  registerThreadStop(ThreadStopOrder::CalculationEngines, &stopEngineA);
  registerThreadStop(ThreadStopOrder::CalculationEngines, &stopThrowing);
  registerThreadStop(ThreadStopOrder::CalculationEngines, &stopEngineB);
  registerThreadStop(ThreadStopOrder::CalculationEngines, &stopEngineA); // again: no change
  stopRegisteredThreads();
  EXPECT_EQ(ran, "BTAL");
  stopRegisteredThreads(); // the registry forgot them
  EXPECT_EQ(ran, "BTAL");
  registerThreadStop(ThreadStopOrder::LogBuffer, &stopLogBuffer); // a restarted subsystem
  stopRegisteredThreads();
  EXPECT_EQ(ran, "BTALL");
}

} // namespace
} // namespace arxmod
