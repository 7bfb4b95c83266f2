// FileManager: the process-wide cache of device trees, loaded from the
// translator directories and reloaded when their files change.
//
//   IRefPtr<TranslationTree> tree = FileManager::instance().getTree(deviceId);
//
// Each file name has one cache entry (shared by every device that names the
// file) holding where the file was found, its last-write time and the tree
// loaded from it. A device's tree is its tree file with its extension tree
// file ("ext_" + name, when it exists) merged in by combineTrees. Files are
// looked at again at most once per re-check interval; a translator holding a
// tree keeps it when the cache replaces it.
#pragma once

#include "host/TranslatorDirectory.h"
#include "tree/TranslationTree.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

namespace arxmod {

// Merges the objects of `donor` into `recipient`: objects new to the
// recipient are cloned in; a module present in both (same class and parent)
// gains the donor's setups and outputs that it lacks. Anything else present
// in both raises a "FileManager: Extension donor tree ..." KSXmsg naming
// `donorName`. The recipient is locked for the merge.
void combineTrees(ObjList *recipient, const ObjList *donor, const std::string &donorName);

class FileManager {
public:
  static FileManager &instance();

  // The tree of a device. Raises KSXmsg when the device has no tree file
  // name, when its file cannot be parsed, or when no tree is cached for it.
  IRefPtr<TranslationTree> getTree(uint32_t deviceId);

  // Milliseconds between two looks at one file (the host's refresh period
  // unless changed, which tests do).
  void setRecheckInterval(uint32_t milliseconds);
  // Forgets every cache entry (for tests).
  void clear();

private:
  struct CacheEntry {
    FileWatch watch;
    IRefPtr<TranslationTree> tree; // empty after a failed load
  };

  bool changed(CacheEntry &entry, const std::string &name, bool extension);
  IRefPtr<TranslationTree> load(const CacheEntry &main, const std::string &name,
                                const CacheEntry *extension, const std::string &extensionName);

  std::mutex lock_; // held across the check, the load and the replacement
  std::unordered_map<std::string, CacheEntry> trees_;
  uint32_t recheckInterval_;

  FileManager();
};

} // namespace arxmod
