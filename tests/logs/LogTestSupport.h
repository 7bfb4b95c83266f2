// Helpers of the log tests: a temporary host database (for the system log)
// with a logs directory, the fixture tree, and a write seam that fails the
// way a full disk or a read-only directory does.
#pragma once

#include "LogTree.h"
#include "TempHostDatabase.h"
#include "host/ConfigDatabase.h"
#include "host/SystemLog.h"
#include "logs/LogFileIo.h"
#include "tree/TranslationTree.h"

#include <atomic>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace arxmod::test {

// Fails opens for writing with `openError` and writes with `writeError`
// while they are not 0; counts the writes that got through.
class FailingWrites : public LogWriteSeam {
public:
  std::atomic<int> openError{0};
  std::atomic<int> writeError{0};
  std::atomic<int> writes{0};

  int openFile(const std::filesystem::path &path, int flags, int &fd) override {
    if ((flags & (O_WRONLY | O_RDWR)) && openError)
      return openError;
    return LogWriteSeam::openFile(path, flags, fd);
  }
  int writeAt(int fd, std::span<const uint8_t> bytes, uint64_t offset) override {
    if (writeError)
      return writeError;
    ++writes;
    return LogWriteSeam::writeAt(fd, bytes, offset);
  }
};

class LogTest : public ::testing::Test {
protected:
  LogTest() {
    database_.addConsoleFile();
    SystemLog::instance().forgetAttempts();
    std::filesystem::create_directories(logs_);
  }

  // The texts of the SystemLog rows, oldest first.
  std::vector<std::string> systemLogTexts() const {
    std::vector<std::string> texts;
    for (const auto &row :
         ConfigDatabase::instance().query("SELECT Text FROM SystemLog ORDER BY ID"))
      texts.push_back(ConfigDatabase::toString(row.at(0)));
    return texts;
  }
  // True when a SystemLog row holds both `message` and `path`.
  bool systemLogHas(const std::string &message, const std::filesystem::path &path) const {
    for (const std::string &text : systemLogTexts())
      if (text.find(message) != std::string::npos && text.find(path.string()) != std::string::npos)
        return true;
    return false;
  }
  std::vector<uint8_t> fileBytes(const std::filesystem::path &path) const {
    const std::string text = readFile(path);
    return {text.begin(), text.end()};
  }
  // Writes a new file in place of any old one (a new inode: truncating a
  // file makes some file systems flush it on close, which the fuzz loops
  // would wait for ten thousand times).
  void writeBytes(const std::filesystem::path &path, const std::vector<uint8_t> &bytes) const {
    std::filesystem::remove(path);
    FILE *file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    if (!bytes.empty())
      std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }

  TempHostDatabase database_;
  const std::filesystem::path logs_ = database_.directory() / "translators" / "logs";
  IRefPtr<ObjList> objects_ = makeLogTree();
  TranslationTreeReader tree_{objects_};
};

} // namespace arxmod::test
