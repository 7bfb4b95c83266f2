// RecorderCache: writing and strictly reading the XML caches.
#include "logs/RecorderCache.h"

#include "logs/LogFileIo.h"
#include "tree/XmlTree.h"
#include "types/TextParser.h"

#include <cerrno>
#include <sstream>

namespace arxmod {
namespace {

[[noreturn]] void corrupted() { throw KSXmsg(kCorruptCacheMessage); }

} // namespace

std::string writeRecorderCache(const RegisterObj &logRegister, const LogArrayType &records,
                               const std::filesystem::path &file, int &error) {
  error = 0;
  auto objects = makeRef<ObjList>();
  std::unique_ptr<ARXObj> copy = logRegister.clone();
  static_cast<RegisterObj &>(*copy).setValueText(records.toText());
  objects->insert(std::move(copy));
  std::ostringstream text;
  writeXmlTree(*objects)->save(text, "  ");
  const std::string bytes = text.str();
  if ((error = ensureDirectory(file.parent_path())) != 0)
    return errorText(error);
  const WriteResult written =
      replaceFile(file, {std::span(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size())});
  error = written.error;
  return written ? std::string() : errorText(written.error);
}

const LogArrayType *readRecorderCache(const std::filesystem::path &file, uint32_t handle,
                                      uint64_t maxBytes, MemoryBlob &blob) {
  ReadOnlyFile in;
  if (const int error = in.open(file)) {
    if (error == ENOENT)
      return nullptr;
    corrupted();
  }
  const std::optional<uint64_t> size = in.size();
  if (!size || *size > maxBytes)
    corrupted();
  std::string bytes(static_cast<size_t>(*size), '\0');
  if (!in.readAt(0, std::span(reinterpret_cast<uint8_t *>(bytes.data()), bytes.size())))
    corrupted();
  pugi::xml_document document;
  if (!document.load_buffer(bytes.data(), bytes.size(), kTreeParseOptions))
    corrupted();
  const pugi::xml_node tree = findTreeElement(document);
  IRefPtr<ObjList> objects;
  try {
    if (tree)
      objects = readXmlTree(tree);
  } catch (const KSXmsg &) {
    corrupted();
  }
  const auto *logRegister =
      objects ? dynamic_cast<const RegisterObj *>(objects->find(handle)) : nullptr;
  if (!logRegister || !logRegister->valueText())
    corrupted();
  const TextParseResult parsed = parsePICTextWithReport(*logRegister->valueText(), blob);
  const auto *records = dynamic_cast<const LogArrayType *>(parsed.value);
  if (!parsed.error.empty() || !records)
    corrupted();
  return records;
}

} // namespace arxmod
