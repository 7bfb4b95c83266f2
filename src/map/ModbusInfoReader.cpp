// ModbusInfoReader: one ModbusInfo element of a map file as a map entry.
//
// The required attributes are fetched first, so a missing one is reported
// before anything else about the element; then the attributes are applied
// in a fixed order, the lists and labels each may name having been read
// before the entries. The entry joins the map only when all of it has been
// read.
#include "map/MapReaders.h"

#include "map/ModbusFormatter.h"

#include <array>

namespace arxmod {
namespace {

// The attributes of a ModbusInfo element, in the order they are applied.
enum Attribute : size_t {
  ARXHandle,
  Name,
  ModbusAddress,
  RequestType,
  Format,
  Mask,
  Scale,
  Multiplier,
  Offset,
  ModbusMin,
  ModbusMax,
  ARXMin,
  ARXMax,
  ReadTime,
  SetupReg,
  ConfigWrite,
  ConfigValueHandle,
  ConfigLabelHandle,
  ConfigLabelName,
  DefaultEnumValue,
  EnumName,
  WriteValue,
  CheckRegister,
  CheckRegValue,
  NumberOfRegisters,
  DisableNotAvailableCheck,
  NotAvailableValue,
  MatchPattern,
  CacheSpec,
  kAttributeCount
};
constexpr std::array<std::string_view, kAttributeCount> kAttributeNames = {
    "ARXHandle",
    "Name",
    "ModbusAddress",
    "RequestType",
    "Format",
    "Mask",
    "Scale",
    "Multiplier",
    "Offset",
    "ModbusMin",
    "ModbusMax",
    "ARXMin",
    "ARXMax",
    "ReadTime",
    "SetupReg",
    "ConfigWrite",
    "ConfigValueHandle",
    "ConfigLabelHandle",
    "ConfigLabelName",
    "DefaultEnumValue",
    "EnumName",
    "WriteValue",
    "CheckRegister",
    "CheckRegValue",
    "NumberOfRegisters",
    "DisableNotAvailableCheck",
    "NotAvailableValue",
    "MatchPattern",
    "CacheSpec"};
using Attributes = AttributeSet<kAttributeCount>;

// ASCII case: the texts are names and letters, and the C locale's
// conversions cost a call per character.
std::string upperCase(std::string_view text) {
  std::string upper(text);
  for (char &c : upper)
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
  return upper;
}
std::string lowerCase(std::string_view text) {
  std::string lower(text);
  for (char &c : lower)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

// Reads a constant-or-reference attribute into `field`; true when present.
bool readScaling(std::optional<std::string_view> text, ConstantOrReference &field) {
  if (!text)
    return false;
  const std::optional<ConstantOrReference> read = readConstantOrReference(*text, field.constant);
  if (read)
    field = *read;
  return read.has_value();
}

void readScalingAndRange(const Attributes &attributes, TranslationInfo &entry) {
  // Each call must run: no short-circuit between them.
  const bool scale = readScaling(attributes[Scale], entry.scale);
  const bool multiplier = readScaling(attributes[Multiplier], entry.multiplier);
  const bool offset = readScaling(attributes[Offset], entry.offset);
  entry.scalingPresent = scale || multiplier || offset;
  const bool modbusMin = readScaling(attributes[ModbusMin], entry.modbusMin);
  const bool modbusMax = readScaling(attributes[ModbusMax], entry.modbusMax);
  const bool arxMin = readScaling(attributes[ARXMin], entry.arxMin);
  const bool arxMax = readScaling(attributes[ARXMax], entry.arxMax);
  entry.rangePresent = modbusMin || modbusMax || arxMin || arxMax;
  if (readScaling(attributes[ReadTime], entry.readTime))
    entry.readTimePresent = true;
}

void readConfigLists(const MapDocument &document, pugi::xml_node element,
                     const Attributes &attributes, const TranslationMap &map,
                     TranslationInfo &entry) {
  if (attributes[ConfigValueHandle]) {
    entry.configValueHandle = handleOr(attributes[ConfigValueHandle]);
    entry.configValues =
        readOptions<ConfigValueInfo>(document, element, "ConfigValues", "ConfigValue",
                                     [] { return makeRef<ConfigValueInfo>(); });
  }
  if (attributes[ConfigLabelHandle]) {
    entry.configLabelHandle = handleOr(attributes[ConfigLabelHandle]);
    entry.configLabels =
        readOptions<ConfigLabelInfo>(document, element, "ConfigLabels", "ConfigLabel", [&] {
          return makeRef<ConfigLabelInfo>(std::string(), entry.configLabelHandle);
        });
  }
  if (const auto name = attributes[ConfigLabelName]) {
    if (entry.configLabels)
      throw KSXmsg("Invalid setup: Both shared ConfigLabelInfo and local ConfigLabels declared.");
    entry.configLabels = map.configLabels(std::string(*name));
    if (!entry.configLabels)
      throw KSXmsg("Unknown ConfigLabelListItem item: " + std::string(*name));
    entry.configLabelHandle = entry.configLabels->handle();
  }
}

void readEnumeration(const MapDocument &document, pugi::xml_node element,
                     const Attributes &attributes, const TranslationMap &map,
                     TranslationInfo &entry) {
  entry.defaultEnumValue = textOr(attributes[DefaultEnumValue]);
  entry.enumeration =
      readOptions<EnumerationInfo>(document, element, "Enumeration", "enumeration", [&] {
        return makeRef<EnumerationInfo>(std::string(), entry.defaultEnumValue);
      });
  if (const auto name = attributes[EnumName]) {
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
void readNotAvailable(const Attributes &attributes, const TranslationMap &map,
                      TranslationInfo &entry) {
  if (integerOr(attributes[DisableNotAvailableCheck], 0) != 0)
    return;
  if (attributes[NotAvailableValue]) {
    entry.notAvailableCheck = true;
    entry.notAvailableValue = integerOr(attributes[NotAvailableValue], -1);
  } else if (map.settings().globalNotAvailable) {
    entry.notAvailableCheck = true;
    entry.notAvailableValue = static_cast<int32_t>(map.settings().globalNotAvailableValue);
  }
}

} // namespace

void readModbusInfo(const MapDocument &document, pugi::xml_node element, TranslationMap &map) {
  const Attributes attributes(element, kAttributeNames);
  for (Attribute required : {ARXHandle, Name, ModbusAddress, RequestType, Format})
    if (!attributes[required])
      document.missing(element, kAttributeNames[required]);

  auto entry = makeRef<ModbusInfo>();
  entry->handle = handleOr(attributes[ARXHandle]);
  entry->name = *attributes[Name];
  entry->modbusAddress = lowerCase(*attributes[ModbusAddress]);
  entry->requestType = upperCase(*attributes[RequestType]);
  const std::string format = upperCase(*attributes[Format]);
  if (!XLARX::ModbusFormatter::instance().parseFormatName(format, *entry))
    throw KSXmsg("Unknown format: " + format);
  if (const auto mask = attributes[Mask])
    entry->mask = readHex(*mask);
  readScalingAndRange(attributes, *entry);
  entry->setupRegister = booleanOr(attributes[SetupReg], false);
  entry->configWrite = booleanOr(attributes[ConfigWrite], true);
  readConfigLists(document, element, attributes, map, *entry);
  readEnumeration(document, element, attributes, map, *entry);
  readDynamicLabels(element, map, *entry);
  const auto writeValue = attributes[WriteValue];
  if (format == "U16-21-ARRAY" || format == "U16-12-ARRAY")
    entry->writeValueText = writeValue.value_or(std::string_view());
  else if (writeValue)
    entry->writeValue = readReal(*writeValue);
  if (const auto check = attributes[CheckRegister])
    entry->checkRegister = readReal(*check);
  if (const auto check = attributes[CheckRegValue])
    entry->checkRegValue = readReal(*check);
  entry->numberOfRegisters = static_cast<uint16_t>(
      integerOr(attributes[NumberOfRegisters],
                XLARX::ModbusFormatter::instance().registerCount(entry->format)));
  readNotAvailable(attributes, map, *entry);
  entry->matchPattern = integerOr(attributes[MatchPattern], -1);
  entry->cacheSpec = upperCase(textOr(attributes[CacheSpec]));
  const uint32_t handle = entry->handle;
  if (!map.addEntry(std::move(entry)))
    throw KSXmsg("Invalid setup: Duplicate handle present in map file. handle=" +
                 std::to_string(handle));
}

} // namespace arxmod
