// FileManager: the tree cache, its change checks and the merge of extension trees.
#include "files/FileManager.h"

#include "base/KSXmsg.h"
#include "base/ProcessSingleton.h"
#include "base/TickCount.h"
#include "host/ConfigDatabase.h"
#include "host/DeviceFileTable.h"
#include "map/MapFile.h"
#include "tree/RegisterObj.h"
#include "tree/TreeFile.h"

#include <charconv>
#include <cstdlib>
#include <string_view>
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

} // namespace

void combineTrees(ObjList *recipient, const ObjList *donor, const std::string &donorName) {
  if (!recipient || !donor)
    throw KSXmsg("FileManager: Invalid tree references passed to CombineTrees.");
  std::unique_lock write(recipient->lock());
  std::shared_lock read(donor->lock());
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

namespace {

// The interval between two looks at one file: the host's refresh period,
// unless ARXMOD_FILE_RECHECK_MS gives another number of milliseconds (for
// an operator editing maps, and for tests of the loaded plug-in, which
// cannot step its clock).
uint32_t initialRecheckInterval() {
  const char *text = std::getenv("ARXMOD_FILE_RECHECK_MS");
  uint32_t interval = ConfigDatabase::kRefreshPeriodMs;
  if (text) {
    const std::string_view digits(text);
    uint32_t parsed = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), parsed);
    if (error == std::errc() && end == digits.data() + digits.size() && !digits.empty())
      interval = parsed;
  }
  return interval;
}

} // namespace

FileManager::FileManager() : recheckInterval_(initialRecheckInterval()), loader_(&loadTreeFile) {}

namespace {
constinit ProcessSingleton<FileManager> manager;
}

FileManager &FileManager::instance() {
  return manager.get([] { return new FileManager(); });
}

void FileManager::releaseInstance() { manager.release(); }

void FileManager::setRecheckInterval(uint32_t milliseconds) { recheckInterval_ = milliseconds; }

void FileManager::setTreeFileLoader(TreeFileLoader loader) {
  loader_ = loader ? loader : &loadTreeFile;
}

void FileManager::clear() {
  {
    std::lock_guard guard(lock_);
    trees_.clear();
  }
  std::lock_guard guard(mapLock_);
  maps_.clear();
}

// The throttle is ours so that the interval can be set, and it applies to a
// file that was not found as well: a device whose file is missing must not
// make every call search the directories. fileChanged does the search of
// the two directories and the comparison of write times.
bool FileManager::changed(FileWatch &watch, const std::string &name, bool extension) const {
  if (watch.checked && ticksElapsed(watch.lastCheck, tickCount()) < recheckInterval_)
    return false;
  watch.checked = false;
  return fileChanged(watch, name, extension);
}

IRefPtr<ObjList> FileManager::loadOrExplain(const std::string &path) const {
  try {
    return loader_.load()(path);
  } catch (const KSXmsg &failure) {
    if (failure.text().empty())
      throw KSXmsg("Could not parse tree file '" + path + "'");
    throw KSXmsg("Could not parse tree file '" + path + "'. Reason: " + failure.text());
  }
}

IRefPtr<TranslationTree> FileManager::load(const CacheEntry &entry, const std::string &name,
                                           const std::string &extensionName) const {
  if (entry.watch.directory.empty())
    return nullptr;
  IRefPtr<ObjList> objects = loadOrExplain(pathIn(entry.watch, name));
  if (!extensionName.empty() && !entry.extensionWatch.directory.empty()) {
    const std::string path = pathIn(entry.extensionWatch, extensionName);
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
  const std::string extensionName = extensionNameOf(name);

  std::shared_ptr<CacheEntry> entry = entryFor(name);
  std::lock_guard guard(entry->lock);
  const bool mainChanged = changed(entry->watch, name, false);
  const bool extensionChanged =
      !extensionName.empty() && changed(entry->extensionWatch, extensionName, true);
  if (mainChanged || extensionChanged) {
    entry->tree.reset();
    entry->tree = load(*entry, name, extensionName);
  }
  if (!entry->tree)
    throw KSXmsg("File '" + pathIn(entry->watch, name) +
                 "' does not exist or does not contain a valid ARX tree.");
  return entry->tree;
}

IRefPtr<TranslationMap> FileManager::loadMap(const MapEntry &entry, const std::string &name,
                                             const std::string &extensionName) const {
  if (entry.watch.directory.empty())
    return nullptr;
  IRefPtr<TranslationMap> map = readMapFile(pathIn(entry.watch, name));
  if (!extensionName.empty() && !entry.extensionWatch.directory.empty()) {
    const std::string path = pathIn(entry.extensionWatch, extensionName);
    combineModbusMaps(map.get(), readMapFile(path).get(), path);
  }
  return map;
}

IRefPtr<TranslationMap> FileManager::getMap(uint32_t deviceId) {
  IRefPtr<TranslationMap> map = cachedMap(deviceId);
  // Outside the entry's lock: the tree has its own, and the map its
  // preparation lock. A preparation that fails leaves the map cached and is
  // tried again at the next call, when the tree may have been fixed.
  map->prepare(*getTree(deviceId));
  return map;
}

IRefPtr<TranslationMap> FileManager::getMap(uint32_t deviceId, const TranslationTree &tree) {
  IRefPtr<TranslationMap> map = cachedMap(deviceId);
  map->prepare(tree);
  return map;
}

IRefPtr<TranslationMap> FileManager::cachedMap(uint32_t deviceId) {
  const std::string name = deviceFileName(deviceId, false);
  const std::string extensionName = extensionNameOf(name);
  IRefPtr<TranslationMap> map;
  {
    std::shared_ptr<MapEntry> entry = entryIn(mapLock_, maps_, name);
    std::lock_guard guard(entry->lock);
    const bool mainChanged = !name.empty() && changed(entry->watch, name, false);
    const bool extensionChanged =
        !extensionName.empty() && changed(entry->extensionWatch, extensionName, true);
    if (mainChanged || extensionChanged) {
      entry->map.reset();
      entry->failed = false;
      try {
        entry->map = loadMap(*entry, name, extensionName);
      } catch (const KSXmsg &) {
        entry->failed = true;
        throw;
      }
    }
    if (!entry->map && entry->failed)
      throw KSXmsg("Translator map file '" + name +
                   "' not loaded due to previous error. Will retry.");
    if (!entry->map)
      throw KSXmsg("Cannot find translator map file '" + name + "'");
    map = entry->map;
  }
  return map;
}

} // namespace arxmod
