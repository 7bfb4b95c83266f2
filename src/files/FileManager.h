// FileManager: the process-wide cache of device trees and translation maps,
// loaded from the translator directories and reloaded when their files
// change.
//
//   IRefPtr<TranslationTree> tree = FileManager::instance().getTree(deviceId);
//   IRefPtr<TranslationMap> map = FileManager::instance().getMap(deviceId);
//
// Each tree file name has one cache entry (shared by every device that names
// the file) holding where the file and its extension file ("ext_" + name)
// were found, their last-write times and the tree loaded from them, the
// extension merged in by combineTrees. Files are looked at again at most
// once per re-check interval, whether they were found or not; a translator
// holding a tree keeps it when the cache replaces it. Map files have a cache
// of their own, with the same entries, checks and locks.
//
// Locks: the process-wide lock guards only the dictionary of entries and is
// never held while a file is examined or parsed; each entry has its own
// lock, held across its check, load and replacement, so calls for devices
// with different files never wait on each other.
#pragma once

#include "host/TranslatorDirectory.h"
#include "map/TranslationMap.h"
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

  // The translation map of a device: its map file with the extension map
  // file ("ext_" + name, when it exists) merged in, prepared against the
  // device's tree. Maps are cached per map file like trees; a map that could
  // not be read is read again only once either file changes. Raises KSXmsg
  // with the reader's or merge's message when the files cannot be used,
  // "Translator map file '<name>' not loaded due to previous error. Will
  // retry." while they stay unchanged after that, "Cannot find translator
  // map file '<name>'" when there is no map file, and the preparation's
  // message when the tree lacks an excluded handle (the map stays cached and
  // is prepared again at the next call).
  IRefPtr<TranslationMap> getMap(uint32_t deviceId);
  // The same, prepared against `tree`: the device's tree that the caller
  // has just taken from getTree, which spares a second look-up of it.
  IRefPtr<TranslationMap> getMap(uint32_t deviceId, const TranslationTree &tree);

  // Milliseconds between two looks at one file: the host's refresh period,
  // or ARXMOD_FILE_RECHECK_MS when set, unless changed here (tests do).
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

  struct MapEntry {
    std::mutex lock; // held across the check, the load and the replacement
    FileWatch watch;
    FileWatch extensionWatch;
    IRefPtr<TranslationMap> map; // empty after a failed load
    bool failed = false;         // the last load raised
  };

  // The entry of `name` in `entries`, made on first use under `lock`.
  template <typename Entry>
  static std::shared_ptr<Entry>
  entryIn(std::mutex &lock, std::unordered_map<std::string, std::shared_ptr<Entry>> &entries,
          const std::string &name) {
    std::lock_guard guard(lock);
    std::shared_ptr<Entry> &entry = entries[name];
    if (!entry)
      entry = std::make_shared<Entry>();
    return entry;
  }
  std::shared_ptr<CacheEntry> entryFor(const std::string &name) {
    return entryIn(lock_, trees_, name);
  }
  bool changed(FileWatch &watch, const std::string &name, bool extension) const;
  IRefPtr<TranslationTree> load(const CacheEntry &entry, const std::string &name,
                                const std::string &extensionName) const;
  IRefPtr<ObjList> loadOrExplain(const std::string &path) const;
  IRefPtr<TranslationMap> loadMap(const MapEntry &entry, const std::string &name,
                                  const std::string &extensionName) const;
  // The device's map from the cache, read again when its files changed; not
  // yet prepared.
  IRefPtr<TranslationMap> cachedMap(uint32_t deviceId);

  std::mutex lock_; // guards trees_ alone
  std::unordered_map<std::string, std::shared_ptr<CacheEntry>> trees_;
  std::mutex mapLock_; // guards maps_ alone
  std::unordered_map<std::string, std::shared_ptr<MapEntry>> maps_;
  std::atomic<uint32_t> recheckInterval_;
  std::atomic<TreeFileLoader> loader_;

  FileManager();
};

} // namespace arxmod
