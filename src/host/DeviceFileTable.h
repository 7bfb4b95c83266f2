// DeviceFileTable: device number -> (tree file name, map file name) for
// every device of this library, read from the host configuration database.
//
// The table is reloaded when it is older than the database client's refresh
// period, and once more, regardless of age, when a lookup misses: a device
// just added by the operator is found on its first request.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

namespace arxmod {

class DeviceFileTable {
public:
  static DeviceFileTable &instance();
  // Destroys the process's table (at unload); the next use loads it anew.
  static void releaseInstance();

  // The tree (tree true) or map (tree false) file name of a device; empty
  // when the database holds none.
  std::string fileName(uint32_t deviceId, bool tree);

  // How many times the table has been read from the database (for tests).
  unsigned loadCount() const;

private:
  struct Files {
    std::string tree;
    std::string map;
  };
  void load();

  mutable std::mutex lock_;
  std::unordered_map<uint32_t, Files> files_;
  bool loaded_ = false;
  uint32_t loadedAt_ = 0; // tick count of the last load
  unsigned loadCount_ = 0;
};

std::string deviceFileName(uint32_t deviceId, bool tree);
// The extension file's name for a device file named `name`: "ext_" and the
// name, or empty when the name is empty.
std::string extensionNameOf(const std::string &name);

} // namespace arxmod
