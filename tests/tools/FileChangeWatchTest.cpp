// The directory watch that spares a session its system-log query: it must
// never say "unchanged" after a write, a new file, a rename or a removal,
// and must say "changed" for good once it can no longer tell.
#include "FileChangeWatch.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

namespace arxhost {
namespace {

class FileChangeWatchTest : public ::testing::Test {
protected:
  FileChangeWatchTest() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "arxhost-watch-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
      throw std::runtime_error("cannot make a temporary folder");
    dir = pattern;
    std::ofstream(dir / "host.db-wal") << "frame";
  }
  ~FileChangeWatchTest() override { std::filesystem::remove_all(dir); }

  std::filesystem::path dir;
};

TEST_F(FileChangeWatchTest, SaysChangedOnTheFirstLookAndAfterEveryKindOfChangeOnly) {
  FileChangeWatch watch(dir);
  EXPECT_TRUE(watch.changedSinceLastLook());
  EXPECT_FALSE(watch.changedSinceLastLook());
  { std::ifstream(dir / "host.db-wal").get(); } // reading changes nothing
  EXPECT_FALSE(watch.changedSinceLastLook());

  const struct {
    const char *name;
    std::function<void()> change;
  } changes[] = {
      {"append", [&] { std::ofstream(dir / "host.db-wal", std::ios::app) << "more"; }},
      {"new file", [&] { std::ofstream(dir / "host.db-shm") << "x"; }},
      {"rename", [&] { std::filesystem::rename(dir / "host.db-shm", dir / "other"); }},
      {"removal", [&] { std::filesystem::remove(dir / "other"); }},
  };
  for (const auto &c : changes) {
    SCOPED_TRACE(c.name);
    c.change();
    EXPECT_TRUE(watch.changedSinceLastLook());
    EXPECT_FALSE(watch.changedSinceLastLook());
  }
}

TEST_F(FileChangeWatchTest, AlwaysSaysChangedWhenItCannotTell) {
  FileChangeWatch missing(dir / "no-such-directory");
  EXPECT_TRUE(missing.changedSinceLastLook());
  EXPECT_TRUE(missing.changedSinceLastLook());

  FileChangeWatch gone(dir);
  EXPECT_TRUE(gone.changedSinceLastLook());
  std::filesystem::remove_all(dir);
  EXPECT_TRUE(gone.changedSinceLastLook());
  std::filesystem::create_directories(dir); // a new directory is not the one watched
  EXPECT_TRUE(gone.changedSinceLastLook());
}

} // namespace
} // namespace arxhost
