// TranslationMap: preparation against trees (marking control handles once,
// expanding exclusions per tree), the address index, the trace and merging
// an extension map.
#include "TreeBuilder.h"
#include "map/MapFile.h"
#include "tree/RegisterObj.h"
#include "tree/TranslationTree.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace arxmod {
namespace {

IRefPtr<TranslationMap> readMap(const std::string &body) {
  return readMapBytes("<Map>" + body + "</Map>", "map.xml");
}

std::string entry(uint32_t handle, const std::string &extra = "", const std::string &children = "",
                  const std::string &address = "40001") {
  return "<ModbusInfo ARXHandle='" + std::to_string(handle) + "' Name='e' ModbusAddress='" +
         address + "' RequestType='R' Format='UINT16' " + extra + ">" + children + "</ModbusInfo>";
}

// Manager 3 holds module 0x100 (setup 0x101, outputs 0x102 and 0x200) and
// module 0x200 (output 0x201, and 0x100 again: a cycle).
IRefPtr<TranslationTree> makeTree(bool withModule = true) {
  auto list = makeRef<ObjList>();
  test::addObject<ManagerObj>(*list, 3, 2000, 2, "manager");
  if (withModule) {
    auto &module = test::addObject<ModuleObj>(*list, 0x100, 511, 3, "Minimum 1");
    module.setSetups(std::vector<uint32_t>{0x101});
    module.setOutputs(std::vector<uint32_t>{0x102, 0x200, 0x999});
    test::addObject<RegisterObj>(*list, 0x101, 23, 0x100, "setup");
    test::addObject<RegisterObj>(*list, 0x102, 23, 3, "output beside the module");
    auto &inner = test::addObject<ModuleObj>(*list, 0x200, 512, 3, "Maximum 1");
    inner.setOutputs(std::vector<uint32_t>{0x201, 0x100});
    test::addObject<RegisterObj>(*list, 0x201, 23, 3, "inner output");
  }
  test::addObject<RegisterObj>(*list, 0x300, 23, 0x100, "other");
  return makeRef<TranslationTree>(list);
}

// Lines written to the trace file while the object lives.
class TraceFile {
public:
  TraceFile()
      : path_(std::filesystem::temp_directory_path() /
              ("arxmod_map_trace_" + std::to_string(::getpid()) + ".txt")) {
    std::filesystem::remove(path_);
    ::setenv("ARXMOD_TRACE_FILE", path_.c_str(), 1);
  }
  ~TraceFile() {
    ::unsetenv("ARXMOD_TRACE_FILE");
    std::filesystem::remove(path_);
  }
  std::vector<std::string> lines() const {
    std::ifstream in(path_);
    std::vector<std::string> result;
    for (std::string line; std::getline(in, line);)
      result.push_back(line);
    return result;
  }

private:
  std::filesystem::path path_;
};

const std::string kControlledMap =
    "<Diagnostics EnableTracing='1'/>"
    "<EnumInfo Name='States'><Option Value='Open'/></EnumInfo>"
    "<ConfigLabelInfo Name='Shared' ARXHandle='7'/>" +
    entry(1, "ConfigLabelHandle='2' ConfigValueHandle='3'") + entry(2) + entry(3) +
    entry(4, "",
          "<DynamicLabel EnumOrdinalHandle='5' DeviceLabelHandle='6' EnumName='States' "
          "ActiveFormat='$DL $EV'/>") +
    entry(5) + entry(6) + entry(7) + entry(9) + entry(10, "ConfigLabelHandle='11'") +
    "<HandleExclusionList ARXHandle='0x100' ConfigARXHandle='9'/>";

TEST(TranslationMapTest, MarksControlHandlesOnceAndExpandsPerTree) {
  TraceFile trace;
  auto map = readMap(kControlledMap);
  map->setName("MX4110");
  auto tree = makeTree();
  ASSERT_TRUE(map->prepare(*tree));
  for (uint32_t handle : {2, 3, 5, 6, 7, 9})
    EXPECT_TRUE(map->find(handle)->setupRegister) << handle;
  for (uint32_t handle : {1, 4, 10})
    EXPECT_FALSE(map->find(handle)->setupRegister) << handle;
  EXPECT_EQ(trace.lines(), (std::vector<std::string>{
                               "MX4110 TranslationMap: Preparing map.",
                               "MX4110 TranslationMap: Initializing map.",
                               "MX4110 TranslationMap: Marking control handles as setup registers.",
                               "MX4110 TranslationMap: Config label handle references: 2",
                               "MX4110 TranslationMap: Config value handle references: 1",
                               "MX4110 TranslationMap: Active dynamic labels: 1",
                               "MX4110 TranslationMap: Named config label count: 1",
                               "MX4110 TranslationMap: Handle exclusion count: 1",
                               "MX4110 TranslationMap: Updating tree references.",
                               "MX4110 TranslationMap: Adding tree handles to exclusion list.",
                               "MX4110 TranslationMap: Added tree handles: 4",
                               "MX4110 TranslationMap: Finished preparing map.",
                           }));
  // The module, and those of its (and its inner module's) setups and outputs
  // that have the module's parent.
  for (uint32_t handle : {0x100, 0x102, 0x200, 0x201})
    EXPECT_EQ(map->treeExclusionConfigHandle(handle), 9u) << handle;
  for (uint32_t handle : {0x101, 0x300, 0x999})
    EXPECT_FALSE(map->treeExclusionConfigHandle(handle)) << handle;

  EXPECT_FALSE(map->prepare(*tree)); // the same tree: nothing to do
  auto reloaded = makeTree();
  const size_t before = trace.lines().size();
  ASSERT_TRUE(map->prepare(*reloaded));
  const std::vector<std::string> lines = trace.lines();
  EXPECT_EQ(std::vector<std::string>(lines.begin() + static_cast<ptrdiff_t>(before), lines.end()),
            (std::vector<std::string>{
                "MX4110 TranslationMap: Preparing map.",
                "MX4110 TranslationMap: Updating tree references.",
                "MX4110 TranslationMap: Adding tree handles to exclusion list.",
                "MX4110 TranslationMap: Added tree handles: 4",
                "MX4110 TranslationMap: Finished preparing map.",
            }));
}

TEST(TranslationMapTest, MapWithoutExclusionsIsPreparedOnceForEveryTree) {
  // Devices of one type with trees of their own share the map; without an
  // exclusion list nothing in it depends on the tree.
  auto map = readMap(entry(1) + entry(2, "ConfigValueHandle='3'") + entry(3));
  ASSERT_TRUE(map->prepare(*makeTree()));
  EXPECT_TRUE(map->find(3)->setupRegister);
  EXPECT_FALSE(map->prepare(*makeTree()));
  EXPECT_FALSE(map->prepare(*makeTree(false)));
}

TEST(TranslationMapTest, LeavesEntriesAloneWithoutAutomaticControlHandles) {
  auto map = readMap("<DeviceInfo AutoCacheControlHandles='0'/>" + kControlledMap);
  ASSERT_TRUE(map->prepare(*makeTree()));
  map->forEachEntry([](const TranslationInfo &e) { EXPECT_FALSE(e.setupRegister) << e.handle; });
}

TEST(TranslationMapTest, RetriesAnExpansionThatFailed) {
  auto map = readMap(kControlledMap);
  ASSERT_TRUE(map->prepare(*makeTree()));
  auto lacking = makeTree(false);
  try {
    map->prepare(*lacking);
    ADD_FAILURE() << "prepared against a tree without the excluded module";
  } catch (const KSXmsg &e) {
    EXPECT_EQ(e.text(), "Unknown handle 256 present in HandleExclusionList.");
  }
  EXPECT_EQ(map->treeExclusionCount(), 4u);     // the previous expansion stays
  EXPECT_THROW(map->prepare(*lacking), KSXmsg); // and the next preparation tries again
  EXPECT_TRUE(map->prepare(*makeTree()));

  auto fresh = readMap(kControlledMap);
  EXPECT_THROW(fresh->prepare(*lacking), KSXmsg);
  EXPECT_TRUE(fresh->find(2)->setupRegister); // marking is done before the expansion
  EXPECT_TRUE(fresh->prepare(*makeTree()));
}

TEST(TranslationMapTest, IndexesAddresses) {
  auto map = readMap(entry(1, "", "", "40001") + entry(2, "ConfigValueHandle='9'", "", "40001") +
                     entry(0x100, "", "", "40002") + entry(4, "", "", "4000X") +
                     "<HandleExclusionList ARXHandle='0x100' ConfigARXHandle='9'/>");
  ASSERT_TRUE(map->prepare(*makeTree()));
  IRefPtr<AddressIndex> index = map->addressIndex();
  EXPECT_EQ(index->handleAt("40001"), 2u); // the last entry at an address
  EXPECT_EQ(index->handleAt("40002"), 0x100u);
  EXPECT_EQ(index->handleAt("4000x"), 4u);
  EXPECT_FALSE(index->handleAt("40003"));
  EXPECT_EQ(index->sharedCount("40001"), 1u);
  EXPECT_EQ(index->sharedCount("40002"), 1u);
  EXPECT_EQ(index->sharedCount("4000x"), 0u);
  EXPECT_EQ(map->addressIndex(), index); // built once
}

TEST(TranslationMapTest, KeepsEntriesInFileOrderAndSharesCopies) {
  auto map = readMap(entry(30) + entry(10) + entry(20));
  std::vector<uint32_t> order;
  map->forEachEntry([&](const TranslationInfo &e) { order.push_back(e.handle); });
  EXPECT_EQ(order, (std::vector<uint32_t>{30, 10, 20}));
  EXPECT_EQ(map->entries().size(), 3u);
  EXPECT_TRUE(map->contains(10));
  EXPECT_FALSE(map->find(11));
  auto copy = map->find(10)->copy();
  EXPECT_EQ(copy->handle, 10u);
  EXPECT_EQ(copy->dynamicLabel, map->find(10)->dynamicLabel);
  EXPECT_NE(copy.get(), map->find(10).get());
  map->setName("");
  EXPECT_EQ(map->name(), "TranslationMap");
}

TEST(TranslationMapTest, MergesAnExtensionMap) {
  auto main = readMap("<EnumInfo Name='A'/><ConfigLabelInfo Name='L'/>" + entry(1) +
                      "<CalcInfo ARXHandle='0x500'/>"
                      "<DatasetAddressBlock ModbusAddress='40100' NumberOfRegisters='10'/>"
                      "<HandleExclusionList ARXHandle='1' ConfigARXHandle='2'/>");
  auto extension = readMap("<EnumInfo Name='B'/><ConfigLabelInfo Name='M'/>" + entry(5) +
                           "<CalcInfo ARXHandle='0x500'/><CalcInfo ARXHandle='0x600'/>"
                           "<DatasetAddressBlock ModbusAddress='40100' NumberOfRegisters='4'/>"
                           "<DatasetAddressBlock ModbusAddress='40200' NumberOfRegisters='4'/>"
                           "<InvalidAddressRange ModbusAddress='40300' NumberOfRegisters='2'/>"
                           "<HandleExclusionList ARXHandle='3' ConfigARXHandle='4'/>");
  combineModbusMaps(main.get(), extension.get(), "ext_map.xml");
  EXPECT_TRUE(main->enumeration("B"));
  EXPECT_TRUE(main->configLabels("M"));
  EXPECT_EQ(main->find(5), extension->find(5));
  EXPECT_EQ(main->calculatedHandles(), (std::vector<uint32_t>{0x500, 0x600}));
  const TransactionConfig &limits = *main->transactionConfig();
  EXPECT_EQ(limits.datasetBlocks,
            (std::vector<TransactionConfig::RegisterItem>{{99, 108, 10}, {199, 202, 4}}));
  EXPECT_EQ(limits.invalidRanges, (std::vector<TransactionConfig::RegisterItem>{{299, 300, 2}}));
  EXPECT_EQ(main->exclusionConfigHandle(3), 4u);

  const struct {
    std::string extension, message;
  } refusals[] = {
      {"<EnumInfo Name='A'/>", "Duplicate EnumInfo entry: A in ext_map.xml"},
      {"<ConfigLabelInfo Name='L'/>", "Duplicate ConfigLabelInfo entry: L in ext_map.xml"},
      {entry(6) + entry(1), "Found duplicate handle (1) in ext_map.xml"},
      {"<HandleExclusionList ARXHandle='1' ConfigARXHandle='9'/>",
       "Invalid configuration for HandleExclusionList: duplicate entry for 1 in ext_map.xml"},
  };
  for (const auto &c : refusals) {
    SCOPED_TRACE(c.message);
    auto target = readMap("<EnumInfo Name='A'/><ConfigLabelInfo Name='L'/>" + entry(1) +
                          "<HandleExclusionList ARXHandle='1' ConfigARXHandle='2'/>");
    try {
      combineModbusMaps(target.get(), readMap(c.extension).get(), "ext_map.xml");
      ADD_FAILURE() << "merged";
    } catch (const KSXmsg &e) {
      EXPECT_EQ(e.text(), c.message);
    }
  }
  try {
    combineModbusMaps(main.get(), nullptr, "ext_map.xml");
    ADD_FAILURE() << "merged nothing";
  } catch (const KSXmsg &e) {
    EXPECT_EQ(e.text(), "Bad arguments to FileManager::CombineModbusMaps");
  }
}

TEST(TranslationMapTest, SizesTheExpandedExclusionTable) {
  const struct {
    size_t pairs, buckets;
  } cases[] = {{0, 163},     {20, 163},    {21, 53},     {100, 103},   {101, 313},  {500, 503},
               {1000, 1013}, {2000, 2131}, {3001, 4013}, {5000, 5113}, {5001, 6113}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.pairs);
    EXPECT_EQ(exclusionBucketsFor(c.pairs), c.buckets);
  }
}

// Look-ups, and a device whose tree stays the same (told without a lock that
// the map is prepared), while another device's new trees prepare the map.
TEST(TranslationMapTest, LooksUpWhilePreparingConcurrent) {
  auto map = readMap(kControlledMap);
  const auto steadyTree = makeTree();
  std::atomic<bool> stop{false};
  std::thread reader([&] {
    while (!stop) {
      EXPECT_TRUE(map->contains(1));
      EXPECT_EQ(map->entryFor(1), map->find(1).get());
      map->forEachEntry([](const TranslationInfo &) {});
      map->addressIndex();
      map->prepare(*steadyTree);
    }
  });
  for (int i = 0; i < 200; ++i)
    map->prepare(*makeTree());
  stop = true;
  reader.join();
  EXPECT_EQ(map->treeExclusionCount(), 4u);
}

} // namespace
} // namespace arxmod
