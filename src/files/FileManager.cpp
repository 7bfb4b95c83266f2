// FileManager: the tree cache, its change checks and the merge of extension trees.
#include "files/FileManager.h"

#include "base/KSXmsg.h"
#include "base/TickCount.h"
#include "host/ConfigDatabase.h"
#include "host/DeviceFileTable.h"
#include "tree/RegisterObj.h"
#include "tree/TreeFile.h"

#include <unordered_set>

namespace arxmod {
namespace {

// The donor's handles that `into` lacks, appended after its own. A set keeps
// the merge linear, whatever the size of the lists in the files.
void mergeHandles(const std::optional<std::vector<uint32_t>> &donor,
                  std::optional<std::vector<uint32_t>> &into) {
  std::vector<uint32_t> merged = into.value_or(std::vector<uint32_t>{});
  std::unordered_set<uint32_t> present(merged.begin(), merged.end());
  for (uint32_t handle : donor.value_or(std::vector<uint32_t>{}))
    if (present.insert(handle).second)
      merged.push_back(handle);
  into = merged.empty() ? std::nullopt : std::optional(std::move(merged));
}

std::string pathIn(const FileWatch &watch, const std::string &name) {
  return (watch.directory.empty() ? translatorDirectory(false) : watch.directory) + "/" + name;
}

IRefPtr<ObjList> loadOrExplain(const std::string &path) {
  try {
    return loadTreeFile(path);
  } catch (const KSXmsg &failure) {
    if (failure.text().empty())
      throw KSXmsg("Could not parse tree file '" + path + "'");
    throw KSXmsg("Could not parse tree file '" + path + "'. Reason: " + failure.text());
  }
}

} // namespace

void combineTrees(ObjList *recipient, const ObjList *donor, const std::string &donorName) {
  if (!recipient || !donor)
    throw KSXmsg("FileManager: Invalid tree references passed to CombineTrees.");
  std::scoped_lock guard(recipient->lock(), donor->lock());
  for (const ARXObj *given : donor->writeOrder()) {
    const uint32_t handle = given->handle();
    ARXObj *present = recipient->find(handle);
    if (!present) {
      recipient->insert(given->clone());
      continue;
    }
    // Appended in steps: g++ 12 at -O3 misreports "(" + a temporary as overlapping.
    std::string id = "(";
    id += std::to_string(handle);
    id += ')';
    if (dynamic_cast<const RegisterObj *>(given))
      throw KSXmsg("FileManager: Extension donor tree contains handle " + id +
                   " already in recipient tree. Donor tree: " + donorName);
    if (given->classNumber() != present->classNumber())
      throw KSXmsg("FileManager: Extension donor tree object " + id +
                   " not the same type as recipient. Donor tree: " + donorName);
    if (given->parent() != present->parent())
      throw KSXmsg("FileManager: Extension donor tree object " + id +
                   " does not have the same parent as recipient. Donor tree: " + donorName);
    auto *module = dynamic_cast<ModuleObj *>(present);
    auto *donorModule = dynamic_cast<const ModuleObj *>(given);
    if (!module || !donorModule)
      throw KSXmsg("FileManager: Extension donor tree object " + id +
                   " or recipient invalid class. Donor tree: " + donorName);
    auto setups = module->setups();
    mergeHandles(donorModule->setups(), setups);
    module->setSetups(std::move(setups));
    auto outputs = module->outputs();
    mergeHandles(donorModule->outputs(), outputs);
    module->setOutputs(std::move(outputs));
  }
}

FileManager::FileManager() : recheckInterval_(ConfigDatabase::kRefreshPeriodMs) {}

FileManager &FileManager::instance() {
  static FileManager manager;
  return manager;
}

void FileManager::setRecheckInterval(uint32_t milliseconds) {
  std::lock_guard guard(lock_);
  recheckInterval_ = milliseconds;
}

void FileManager::clear() {
  std::lock_guard guard(lock_);
  trees_.clear();
}

// The throttle is ours so that the interval can be set; fileChanged does the
// search of the two directories and the comparison of write times.
bool FileManager::changed(CacheEntry &entry, const std::string &name, bool extension) {
  FileWatch &watch = entry.watch;
  if (watch.checked && (!watch.directory.empty() || extension) &&
      ticksElapsed(watch.lastCheck, tickCount()) < recheckInterval_)
    return false;
  watch.checked = false;
  return fileChanged(watch, name, extension);
}

IRefPtr<TranslationTree> FileManager::load(const CacheEntry &main, const std::string &name,
                                           const CacheEntry *extension,
                                           const std::string &extensionName) {
  if (main.watch.directory.empty())
    return nullptr;
  IRefPtr<ObjList> objects = loadOrExplain(pathIn(main.watch, name));
  if (extension && !extension->watch.directory.empty()) {
    const std::string path = pathIn(extension->watch, extensionName);
    IRefPtr<ObjList> donor = loadOrExplain(path);
    try {
      combineTrees(objects.get(), donor.get(), path);
    } catch (const KSXmsg &failure) {
      throw KSXmsg("Could not parse tree file '" + path + "'. Reason: " + failure.text());
    }
  }
  objects->sizeForCount();
  return makeRef<TranslationTree>(objects);
}

IRefPtr<TranslationTree> FileManager::getTree(uint32_t deviceId) {
  const std::string name = deviceFileName(deviceId, true);
  if (name.empty())
    throw KSXmsg(std::string("Could not find tree filename for device with ID = ") +
                 std::to_string(deviceId) +
                 ". The device might have been removed from the network configuration.");
  const std::string extensionName = extensionFileName(deviceId, true);

  std::lock_guard guard(lock_);
  CacheEntry &main = trees_[name];
  CacheEntry *extension = extensionName.empty() ? nullptr : &trees_[extensionName];
  const bool mainChanged = changed(main, name, false);
  const bool extensionChanged = extension && changed(*extension, extensionName, true);
  if (mainChanged || extensionChanged) {
    main.tree.reset();
    main.tree = load(main, name, extension, extensionName);
  }
  if (!main.tree)
    throw KSXmsg("File '" + pathIn(main.watch, name) +
                 "' does not exist or does not contain a valid ARX tree.");
  return main.tree;
}

} // namespace arxmod
