// Map files: the attribute text forms and defaults, every element, the
// failure messages with their positions, and hostile sizes.
#include "map/MapFile.h"
#include "map/ModbusFormat.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace arxmod {
namespace {

IRefPtr<TranslationMap> readMap(const std::string &body) {
  return readMapBytes("<Map>" + body + "</Map>", "map.xml");
}

std::string failure(const std::string &document) {
  try {
    readMapBytes(document, "map.xml");
  } catch (const KSXmsg &e) {
    return e.text();
  }
  return "no failure";
}
std::string failureOf(const std::string &body) { return failure("<Map>" + body + "</Map>"); }

// A ModbusInfo element with the required attributes and `extra` ones.
std::string entry(uint32_t handle, const std::string &extra = "", const std::string &children = "",
                  const std::string &format = "UINT16") {
  return "<ModbusInfo ARXHandle='" + std::to_string(handle) + "' Name='e" + std::to_string(handle) +
         "' ModbusAddress='40001' RequestType='R' Format='" + format + "' " + extra + ">" +
         children + "</ModbusInfo>";
}

TEST(MapFileTest, AMapWithoutDeviceInfoHasTheDefaults) {
  auto map = readMap("");
  const MapSettings &s = map->settings();
  EXPECT_EQ(s.lowSpeedPeriodMs, 30000u);
  EXPECT_EQ(s.highSpeedPeriodMs, 10000u);
  EXPECT_EQ(s.timeSyncInterval, 1);
  EXPECT_TRUE(s.timeSyncWithDST);
  EXPECT_TRUE(s.autoCacheControlHandles);
  EXPECT_FALSE(s.globalNotAvailable);
  EXPECT_FALSE(s.tracing);
  const TransactionConfig &limits = *map->transactionConfig();
  EXPECT_TRUE(limits.multiplePresetSupported);
  EXPECT_FALSE(limits.scatteredReadSupported);
  EXPECT_EQ(limits.maxRequestRegisters, 0);
  EXPECT_EQ(map->count(), 0u);
  EXPECT_EQ(map->name(), "TranslationMap");
}

TEST(MapFileTest, ReadsTheDeviceSettings) {
  const struct {
    std::string attributes;
    uint32_t lowMs, highMs;
    bool globalCheck;
    uint32_t globalValue;
  } cases[] = {
      {"LowSpeedUpdateRate='2'", 5000, 10000, false, 0},
      {"LowSpeedUpdateRate='1000'", 900000, 10000, false, 0},
      {"LowSpeedUpdateRate='-5' HighSpeedUpdateRate='0x14'", 900000, 20000, false, 0},
      {"HighSpeedUpdateRate='abc'", 30000, 5000, false, 0},
      {"GlobalNotAvailable='NotSpecified'", 30000, 10000, false, 0},
      {"GlobalNotAvailable='AllBitsSet'", 30000, 10000, true, 0xFFFFFFFF},
      {"GlobalNotAvailable='allbitsset'", 30000, 10000, true, 0}, // keywords are exact
      {"GlobalNotAvailable='0x8000'", 30000, 10000, true, 32768},
      {"GlobalNotAvailable='70000'", 30000, 10000, true, 4464},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.attributes);
    auto map = readMap("<DeviceInfo " + c.attributes + "/><DeviceInfo LowSpeedUpdateRate='7'/>");
    EXPECT_EQ(map->settings().lowSpeedPeriodMs, c.lowMs);
    EXPECT_EQ(map->settings().highSpeedPeriodMs, c.highMs);
    EXPECT_EQ(map->settings().globalNotAvailable, c.globalCheck);
    EXPECT_EQ(map->settings().globalNotAvailableValue, c.globalValue);
  }
  auto map = readMap("<Settings><DeviceInfo Type='MX' MaxRequestRegisters='70000' "
                     "MultiplePresetSupported='false' ScatteredReadSupported='1' "
                     "TimeSyncInterval='0' DateTimeValidation='2' AutoCacheControlHandles='0' "
                     "TimeSyncWithDST='0'/></Settings>"
                     "<Diagnostics EnableTracing='1'/><TransactionConfiguration "
                     "DiagnosticFlags='3'/>");
  const MapSettings &s = map->settings();
  EXPECT_EQ(s.type, "MX");
  EXPECT_EQ(s.timeSyncInterval, 0);
  EXPECT_TRUE(s.dateTimeValidation);
  EXPECT_FALSE(s.autoCacheControlHandles);
  EXPECT_FALSE(s.timeSyncWithDST);
  EXPECT_TRUE(s.tracing);
  const TransactionConfig &limits = *map->transactionConfig();
  EXPECT_EQ(limits.maxRequestRegisters, 4464);
  EXPECT_FALSE(limits.multiplePresetSupported); // "false" reads as 0
  EXPECT_TRUE(limits.scatteredReadSupported);
  EXPECT_EQ(limits.diagnosticFlags, 3u);
}

TEST(MapFileTest, ReadsAnEntryWithItsDefaults) {
  auto map = readMap(entry(0x10, "", "", "u32-mfp"));
  IRefPtr<TranslationInfo> e = map->find(0x10);
  ASSERT_TRUE(e);
  EXPECT_TRUE(dynamic_cast<ModbusInfo *>(e.get()));
  EXPECT_EQ(e->name, "e16");
  EXPECT_EQ(e->format, XLARX::MBF_U32_M10k_4321);
  EXPECT_EQ(e->mask, 0xFFFFFFFFu);
  EXPECT_EQ(e->numberOfRegisters, 2);
  EXPECT_FALSE(e->scalingPresent);
  EXPECT_FALSE(e->rangePresent);
  EXPECT_EQ(e->scale.constant, 1.0);
  EXPECT_EQ(e->multiplier.constant, 1.0);
  EXPECT_FALSE(e->setupRegister);
  EXPECT_TRUE(e->configWrite);
  EXPECT_FALSE(e->enumeration);
  EXPECT_EQ(e->writeValue, 1.0);
  EXPECT_FALSE(e->notAvailableCheck);
  EXPECT_EQ(e->notAvailableValue, -1);
  EXPECT_EQ(e->matchPattern, -1);
  EXPECT_FALSE(e->readTimePresent);
  ASSERT_TRUE(e->dynamicLabel);
  EXPECT_FALSE(e->dynamicLabel->isValid() && !e->dynamicLabel->activeFormat().text.empty());

  auto f64 = readMap(entry(1, "", "", "F64-87-21"))->find(1);
  EXPECT_EQ(f64->numberOfRegisters, 4); // 64 bits
}

TEST(MapFileTest, ReadsTheAttributeTextForms) {
  auto map = readMap(
      "<ModbusInfo ARXHandle='0x20' Name='n' ModbusAddress='4X0001' RequestType='rw' "
      "Format='datetime4_utc' Mask='FF00' Scale='10' Multiplier='r1234' Offset='' "
      "ModbusMin='R0x4D2' ARXMax='0x4D2' SetupReg='true' ConfigWrite='0' WriteValue='2.5' "
      "CheckRegister='401234' CheckRegValue='7' NumberOfRegisters='70000' MatchPattern='0x10' "
      "CacheSpec='d,c'/>" +
      entry(0x21, "Mask='0xFF00' SetupReg='1' ReadTime='r77' Offset='-1.5'", "",
            "DATETIME3_LOCAL") +
      entry(0x22, "WriteValue='1,2,PASS'", "", "U16-21-ARRAY"));
  auto a = map->find(0x20);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->modbusAddress, "4x0001");
  EXPECT_EQ(a->requestType, "RW");
  EXPECT_EQ(a->mask, 0xFF00u);
  EXPECT_TRUE(a->scalingPresent);
  EXPECT_EQ(a->scale.constant, 10.0);
  EXPECT_EQ(a->scale.handle, 0u);
  EXPECT_EQ(a->multiplier.handle, 1234u);
  EXPECT_EQ(a->multiplier.constant, 1.0);
  EXPECT_EQ(a->offset.constant, 0.0); // empty counts as absent
  EXPECT_TRUE(a->rangePresent);
  EXPECT_EQ(a->modbusMin.handle, 1234u);
  EXPECT_EQ(a->arxMax.handle, 1234u);
  EXPECT_FALSE(a->setupRegister); // the word true reads as 0
  EXPECT_FALSE(a->configWrite);
  EXPECT_EQ(a->writeValue, 2.5);
  EXPECT_EQ(a->checkRegister, 401234.0);
  EXPECT_EQ(a->checkRegValue, 7.0);
  EXPECT_EQ(a->numberOfRegisters, 4464);
  EXPECT_EQ(a->matchPattern, 16);
  EXPECT_EQ(a->cacheSpec, "D,C");
  EXPECT_TRUE(a->readTimePresent);
  EXPECT_EQ(a->readTime.handle, 0x20u); // a DATETIME format is its own read time

  auto b = map->find(0x21);
  EXPECT_EQ(b->mask, 0xFF00u);
  EXPECT_TRUE(b->setupRegister);
  EXPECT_EQ(b->readTime.handle, 77u);
  EXPECT_TRUE(b->scalingPresent);
  EXPECT_EQ(b->offset.constant, -1.5);
  EXPECT_EQ(map->find(0x22)->writeValueText, "1,2,PASS");
  EXPECT_EQ(map->find(0x22)->writeValue, 1.0);
}

TEST(MapFileTest, DecidesTheNotAvailableCheck) {
  const struct {
    std::string global, attributes;
    bool check;
    int32_t value;
  } cases[] = {
      {"", "", false, -1},
      {"", "NotAvailableValue='0x8000'", true, 0x8000},
      {"", "NotAvailableValue='5' DisableNotAvailableCheck='1'", false, -1},
      {"GlobalNotAvailable='AllBitsSet'", "", true, -1},
      {"GlobalNotAvailable='0x7FFF'", "", true, 0x7FFF},
      {"GlobalNotAvailable='0x7FFF'", "NotAvailableValue='9'", true, 9},
      {"GlobalNotAvailable='0x7FFF'", "DisableNotAvailableCheck='true'", true, 0x7FFF},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.global + " " + c.attributes);
    auto e = readMap("<DeviceInfo " + c.global + "/>" + entry(1, c.attributes))->find(1);
    EXPECT_EQ(e->notAvailableCheck, c.check);
    EXPECT_EQ(e->notAvailableValue, c.value);
  }
}

TEST(MapFileTest, NumbersOptionsAndSharesLists) {
  auto map =
      readMap("<EnumInfo Name='Modes' DefaultEnumValue='?'><Option Value='a'/><Option Ordinal='10' "
              "Value='b'/><Option Value='c'/><x><Option Value='d'/></x></EnumInfo>"
              "<ConfigLabelInfo Name='Labels' ARXHandle='0x99'><ConfigLabels "
              "Value='L0'/></ConfigLabelInfo>" +
              entry(1, "EnumName='Modes' ConfigLabelName='Labels'") +
              entry(2, "ConfigValueHandle='5' ConfigLabelHandle='6'",
                    "<ConfigValues Value='v0'/><ConfigValues Ordinal='-1' Value='-NA-'/>"
                    "<ConfigLabels Value='{LBL} x'/><Enumeration Ordinal='3' Value='three'/>") +
              entry(3, "", "<ConfigValues Value='ignored'/><ConfigLabels Value='ignored'/>"));
  auto modes = map->enumeration("Modes");
  ASSERT_TRUE(modes);
  EXPECT_EQ(modes->ordinals(), (std::vector<int32_t>{0, 10, 11, 12}));
  EXPECT_EQ(modes->defaultValue(), "?");
  auto one = map->find(1);
  EXPECT_EQ(one->enumeration, modes);
  EXPECT_EQ(one->configLabels, map->configLabels("Labels"));
  EXPECT_EQ(one->configLabelHandle, 0x99u);
  auto two = map->find(2);
  EXPECT_EQ(two->configValueHandle, 5u);
  ASSERT_TRUE(two->configValues);
  EXPECT_EQ(two->configValues->ordinals(), (std::vector<int32_t>{0, -1}));
  ASSERT_TRUE(two->configLabels);
  EXPECT_EQ(two->configLabels->handle(), 6u);
  EXPECT_EQ(two->enumeration->ordinals(), (std::vector<int32_t>{3}));
  EXPECT_TRUE(two->enumeration->name().empty());
  auto three = map->find(3);
  EXPECT_FALSE(three->configValues);
  EXPECT_FALSE(three->configLabels);
}

TEST(MapFileTest, ReadsDynamicLabels) {
  auto map = readMap("<EnumInfo Name='States'><Option Value='Open'/><Option Value='Closed'/>"
                     "</EnumInfo>" +
                     entry(1, "",
                           "<DynamicLabel EnumOrdinalHandle='7' DeviceLabelHandle='8' "
                           "EnumName='States' DeviceLabelTrigger='Feeder|Line' "
                           "ActiveFormat='$DL ($EV)' InactiveFormat='Breaker $EO'/>"));
  const XLARX::DynamicLabel &label = *map->find(1)->dynamicLabel;
  EXPECT_EQ(label.ordinalHandle, 7u);
  EXPECT_EQ(label.deviceLabelHandle, 8u);
  EXPECT_EQ(label.enumeration, map->enumeration("States"));
  EXPECT_EQ(label.triggerText, "Feeder");
  EXPECT_TRUE(label.replacementPresent);
  EXPECT_EQ(label.replacementText, "Line");
  EXPECT_TRUE(label.activeFormat().usesDeviceLabel);
  EXPECT_TRUE(label.activeFormat().usesEnumerationValue);
  EXPECT_TRUE(label.inactiveFormat().usesEnumerationOrdinal);
  EXPECT_TRUE(label.isValid());
}

TEST(MapFileTest, ReadsAddressBlocksCalculatedHandlesAndExclusions) {
  auto map = readMap(
      "<DatasetAddressBlock ModbusAddress='400100' NumberOfRegisters='20'/>"
      "<DatasetAddressBlock ModbusAddress='465536' NumberOfRegisters='1'/>"
      "<InvalidAddressRange ModbusAddress='41000' NumberOfRegisters='0x10'/>"
      "<CalcInfo ARXHandle='0x500'/><CalcInfo ARXHandle='0x400'/><CalcInfo ARXHandle='1280'/>"
      "<HandleExclusionList ARXHandle='0x600' ConfigARXHandle='0x601'/>");
  const TransactionConfig &limits = *map->transactionConfig();
  EXPECT_EQ(limits.datasetBlocks,
            (std::vector<TransactionConfig::RegisterItem>{{99, 118, 20}, {65535, 65535, 1}}));
  EXPECT_EQ(limits.invalidRanges, (std::vector<TransactionConfig::RegisterItem>{{999, 1014, 16}}));
  EXPECT_EQ(map->calculatedHandles(), (std::vector<uint32_t>{0x500, 0x400}));
  EXPECT_EQ(map->exclusionConfigHandle(0x600), 0x601u);
  EXPECT_FALSE(map->exclusionConfigHandle(0x601));
}

TEST(MapFileTest, ReportsEveryRefusal) {
  const std::string shared = "<EnumInfo Name='E'><Option Value='x'/></EnumInfo>"
                             "<ConfigLabelInfo Name='L' ARXHandle='0x44'><ConfigLabels Value='x'/>"
                             "</ConfigLabelInfo>";
  const struct {
    std::string body, message;
  } cases[] = {
      {"<EnumInfo Name='A'/><EnumInfo Name='A'/>", "Duplicate EnumInfo entry: A"},
      {"<ConfigLabelInfo Name='A'/><ConfigLabelInfo Name='A'/>",
       "Duplicate ConfigLabelInfo entry: A"},
      // The ordinal is checked while options are added, before the name.
      {"<EnumInfo Name='A'/><EnumInfo Name='A'><Option Ordinal='2' Value='x'/>"
       "<Option Ordinal='2' Value='y'/></EnumInfo>",
       "Duplicate ordinal in enumeration list - ordinal: 2 value: y"},
      {entry(1, "", "<Enumeration Value='a'/><Enumeration Ordinal='0' Value='b'/>"),
       "Duplicate ordinal in enumeration list - ordinal: 0 value: b"},
      {entry(1, "ConfigValueHandle='2'",
             "<ConfigValues Value='a'/><ConfigValues Ordinal='0' "
             "Value='b'/>"),
       "Duplicate ordinal in ConfigValue list - ordinal: 0 value: b"},
      {"<ConfigLabelInfo Name='A'><ConfigLabels Ordinal='-3' Value='a'/><ConfigLabels "
       "Ordinal='-3' Value='b'/></ConfigLabelInfo>",
       "Duplicate ordinal in ConfigLabel list - ordinal: -3 value: b"},
      {entry(1, "", "", "u32 4321"), "Unknown format: U32 4321"},
      {shared + entry(1, "ConfigLabelHandle='2' ConfigLabelName='L'", "<ConfigLabels Value='y'/>"),
       "Invalid setup: Both shared ConfigLabelInfo and local ConfigLabels declared."},
      {shared + entry(1, "ConfigLabelName='M'"), "Unknown ConfigLabelListItem item: M"},
      {shared + entry(1, "EnumName='E'", "<Enumeration Value='y'/>"),
       "Invalid setup: Both shared EnumInfo and local Enumeration declared."},
      {shared + entry(1, "EnumName='e'"), "Unknown EnumInfo item: e"},
      {shared + entry(9, "ConfigLabelName='L'", "<DynamicLabel ActiveFormat='x'/>"),
       "Invalid map configuration: handle 9 has both config label and dynamic label enabled."},
      {entry(9, "", "<DynamicLabel DeviceLabelHandle='3'/>"),
       "Invalid dynamic label definition for handle 9: Ordinal Handle=0; Enumeration Name=; "
       "Enumeration Found=no; Device Label Handle=3; Device Label Trigger=; Active Format=; "
       "Inactive Format="},
      {shared + entry(9, "",
                      "<DynamicLabel ActiveFormat='$EV' EnumName='nope' "
                      "EnumOrdinalHandle='4'/>"),
       "Invalid dynamic label definition for handle 9: Ordinal Handle=4; Enumeration Name=; "
       "Enumeration Found=no; Device Label Handle=0; Device Label Trigger=; Active Format=$EV; "
       "Inactive Format="},
      {entry(9, "", "<DynamicLabel ActiveFormat='x' DeviceLabelTrigger='T'/>"),
       "Invalid dynamic label definition for handle 9: Ordinal Handle=0; Enumeration Name=; "
       "Enumeration Found=no; Device Label Handle=0; Device Label Trigger=T; Active Format=x; "
       "Inactive Format="},
      {entry(0x10) + entry(16), "Invalid setup: Duplicate handle present in map file. handle=16"},
      {"<DatasetAddressBlock NumberOfRegisters='2'/>",
       "Invalid configuration for DatasetAddressBlock: missing ModbusAddress field"},
      {"<DatasetAddressBlock ModbusAddress='40001'/>",
       "Invalid configuration for DatasetAddressBlock: missing NumberOfRegisters field"},
      {"<DatasetAddressBlock ModbusAddress='200001' NumberOfRegisters='2'/>",
       "Invalid Modbus Register Address: 200001"},
      {"<DatasetAddressBlock ModbusAddress='300001' NumberOfRegisters='2'/>",
       "Invalid Modbus Register Address Class: 300001"},
      {"<DatasetAddressBlock ModbusAddress='40010' NumberOfRegisters='2'/>"
       "<DatasetAddressBlock ModbusAddress='400010' NumberOfRegisters='5'/>",
       "Invalid configuration for DatasetAddressBlock: duplicate entry for 400010"},
      {"<DatasetAddressBlock ModbusAddress='465530' NumberOfRegisters='8'/>",
       "Invalid configuration for DatasetAddressBlock: NumberOfRegisters 8 is out of range for "
       "465530"},
      {"<InvalidAddressRange ModbusAddress='40001' NumberOfRegisters='0'/>",
       "Invalid configuration for InvalidAddressRange: NumberOfRegisters 0 is out of range for "
       "40001"},
      {"<InvalidAddressRange NumberOfRegisters='2'/>",
       "Invalid configuration for InvalidAddressRange: missing ModbusAddress field"},
      {"<InvalidAddressRange ModbusAddress='40001'/>",
       "Invalid configuration for InvalidAddressRange: missing NumberOfRegisters field"},
      {"<InvalidAddressRange ModbusAddress='4a0001' NumberOfRegisters='1'/>",
       "Invalid Modbus Register Address: 4a0001"},
      {"<InvalidAddressRange ModbusAddress='40001' NumberOfRegisters='1'/>"
       "<InvalidAddressRange ModbusAddress='40001' NumberOfRegisters='1'/>",
       "Invalid configuration for InvalidAddressRange: duplicate entry for 40001"},
      {"<HandleExclusionList ConfigARXHandle='1'/>",
       "Invalid configuration for HandleExclusionList: missing Handle field"},
      {"<HandleExclusionList ARXHandle='1'/>",
       "Invalid configuration for HandleExclusionList: missing ConfigHandle field"},
      {"<HandleExclusionList ARXHandle='0x10' ConfigARXHandle='1'/>"
       "<HandleExclusionList ARXHandle='16' ConfigARXHandle='2'/>",
       "Invalid configuration for HandleExclusionList: duplicate entry for 16"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.body);
    EXPECT_EQ(failureOf(c.body), c.message);
  }
}

TEST(MapFileTest, NamesTheFileAndPlaceOfLoadFailures) {
  const struct {
    std::string document, message;
  } cases[] = {
      {"<Map>\n  <ModbusInfo ARXHandle='1' Name='n'\n   ModbusAddress='40001' RequestType='R'/>\n"
       "</Map>",
       "Failed to load the modbus map file: map.xml\nReason: The element ModbusInfo at line 2, "
       "column 3 has no attribute Format."},
      {"<Map><EnumInfo/></Map>", "Failed to load the modbus map file: map.xml\nReason: The "
                                 "element EnumInfo at line 1, column 6 has no attribute Name."},
      {"<Map><EnumInfo Name='x'><Option/></EnumInfo></Map>",
       "Failed to load the modbus map file: map.xml\nReason: The element Option at line 1, "
       "column 25 has no attribute Value."},
      {"<Map><CalcInfo/></Map>", "Failed to load the modbus map file: map.xml\nReason: The "
                                 "element CalcInfo at line 1, column 6 has no attribute "
                                 "ARXHandle."},
      {"<Map>\r\n<DeviceInfo Type='x'>\r\n  <Bad attr=></DeviceInfo></Map>",
       "Failed to load the modbus map file: map.xml\nReason: Error parsing element attribute\n"
       "Source Text:  <Bad attr=></DeviceInfo></Map>\nLine : 3\nLine position: 13"},
      {"", "Failed to load the modbus map file: map.xml\nReason: No document element found\n"
           "Source Text:\nLine : 1\nLine position: 1"},
      {"<Map><a></b></Map>", "Failed to load the modbus map file: map.xml\nReason: Start-end tags "
                             "mismatch\nSource Text:<Map><a></b></Map>\nLine : 1\nLine position: "
                             "11"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.document);
    EXPECT_EQ(failure(c.document), c.message);
  }
  const auto missing = std::filesystem::temp_directory_path() / "arxmod_no_such_map.xml";
  EXPECT_EQ(failure("<Map/>"), "no failure");
  try {
    readMapFile(missing);
    ADD_FAILURE() << "read a missing file";
  } catch (const KSXmsg &e) {
    EXPECT_EQ(
        e.text().rfind("Failed to load the modbus map file: " + missing.string() + "\nReason: ", 0),
        0u)
        << e.text();
  }
}

TEST(MapFileTest, HandlesHostileSizes) {
  // A long single line: the quoted source text is cut around the failure.
  const std::string longLine = "<Map>" + std::string(5000, ' ') + "<a></b></Map>";
  const std::string message = failure(longLine);
  EXPECT_NE(message.find("Line position: 5011"), std::string::npos);
  EXPECT_LT(message.size(), 400u);

  // A megabyte attribute is read; a megabyte of digits saturates.
  const std::string big(1 << 20, '9');
  auto map =
      readMap(entry(1, "Name2='" + big + "' NumberOfRegisters='" + big + "' Scale='" + big + "'"));
  EXPECT_EQ(map->find(1)->numberOfRegisters, 0xFFFF);
  EXPECT_EQ(map->find(1)->scale.constant, std::numeric_limits<double>::max());
  EXPECT_EQ(failureOf(entry(1, "", "", big)).size(), 16u + big.size());

  // Nesting deeper than the limit is refused; at the limit it is read.
  std::string deep;
  for (size_t i = 1; i < kMaxMapDepth; ++i)
    deep += "<d>";
  std::string deepClose;
  for (size_t i = 1; i < kMaxMapDepth; ++i)
    deepClose += "</d>";
  EXPECT_NO_THROW(readMapBytes(deep + "<CalcInfo ARXHandle='1'/>" + deepClose, "map.xml"));
  EXPECT_EQ(failure("<x>" + deep + "<CalcInfo ARXHandle='1'/>" + deepClose + "</x>"),
            "Failed to load the modbus map file: map.xml\nReason: Elements are nested more than "
            "256 levels deep at line 1, column 769.");

  // A map of 100,000 entries.
  std::string entries;
  for (uint32_t h = 1; h <= 100000; ++h)
    entries += entry(h, "Scale='r" + std::to_string(h + 1) + "'");
  EXPECT_EQ(readMap(entries)->count(), 100000u);
}

TEST(MapFileTest, ReadsFiles) {
  const auto path =
      std::filesystem::temp_directory_path() /
      ("arxmod_map_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".xml");
  std::ofstream(path) << "<Map>" << entry(5) << "</Map>";
  EXPECT_TRUE(readMapFile(path)->contains(5));
  std::filesystem::remove(path);
}

} // namespace
} // namespace arxmod
