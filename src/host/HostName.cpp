// The default host name, computed once.
#include "host/HostName.h"

#include "host/ConfigDatabase.h"

#include <climits>
#include <unistd.h>

namespace arxmod {

std::string hostNameFrom(const std::optional<std::string> &machineName) {
  std::string name;
  if (machineName && !machineName->empty()) {
    name = *machineName;
  } else {
    char buffer[HOST_NAME_MAX + 1] = {};
    if (gethostname(buffer, sizeof buffer - 1) == 0)
      name = buffer;
  }
  name = name.substr(0, name.find('.'));
  return name.empty() ? "Unknown" : name;
}

const std::string &defaultHostName() {
  // Never destroyed: threads living until process exit may still log.
  static const auto *name =
      new std::string(hostNameFrom(ConfigDatabase::instance().hostSetting("MachineName")));
  return *name;
}

} // namespace arxmod
