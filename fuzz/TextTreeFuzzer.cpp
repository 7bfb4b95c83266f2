// Fuzz target: text tree files and the framework files that wrap them.
// Each input yields a tree or a KSXmsg; a tree that loads is written in
// both forms, and its text form loads again.
#include "QuietStreams.h"
#include "tree/TextTree.h"
#include "tree/TreeFile.h"
#include "tree/XmlTree.h"

#include <cstdint>
#include <sstream>
#include <string_view>

namespace {

void writeBothForms(const arxmod::ObjList &objects) {
  std::ostringstream xml;
  arxmod::writeXmlTree(objects)->save(xml);
  arxmod::parseTextTree(arxmod::textTreeString(objects));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  arxmod::fuzz::quietStandardStreams();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  using namespace arxmod;
  const std::string_view text(reinterpret_cast<const char *>(data), size);
  try {
    std::vector<std::string> warnings;
    if (IRefPtr<ObjList> objects = parseTextTree(text, &warnings))
      writeBothForms(*objects);
  } catch (const KSXmsg &) {
  }
  try {
    if (IRefPtr<ObjList> objects = readFrameworkFile({data, size}))
      writeBothForms(*objects);
  } catch (const KSXmsg &) {
  }
  return 0;
}
