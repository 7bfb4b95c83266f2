// sim: serves the simulated meter over Modbus TCP until stopped, with the
// faults given on the command line.
#include "Commands.h"

#include "SimServer.h"

#include <condition_variable>
#include <mutex>
#include <ostream>

namespace arxhost {

int simCommand(const SimOptions &options, std::ostream &out, std::stop_token stop) {
  SimServer server(options);
  out << "listening on " << server.address() << std::endl;
  std::mutex mutex;
  std::condition_variable_any stopped;
  std::unique_lock lock(mutex);
  stopped.wait(lock, stop, [] { return false; });
  return 0;
}

} // namespace arxhost
