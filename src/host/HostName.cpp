// The default host name, computed once.
#include "host/HostName.h"

#include "base/ProcessSingleton.h"
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

namespace {
constinit ProcessSingleton<const std::string> defaultName;
}

const std::string &defaultHostName() {
  if (const std::string *known = defaultName.existing())
    return *known;
  // Every log entry asks for this name, so a failing database cannot be
  // logged before the name is known; it is logged once the name is stored.
  const HostSettingRead machine = ConfigDatabase::instance().readHostSetting("MachineName");
  const std::string &name =
      defaultName.get([&] { return new const std::string(hostNameFrom(machine.value)); });
  machine.logFailure("MachineName");
  return name;
}

void releaseDefaultHostName() { defaultName.release(); }

} // namespace arxmod
