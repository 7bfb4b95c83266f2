// XLARX::LogBufferSaveThread: saves changed recorders and the position file
// in the background.
//
// One cycle, forever:
//
//   phase     what happens                              ends
//   Waiting   waits for a signal (a recorder changed)   signal, or 60000 ms
//   Sleeping  lets further changes gather               10000 ms later
//   Saving    runs the save cycle it was given          when the cycle returns
//
// so a burst of appends costs one save ten seconds after it starts, and a
// quiet log is looked at once a minute. A signal that arrives while the
// thread sleeps or saves is kept and ends the next wait at once. Every wait
// reads currentClock(), so a test steps a ManualClock through the phases;
// phase() and awaitPhase() let it see where the thread is. stop() ends the
// thread between two cycles or cuts a wait short, and joins it; the log
// buffer then saves once more itself. A stopped thread can be started again.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>

namespace XLARX {

class LogBufferSaveThread {
public:
  enum class Phase { NotStarted, Waiting, Sleeping, Saving };

  static constexpr uint32_t kSignalWaitMs = 60000;
  static constexpr uint32_t kGatherMs = 10000;

  // `cycle` is one save (changed recorders, then the position file); it
  // must not throw.
  explicit LogBufferSaveThread(std::function<void()> cycle);
  ~LogBufferSaveThread();
  LogBufferSaveThread(const LogBufferSaveThread &) = delete;
  LogBufferSaveThread &operator=(const LogBufferSaveThread &) = delete;

  // Starts the thread unless it runs.
  void start();
  // Ends the current or next wait.
  void signal();
  // Stops and joins the thread (if it runs); start() may start it again.
  // Safe to call more than once and from several threads, but not from the
  // save thread itself.
  void stop();

  Phase phase() const;
  uint64_t completedCycles() const;
  // Waits, at most `timeout` of real time, until the thread is in `phase`
  // with at least `cycles` cycles completed. For tests, which step the
  // clock only once the thread waits on it.
  bool awaitPhase(Phase phase, uint64_t cycles, std::chrono::milliseconds timeout) const;

private:
  void run(std::stop_token stop);
  void setPhase(Phase phase);
  // Waits for a signal or the timeout; false when stopped.
  bool waitForSignal(const std::stop_token &stop);

  std::function<void()> cycle_;
  std::mutex stopMutex_; // one stop at a time; taken before mutex_
  mutable std::mutex mutex_;
  mutable std::condition_variable phaseChanged_;
  Phase phase_ = Phase::NotStarted;
  uint64_t cycles_ = 0;
  bool signaled_ = false;
  std::stop_source *wake_ = nullptr; // the wait in progress, if any
  std::jthread thread_;
};

} // namespace XLARX
