// SIGINT and SIGTERM as a stop request.
#include "StopSignals.h"

#include <pthread.h>

namespace arxhost {

StopSignals::StopSignals() {
  sigemptyset(&signals_);
  sigaddset(&signals_, SIGINT);
  sigaddset(&signals_, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals_, &previous_);
  waiter_ = std::thread([this] {
    int signal = 0;
    sigwait(&signals_, &signal);
    source_.request_stop();
  });
}

StopSignals::~StopSignals() {
  if (!source_.stop_requested())
    pthread_kill(waiter_.native_handle(), SIGTERM); // ends the sigwait
  waiter_.join();
  pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

} // namespace arxhost
