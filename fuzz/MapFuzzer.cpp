// Fuzz target: translation map files. Each input reads into a whole map or
// fails with a KSXmsg; a map that reads is prepared against the sample
// tree, indexed by address, merged into an empty map, and its labels,
// enumerations and configuration values are produced.
#include "QuietStreams.h"
#include "map/MapFile.h"
#include "tree/TranslationTree.h"
#include "tree/TreeFile.h"

#include <cstdint>
#include <string_view>

namespace {

using namespace arxmod;

const TranslationTree &sampleTree() {
  static const IRefPtr<TranslationTree> tree = makeRef<TranslationTree>(
      loadTreeFile(std::filesystem::path(ARXMOD_EXAMPLES_DIR) / "tree.xml"));
  return *tree;
}

void useEntries(const TranslationMap &map, const TranslationTree &tree) {
  MemoryBlob blob(4096);
  for (const IRefPtr<TranslationInfo> &entry : map.entries()) {
    const ARXObj *object = tree.find(entry->handle);
    try {
      if (entry->dynamicLabel)
        entry->dynamicLabel->produceLabel(1, "Feeder 1");
      if (entry->configLabels)
        entry->configLabels->valueFor(1, blob, object, "");
      if (entry->enumeration)
        entry->enumeration->valueFor(0, blob, object, "");
      if (entry->configValues)
        entry->configValues->valueFor(1, blob, nullptr, "");
    } catch (const MapLookupError &) {
    }
  }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  arxmod::fuzz::quietStandardStreams();
  sampleTree();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  IRefPtr<TranslationMap> map;
  try {
    map = readMapBytes({reinterpret_cast<const char *>(data), size}, "fuzz.xml");
  } catch (const KSXmsg &) {
    return 0;
  }
  try {
    map->prepare(sampleTree());
  } catch (const KSXmsg &) {
  }
  map->addressIndex();
  useEntries(*map, sampleTree());
  auto merged = readMapBytes("<Map/>", "merged.xml");
  combineModbusMaps(merged.get(), map.get(), "fuzz.xml");
  if (merged->count() != map->count())
    __builtin_trap();
  return 0;
}
