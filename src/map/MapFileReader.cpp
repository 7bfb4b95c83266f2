// MapFileReader: a whole map file, element kind by element kind.
//
// The shared lists come first so that entries can name them; the device
// settings come with the map itself; the address blocks, exclusions and
// diagnostics follow the entries. A failure anywhere raises KSXmsg and the
// half-built map is dropped with the document.
#include "map/MapFile.h"

#include "map/MapReaders.h"
#include "map/ModbusAddress.h"

#include <fstream>

namespace arxmod {
namespace {

// An update rate in seconds as a period in milliseconds, 5 s to 15 min; the
// arithmetic is on unsigned 32 bits, so a negative rate ends at 15 min.
uint32_t updatePeriodMs(pugi::xml_node device, const char *name, uint32_t absentMs) {
  const std::optional<std::string_view> text = MapDocument::attribute(device, name);
  if (!text)
    return absentMs;
  const uint32_t ms = static_cast<uint32_t>(readInteger(*text)) * 1000u;
  return std::clamp<uint32_t>(ms, 5000, 900000);
}

void readDeviceInfo(const MapDocument &document, MapSettings &settings, TransactionConfig &limits) {
  const auto &devices = document.elements(MapElement::DeviceInfo);
  if (devices.empty())
    return;
  const pugi::xml_node device = devices.front();
  settings.type = textAttribute(device, "Type");
  limits.maxRequestRegisters =
      static_cast<uint16_t>(integerAttribute(device, "MaxRequestRegisters", 0));
  if (const auto text = MapDocument::attribute(device, "GlobalNotAvailable");
      text && *text != "NotSpecified") {
    settings.globalNotAvailable = true;
    settings.globalNotAvailableValue =
        *text == "AllBitsSet" ? 0xFFFFFFFFu : static_cast<uint32_t>(readInteger(*text)) & 0xFFFF;
  }
  limits.multiplePresetSupported = booleanAttribute(device, "MultiplePresetSupported", true);
  settings.lowSpeedPeriodMs = updatePeriodMs(device, "LowSpeedUpdateRate", 30000);
  settings.highSpeedPeriodMs = updatePeriodMs(device, "HighSpeedUpdateRate", 10000);
  limits.scatteredReadSupported = booleanAttribute(device, "ScatteredReadSupported", false);
  settings.timeSyncInterval = integerAttribute(device, "TimeSyncInterval", 1);
  settings.dateTimeValidation = booleanAttribute(device, "DateTimeValidation", false);
  settings.autoCacheControlHandles = booleanAttribute(device, "AutoCacheControlHandles", true);
  settings.timeSyncWithDST = booleanAttribute(device, "TimeSyncWithDST", true);
}

void readSharedLists(const MapDocument &document, TranslationMap &map) {
  for (pugi::xml_node element : document.elements(MapElement::EnumInfo)) {
    const std::string name(document.required(element, "Name"));
    const std::string fallback = textAttribute(element, "DefaultEnumValue");
    auto list = readOptions<EnumerationInfo>(document, element, "Option", "enumeration", [&] {
      return makeRef<EnumerationInfo>(name, fallback);
    });
    if (!map.addEnumeration(list ? list : makeRef<EnumerationInfo>(name, fallback)))
      throw KSXmsg("Duplicate EnumInfo entry: " + name);
  }
  for (pugi::xml_node element : document.elements(MapElement::ConfigLabelInfo)) {
    const std::string name(document.required(element, "Name"));
    const uint32_t handle = handleAttribute(element, "ARXHandle");
    auto list = readOptions<ConfigLabelInfo>(document, element, "ConfigLabels", "ConfigLabel", [&] {
      return makeRef<ConfigLabelInfo>(name, handle);
    });
    if (!map.addConfigLabels(list ? list : makeRef<ConfigLabelInfo>(name, handle)))
      throw KSXmsg("Duplicate ConfigLabelInfo entry: " + name);
  }
}

// DatasetAddressBlock and InvalidAddressRange: {first, last, count} of
// holding registers, a first offset at most once per list.
void readRegisterItems(const MapDocument &document, MapElement kind, const char *kindName,
                       std::vector<TransactionConfig::RegisterItem> &items) {
  const std::string prefix = std::string("Invalid configuration for ") + kindName + ": ";
  for (pugi::xml_node element : document.elements(kind)) {
    const auto address = MapDocument::attribute(element, "ModbusAddress");
    if (!address)
      throw KSXmsg(prefix + "missing ModbusAddress field");
    const auto countText = MapDocument::attribute(element, "NumberOfRegisters");
    if (!countText)
      throw KSXmsg(prefix + "missing NumberOfRegisters field");
    const std::optional<RegisterAddress> parsed = parseModbusAddress(*address);
    if (!parsed)
      throw KSXmsg("Invalid Modbus Register Address: " + std::string(*address));
    if (parsed->registerClass != 4)
      throw KSXmsg("Invalid Modbus Register Address Class: " + std::string(*address));
    // A range must hold a register and end within the 65536 registers.
    const int64_t count = readInteger(*countText);
    if (count < 1 || count > 65536 - int64_t{parsed->offset})
      throw KSXmsg(prefix + "NumberOfRegisters " + std::string(*countText) +
                   " is out of range for " + std::string(*address));
    if (TransactionConfig::findFirst(items, parsed->offset))
      throw KSXmsg(prefix + "duplicate entry for " + std::string(*address));
    items.push_back({parsed->offset, static_cast<uint16_t>(parsed->offset + count - 1),
                     static_cast<uint16_t>(count)});
  }
}

void readExclusions(const MapDocument &document, TranslationMap &map) {
  const std::string prefix = "Invalid configuration for HandleExclusionList: ";
  for (pugi::xml_node element : document.elements(MapElement::HandleExclusionList)) {
    if (!MapDocument::attribute(element, "ARXHandle"))
      throw KSXmsg(prefix + "missing Handle field");
    if (!MapDocument::attribute(element, "ConfigARXHandle"))
      throw KSXmsg(prefix + "missing ConfigHandle field");
    const uint32_t handle = handleAttribute(element, "ARXHandle");
    if (!map.addHandleExclusion(handle, handleAttribute(element, "ConfigARXHandle")))
      throw KSXmsg(prefix + "duplicate entry for " + std::to_string(handle));
  }
}

IRefPtr<TranslationMap> readDocument(const MapDocument &document) {
  auto map = makeRef<TranslationMap>();
  TransactionConfig &limits = *map->transactionConfig();
  readDeviceInfo(document, map->editSettings(), limits);
  readSharedLists(document, *map);
  const auto &entries = document.elements(MapElement::ModbusInfo);
  map->reserveEntries(entries.size());
  for (pugi::xml_node element : entries)
    readModbusInfo(document, element, *map);
  for (pugi::xml_node element : document.elements(MapElement::CalcInfo))
    map->addCalculatedHandle(
        static_cast<uint32_t>(readInteger(document.required(element, "ARXHandle"))));
  readRegisterItems(document, MapElement::DatasetAddressBlock, "DatasetAddressBlock",
                    limits.datasetBlocks);
  readRegisterItems(document, MapElement::InvalidAddressRange, "InvalidAddressRange",
                    limits.invalidRanges);
  readExclusions(document, *map);
  for (pugi::xml_node element : document.elements(MapElement::Diagnostics))
    map->editSettings().tracing = booleanAttribute(element, "EnableTracing", false);
  for (pugi::xml_node element : document.elements(MapElement::TransactionConfiguration))
    limits.diagnosticFlags = handleAttribute(element, "DiagnosticFlags");
  return map;
}

} // namespace

IRefPtr<TranslationMap> readMapBytes(std::string_view bytes, const std::string &path) {
  const MapDocument document(bytes, path);
  return readDocument(document);
}

IRefPtr<TranslationMap> readMapFile(const std::filesystem::path &path) {
  const std::string name = path.string();
  const auto failure = [&](const std::string &reason) {
    return KSXmsg("Failed to load the modbus map file: " + name + "\nReason: " + reason);
  };
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error); // fails for a directory
  if (error)
    throw failure(error.message());
  if (size > kMaxMapFileBytes)
    throw failure("The file is larger than " + std::to_string(kMaxMapFileBytes >> 20) + " MB.");
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw failure("The file cannot be opened.");
  std::string bytes(static_cast<size_t>(size), '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(size));
  if (in.bad())
    throw failure("The file cannot be read.");
  bytes.resize(static_cast<size_t>(in.gcount())); // a file cut short meanwhile
  return readMapBytes(bytes, name);
}

} // namespace arxmod
