// The console buffer's 1024-character rule, its thread safety, the console
// line and the redirection of the standard error stream.
#include "host/Console.h"

#include "TempHostDatabase.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <iostream>
#include <thread>
#include <vector>

namespace arxmod {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;

struct Capture {
  std::mutex mutex;
  std::vector<std::string> pieces;
  ConsoleSink sink() {
    return [this](std::string_view piece) {
      std::lock_guard lock(mutex);
      pieces.emplace_back(piece);
    };
  }
  std::vector<size_t> sizes() {
    std::lock_guard lock(mutex);
    std::vector<size_t> result;
    for (const auto &piece : pieces)
      result.push_back(piece.size());
    return result;
  }
};

// Writes through xsputn (one block) or overflow (character by character).
enum class WriteMode { Block, Characters };

void writeText(std::ostream &stream, const std::string &text, WriteMode mode) {
  if (mode == WriteMode::Block) {
    stream << text;
    return;
  }
  for (char c : text)
    stream.put(c);
}

TEST(COMStreamBufTest, SendsFullBufferOnlyWhenTheNextCharacterArrives) {
  for (WriteMode mode : {WriteMode::Block, WriteMode::Characters}) {
    SCOPED_TRACE(mode == WriteMode::Block ? "block" : "characters");
    Capture capture;
    COMStreamBuf buffer(capture.sink());
    std::ostream stream(&buffer);

    writeText(stream, std::string(1024, 'a'), mode);
    EXPECT_TRUE(capture.sizes().empty());
    writeText(stream, "b", mode);
    EXPECT_THAT(capture.sizes(), ElementsAre(1024u));
    stream.flush();
    EXPECT_THAT(capture.sizes(), ElementsAre(1024u, 1u));
    EXPECT_EQ(capture.pieces.back(), "b");
  }
}

TEST(COMStreamBufTest, SplitsLongTextIntoFullPiecesAndSendsTheRestAtFlush) {
  for (WriteMode mode : {WriteMode::Block, WriteMode::Characters}) {
    SCOPED_TRACE(mode == WriteMode::Block ? "block" : "characters");
    Capture capture;
    COMStreamBuf buffer(capture.sink());
    std::ostream stream(&buffer);
    std::string text;
    for (int i = 0; i < 2500; ++i)
      text.push_back(static_cast<char>('a' + i % 26));

    writeText(stream, text, mode);
    EXPECT_THAT(capture.sizes(), ElementsAre(1024u, 1024u));
    stream.flush();
    EXPECT_THAT(capture.sizes(), ElementsAre(1024u, 1024u, 452u));
    EXPECT_EQ(capture.pieces[0] + capture.pieces[1] + capture.pieces[2], text);
    stream.flush();
    EXPECT_EQ(capture.pieces.size(), 3u) << "an empty flush sends nothing";
  }
}

TEST(COMStreamBufTest, ConcurrentWritersLoseNoCharacters) {
  Capture capture;
  COMStreamBuf buffer(capture.sink());
  constexpr int kThreads = 8;
  constexpr int kLines = 2000;
  const std::string line = "0123456789abcdef\n";
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kLines; ++i)
        buffer.sputn(line.data(), static_cast<std::streamsize>(line.size()));
    });
  }
  for (auto &thread : threads)
    thread.join();
  buffer.pubsync();
  size_t total = 0;
  for (size_t size : capture.sizes()) {
    EXPECT_LE(size, COMStreamBuf::kCapacity);
    total += size;
  }
  EXPECT_EQ(total, kThreads * kLines * line.size());
}

TEST(COMStreamBufTest, FailingSinkIsSwallowed) {
  COMStreamBuf buffer([](std::string_view) { throw std::runtime_error("console gone"); });
  std::ostream stream(&buffer);
  stream << std::string(3000, 'x') << std::flush;
  EXPECT_TRUE(stream.good());
}

class InstalledConsoleTest : public ::testing::Test {
protected:
  void SetUp() override {
    consoleFile_ = database_.addConsoleFile();
    installConsole();
  }
  void TearDown() override { uninstallConsole(); }

  test::TempHostDatabase database_;
  std::filesystem::path consoleFile_;
};

TEST_F(InstalledConsoleTest, LineCarriesLevelOriginsTimeDateAndText) {
  writeConsoleLine(254, "MX4110_4120.SO", "Unknown", "Bad Packet");
  EXPECT_THAT(test::readFile(consoleFile_),
              MatchesRegex(R"(\[ERROR:     MX4110_4120\.SO Unknown [0-9]{2}:[0-9]{2}:[0-9]{2}\.)"
                           R"([0-9]{3} [0-9]{4}-[0-9]{2}-[0-9]{2} Bad Packet\]
)"));
}

TEST_F(InstalledConsoleTest, StandardErrorReachesTheConsoleUntilUninstalled) {
  std::streambuf *const installed = std::cerr.rdbuf();
  EXPECT_EQ(installed, &consoleBuffer());
  EXPECT_EQ(std::clog.rdbuf(), &consoleBuffer());
  installConsole(); // idempotent: the redirection is not stacked
  std::cerr << "through cerr" << std::endl;
  std::clog << "through clog" << std::endl;
  uninstallConsole();
  EXPECT_NE(std::cerr.rdbuf(), &consoleBuffer());
  EXPECT_EQ(test::readFile(consoleFile_), "through cerr\nthrough clog\n");
}

TEST(ConsoleFileTest, UnopenableFileFallsBackToStandardError) {
  test::TempHostDatabase database;
  database.exec("INSERT INTO HostSetting VALUES ('ConsoleFile', '" + database.directory().string() +
                "')");
  ::testing::internal::CaptureStderr();
  installConsole();
  std::cerr << "still visible" << std::endl;
  uninstallConsole();
  const std::string seen = ::testing::internal::GetCapturedStderr();
  EXPECT_THAT(seen, HasSubstr("Unable to open console file '" + database.directory().string()));
  EXPECT_THAT(seen, HasSubstr("still visible"));
}

} // namespace
} // namespace arxmod
