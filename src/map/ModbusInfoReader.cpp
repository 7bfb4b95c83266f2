// ModbusInfoReader: one ModbusInfo element of a map file as a map entry.
//
// The required attributes are fetched first, so a missing one is reported
// before anything else about the element; then the attributes are applied
// in a fixed order, the lists and labels each may name having been read
// before the entries. The entry joins the map only when all of it has been
// read.
#include "map/MapReaders.h"

#include "map/ModbusFormatter.h"

#include <algorithm>
#include <cctype>

namespace arxmod {
namespace {

std::string upperCase(std::string_view text) {
  std::string upper(text);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return upper;
}
std::string lowerCase(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

// Reads a constant-or-reference attribute into `field`; true when present.
bool readScaling(pugi::xml_node element, const char *name, ConstantOrReference &field) {
  const std::optional<std::string_view> text = MapDocument::attribute(element, name);
  if (!text)
    return false;
  const std::optional<ConstantOrReference> read = readConstantOrReference(*text, field.constant);
  if (read)
    field = *read;
  return read.has_value();
}

void readScalingAndRange(pugi::xml_node element, TranslationInfo &entry) {
  // Each call must run: no short-circuit between them.
  const bool scale = readScaling(element, "Scale", entry.scale);
  const bool multiplier = readScaling(element, "Multiplier", entry.multiplier);
  const bool offset = readScaling(element, "Offset", entry.offset);
  entry.scalingPresent = scale || multiplier || offset;
  const bool modbusMin = readScaling(element, "ModbusMin", entry.modbusMin);
  const bool modbusMax = readScaling(element, "ModbusMax", entry.modbusMax);
  const bool arxMin = readScaling(element, "ARXMin", entry.arxMin);
  const bool arxMax = readScaling(element, "ARXMax", entry.arxMax);
  entry.rangePresent = modbusMin || modbusMax || arxMin || arxMax;
  if (readScaling(element, "ReadTime", entry.readTime))
    entry.readTimePresent = true;
}

void readConfigLists(const MapDocument &document, pugi::xml_node element, const TranslationMap &map,
                     TranslationInfo &entry) {
  if (MapDocument::attribute(element, "ConfigValueHandle")) {
    entry.configValueHandle = handleAttribute(element, "ConfigValueHandle");
    entry.configValues =
        readOptions<ConfigValueInfo>(document, element, "ConfigValues", "ConfigValue",
                                     [] { return makeRef<ConfigValueInfo>(); });
  }
  if (MapDocument::attribute(element, "ConfigLabelHandle")) {
    entry.configLabelHandle = handleAttribute(element, "ConfigLabelHandle");
    entry.configLabels =
        readOptions<ConfigLabelInfo>(document, element, "ConfigLabels", "ConfigLabel", [&] {
          return makeRef<ConfigLabelInfo>(std::string(), entry.configLabelHandle);
        });
  }
  if (const auto name = MapDocument::attribute(element, "ConfigLabelName")) {
    if (entry.configLabels)
      throw KSXmsg("Invalid setup: Both shared ConfigLabelInfo and local ConfigLabels declared.");
    entry.configLabels = map.configLabels(std::string(*name));
    if (!entry.configLabels)
      throw KSXmsg("Unknown ConfigLabelListItem item: " + std::string(*name));
    entry.configLabelHandle = entry.configLabels->handle();
  }
}

void readEnumeration(const MapDocument &document, pugi::xml_node element, const TranslationMap &map,
                     TranslationInfo &entry) {
  entry.defaultEnumValue = textAttribute(element, "DefaultEnumValue");
  entry.enumeration =
      readOptions<EnumerationInfo>(document, element, "Enumeration", "enumeration", [&] {
        return makeRef<EnumerationInfo>(std::string(), entry.defaultEnumValue);
      });
  if (const auto name = MapDocument::attribute(element, "EnumName")) {
    if (entry.enumeration)
      throw KSXmsg("Invalid setup: Both shared EnumInfo and local Enumeration declared.");
    entry.enumeration = map.enumeration(std::string(*name));
    if (!entry.enumeration)
      throw KSXmsg("Unknown EnumInfo item: " + std::string(*name));
  }
}

void readDynamicLabels(pugi::xml_node element, const TranslationMap &map, TranslationInfo &entry) {
  XLARX::DynamicLabel &label = *entry.dynamicLabel;
  const std::string handle = std::to_string(entry.handle);
  for (pugi::xml_node definition : MapDocument::descendants(element, "DynamicLabel")) {
    if (entry.configLabelHandle != 0)
      throw KSXmsg("Invalid map configuration: handle " + handle +
                   " has both config label and dynamic label enabled.");
    if (MapDocument::attribute(definition, "EnumOrdinalHandle"))
      label.ordinalHandle = handleAttribute(definition, "EnumOrdinalHandle");
    if (MapDocument::attribute(definition, "DeviceLabelHandle"))
      label.deviceLabelHandle = handleAttribute(definition, "DeviceLabelHandle");
    if (const auto name = MapDocument::attribute(definition, "EnumName")) {
      if (IRefPtr<EnumerationInfo> shared = map.enumeration(std::string(*name)))
        label.enumeration = shared;
    }
    if (const auto trigger = MapDocument::attribute(definition, "DeviceLabelTrigger"))
      label.setTrigger(*trigger);
    const auto active = MapDocument::attribute(definition, "ActiveFormat");
    if (active)
      label.setActiveFormat(std::string(*active));
    if (const auto inactive = MapDocument::attribute(definition, "InactiveFormat"))
      label.setInactiveFormat(std::string(*inactive));
    if (!active || !label.definitionComplete())
      throw KSXmsg("Invalid dynamic label definition for handle " + handle + ": " +
                   label.describe());
  }
}

// On when DisableNotAvailableCheck is zero and the entry or the map gives a
// not-available value.
void readNotAvailable(pugi::xml_node element, const TranslationMap &map, TranslationInfo &entry) {
  if (integerAttribute(element, "DisableNotAvailableCheck", 0) != 0)
    return;
  if (MapDocument::attribute(element, "NotAvailableValue")) {
    entry.notAvailableCheck = true;
    entry.notAvailableValue = integerAttribute(element, "NotAvailableValue", -1);
  } else if (map.settings().globalNotAvailable) {
    entry.notAvailableCheck = true;
    entry.notAvailableValue = static_cast<int32_t>(map.settings().globalNotAvailableValue);
  }
}

} // namespace

void readModbusInfo(const MapDocument &document, pugi::xml_node element, TranslationMap &map) {
  const std::string_view handleText = document.required(element, "ARXHandle");
  const std::string_view name = document.required(element, "Name");
  const std::string_view address = document.required(element, "ModbusAddress");
  const std::string_view requestType = document.required(element, "RequestType");
  const std::string_view formatText = document.required(element, "Format");

  auto entry = makeRef<ModbusInfo>();
  entry->handle = static_cast<uint32_t>(readInteger(handleText));
  entry->name = name;
  entry->modbusAddress = lowerCase(address);
  entry->requestType = upperCase(requestType);
  const std::string format = upperCase(formatText);
  if (!XLARX::ModbusFormatter::instance().parseFormatName(format, *entry))
    throw KSXmsg("Unknown format: " + format);
  if (const auto mask = MapDocument::attribute(element, "Mask"))
    entry->mask = readHex(*mask);
  readScalingAndRange(element, *entry);
  entry->setupRegister = booleanAttribute(element, "SetupReg", false);
  entry->configWrite = booleanAttribute(element, "ConfigWrite", true);
  readConfigLists(document, element, map, *entry);
  readEnumeration(document, element, map, *entry);
  readDynamicLabels(element, map, *entry);
  const auto writeValue = MapDocument::attribute(element, "WriteValue");
  if (format == "U16-21-ARRAY" || format == "U16-12-ARRAY")
    entry->writeValueText = writeValue.value_or(std::string_view());
  else if (writeValue)
    entry->writeValue = readReal(*writeValue);
  if (const auto check = MapDocument::attribute(element, "CheckRegister"))
    entry->checkRegister = readReal(*check);
  if (const auto check = MapDocument::attribute(element, "CheckRegValue"))
    entry->checkRegValue = readReal(*check);
  entry->numberOfRegisters = static_cast<uint16_t>(
      integerAttribute(element, "NumberOfRegisters",
                       XLARX::ModbusFormatter::instance().registerCount(entry->format)));
  readNotAvailable(element, map, *entry);
  entry->matchPattern = integerAttribute(element, "MatchPattern", -1);
  entry->cacheSpec = upperCase(textAttribute(element, "CacheSpec"));
  const uint32_t handle = entry->handle;
  if (!map.addEntry(std::move(entry)))
    throw KSXmsg("Invalid setup: Duplicate handle present in map file. handle=" +
                 std::to_string(handle));
}

} // namespace arxmod
