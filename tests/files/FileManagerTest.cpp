// FileManager: device trees from the translator directories, the cache and
// its change checks, extension trees and CombineTrees with its refusals.
#include "files/FileManager.h"
#include "SampleTree.h"
#include "TempHostDatabase.h"
#include "base/Clock.h"
#include "host/TranslatorDirectory.h"
#include "tree/RegisterObj.h"
#include "tree/TextTree.h"
#include "tree/TreeFile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <future>

namespace arxmod {
namespace {

namespace fs = std::filesystem;

class FileManagerTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    db_ = new test::TempHostDatabase();
    db_->addTranslatorDirectories();
    forgetTranslatorDirectories();
    db_->exec("INSERT INTO Translator VALUES(1,'MX4110_4120',7,'mx4110_4120.so')");
    db_->exec("INSERT INTO DeviceType VALUES(1,'MX',1,'mx.xml')");
    db_->exec("INSERT INTO Device(ID,Name,DeviceTypeID,TreeFile) VALUES"
              "(10,'a',1,'a.dat'),(11,'b',1,'b.dat'),(12,'c',1,'c.dat'),(13,'d',1,'d.dat'),"
              "(14,'e',1,'e.dat'),(15,'f',1,''),(16,'g',1,'g.dat')");
  }
  static void TearDownTestSuite() {
    delete db_;
    forgetTranslatorDirectories();
  }
  void SetUp() override {
    FileManager::instance().clear();
    FileManager::instance().setRecheckInterval(60000);
  }

  ManualClock clock_;
  ScopedClock useClock_{clock_};

  static void write(const fs::path &path, const std::string &text) {
    std::ofstream(path, std::ios::binary) << text;
  }
  static std::string shipped(const std::string &name) {
    return (db_->translatorDirectory() / name).string();
  }
  static std::string failure(uint32_t device) {
    try {
      FileManager::instance().getTree(device);
    } catch (const KSXmsg &e) {
      return e.text();
    }
    return "no failure";
  }

  static test::TempHostDatabase *db_;
};
test::TempHostDatabase *FileManagerTest::db_ = nullptr;

const char kSmallTree[] = "REVISION = 1005\n"
                          "saved_as_Module 0x100 classid = Minimum_Module parent = 0x3 "
                          "name = <1>m outputs = { 0x101 } setups = { 0x102 }\n"
                          "saved_as_Register 0x101 classid = Numeric_Register name = <1>r\n";

TEST_F(FileManagerTest, LoadsOnceAndSharesTheTree) {
  write(shipped("a.dat"), kSmallTree);
  auto first = FileManager::instance().getTree(10);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->count(), 2u);
  EXPECT_EQ(first->find(0x101)->name(), "r");
  EXPECT_TRUE(first->contains(0x100));
  EXPECT_FALSE(first->contains(0x999));
  EXPECT_GE(first->objects()->bucketCount(), 59u);
  EXPECT_EQ(FileManager::instance().getTree(10), first);
}

TEST_F(FileManagerTest, ReportsMissingNamesFilesAndTrees) {
  EXPECT_EQ(failure(77), "Could not find tree filename for device with ID = 77. The device "
                         "might have been removed from the network configuration.");
  EXPECT_EQ(failure(15), "Could not find tree filename for device with ID = 15. The device "
                         "might have been removed from the network configuration.");
  EXPECT_EQ(failure(11),
            "File '" + shipped("b.dat") + "' does not exist or does not contain a valid ARX tree.");

  write(shipped("c.dat"), "saved_as_ARX 0x1 saved_as_ARX 0x1");
  EXPECT_EQ(failure(12), "Could not parse tree file '" + shipped("c.dat") +
                             "'. Reason: \nDuplicate definition for handle: 1\n");
  // The failed load leaves no tree until the file changes.
  EXPECT_EQ(failure(12),
            "File '" + shipped("c.dat") + "' does not exist or does not contain a valid ARX tree.");
}

TEST_F(FileManagerTest, PicksUpAnOverrideAfterTheRecheckInterval) {
  FileManager::instance().setRecheckInterval(100);
  write(shipped("d.dat"), kSmallTree);
  auto first = FileManager::instance().getTree(13);
  write(db_->overrideDirectory() / "d.dat", "saved_as_ARX 0x7 classid = ARX name = <8>override");
  EXPECT_EQ(FileManager::instance().getTree(13), first); // within the interval
  clock_.advance(std::chrono::milliseconds(150));
  auto second = FileManager::instance().getTree(13);
  ASSERT_NE(second, first);
  EXPECT_EQ(second->find(7)->name(), "override");
  EXPECT_EQ(first->find(0x101)->name(), "r"); // the old tree lives on with its holder

  fs::remove(db_->overrideDirectory() / "d.dat");
  clock_.advance(std::chrono::milliseconds(150));
  EXPECT_EQ(FileManager::instance().getTree(13)->count(), 2u); // back to the shipped file
}

TEST_F(FileManagerTest, MissingFileIsSearchedForAtMostOncePerRecheckInterval) {
  const std::string missing =
      "File '" + shipped("b.dat") + "' does not exist or does not contain a valid ARX tree.";
  EXPECT_EQ(failure(11), missing);
  write(shipped("b.dat"), kSmallTree);
  EXPECT_EQ(failure(11), missing); // not looked for again within the interval
  clock_.advance(std::chrono::milliseconds(60000));
  EXPECT_EQ(FileManager::instance().getTree(11)->count(), 2u);
}

TEST_F(FileManagerTest, RecheckIntervalMayComeFromTheEnvironment) {
  struct Case {
    const char *value;
    uint32_t interval;
  } cases[] = {{"0", 0}, {"250", 250}, {"abc", 30000}, {"", 30000}, {"12x", 30000}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.value);
    setenv("ARXMOD_FILE_RECHECK_MS", c.value, 1);
    FileManager::releaseInstance();
    write(shipped("e.dat"), kSmallTree);
    auto first = FileManager::instance().getTree(14);
    const auto path = shipped("e.dat");
    write(path, "saved_as_ARX 0x7 classid = ARX name = <8>replaced");
    fs::last_write_time(path, fs::last_write_time(path) + std::chrono::seconds(1));
    if (c.interval > 0) {
      clock_.advance(std::chrono::milliseconds(c.interval - 1));
      EXPECT_EQ(FileManager::instance().getTree(14), first);
    }
    clock_.advance(std::chrono::milliseconds(1));
    EXPECT_NE(FileManager::instance().getTree(14), first);
  }
  unsetenv("ARXMOD_FILE_RECHECK_MS");
  FileManager::releaseInstance();
}

// A file that is being read holds only its own entry: a device with another
// file is served meanwhile. The load of a.dat waits until the test lets it go.
std::promise<void> *releaseLoad = nullptr;
std::promise<void> *loadStarted = nullptr;

IRefPtr<ObjList> stallingLoader(const std::filesystem::path &path) {
  if (path.filename() == "a.dat") {
    loadStarted->set_value();
    releaseLoad->get_future().wait();
  }
  return loadTreeFile(path);
}

TEST_F(FileManagerTest, ConcurrentLoadOfOneFileNeverBlocksAnotherDevice) {
  write(shipped("a.dat"), kSmallTree);
  write(shipped("b.dat"), kSmallTree);
  std::promise<void> release, started;
  releaseLoad = &release;
  loadStarted = &started;
  FileManager::instance().setTreeFileLoader(&stallingLoader);
  auto stalled = std::async(std::launch::async, [] { return FileManager::instance().getTree(10); });
  started.get_future().wait();
  auto other = std::async(std::launch::async, [] { return FileManager::instance().getTree(11); });
  const bool served = other.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
  release.set_value();
  EXPECT_TRUE(served) << "device 11 waited for the load of device 10";
  EXPECT_EQ(other.get()->count(), 2u);
  EXPECT_EQ(stalled.get()->count(), 2u);
  FileManager::instance().setTreeFileLoader(nullptr);
}

TEST_F(FileManagerTest, MergesTheExtensionTree) {
  write(shipped("e.dat"), kSmallTree);
  write(shipped("ext_e.dat"),
        "saved_as_Module 0x100 classid = Minimum_Module parent = 0x3 name = <1>m "
        "outputs = { 0x101 0x103 } setups = { 0x104 }\n"
        "saved_as_Register 0x103 classid = Numeric_Register name = <5>extra\n");
  auto tree = FileManager::instance().getTree(14);
  EXPECT_EQ(tree->count(), 3u);
  auto *module = dynamic_cast<const ModuleObj *>(tree->find(0x100));
  EXPECT_EQ(*module->outputs(), (std::vector<uint32_t>{0x101, 0x103}));
  EXPECT_EQ(*module->setups(), (std::vector<uint32_t>{0x102, 0x104}));
  EXPECT_EQ(tree->find(0x103)->owner(), tree->objects().get());

  write(shipped("g.dat"), kSmallTree);
  write(shipped("ext_g.dat"), "saved_as_Register 0x101 classid = Numeric_Register");
  EXPECT_EQ(failure(16), "Could not parse tree file '" + shipped("ext_g.dat") +
                             "'. Reason: FileManager: Extension donor tree contains handle (257) "
                             "already in recipient tree. Donor tree: " +
                             shipped("ext_g.dat"));
}

TEST(CombineTreesTest, RefusesConflictsAndMergesModules) {
  const struct {
    const char *donor;
    const char *message;
  } cases[] = {
      {"saved_as_Register 0x101 classid = Numeric_Register",
       "FileManager: Extension donor tree contains handle (257) already in recipient tree. "
       "Donor tree: ext"},
      {"saved_as_Module 0x100 classid = Maximum_Module parent = 0x3",
       "FileManager: Extension donor tree object (256) not the same type as recipient. "
       "Donor tree: ext"},
      {"saved_as_Module 0x100 classid = Minimum_Module parent = 0x4",
       "FileManager: Extension donor tree object (256) does not have the same parent as "
       "recipient. Donor tree: ext"},
      {"saved_as_ARX 0x100 classid = Minimum_Module parent = 0x3",
       "FileManager: Extension donor tree object (256) or recipient invalid class. Donor tree: "
       "ext"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.donor);
    auto recipient = parseTextTree(kSmallTree);
    auto donor = parseTextTree(c.donor);
    try {
      combineTrees(recipient.get(), donor.get(), "ext");
      ADD_FAILURE() << "combined";
    } catch (const KSXmsg &e) {
      EXPECT_EQ(e.text(), c.message);
    }
  }
  auto recipient = parseTextTree(kSmallTree);
  EXPECT_THROW(combineTrees(recipient.get(), nullptr, "ext"), KSXmsg);
  try {
    combineTrees(nullptr, recipient.get(), "ext");
  } catch (const KSXmsg &e) {
    EXPECT_EQ(e.text(), "FileManager: Invalid tree references passed to CombineTrees.");
  }

  auto empty = parseTextTree("saved_as_Module 0x5 classid = Minimum_Module");
  combineTrees(empty.get(), parseTextTree("saved_as_Module 0x5 classid = Minimum_Module").get(),
               "ext");
  EXPECT_FALSE(dynamic_cast<ModuleObj *>(empty->find(5))->setups()); // empty stays absent
}

} // namespace
} // namespace arxmod
