// ThreadStops: the stop functions of the subsystems that run threads of
// their own, called before any state those threads use is released.
//
// A subsystem registers its stop function when it starts its first
// thread. The function must stop and join every thread of the subsystem,
// be safe to call more than once and from any thread that is not one of
// those it stops, and leave the subsystem able to start again.
//
//   void startSaveThread() {
//     registerThreadStop(ThreadStopOrder::LogBuffer, &shutdownLogBuffer);
//     ...
//   }
//
// Stops run by their order (a thread that feeds another stops first), and
// within one order in reverse registration order, when the plug-in is
// unloaded (stopRegisteredThreads() in src/plugin/PluginEntry.cpp) and, at
// process exit, from an exit handler registered with the first stop, so
// that the threads end before the runtime destroys anything they might
// touch.
#pragma once

namespace arxmod {

// The order in which stops run.
enum class ThreadStopOrder {
  CalculationEngines, // virtual modules: they append to the log buffer
  LogBuffer,          // the save thread: saves a last time, then ends
};

using ThreadStop = void (*)();

// Registers `stop` (once; registering it again changes nothing). The
// registry holds a fixed number of stops; one more is a programming error
// and throws std::logic_error.
void registerThreadStop(ThreadStopOrder order, ThreadStop stop);

// Runs every registered stop and forgets them all. Exceptions thrown by a
// stop are swallowed, so the remaining stops still run.
void stopRegisteredThreads() noexcept;

} // namespace arxmod
