// MapDocument: a parsed map file with its elements gathered by name, and the
// attribute access and failure messages the map readers share.
//
// The document is walked once, iteratively, to gather the elements the
// readers use by tag name in document order, and to refuse nesting deeper
// than kMaxMapDepth; child lists are searched among an element's
// descendants, which that depth bounds. Positions in messages are 1-based
// lines and columns of the source bytes.
#pragma once

#include <pugixml.hpp>

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace arxmod {

// The attributes of one element, fetched in one pass over them (a map has
// thousands of entries of a dozen attributes each, and looking each name up
// separately cost more than parsing the file). `names` lists the attributes
// a reader knows; they are then read by their index in the list. An
// attribute given twice counts as given once, first.
template <size_t N> class AttributeSet {
public:
  AttributeSet(pugi::xml_node element, const std::array<std::string_view, N> &names) {
    for (pugi::xml_attribute attribute : element.attributes()) {
      const std::string_view name = attribute.name();
      for (size_t i = 0; i < N; ++i) {
        if (names[i] == name) {
          if (!values_[i])
            values_[i] = attribute.value();
          break;
        }
      }
    }
  }
  std::optional<std::string_view> operator[](size_t index) const {
    return values_[index] ? std::optional<std::string_view>(values_[index]) : std::nullopt;
  }

private:
  std::array<const char *, N> values_{};
};

// The elements the readers gather, in the order they are read.
enum class MapElement {
  DeviceInfo,
  EnumInfo,
  ConfigLabelInfo,
  ModbusInfo,
  CalcInfo,
  DatasetAddressBlock,
  InvalidAddressRange,
  HandleExclusionList,
  Diagnostics,
  TransactionConfiguration,
};
inline constexpr size_t kMapElementCount = 10;

class MapDocument {
public:
  // Parses `bytes`, which must outlive the document; raises the load
  // failure message for a document that is not well-formed.
  MapDocument(std::string_view bytes, std::string path);
  MapDocument(const MapDocument &) = delete;
  MapDocument &operator=(const MapDocument &) = delete;

  const std::string &path() const { return path_; }
  const std::vector<pugi::xml_node> &elements(MapElement kind) const {
    return elements_[static_cast<size_t>(kind)];
  }
  // The descendants of `parent` named `name`, in document order.
  static std::vector<pugi::xml_node> descendants(pugi::xml_node parent, std::string_view name);

  // An attribute's text, or none when absent.
  static std::optional<std::string_view> attribute(pugi::xml_node element, const char *name);
  // An attribute that must be present; its absence fails the read.
  std::string_view required(pugi::xml_node element, const char *name) const;
  // Fails the read for the absence of attribute `name` from `element`.
  [[noreturn]] void missing(pugi::xml_node element, std::string_view name) const;

  // Raises "Failed to load the modbus map file: <path>\nReason: <reason>".
  [[noreturn]] void fail(const std::string &reason) const;
  // "... at line L, column C" of a node.
  std::string position(pugi::xml_node node) const;

private:
  struct Place {
    size_t line;
    size_t column;
  };
  Place placeOf(size_t offset) const;
  [[noreturn]] void failParse(const char *reason, size_t offset) const;
  void gather();

  std::string_view bytes_;
  std::string path_;
  pugi::xml_document document_;
  std::array<std::vector<pugi::xml_node>, kMapElementCount> elements_;
};

} // namespace arxmod
