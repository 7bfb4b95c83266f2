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

// What the XML stage made of the bytes: the objects (null for a tree in
// neither namespace), or why the bytes are not an XML tree.
struct XmlStage {
  IRefPtr<ObjList> objects;
  std::optional<std::string> failure;
};

XmlStage readXmlStage(const pugi::xml_document &document, const pugi::xml_parse_result &parsed) {
  if (!parsed)
    return {nullptr, std::string("XML parse error: ") + parsed.description() + " at offset " +
                         std::to_string(parsed.offset) + "."};
  if (pugi::xml_node tree = findTreeElement(document))
    return {readXmlTree(tree), std::nullopt};
  return {nullptr, "The document has no XMLARXTree element."};
}

// The objects of the XML stage, or else those of the framework or text
// form of `bytes`; the XML stage's failure when neither yields any.
IRefPtr<ObjList> finishLoad(XmlStage xml, std::string_view bytes, std::string_view name) {
  IRefPtr<ObjList> objects = std::move(xml.objects);
  if (xml.failure) {
    if (namesFramework(name))
      objects = readFrameworkFile(
          std::span(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size()));
    else
      objects = parseTextTree(bytes);
    if (!objects)
      throw KSXmsg(*xml.failure);
  }
  if (!objects)
    throw KSXmsg(kNotWellFormed);
  return objects;
}

// The whole file, read in one piece at the size it has: tree files run to
// megabytes and reading them through a stream iterator took longer than
// parsing them.
std::string readWholeFile(const std::filesystem::path &path) {
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
  return bytes;
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
  pugi::xml_document document;
  XmlStage xml =
      readXmlStage(document, document.load_buffer(bytes.data(), bytes.size(), kTreeParseOptions,
                                                  pugi::encoding_auto));
  return finishLoad(std::move(xml), bytes, name);
}

IRefPtr<ObjList> loadTreeFile(const std::filesystem::path &path) {
  std::string bytes = readWholeFile(path);
  pugi::xml_document document;
  // Parsed in place, as pugixml's own file loading does, which saves a copy
  // of the file; the other forms need the file as it is and read it again.
  XmlStage xml =
      readXmlStage(document, document.load_buffer_inplace(bytes.data(), bytes.size(),
                                                          kTreeParseOptions, pugi::encoding_auto));
  if (!xml.failure)
    return finishLoad(std::move(xml), {}, {});
  const std::string unparsed = readWholeFile(path);
  return finishLoad(std::move(xml), unparsed, path.filename().string());
}

} // namespace arxmod
