// XLARX::DynamicLabel: validity, label composition and the description.
#include "map/DynamicLabel.h"

namespace XLARX {
namespace {

void replaceFirst(std::string &text, std::string_view what, std::string_view with) {
  if (const size_t at = text.find(what); at != std::string::npos)
    text.replace(at, what.size(), with);
}

} // namespace

DynamicLabel::Format DynamicLabel::makeFormat(std::string text) {
  Format format;
  format.usesDeviceLabel = text.find("$DL") != std::string::npos;
  format.usesEnumerationValue = text.find("$EV") != std::string::npos;
  format.usesEnumerationOrdinal = text.find("$EO") != std::string::npos;
  format.text = std::move(text);
  return format;
}

void DynamicLabel::setTrigger(std::string_view text) {
  const size_t bar = text.find('|');
  if (text.size() > 1 && bar != std::string_view::npos) {
    triggerText = text.substr(0, bar);
    replacementPresent = true;
    replacementText = text.substr(bar + 1);
  } else {
    triggerText = text;
  }
}

bool DynamicLabel::definitionComplete() const {
  const bool usesValue = active_.usesEnumerationValue || inactive_.usesEnumerationValue;
  const bool usesLabel = active_.usesDeviceLabel || inactive_.usesDeviceLabel;
  const bool valueReady = !usesValue || (ordinalHandle != 0 && enumeration);
  const bool labelReady = (!usesLabel && triggerText.empty()) || deviceLabelHandle != 0;
  return valueReady && labelReady;
}

bool DynamicLabel::isValid() const {
  if (valid_.load(std::memory_order_relaxed))
    return true;
  if (!definitionComplete())
    return false;
  valid_.store(true, std::memory_order_relaxed);
  return true;
}

std::optional<std::string> DynamicLabel::produceLabel(int32_t ordinal,
                                                      std::string_view deviceLabel) const {
  if (!isValid())
    return std::nullopt;
  const bool inactive =
      active_.text.empty() ||
      (!triggerText.empty() && deviceLabel.find(triggerText) == std::string::npos);
  const Format &format = inactive ? inactive_ : active_;
  if (format.text.empty())
    return std::nullopt;
  std::string valueText;
  if (format.usesEnumerationValue &&
      (!enumeration || !enumeration->textFor(ordinal, valueText, "")))
    throw arxmod::MapLookupError("Could not obtain a value from enumeration '" +
                                 (enumeration ? enumeration->name() : std::string()) +
                                 "' for ordinal=" + std::to_string(ordinal));
  std::string label(deviceLabel);
  if (replacementPresent && !triggerText.empty())
    replaceFirst(label, triggerText, replacementText);
  std::string result = format.text;
  if (format.usesDeviceLabel)
    replaceFirst(result, "$DL", label);
  if (format.usesEnumerationOrdinal)
    replaceFirst(result, "$EO", std::to_string(ordinal));
  if (format.usesEnumerationValue)
    replaceFirst(result, "$EV", valueText);
  return result;
}

std::string DynamicLabel::describe() const {
  return "Ordinal Handle=" + std::to_string(ordinalHandle) +
         "; Enumeration Name=" + (enumeration ? enumeration->name() : std::string()) +
         "; Enumeration Found=" + (enumeration ? "yes" : "no") +
         "; Device Label Handle=" + std::to_string(deviceLabelHandle) +
         "; Device Label Trigger=" + triggerText + "; Active Format=" + active_.text +
         "; Inactive Format=" + inactive_.text;
}

} // namespace XLARX
