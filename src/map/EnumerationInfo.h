// EnumerationInfo, ConfigValueInfo and ConfigLabelInfo: ordinal -> text
// lists of a map, and how a text becomes the value a client reads.
//
// An enumeration names the values of a register (0 "Off", 1 "On"); a list
// of configurable values gives the value of a register chosen by another
// register's value; a list of configurable labels gives its label. Lists
// named in the file (EnumInfo, ConfigLabelInfo elements) are shared by the
// entries that name them; an entry's own list has an empty name. Lists are
// read-only once their map is read, so any thread may look them up.
//
//   std::string text;
//   if (entry->enumeration->textFor(2, text, "")) ...      // "Delta"
//   int32_t ordinal;
//   entry->enumeration->ordinalFor("Wye", ordinal);        // 1
#pragma once

#include "base/KSXmsg.h"
#include "base/RefBase.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace arxmod {

class ARXObj;
class MemoryBlob;
class PICType;

// A label look-up that found nothing to answer with; it fails the one
// invocation that asked.
class MapLookupError : public KSXmsg {
public:
  using KSXmsg::KSXmsg;
};

class EnumerationInfo : public RefBase {
public:
  explicit EnumerationInfo(std::string name = {}, std::string defaultValue = {})
      : name_(std::move(name)), defaultValue_(std::move(defaultValue)) {}

  const std::string &name() const { return name_; }
  // The text used when no option matches.
  const std::string &defaultValue() const { return defaultValue_; }
  // The ordinals in the order added.
  const std::vector<int32_t> &ordinals() const { return ordinals_; }
  size_t size() const { return ordinals_.size(); }

  // Adds an option; false (and nothing added) when the ordinal is present.
  bool add(int32_t ordinal, std::string text);

  // The value a client reads for `ordinal`: textFor with `fallback` turned
  // into a value by the class of `object` (class 1 without one): a text
  // that starts with a number is a BooleanType for a Boolean_Register
  // (class 21) and a Float64Type for classes 23 to 25; any other text is a
  // string; no text is an UnsignedType holding the ordinal.
  virtual PICType *valueFor(int32_t ordinal, MemoryBlob &blob, const ARXObj *object,
                            std::string_view fallback) const;
  // The text of `ordinal`; else a non-empty fallback; else a non-empty
  // default; else false.
  virtual bool textFor(int32_t ordinal, std::string &text, std::string_view fallback) const;
  // The first ordinal, in the order added, whose text is exactly `text`.
  virtual bool ordinalFor(std::string_view text, int32_t &ordinal) const;

protected:
  // A text as the value of a register of `object`'s class.
  static PICType *valueOfText(const std::string &text, MemoryBlob &blob, const ARXObj *object);

private:
  std::string name_;
  std::string defaultValue_;
  std::vector<int32_t> ordinals_;
  std::unordered_map<int32_t, std::string> texts_;
};

// The values of a register chosen by the value of its configurable value
// handle. No text gives no value (nullptr); the text "-NA-" gives an
// ExceptionType with code 5 (no data).
class ConfigValueInfo : public EnumerationInfo {
public:
  using EnumerationInfo::EnumerationInfo;
  PICType *valueFor(int32_t ordinal, MemoryBlob &blob, const ARXObj *object,
                    std::string_view fallback) const override;
};

// The labels of a register chosen by the value of `handle`. The first
// "{LBL}" of a text is replaced by `object`'s label (its name when it has
// none); the label is a string with its terminating zero. An ordinal
// without text raises MapLookupError "Could not find a configurable label
// value for configLabel=" and the ordinal.
class ConfigLabelInfo : public EnumerationInfo {
public:
  explicit ConfigLabelInfo(std::string name = {}, uint32_t handle = 0)
      : EnumerationInfo(std::move(name)), handle_(handle) {}

  // The register whose value selects the label.
  uint32_t handle() const { return handle_; }

  PICType *valueFor(int32_t ordinal, MemoryBlob &blob, const ARXObj *object,
                    std::string_view fallback) const override;

private:
  uint32_t handle_;
};

} // namespace arxmod
