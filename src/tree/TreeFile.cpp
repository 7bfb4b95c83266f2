// TreeFile: form detection, the framework header and whole-file loading.
//
// The file is read into memory once; the XML parser and the text parser
// both work on those bytes. A parse failure of the XML stage is kept and
// raised only when the other forms yield nothing either, because a text
// tree is never valid XML and its own parser has the better message.
#include "tree/TreeFile.h"

#include "base/ByteReader.h"
#include "base/KSXmsg.h"
#include "tree/TextTree.h"
#include "tree/XmlTree.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <optional>

namespace arxmod {
namespace {

constexpr char kNotWellFormed[] = "File does not exist or was not well-formed.";

bool namesFramework(std::string_view name) {
  std::string lower(name);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower.find(".fwn") != std::string::npos;
}

} // namespace

IRefPtr<ObjList> readFrameworkFile(std::span<const uint8_t> bytes) {
  ByteReader reader(bytes);
  std::span<const uint8_t> magic;
  if (!reader.readView(kFrameworkMagic.size(), magic) ||
      !std::equal(magic.begin(), magic.end(), kFrameworkMagic.begin()))
    return nullptr;
  uint8_t byte = 0;
  do { // a zero-terminated string the tree does not use
    if (!reader.readU8(byte))
      return nullptr;
  } while (byte != 0);
  uint32_t textEnd = 0;
  if (!reader.readU32LE(textEnd) || textEnd < reader.position() || textEnd > bytes.size())
    return nullptr;
  std::span<const uint8_t> text;
  reader.readView(textEnd - reader.position(), text);
  return parseTextTree(std::string_view(reinterpret_cast<const char *>(text.data()), text.size()));
}

IRefPtr<ObjList> loadTreeBytes(std::string_view bytes, std::string_view name) {
  std::optional<std::string> xmlFailure;
  pugi::xml_document document;
  const pugi::xml_parse_result parsed =
      document.load_buffer(bytes.data(), bytes.size(), kTreeParseOptions, pugi::encoding_auto);
  IRefPtr<ObjList> objects;
  if (parsed) {
    if (pugi::xml_node tree = findTreeElement(document))
      objects = readXmlTree(tree);
    else
      xmlFailure = "The document has no XMLARXTree element.";
  } else {
    xmlFailure = std::string("XML parse error: ") + parsed.description() + " at offset " +
                 std::to_string(parsed.offset) + ".";
  }
  if (xmlFailure) {
    if (namesFramework(name))
      objects = readFrameworkFile(
          std::span(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size()));
    else
      objects = parseTextTree(bytes);
    if (!objects)
      throw KSXmsg(*xmlFailure);
  }
  if (!objects)
    throw KSXmsg(kNotWellFormed);
  return objects;
}

IRefPtr<ObjList> loadTreeFile(const std::filesystem::path &path) {
  // Read in one piece at the size the file has; tree files run to megabytes
  // and reading them through a stream iterator took longer than parsing them.
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error); // fails for a directory
  std::ifstream in(path, std::ios::binary);
  if (error || !in)
    throw KSXmsg(kNotWellFormed);
  std::string bytes(size, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(size));
  if (in.bad())
    throw KSXmsg(kNotWellFormed);
  bytes.resize(static_cast<size_t>(in.gcount())); // a file cut short meanwhile
  return loadTreeBytes(bytes, path.filename().string());
}

} // namespace arxmod
