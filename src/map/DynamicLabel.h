// XLARX::DynamicLabel: a register label composed at run time from the
// label of a device register and the enumeration text of another
// register's value.
//
// A format text may hold three placeholders: "$DL" (the device label text),
// "$EV" (the enumeration text of the ordinal) and "$EO" (the ordinal in
// decimal); each is replaced once, at its first occurrence. The active
// format applies while the device label contains the trigger text (always,
// without a trigger); otherwise the inactive one. With a replacement, the
// trigger's first occurrence in the device label is replaced before use.
//
//   label.setActiveFormat("$DL ($EV)");
//   label.produceLabel(1, "Feeder A");      // "Feeder A (Closed)"
//
// Definitions are read with their map and read-only afterwards, except for
// the remembered outcome of the validity check.
#pragma once

#include "base/RefBase.h"
#include "map/EnumerationInfo.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace XLARX {

class DynamicLabel : public arxmod::RefBase {
public:
  // A format text and the placeholders it holds.
  struct Format {
    bool usesDeviceLabel = false;        // "$DL"
    bool usesEnumerationValue = false;   // "$EV"
    bool usesEnumerationOrdinal = false; // "$EO"
    std::string text;
  };

  uint32_t deviceLabelHandle = 0; // the register whose text is the device label
  uint32_t ordinalHandle = 0;     // the register whose value is the ordinal
  std::string triggerText;
  bool replacementPresent = false;
  std::string replacementText;
  arxmod::IRefPtr<arxmod::EnumerationInfo> enumeration;

  const Format &activeFormat() const { return active_; }
  const Format &inactiveFormat() const { return inactive_; }
  void setActiveFormat(std::string text) { active_ = makeFormat(std::move(text)); }
  void setInactiveFormat(std::string text) { inactive_ = makeFormat(std::move(text)); }
  // Sets the trigger from a DeviceLabelTrigger text: "word|other" (longer
  // than one character) triggers on "word" and puts "other" in its place;
  // any other text is the trigger alone.
  void setTrigger(std::string_view text);

  // Whether the definition can produce labels: "$EV" needs an ordinal
  // handle and an enumeration, "$DL" or a trigger a device label handle.
  bool definitionComplete() const;
  // definitionComplete, remembered once passed (for a definition no longer
  // changed: its map has been read).
  bool isValid() const;
  // The label for ordinal `ordinal` and device label `deviceLabel`; none
  // when the definition is not valid or the chosen format is empty. Raises
  // arxmod::MapLookupError when the enumeration has no text for the ordinal.
  std::optional<std::string> produceLabel(int32_t ordinal, std::string_view deviceLabel) const;
  // "Ordinal Handle=...; Enumeration Name=...; ..." for messages.
  std::string describe() const;

private:
  static Format makeFormat(std::string text);

  Format active_;
  Format inactive_;
  mutable std::atomic<bool> valid_{false};
};

} // namespace XLARX
