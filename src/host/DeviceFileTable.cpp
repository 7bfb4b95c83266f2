// Loading and lookup of the device file table.
#include "host/DeviceFileTable.h"

#include "base/ProcessSingleton.h"
#include "base/TickCount.h"
#include "host/ConfigDatabase.h"
#include "host/LibraryName.h"

namespace arxmod {
namespace {

// The library name is bound, so whatever our file is called cannot change
// the meaning of the query.
constexpr const char *kDeviceFilesQuery =
    "SELECT Device.ID,ISNULL(TreeFile,''),ISNULL(MapFile,'') FROM Device JOIN DeviceType ON "
    "Device.DeviceTypeID=DeviceType.ID JOIN Translator ON "
    "Translator.ID=DeviceType.TranslatorID AND UPPER(Translator.DLL)=?";

constinit ProcessSingleton<DeviceFileTable> table;

} // namespace

DeviceFileTable &DeviceFileTable::instance() { return table.get(); }

void DeviceFileTable::releaseInstance() { table.release(); }

void DeviceFileTable::load() {
  std::unordered_map<uint32_t, Files> loaded;
  for (const auto &row : ConfigDatabase::instance().query(kDeviceFilesQuery, {libraryName()})) {
    if (row.size() < 3)
      continue;
    loaded[static_cast<uint32_t>(ConfigDatabase::toInt32(row[0]))] = {
        ConfigDatabase::toString(row[1]), ConfigDatabase::toString(row[2])};
  }
  files_ = std::move(loaded);
  loaded_ = true;
  loadedAt_ = tickCount();
  ++loadCount_;
}

std::string DeviceFileTable::fileName(uint32_t deviceId, bool tree) {
  std::lock_guard guard(lock_);
  if (!loaded_ || ticksElapsed(loadedAt_, tickCount()) > ConfigDatabase::kRefreshPeriodMs)
    load();
  auto it = files_.find(deviceId);
  if (it == files_.end()) {
    load();
    it = files_.find(deviceId);
    if (it == files_.end())
      return {};
  }
  return tree ? it->second.tree : it->second.map;
}

unsigned DeviceFileTable::loadCount() const {
  std::lock_guard guard(lock_);
  return loadCount_;
}

std::string deviceFileName(uint32_t deviceId, bool tree) {
  return DeviceFileTable::instance().fileName(deviceId, tree);
}

std::string extensionNameOf(const std::string &name) { return name.empty() ? name : "ext_" + name; }

} // namespace arxmod
