// init, device add and device list.
#include "Commands.h"

#include <ostream>

namespace arxhost {

int initCommand(const std::filesystem::path &dbFile, std::ostream &out) {
  const auto work = std::filesystem::absolute(dbFile).parent_path();
  HostDatabase::create(dbFile, work);
  out << "Created host database " << dbFile.string() << "\n"
      << "  translator directory " << (work / "translators").string() << "\n"
      << "  data directory       " << (work / "data").string() << "\n";
  return 0;
}

int deviceAddCommand(const std::filesystem::path &dbFile, const NewDevice &device,
                     std::ostream &out) {
  auto database = HostDatabase::open(dbFile);
  const int64_t id = database.addDevice(device);
  out << "Registered device '" << device.name << "' as device " << id << " (type " << device.type
      << ", port " << device.port << ", site " << device.site << ")\n";
  return 0;
}

int deviceListCommand(const std::filesystem::path &dbFile, std::ostream &out) {
  auto database = HostDatabase::open(dbFile);
  for (const auto &name : database.deviceNames())
    out << name << "\n";
  return 0;
}

} // namespace arxhost
