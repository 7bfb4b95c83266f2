// RTU frames: the CRC, the reply length rule and the silent interval.
#include "transport/RtuFrame.h"

#include <gtest/gtest.h>

namespace arxhost::transport {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(RtuFrameTest, AppendsTheCrcLowByteFirst) {
  // Read 10 holding registers from 0 of unit 1, as the serial line
  // specification's examples write it.
  EXPECT_EQ(rtuFrame(1, Bytes{3, 0, 0, 0, 10}), (Bytes{1, 3, 0, 0, 0, 10, 0xC5, 0xCD}));
  EXPECT_EQ(crc16(Bytes{}), 0xFFFF);
  EXPECT_TRUE(rtuCrcValid(Bytes{1, 3, 0, 0, 0, 10, 0xC5, 0xCD}));
  EXPECT_FALSE(rtuCrcValid(Bytes{1, 3, 0, 0, 0, 10, 0xCD, 0xC5}));
  EXPECT_FALSE(rtuCrcValid(Bytes{1, 3}));
}

TEST(RtuFrameTest, KnowsTheReplyLengthOfEveryFunctionItUses) {
  struct Case {
    Bytes head;
    std::optional<size_t> length;
  };
  const Case cases[] = {
      {{}, std::nullopt},
      {{1}, std::nullopt},
      {{1, 0x83}, 5},
      {{1, 0xE4}, 5},
      {{1, 5}, 8},
      {{1, 6}, 8},
      {{1, 15}, 8},
      {{1, 16}, 8},
      {{1, 3}, std::nullopt},
      {{1, 3, 4}, 9},
      {{1, 1, 1}, 6},
      {{1, 2, 250}, 255},
      {{1, 4, 0}, 5},
      {{1, 20, 8}, 13},
      {{1, 100, 6}, 11},
      {{1, 8, 0}, std::nullopt},
      {{1, 0x2B, 0}, std::nullopt},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.head));
    EXPECT_EQ(rtuReplyLength(c.head), c.length);
  }
}

TEST(RtuFrameTest, SilentIntervalIsThreeAndAHalfCharactersUpTo19200Baud) {
  EXPECT_EQ(silentIntervalMicros(9600), 4011u);
  EXPECT_EQ(silentIntervalMicros(19200), 2006u);
  EXPECT_EQ(silentIntervalMicros(38400), 1750u);
  EXPECT_EQ(silentIntervalMicros(115200), 1750u);
}

} // namespace
} // namespace arxhost::transport
