// MapDocument: parsing, gathering elements, attributes and messages.
#include "map/MapDocument.h"

#include "base/KSXmsg.h"
#include "map/MapFile.h"

#include <algorithm>
#include <cstring>

namespace arxmod {
namespace {

constexpr std::string_view kElementNames[kMapElementCount] = {"DeviceInfo",
                                                              "EnumInfo",
                                                              "ConfigLabelInfo",
                                                              "ModbusInfo",
                                                              "CalcInfo",
                                                              "DatasetAddressBlock",
                                                              "InvalidAddressRange",
                                                              "HandleExclusionList",
                                                              "Diagnostics",
                                                              "TransactionConfiguration"};

// Most source text quoted in a parse failure: the line can be the whole file.
constexpr size_t kMaxSourceText = 200;

// The next node of a preorder walk of `root`'s subtree, or an empty node.
pugi::xml_node nextInSubtree(pugi::xml_node node, pugi::xml_node root, size_t &depth) {
  if (pugi::xml_node child = node.first_child()) {
    ++depth;
    return child;
  }
  while (node && node != root) {
    if (pugi::xml_node sibling = node.next_sibling())
      return sibling;
    node = node.parent();
    --depth;
  }
  return {};
}

} // namespace

MapDocument::MapDocument(std::string_view bytes, std::string path)
    : bytes_(bytes), path_(std::move(path)) {
  const pugi::xml_parse_result parsed =
      document_.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_auto);
  if (!parsed)
    failParse(parsed.description(), static_cast<size_t>(std::max<ptrdiff_t>(parsed.offset, 0)));
  gather();
}

void MapDocument::gather() {
  const pugi::xml_node root = document_;
  size_t depth = 0;
  for (pugi::xml_node node = nextInSubtree(root, root, depth); node;
       node = nextInSubtree(node, root, depth)) {
    if (node.type() != pugi::node_element)
      continue;
    if (depth > kMaxMapDepth)
      fail("Elements are nested more than " + std::to_string(kMaxMapDepth) + " levels deep" +
           position(node) + ".");
    const std::string_view name = node.name();
    for (size_t i = 0; i < kMapElementCount; ++i)
      if (name == kElementNames[i])
        elements_[i].push_back(node);
  }
}

std::vector<pugi::xml_node> MapDocument::descendants(pugi::xml_node parent, std::string_view name) {
  std::vector<pugi::xml_node> found;
  size_t depth = 0;
  for (pugi::xml_node node = nextInSubtree(parent, parent, depth); node;
       node = nextInSubtree(node, parent, depth))
    if (node.type() == pugi::node_element && name == node.name())
      found.push_back(node);
  return found;
}

std::optional<std::string_view> MapDocument::attribute(pugi::xml_node element, const char *name) {
  const pugi::xml_attribute found = element.attribute(name);
  if (!found)
    return std::nullopt;
  return std::string_view(found.value());
}

std::string_view MapDocument::required(pugi::xml_node element, const char *name) const {
  if (std::optional<std::string_view> text = attribute(element, name))
    return *text;
  missing(element, name);
}

void MapDocument::missing(pugi::xml_node element, std::string_view name) const {
  fail(std::string("The element ") + element.name() + position(element) + " has no attribute " +
       std::string(name) + ".");
}

void MapDocument::fail(const std::string &reason) const {
  throw KSXmsg("Failed to load the modbus map file: " + path_ + "\nReason: " + reason);
}

MapDocument::Place MapDocument::placeOf(size_t offset) const {
  offset = std::min(offset, bytes_.size());
  const std::string_view before = bytes_.substr(0, offset);
  const size_t lineStart =
      before.rfind('\n') == std::string_view::npos ? 0 : before.rfind('\n') + 1;
  const size_t line = 1 + static_cast<size_t>(std::count(before.begin(), before.end(), '\n'));
  return {line, offset - lineStart + 1};
}

std::string MapDocument::position(pugi::xml_node node) const {
  // pugixml places an element at its name; an operator looks for its "<".
  size_t offset = static_cast<size_t>(std::max<ptrdiff_t>(node.offset_debug(), 0));
  if (offset > 0 && offset <= bytes_.size() && bytes_[offset - 1] == '<')
    --offset;
  const Place place = placeOf(offset);
  return " at line " + std::to_string(place.line) + ", column " + std::to_string(place.column);
}

void MapDocument::failParse(const char *reason, size_t offset) const {
  const Place place = placeOf(offset);
  // The offending line, or the part of it that ends at the failure when the
  // line is long.
  const size_t lineStart = std::min(offset, bytes_.size()) - (place.column - 1);
  size_t lineEnd = bytes_.find('\n', lineStart);
  if (lineEnd == std::string_view::npos)
    lineEnd = bytes_.size();
  std::string_view source = bytes_.substr(lineStart, lineEnd - lineStart);
  if (!source.empty() && source.back() == '\r')
    source.remove_suffix(1);
  if (source.size() > kMaxSourceText) {
    const size_t failure = std::min(place.column - 1, source.size());
    const size_t from = failure > kMaxSourceText ? failure - kMaxSourceText : 0;
    source = source.substr(from, kMaxSourceText);
  }
  throw KSXmsg("Failed to load the modbus map file: " + path_ + "\nReason: " + reason +
               "\nSource Text:" + std::string(source) + "\nLine : " + std::to_string(place.line) +
               "\nLine position: " + std::to_string(place.column));
}

} // namespace arxmod
