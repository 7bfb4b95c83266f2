// init, and add, list and remove of sites, ports and devices.
#include "Commands.h"

#include "TextTable.h"
#include "transport/ConnectionText.h"

#include <ostream>

namespace arxhost {
namespace {

// Refuses a connection text the transport could not use, naming the port.
void checkConnection(const std::string &port, const std::string &connection) {
  if (connection.empty())
    return;
  try {
    transport::parseConnection(port, connection);
  } catch (const transport::ConnectionError &e) {
    throw ToolError(e.what());
  }
}

// The plug-in looks a device's files up in the translator directories; say
// so when one is not there yet, since reads would fail until it is.
void noteMissingFile(HostDatabase &database, const std::string &file, std::ostream &out) {
  if (file.empty())
    return;
  std::vector<std::filesystem::path> places;
  for (const char *setting : {"TranslatorOverrideDirectory", "TranslatorDirectory"})
    if (const auto dir = database.setting(setting); dir && !dir->empty()) {
      if (std::filesystem::exists(std::filesystem::path(*dir) / file))
        return;
      places.emplace_back(*dir);
    }
  if (!places.empty())
    out << "note: " << file << " is not in the translator directory " << places.back().string()
        << " yet; copy it there before the device is read\n";
}

} // namespace

const char *tableKindName(TableKind kind) {
  switch (kind) {
  case TableKind::Site:
    return "site";
  case TableKind::Port:
    return "port";
  case TableKind::Device:
    break;
  }
  return "device";
}

int initCommand(const std::filesystem::path &dbFile, std::ostream &out) {
  const auto work = std::filesystem::absolute(dbFile).parent_path();
  HostDatabase::create(dbFile, work);
  out << "Created host database " << dbFile.string() << "\n"
      << "  translator directory " << (work / "translators").string() << "\n"
      << "  data directory       " << (work / "data").string() << "\n";
  return 0;
}

int siteAddCommand(const std::filesystem::path &dbFile, const std::string &name,
                   std::ostream &out) {
  HostDatabase::open(dbFile).addSite(name);
  out << "Added site '" << name << "'\n";
  return 0;
}

int portAddCommand(const std::filesystem::path &dbFile, const NewPort &port, std::ostream &out) {
  checkConnection(port.name, port.connection);
  HostDatabase::open(dbFile).addPort(port);
  out << "Added port '" << port.name << "' at site '" << (port.site.empty() ? "Site" : port.site)
      << "'"
      << (port.connection.empty() ? std::string(" without a connection")
                                  : ", reaching " + port.connection)
      << "\n";
  return 0;
}

int deviceAddCommand(const std::filesystem::path &dbFile, const NewDevice &device,
                     std::ostream &out) {
  if (device.unit < 0 || device.unit > 255)
    throw ToolError("--unit " + std::to_string(device.unit) +
                    " is not a Modbus unit number (0 to 255)");
  checkConnection(device.port, device.connection);
  auto database = HostDatabase::open(dbFile);
  const int64_t id = database.addDevice(device);
  out << "Registered device '" << device.name << "' as device " << id << " (type " << device.type
      << ", port " << device.port << ", unit " << device.unit << ")\n";
  noteMissingFile(database, device.treeFile, out);
  noteMissingFile(database, device.mapFile, out);
  return 0;
}

int siteListCommand(const std::filesystem::path &dbFile, std::ostream &out) {
  TextTable table({"SITE", "PORTS"});
  for (const SiteRow &site : HostDatabase::open(dbFile).sites())
    table.add({site.name, std::to_string(site.ports)});
  table.print(out);
  return 0;
}

int portListCommand(const std::filesystem::path &dbFile, std::ostream &out) {
  TextTable table({"PORT", "SITE", "DEVICES", "CONNECTION"});
  for (const PortRow &port : HostDatabase::open(dbFile).ports())
    table.add({port.name, port.site, std::to_string(port.devices),
               port.connection.empty() ? "-" : port.connection});
  table.print(out);
  return 0;
}

int deviceListCommand(const std::filesystem::path &dbFile, std::ostream &out) {
  TextTable table({"DEVICE", "PORT", "UNIT", "TYPE", "TREE", "MAP"});
  for (const DeviceRow &device : HostDatabase::open(dbFile).devices())
    table.add({device.name, device.port.empty() ? "-" : device.port, std::to_string(device.unit),
               device.type, device.treeFile.empty() ? "-" : device.treeFile,
               device.mapFile.empty() ? "-" : device.mapFile});
  table.print(out);
  return 0;
}

int removeCommand(const std::filesystem::path &dbFile, TableKind kind, const std::string &name,
                  std::ostream &out) {
  auto database = HostDatabase::open(dbFile);
  switch (kind) {
  case TableKind::Site:
    database.removeSite(name);
    break;
  case TableKind::Port:
    database.removePort(name);
    break;
  case TableKind::Device:
    database.removeDevice(name);
    break;
  }
  out << "Removed " << tableKindName(kind) << " '" << name << "'\n";
  return 0;
}

} // namespace arxhost
