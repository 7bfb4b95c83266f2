// The position file: its bytes, every refusal of the reader, and the
// position map's writes through failures.
#include "logs/PositionFile.h"

#include "LogTestSupport.h"
#include "logs/Crc16.h"
#include "logs/LogPosition.h"

#include <cerrno>
#include <cstdlib>
#include <gmock/gmock.h>

namespace arxmod {
namespace {

using test::LogTest;

TEST(Crc16Test, MatchesTheModbusCheckValueAndItsStoredForm) {
  const std::string text = "123456789";
  const std::span bytes(reinterpret_cast<const uint8_t *>(text.data()), text.size());
  EXPECT_EQ(crc16Modbus(bytes), 0x4B37);
  EXPECT_EQ(crc16Modbus(bytes.subspan(4), crc16Modbus(bytes.first(4))), 0x4B37);
  std::vector<uint8_t> block(bytes.begin(), bytes.end());
  block.resize(block.size() + 2);
  storeCrc16(0x4B37, block.data() + 9);
  EXPECT_EQ(block[9], 0x4B);
  EXPECT_EQ(block[10], 0x37);
  EXPECT_TRUE(crc16Matches(block));
  block[3] ^= 1;
  EXPECT_FALSE(crc16Matches(block));
}

TEST(PositionFileTest, OneEntryIsThirtyFourBytesInKeyOrder) {
  const std::vector<uint8_t> body = {0x3C, 0xEB, 0x76, 0x2F, 0, 0, 0, 1, 0, 0, 0,
                                     34,   0,    0,    0,    1, 0, 0, 0, 7, 0, 0,
                                     2,    0x20, 0,    0,    0, 0, 0, 0, 0, 24};
  std::vector<uint8_t> expected = body;
  const uint16_t crc = crc16Modbus(body);
  expected.push_back(static_cast<uint8_t>(crc >> 8));
  expected.push_back(static_cast<uint8_t>(crc));
  EXPECT_EQ(encodePositionFile({{makeLogKey(7, 0x220), 24}}), expected);

  const PositionMap three = {
      {makeLogKey(9, 1), 5}, {makeLogKey(7, 0x220), 24}, {makeLogKey(7, 3), 1}};
  const std::vector<uint8_t> bytes = encodePositionFile(three);
  ASSERT_EQ(bytes.size(), 16u * 3 + 18);
  EXPECT_EQ(bytes[23], 3);    // (7, 3) first
  EXPECT_EQ(bytes[39], 0x20); // then (7, 0x220)
  EXPECT_EQ(bytes[51], 9);    // then (9, 1)
  PositionMap back;
  EXPECT_EQ(decodePositionFile(bytes, back), "");
  EXPECT_EQ(back, three);
}

class PositionFileReadTest : public LogTest {
protected:
  std::string readBack(const std::vector<uint8_t> &bytes, PositionMap &positions) {
    writeBytes(file_, bytes);
    bool missing = true;
    const std::string message = readPositionFile(file_, positions, missing);
    EXPECT_FALSE(missing);
    return message;
  }
  const std::filesystem::path file_ = logs_ / kPositionFileName;
};

TEST_F(PositionFileReadTest, RefusesEveryDamagedFileWithItsMessage) {
  const std::vector<uint8_t> good = encodePositionFile({{makeLogKey(7, 0x220), 24}});
  struct Case {
    const char *what;
    std::vector<uint8_t> bytes;
    const char *message;
  };
  auto changed = [&](size_t at, uint8_t value) {
    std::vector<uint8_t> bytes = good;
    bytes[at] = value;
    return bytes;
  };
  std::vector<uint8_t> header(good.begin(), good.begin() + 16);
  header.push_back(0);
  header.push_back(0);
  std::vector<uint8_t> longer = good;
  longer.resize(good.size() + 5);
  longer[11] = static_cast<uint8_t>(longer.size());
  const Case cases[] = {
      {"no entries (18 bytes)", header,
       "Bad file size 1 occurred in LogBuffer::LogPosition::ReadPositionFile"},
      {"31 bytes", std::vector<uint8_t>(good.begin(), good.begin() + 31),
       "Bad file size 1 occurred in LogBuffer::LogPosition::ReadPositionFile"},
      {"over 1600000 bytes", std::vector<uint8_t>(1600001, 0),
       "Bad file size 1 occurred in LogBuffer::LogPosition::ReadPositionFile"},
      {"magic", changed(0, 0x3D), "Previous version of file LogBuffer::LogPosition::ProcessBody"},
      {"version 2", changed(7, 2), "Previous version of file LogBuffer::LogPosition::ProcessBody"},
      {"stored length", changed(11, 50),
       "Invalid contents of file 1 LogBuffer::LogPosition::ProcessBody"},
      {"entry count", changed(15, 2),
       "Invalid contents of file 1 LogBuffer::LogPosition::ProcessBody"},
      {"trailing bytes past the CRC", longer,
       "Invalid contents of file 2 LogBuffer::LogPosition::ProcessBody"},
      {"one byte of an entry", changed(31, 25),
       "Invalid contents of file 2 LogBuffer::LogPosition::ProcessBody"},
      {"the CRC", changed(33, static_cast<uint8_t>(good[33] ^ 0x80)),
       "Invalid contents of file 2 LogBuffer::LogPosition::ProcessBody"},
  };
  for (const Case &test : cases) {
    SCOPED_TRACE(test.what);
    PositionMap positions = {{makeLogKey(1, 1), 3}};
    EXPECT_EQ(readBack(test.bytes, positions), test.message);
    EXPECT_EQ(positions, (PositionMap{{makeLogKey(1, 1), 3}}));
  }
  PositionMap positions;
  EXPECT_EQ(readBack(good, positions), "");
  EXPECT_EQ(positions, (PositionMap{{makeLogKey(7, 0x220), 24}}));
}

TEST_F(PositionFileReadTest, MissingFileIsTracedButNoFault) {
  PositionMap positions;
  bool missing = false;
  EXPECT_EQ(readPositionFile(file_, positions, missing),
            "Could not open log position file for reading");
  EXPECT_TRUE(missing);

  const std::filesystem::path trace = database_.directory() / "trace.txt";
  setenv("ARXMOD_TRACE_FILE", trace.c_str(), 1);
  LogPosition(file_).readPositionFile();
  unsetenv("ARXMOD_TRACE_FILE");
  EXPECT_EQ(test::readFile(trace), "Could not open log position file for reading\n");
  EXPECT_TRUE(systemLogTexts().empty());
}

TEST_F(PositionFileReadTest, RefusedFileReachesTheSystemLogWithItsPath) {
  std::vector<uint8_t> bytes = encodePositionFile({{makeLogKey(7, 0x220), 24}});
  bytes[30] ^= 0xFF;
  writeBytes(file_, bytes);
  LogPosition positions(file_);
  positions.readPositionFile();
  EXPECT_EQ(positions.position(makeLogKey(7, 0x220)), std::nullopt);
  EXPECT_TRUE(
      systemLogHas("Invalid contents of file 2 LogBuffer::LogPosition::ProcessBody", file_));

  std::filesystem::remove(file_);
  const size_t rows = systemLogTexts().size();
  LogPosition fresh(file_);
  fresh.readPositionFile();
  EXPECT_EQ(systemLogTexts().size(), rows) << "a missing file is no fault";
}

TEST_F(PositionFileReadTest, FailedWritesKeepTheOldFileAreReportedOnceAndRetried) {
  LogPosition positions(file_);
  positions.setPosition(makeLogKey(7, 0x220), 24);
  ASSERT_TRUE(positions.writePositionFile());
  const std::vector<uint8_t> first = fileBytes(file_);

  test::FailingWrites full;
  full.writeError = ENOSPC;
  {
    ScopedLogWriteSeam use(full);
    positions.setPosition(makeLogKey(7, 0x220), 25);
    EXPECT_FALSE(positions.writePositionFile());
    EXPECT_FALSE(positions.writePositionFile());
    full.writeError = 0;
    full.openError = EROFS;
    EXPECT_FALSE(positions.writePositionFile());
  }
  EXPECT_EQ(fileBytes(file_), first);
  EXPECT_FALSE(std::filesystem::exists(logs_ / "log_position.dat.tmp"));
  const auto texts = systemLogTexts();
  ASSERT_EQ(texts.size(), 1u) << "reported once until a write succeeds";
  EXPECT_THAT(texts[0], ::testing::HasSubstr("Could not write log position file File: " +
                                             file_.string() + ". Reason: No space left on device"));

  EXPECT_TRUE(positions.writePositionFile());
  PositionMap back;
  bool missing = false;
  EXPECT_EQ(readPositionFile(file_, back, missing), "");
  EXPECT_EQ(back.at(makeLogKey(7, 0x220)), 25u);
}

} // namespace
} // namespace arxmod
