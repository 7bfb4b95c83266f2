// Fuzz target: XML tree files. Each input yields a tree or a KSXmsg; a
// tree that loads is written in both forms, and its XML form loads again.
#include "QuietStreams.h"
#include "tree/TextTree.h"
#include "tree/TreeFile.h"
#include "tree/XmlTree.h"

#include <cstdint>
#include <sstream>
#include <string_view>

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  arxmod::fuzz::quietStandardStreams();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  using namespace arxmod;
  IRefPtr<ObjList> objects;
  try {
    objects = loadTreeBytes({reinterpret_cast<const char *>(data), size}, "tree.xml");
  } catch (const KSXmsg &) {
    return 0;
  }
  std::ostringstream xml;
  writeXmlTree(*objects)->save(xml);
  loadTreeBytes(xml.str(), "again.xml");
  (void)textTreeString(*objects);
  return 0;
}
