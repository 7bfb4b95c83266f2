// Diagnostic::Trace: enabling and the line format in ARXMOD_TRACE_FILE.
#include "host/DiagnosticTrace.h"

#include "TempHostDatabase.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <unistd.h>

namespace arxmod {
namespace {

class DiagnosticTraceTest : public ::testing::Test {
protected:
  void SetUp() override { setenv("ARXMOD_TRACE_FILE", file_.c_str(), 1); }
  void TearDown() override {
    unsetenv("ARXMOD_TRACE_FILE");
    std::filesystem::remove(file_);
  }
  std::string traced() const { return test::readFile(file_); }

  const std::filesystem::path file_ = std::filesystem::temp_directory_path() /
                                      ("arxmod-trace-" + std::to_string(getpid()) + ".txt");
};

TEST_F(DiagnosticTraceTest, DisabledChannelWritesNothing) {
  Diagnostic::Trace trace("ENVL");
  EXPECT_FALSE(trace.enabled());
  trace("TX", "ignored");
  EXPECT_FALSE(std::filesystem::exists(file_));
}

TEST_F(DiagnosticTraceTest, LinesJoinLeadingSeparatorAndMessage) {
  Diagnostic::Trace plain("ENVL");
  Diagnostic::Trace modbus("TXMOD", ":");
  plain.enable(true);
  modbus.enable(true);
  plain("Request", "01 02");
  modbus("TX", "01 03 00 00");
  plain("", "message alone");
  plain("Reply", "already ended\n");
  EXPECT_EQ(traced(), "Request: 01 02\nTX:01 03 00 00\nmessage alone\nReply: already ended\n");
  plain.enable(false);
  plain("Request", "after disabling");
  EXPECT_EQ(traced().find("after disabling"), std::string::npos);
}

TEST_F(DiagnosticTraceTest, UnsetFileMeansNoOutput) {
  unsetenv("ARXMOD_TRACE_FILE");
  Diagnostic::Trace trace("ENVL");
  trace.enable(true);
  trace("TX", "nowhere");
  EXPECT_FALSE(std::filesystem::exists(file_));
}

} // namespace
} // namespace arxmod
