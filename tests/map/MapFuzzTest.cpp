// Seeded fuzz loop: mutated map documents either read into a whole map or
// fail with a message; a map that reads can be prepared, indexed, merged
// and its labels produced, never crashing or reading out of bounds.
#include "TreeBuilder.h"
#include "map/MapFile.h"
#include "tree/TranslationTree.h"

#include <gtest/gtest.h>

#include <random>

namespace arxmod {
namespace {

const char kSeedMap[] = R"xml(<?xml version="1.0"?>
<Map>
  <DeviceInfo Type="MX" MaxRequestRegisters="60" GlobalNotAvailable="0x8000"
              LowSpeedUpdateRate="60" HighSpeedUpdateRate="5" ScatteredReadSupported="1"/>
  <EnumInfo Name="States" DefaultEnumValue="?"><Option Value="Open"/><Option Value="Closed"/></EnumInfo>
  <ConfigLabelInfo Name="Inputs" ARXHandle="0x20"><ConfigLabels Ordinal="1" Value="{LBL} in"/></ConfigLabelInfo>
  <ModbusInfo ARXHandle="0x10" Name="Volts" ModbusAddress="43001" RequestType="R" Format="F32-4321"
              Scale="r0x11" Offset="1.5" ModbusMin="0" ARXMax="100" CacheSpec="D"/>
  <ModbusInfo ARXHandle="0x11" Name="Scale" ModbusAddress="43003" RequestType="RW" Format="U16-21"
              Mask="0x00FF" SetupReg="1" ConfigValueHandle="0x12">
    <ConfigValues Value="1"/><ConfigValues Value="-NA-"/>
  </ModbusInfo>
  <ModbusInfo ARXHandle="0x12" Name="Mode" ModbusAddress="43004" RequestType="RW" Format="S32-2143"
              EnumName="States" NotAvailableValue="-1"/>
  <ModbusInfo ARXHandle="0x13" Name="Clock" ModbusAddress="43010" RequestType="R" Format="DATETIME4_LOCAL"
              ReadTime="r0x10" DisableNotAvailableCheck="1"/>
  <ModbusInfo ARXHandle="0x14" Name="Label" ModbusAddress="43020" RequestType="R" Format="ASCII"
              NumberOfRegisters="8" ConfigLabelName="Inputs"/>
  <ModbusInfo ARXHandle="0x15" Name="Breaker" ModbusAddress="43030" RequestType="R" Format="MASKEDBOOL"
              MatchPattern="0x4">
    <Enumeration Value="Off"/><Enumeration Ordinal="5" Value="On"/>
    <DynamicLabel EnumOrdinalHandle="0x12" DeviceLabelHandle="0x14" EnumName="States"
                  DeviceLabelTrigger="Feeder|Line" ActiveFormat="$DL ($EV)" InactiveFormat="#$EO"/>
  </ModbusInfo>
  <ModbusInfo ARXHandle="0x16" Name="Reset" ModbusAddress="45000" RequestType="CW" Format="U16-21-ARRAY"
              WriteValue="1,2,PASS" CheckRegister="401234" CheckRegValue="0"/>
  <CalcInfo ARXHandle="0x100"/>
  <DatasetAddressBlock ModbusAddress="43001" NumberOfRegisters="20"/>
  <InvalidAddressRange ModbusAddress="43100" NumberOfRegisters="5"/>
  <HandleExclusionList ARXHandle="0x100" ConfigARXHandle="0x11"/>
  <Diagnostics EnableTracing="0"/>
  <TransactionConfiguration DiagnosticFlags="3"/>
</Map>
)xml";

std::string mutate(std::string input, std::mt19937 &random) {
  static const std::string kPieces[] = {"<",
                                        ">",
                                        "\"",
                                        "'",
                                        "0x",
                                        "r",
                                        "|",
                                        "$EV",
                                        "-1",
                                        "99999999999",
                                        "</ModbusInfo>",
                                        "<Option Value=\"x\"/>",
                                        "<DynamicLabel ActiveFormat=\"$DL\"/>",
                                        "<ModbusInfo ARXHandle=\"0x10\"/>",
                                        "&amp;",
                                        "&#0;",
                                        "<!--",
                                        "<![CDATA[",
                                        "Ordinal=\"0\" ",
                                        "Format=\"BCD\" ",
                                        "EnumName=\"States\" "};
  const int edits = 1 + static_cast<int>(random() % 6);
  for (int i = 0; i < edits && !input.empty(); ++i) {
    const size_t at = random() % input.size();
    switch (random() % 6) {
    case 0:
      input[at] = static_cast<char>(random() % 256);
      break;
    case 1:
      input.resize(at);
      break;
    case 2:
      input.insert(at, kPieces[random() % std::size(kPieces)]);
      break;
    case 3: {
      const size_t length = std::min<size_t>(random() % 300, input.size() - at);
      input.insert(at, input.substr(at, length));
      break;
    }
    case 4:
      input.erase(at, random() % 40);
      break;
    default:
      input.insert(at, std::to_string(static_cast<int32_t>(random())));
      break;
    }
  }
  return input;
}

IRefPtr<TranslationTree> deviceTree() {
  auto list = makeRef<ObjList>();
  auto &module = test::addObject<ModuleObj>(*list, 0x100, 511, 3, "Minimum");
  module.setOutputs(std::vector<uint32_t>{0x10, 0x100});
  for (uint32_t handle = 0x10; handle <= 0x16; ++handle)
    test::addObject<ARXObj>(*list, handle, 23, 0x100, "r");
  return makeRef<TranslationTree>(list);
}

// Uses everything a read map offers.
void exercise(TranslationMap &map, const TranslationTree &tree) {
  try {
    map.prepare(tree);
  } catch (const KSXmsg &failure) {
    EXPECT_FALSE(failure.text().empty());
  }
  map.addressIndex();
  MemoryBlob blob(4096);
  for (const IRefPtr<TranslationInfo> &entry : map.entries()) {
    ASSERT_TRUE(entry->dynamicLabel);
    try {
      entry->dynamicLabel->produceLabel(1, "Feeder 1");
      if (entry->configLabels)
        entry->configLabels->valueFor(1, blob, tree.find(entry->handle), "");
    } catch (const MapLookupError &) {
    }
    if (entry->enumeration)
      entry->enumeration->valueFor(0, blob, tree.find(entry->handle), "");
    if (entry->configValues)
      entry->configValues->valueFor(1, blob, nullptr, "");
  }
  auto other = readMapBytes("<Map/>", "other.xml");
  combineModbusMaps(other.get(), &map, "ext.xml");
  EXPECT_EQ(other->count(), map.count());
}

TEST(MapFuzzTest, MutatedMapDocuments) {
  auto tree = deviceTree();
  std::mt19937 random(20261209u);
  unsigned read = 0;
  for (unsigned i = 0; i < 20000; ++i) {
    const std::string input = mutate(kSeedMap, random);
    SCOPED_TRACE(i);
    IRefPtr<TranslationMap> map;
    try {
      map = readMapBytes(input, "fuzz.xml");
    } catch (const KSXmsg &failure) {
      EXPECT_FALSE(failure.text().empty());
      continue;
    }
    ASSERT_TRUE(map);
    ++read;
    exercise(*map, *tree);
    if (::testing::Test::HasFatalFailure())
      return;
  }
  // The mutations are mild enough that a good share of maps still read.
  EXPECT_GT(read, 1000u);
}

} // namespace
} // namespace arxmod
