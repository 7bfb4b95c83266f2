// DeviceFiles through the FileManager of this process.
#include "DeviceFiles.h"

#include "base/KSXmsg.h"
#include "files/FileManager.h"

#include <cctype>
#include <charconv>
#include <cstdlib>
#include <strings.h>

namespace arxhost {
namespace {

constexpr std::string_view kUnitsPrefix = "Units:";

uint32_t deviceIdOf(HostDatabase &database, const DeviceEntry &device) {
  // The file tables find the device's files through the host database.
  setenv("ARXMOD_HOST_DB", std::filesystem::absolute(database.file()).c_str(), 1);
  return static_cast<uint32_t>(device.id);
}

} // namespace

DeviceFiles DeviceFiles::load(HostDatabase &database, const DeviceEntry &device) {
  DeviceFiles files;
  try {
    const uint32_t id = deviceIdOf(database, device);
    files.tree_ = arxmod::FileManager::instance().getTree(id);
    files.map_ = arxmod::FileManager::instance().getMap(id);
  } catch (const arxmod::KSXmsg &e) {
    throw ToolError("device '" + device.name + "': " + e.what());
  }
  return files;
}

DeviceFiles DeviceFiles::loadTreeIfPossible(HostDatabase &database, const DeviceEntry &device) {
  DeviceFiles files;
  try {
    files.tree_ = arxmod::FileManager::instance().getTree(deviceIdOf(database, device));
  } catch (const arxmod::KSXmsg &) {
    // The plug-in reports the same failure with the values.
  }
  return files;
}

std::vector<uint32_t> DeviceFiles::readableHandles() const {
  std::vector<uint32_t> handles;
  if (!map_ || !tree_)
    return handles;
  for (const auto &entry : map_->entries())
    if ((entry->requestType == "R" || entry->requestType == "RW") && tree_->find(entry->handle))
      handles.push_back(entry->handle);
  return handles;
}

std::string DeviceFiles::name(uint32_t handle) const {
  const arxmod::ARXObj *object = tree_ ? tree_->find(handle) : nullptr;
  return object ? object->name() : "";
}

std::string DeviceFiles::units(uint32_t handle) const {
  const arxmod::ARXObj *object = tree_ ? tree_->find(handle) : nullptr;
  if (!object || !object->descriptors())
    return "";
  for (const std::string &descriptor : *object->descriptors())
    if (descriptor.size() >= kUnitsPrefix.size() &&
        strncasecmp(descriptor.c_str(), kUnitsPrefix.data(), kUnitsPrefix.size()) == 0) {
      std::string units = descriptor.substr(kUnitsPrefix.size());
      units.erase(0, units.find_first_not_of(' '));
      return units;
    }
  return "";
}

uint32_t parseHandle(const std::string &text) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const char *first = text.data() + (hex ? 2 : 0);
  const char *last = text.data() + text.size();
  uint32_t handle = 0;
  const auto [end, error] = std::from_chars(first, last, handle, hex ? 16 : 10);
  if (first == last || error != std::errc() || end != last)
    throw ToolError("handle '" + text +
                    "' is not a handle: write it in decimal (272) or hexadecimal (0x110)");
  return handle;
}

} // namespace arxhost
