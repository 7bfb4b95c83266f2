// ToolFixture: a fresh temporary directory for the host database of each
// tool test, and the text of the ToolError a command raises.
#pragma once

#include "Commands.h"

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace arxhost {

class ToolFixture : public ::testing::Test {
protected:
  std::filesystem::path dir;
  std::filesystem::path db;

  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "arxhost-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = pattern;
    db = dir / "host.db";
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  static std::string errorOf(const std::function<void()> &call) {
    try {
      call();
    } catch (const ToolError &e) {
      return e.what();
    }
    return "";
  }
};

} // namespace arxhost
