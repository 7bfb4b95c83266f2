// FileManager::getMap: maps from the translator directories, prepared
// against the device's tree, the extension map merged, the failure and
// retry rules, reloads when either file changes, and mutated files that
// never leave half a map in the cache.
#include "TempHostDatabase.h"
#include "base/Clock.h"
#include "files/FileManager.h"
#include "host/TranslatorDirectory.h"
#include "map/MapFile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <thread>

namespace arxmod {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kRecheckMs = 1000;

class MapCacheTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    db_ = new test::TempHostDatabase();
    db_->addTranslatorDirectories();
    forgetTranslatorDirectories();
    db_->exec("INSERT INTO Translator VALUES(1,'MX4110_4120',7,'mx4110_4120.so')");
    db_->exec("INSERT INTO DeviceType VALUES(1,'A',1,'a.xml'),(2,'B',1,'b.xml'),"
              "(3,'C',1,'c.xml'),(4,'D',1,'d.xml'),(5,'E',1,''),(6,'F',1,'f.xml')");
    db_->exec("INSERT INTO Device(ID,Name,DeviceTypeID,TreeFile) VALUES"
              "(40,'a',1,'t.dat'),(41,'b',2,'t.dat'),(42,'c',3,'t.dat'),(43,'d',4,'t.dat'),"
              "(44,'e',5,'t.dat'),(45,'f',6,'t.dat'),(46,'a2',1,'t.dat')");
  }
  static void TearDownTestSuite() {
    delete db_;
    forgetTranslatorDirectories();
  }
  void SetUp() override {
    FileManager::instance().clear();
    FileManager::instance().setRecheckInterval(kRecheckMs);
    write(shipped("t.dat"), kTree);
  }

  // Writes a file whose last-write time differs from the one before it, even
  // within the file system's time resolution.
  static void write(const fs::path &path, const std::string &text) {
    const bool existed = fs::exists(path);
    const auto before = existed ? fs::last_write_time(path) : fs::file_time_type();
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    if (existed)
      fs::last_write_time(path, before + std::chrono::seconds(1));
  }
  static fs::path shipped(const std::string &name) { return db_->translatorDirectory() / name; }
  // Lets the re-check interval pass.
  void later() { clock_.advance(std::chrono::milliseconds(kRecheckMs + 1)); }
  static std::string failure(uint32_t device) {
    try {
      FileManager::instance().getMap(device);
    } catch (const KSXmsg &e) {
      return e.text();
    }
    return "no failure";
  }

  static constexpr char kTree[] =
      "saved_as_Module 0x100 classid = Minimum_Module parent = 0x3 outputs = { 0x101 }\n"
      "saved_as_Register 0x101 classid = Numeric_Register parent = 0x3\n";

  static std::string map(const std::string &body) { return "<Map>" + body + "</Map>"; }
  static std::string entry(uint32_t handle) {
    return "<ModbusInfo ARXHandle='" + std::to_string(handle) +
           "' Name='e' ModbusAddress='40001' RequestType='R' Format='UINT16'/>";
  }

  ManualClock clock_;
  ScopedClock useClock_{clock_};
  static test::TempHostDatabase *db_;
};
test::TempHostDatabase *MapCacheTest::db_ = nullptr;

TEST_F(MapCacheTest, LoadsPreparesAndSharesTheMap) {
  write(shipped("a.xml"),
        map(entry(1) + entry(2) + "<HandleExclusionList ARXHandle='0x100' ConfigARXHandle='1'/>"));
  IRefPtr<TranslationMap> first = FileManager::instance().getMap(40);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->count(), 2u);
  EXPECT_EQ(first->treeExclusionCount(), 2u); // prepared against the tree: module and register
  EXPECT_TRUE(first->find(1)->setupRegister);
  EXPECT_EQ(FileManager::instance().getMap(46), first); // one map per file
  later();
  EXPECT_EQ(FileManager::instance().getMap(40), first); // unchanged
}

TEST_F(MapCacheTest, ReportsMissingMapsAndRetriesFailedLoads) {
  EXPECT_EQ(failure(41), "Cannot find translator map file 'b.xml'");
  EXPECT_EQ(failure(44), "Cannot find translator map file ''");

  write(shipped("c.xml"), map(entry(1) + entry(1)));
  EXPECT_EQ(failure(42), "Invalid setup: Duplicate handle present in map file. handle=1");
  EXPECT_EQ(failure(42),
            "Translator map file 'c.xml' not loaded due to previous error. Will retry.");
  later();
  EXPECT_EQ(failure(42),
            "Translator map file 'c.xml' not loaded due to previous error. Will retry.");
  write(shipped("c.xml"), map(entry(1)));
  EXPECT_EQ(failure(42),
            "Translator map file 'c.xml' not loaded due to previous error. Will retry.");
  later(); // the change is seen at the next check
  EXPECT_EQ(FileManager::instance().getMap(42)->count(), 1u);

  fs::remove(shipped("c.xml"));
  later();
  EXPECT_EQ(failure(42), "Cannot find translator map file 'c.xml'");
}

TEST_F(MapCacheTest, MergesTheExtensionMapAndReloadsWhenEitherChanges) {
  write(shipped("d.xml"), map(entry(1)));
  write(shipped("ext_d.xml"), map(entry(2) + "<CalcInfo ARXHandle='0x100'/>"));
  IRefPtr<TranslationMap> first = FileManager::instance().getMap(43);
  EXPECT_EQ(first->count(), 2u);
  EXPECT_EQ(first->calculatedHandles(), (std::vector<uint32_t>{0x100}));

  write(shipped("ext_d.xml"), map(entry(2) + entry(3)));
  later();
  IRefPtr<TranslationMap> second = FileManager::instance().getMap(43);
  EXPECT_NE(second, first);
  EXPECT_EQ(second->count(), 3u);
  EXPECT_EQ(first->count(), 2u); // the old map lives on with its holder

  write(db_->overrideDirectory() / "ext_d.xml", map(entry(1)));
  later();
  EXPECT_EQ(failure(43),
            "Found duplicate handle (1) in " + (db_->overrideDirectory() / "ext_d.xml").string());
  EXPECT_EQ(failure(43),
            "Translator map file 'd.xml' not loaded due to previous error. Will retry.");
  fs::remove(db_->overrideDirectory() / "ext_d.xml");
  later();
  EXPECT_EQ(FileManager::instance().getMap(43)->count(), 3u);
}

TEST_F(MapCacheTest, PreparesAgainOnceTheTreeHasTheExcludedHandle) {
  write(shipped("f.xml"), map(entry(1) + "<HandleExclusionList ARXHandle='0x200' "
                                         "ConfigARXHandle='1'/>"));
  EXPECT_EQ(failure(45), "Unknown handle 512 present in HandleExclusionList.");
  EXPECT_EQ(failure(45), "Unknown handle 512 present in HandleExclusionList.");
  write(shipped("t.dat"), std::string(kTree) + "saved_as_Module 0x200 classid = Minimum_Module\n");
  later();
  IRefPtr<TranslationMap> prepared = FileManager::instance().getMap(45);
  EXPECT_EQ(prepared->treeExclusionConfigHandle(0x200), 1u);
}

TEST_F(MapCacheTest, ServesOneMapToManyThreadsConcurrent) {
  write(shipped("a.xml"), map(entry(1)));
  std::vector<IRefPtr<TranslationMap>> seen(4);
  std::vector<std::thread> threads;
  for (size_t t = 0; t < seen.size(); ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 50; ++i)
        seen[t] = FileManager::instance().getMap(t % 2 ? 40 : 46);
    });
  for (std::thread &thread : threads)
    thread.join();
  for (const auto &map : seen)
    EXPECT_EQ(map, seen[0]);
}

TEST_F(MapCacheTest, CachesNothingOfMutatedMaps) {
  const std::string seed =
      map("<EnumInfo Name='E'><Option Value='a'/></EnumInfo>" + entry(1) + entry(2) +
          "<ModbusInfo ARXHandle='3' Name='x' ModbusAddress='40003' RequestType='R' "
          "Format='ASCII' EnumName='E'/><HandleExclusionList ARXHandle='0x100' "
          "ConfigARXHandle='1'/>");
  std::mt19937 random(77);
  for (int i = 0; i < 200; ++i) {
    SCOPED_TRACE(i);
    std::string text = seed;
    for (int edit = 0; edit < 3; ++edit)
      text.erase(random() % text.size(), random() % 12);
    write(shipped("a.xml"), text);
    later();
    size_t expected = 0;
    try {
      expected = readMapBytes(text, "a.xml")->count();
    } catch (const KSXmsg &) {
      EXPECT_NE(failure(40), "no failure");
      EXPECT_EQ(failure(40),
                "Translator map file 'a.xml' not loaded due to previous error. Will retry.");
      continue;
    }
    try {
      EXPECT_EQ(FileManager::instance().getMap(40)->count(), expected);
    } catch (const KSXmsg &e) { // read, but not prepared: the tree lacks a handle
      EXPECT_NE(e.text().find("present in HandleExclusionList."), std::string::npos) << e.text();
    }
  }
}

} // namespace
} // namespace arxmod
