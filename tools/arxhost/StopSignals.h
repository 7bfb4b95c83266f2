// StopSignals: turns SIGINT and SIGTERM into a stop request, for commands
// that run until the user stops them (sim).
//
// Made before any other thread starts: it blocks both signals for the whole
// process and waits for them on a thread of its own with sigwait, so no
// handler runs in the middle of other work and every thread sees the stop
// through a std::stop_token.
#pragma once

#include <csignal>
#include <stop_token>
#include <thread>

namespace arxhost {

class StopSignals {
public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals &) = delete;
  StopSignals &operator=(const StopSignals &) = delete;

  std::stop_token token() const { return source_.get_token(); }

private:
  sigset_t signals_;
  sigset_t previous_;
  std::stop_source source_;
  std::thread waiter_;
};

} // namespace arxhost
