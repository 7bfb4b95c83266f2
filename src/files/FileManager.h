// FileManager: the process-wide cache of device trees, loaded from the
// translator directories and reloaded when their files change.
//
//   IRefPtr<TranslationTree> tree = FileManager::instance().getTree(deviceId);
//
// Each tree file name has one cache entry (shared by every device that names
// the file) holding where the file and its extension file ("ext_" + name)
// were found, their last-write times and the tree loaded from them, the
// extension merged in by combineTrees. Files are looked at again at most
// once per re-check interval, whether they were found or not; a translator
// holding a tree keeps it when the cache replaces it.
//
// Locks: the process-wide lock guards only the dictionary of entries and is
// never held while a file is examined or parsed; each entry has its own
// lock, held across its check, load and replacement, so calls for devices
// with different files never wait on each other.
#pragma once

#include "host/TranslatorDirectory.h"
#include "tree/TranslationTree.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
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
  // Destroys the process's cache (at unload); trees that translators still
  // hold live on with them.
  static void releaseInstance();

  // The tree of a device. Raises KSXmsg when the device has no tree file
  // name, when its file cannot be parsed, or when no tree is cached for it.
  IRefPtr<TranslationTree> getTree(uint32_t deviceId);

  // Milliseconds between two looks at one file (the host's refresh period
  // unless changed, which tests do).
  void setRecheckInterval(uint32_t milliseconds);
  // Forgets every cache entry (for tests).
  void clear();
  // Replaces the reader of one tree file (for tests; nullptr restores
  // loadTreeFile).
  using TreeFileLoader = IRefPtr<ObjList> (*)(const std::filesystem::path &path);
  void setTreeFileLoader(TreeFileLoader loader);

private:
  struct CacheEntry {
    std::mutex lock; // held across the check, the load and the replacement
    FileWatch watch;
    FileWatch extensionWatch;
    IRefPtr<TranslationTree> tree; // empty after a failed load
  };

  std::shared_ptr<CacheEntry> entryFor(const std::string &name);
  bool changed(FileWatch &watch, const std::string &name, bool extension) const;
  IRefPtr<TranslationTree> load(const CacheEntry &entry, const std::string &name,
                                const std::string &extensionName) const;
  IRefPtr<ObjList> loadOrExplain(const std::string &path) const;

  std::mutex lock_; // guards trees_ alone
  std::unordered_map<std::string, std::shared_ptr<CacheEntry>> trees_;
  std::atomic<uint32_t> recheckInterval_;
  std::atomic<TreeFileLoader> loader_;

  FileManager();
};

} // namespace arxmod
