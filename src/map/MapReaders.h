// The element readers of a map file: ModbusInfo entries (ModbusInfoReader.cpp)
// and the option lists every list element shares.
#pragma once

#include "base/KSXmsg.h"
#include "map/AttributeText.h"
#include "map/MapDocument.h"
#include "map/TranslationMap.h"

#include <string>
#include <string_view>

namespace arxmod {

// An attribute text read as an integer's low 32 bits, a handle, a boolean
// or a text; `absent` when there is none.
inline int32_t integerOr(std::optional<std::string_view> text, int32_t absent) {
  return text ? static_cast<int32_t>(static_cast<uint32_t>(readInteger(*text))) : absent;
}
inline uint32_t handleOr(std::optional<std::string_view> text, uint32_t absent = 0) {
  return static_cast<uint32_t>(integerOr(text, static_cast<int32_t>(absent)));
}
inline bool booleanOr(std::optional<std::string_view> text, bool absent) {
  return text ? readBoolean(*text) : absent;
}
inline std::string textOr(std::optional<std::string_view> text) {
  return std::string(text.value_or(std::string_view()));
}

// The same for the attribute `name` of `element`.
inline int32_t integerAttribute(pugi::xml_node element, const char *name, int32_t absent) {
  return integerOr(MapDocument::attribute(element, name), absent);
}
inline uint32_t handleAttribute(pugi::xml_node element, const char *name, uint32_t absent = 0) {
  return handleOr(MapDocument::attribute(element, name), absent);
}
inline bool booleanAttribute(pugi::xml_node element, const char *name, bool absent) {
  return booleanOr(MapDocument::attribute(element, name), absent);
}
inline std::string textAttribute(pugi::xml_node element, const char *name) {
  return textOr(MapDocument::attribute(element, name));
}

// Reads the `childName` descendants of `parent` (each an Ordinal and a
// required Value) into the list `make()` creates at the first one; none
// when there are none. An option without Ordinal takes one more than the
// option before it (the first 0). A repeated ordinal raises "Duplicate
// ordinal in <listKind> list - ordinal: N value: text".
template <typename List, typename Make>
IRefPtr<List> readOptions(const MapDocument &document, pugi::xml_node parent,
                          std::string_view childName, std::string_view listKind, Make make) {
  IRefPtr<List> list;
  int32_t next = 0;
  for (pugi::xml_node option : MapDocument::descendants(parent, childName)) {
    const int32_t ordinal = integerAttribute(option, "Ordinal", next);
    std::string value(document.required(option, "Value"));
    if (!list)
      list = make();
    if (!list->add(ordinal, value))
      throw KSXmsg("Duplicate ordinal in " + std::string(listKind) +
                   " list - ordinal: " + std::to_string(ordinal) + " value: " + value);
    next = static_cast<int32_t>(static_cast<uint32_t>(ordinal) + 1u);
  }
  return list;
}

// Reads one ModbusInfo element into an entry of `map`.
void readModbusInfo(const MapDocument &document, pugi::xml_node element, TranslationMap &map);

} // namespace arxmod
