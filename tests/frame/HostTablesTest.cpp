// The frame's tables read from the host configuration database: device
// file names, the translator table, the translator directories and the
// change detection of files in them.
#include "FrameFixtures.h"
#include "base/KSXmsg.h"
#include "frame/TranslatorTable.h"
#include "host/ConfigDatabase.h"
#include "host/DeviceFileTable.h"
#include "host/LibraryName.h"
#include "host/TranslatorDirectory.h"

#include <fstream>
#include <gtest/gtest.h>
#include <thread>

namespace arxmod::test {
namespace {

class HostTablesTest : public ::testing::Test {
protected:
  TempHostDatabase db;

  void SetUp() override {
    db.addTranslatorDirectories();
    forgetTranslatorDirectories();
    addTranslators(db);
    db.exec("INSERT INTO DeviceType VALUES(1,'MX4110',1,'mx.xml'),(2,'Else',2,'else.xml')");
    db.exec("INSERT INTO Device(ID,Name,DeviceTypeID,TreeFile) VALUES(10,'a',1,'a.xml'),"
            "(11,'b',1,NULL),(12,'c',2,'c.xml')");
  }
  void writeFile(const std::filesystem::path &path, const std::string &text) {
    std::ofstream(path) << text;
  }
};

TEST_F(HostTablesTest, LooksUpTheFilesOfThisLibrarysDevicesOnly) {
  EXPECT_EQ(deviceFileName(10, true), "a.xml");
  EXPECT_EQ(deviceFileName(10, false), "mx.xml");
  EXPECT_EQ(deviceFileName(11, true), "");
  EXPECT_EQ(extensionNameOf(deviceFileName(10, false)), "ext_mx.xml");
  EXPECT_EQ(extensionNameOf(deviceFileName(11, true)), "");
  EXPECT_EQ(deviceFileName(12, true), ""); // served by another library
}

TEST_F(HostTablesTest, AMissingDeviceForcesOneReloadPerLookup) {
  auto &table = DeviceFileTable::instance();
  deviceFileName(10, true);
  const unsigned before = table.loadCount();
  EXPECT_EQ(deviceFileName(99, true), "");
  EXPECT_EQ(table.loadCount(), before + 1);
  EXPECT_EQ(deviceFileName(10, true), "a.xml");
  EXPECT_EQ(table.loadCount(), before + 1); // a hit within the refresh period reads nothing
  db.exec("INSERT INTO Device(ID,Name,DeviceTypeID,TreeFile) VALUES(99,'new',1,'new.xml')");
  EXPECT_EQ(deviceFileName(99, true), "new.xml"); // found on its first request
  EXPECT_EQ(table.loadCount(), before + 2);
}

TEST_F(HostTablesTest, TheLibraryNameIsMatchedAsAValueWhateverItHolds) {
  const std::string ownName = libraryName();
  setLibraryName("MX'4120.SO");
  DeviceFileTable::releaseInstance();
  db.exec("INSERT INTO Translator VALUES(9,'MX4110_4120',0,'mx''4120.so')");
  db.exec("INSERT INTO DeviceType VALUES(9,'Quoted',9,'q.xml')");
  db.exec("INSERT INTO Device(ID,Name,DeviceTypeID,TreeFile) VALUES(20,'q',9,'q.dat')");
  EXPECT_EQ(deviceFileName(20, true), "q.dat");
  EXPECT_EQ(deviceFileName(10, true), "") << "a device of the library under its usual name";
  setLibraryName(ownName);
  DeviceFileTable::releaseInstance();
}

TEST_F(HostTablesTest, TranslatorTableAnswersAbsentNumbersWithEmptyValues) {
  auto &table = TranslatorTable::instance();
  EXPECT_EQ(table.name(1), "MX4110_4120");
  EXPECT_EQ(table.protocolId(2), 8);
  EXPECT_EQ(table.name(3), "");
  EXPECT_EQ(table.protocolId(3), 0);
}

TEST_F(HostTablesTest, TranslatorDirectoriesComeFromTheSettingsWithoutTrailingSlash) {
  EXPECT_EQ(translatorDirectory(false), db.translatorDirectory().string());
  EXPECT_EQ(translatorDirectory(true), db.overrideDirectory().string());
  db.exec("DELETE FROM HostSetting WHERE Name LIKE 'Translator%'");
  EXPECT_EQ(translatorDirectory(false), db.translatorDirectory().string()); // kept
  forgetTranslatorDirectories();
  try {
    translatorDirectory(true);
    FAIL();
  } catch (const KSXmsg &e) {
    EXPECT_EQ(e.text(), "Invalid translator directory");
  }
}

TEST_F(HostTablesTest, FileChangedPrefersTheOverrideDirectoryAndNoticesRemoval) {
  FileWatch watch;
  EXPECT_FALSE(fileChanged(watch, "t.xml", false)); // in neither directory, never seen
  writeFile(db.translatorDirectory() / "t.xml", "a");
  EXPECT_TRUE(fileChanged(watch, "t.xml", false)); // no directory held: checked at once
  EXPECT_EQ(watch.directory, db.translatorDirectory().string());
  EXPECT_FALSE(fileChanged(watch, "t.xml", false)); // within the refresh period

  FileWatch fresh;
  writeFile(db.overrideDirectory() / "t.xml", "b");
  EXPECT_TRUE(fileChanged(fresh, "t.xml", false));
  EXPECT_EQ(fresh.directory, db.overrideDirectory().string());

  // Once the period has passed, removal from both directories is reported once.
  std::filesystem::remove(db.overrideDirectory() / "t.xml");
  std::filesystem::remove(db.translatorDirectory() / "t.xml");
  fresh.lastCheck -= ConfigDatabase::kRefreshPeriodMs + 1;
  EXPECT_TRUE(fileChanged(fresh, "t.xml", false));
  EXPECT_TRUE(fresh.directory.empty());
  EXPECT_FALSE(fileChanged(fresh, "t.xml", false));
}

} // namespace
} // namespace arxmod::test
