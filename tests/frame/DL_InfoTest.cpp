// The packet record's wire layout, its strict reading of hostile bytes, and
// the packet status conversion tables.
#include "frame/DL_Info.h"
#include "frame/ResponseStatus.h"

#include <gtest/gtest.h>

namespace arxmod {
namespace {

const std::vector<uint8_t> kPacket = {
    0x80, 0x00, 0x12, 0x34, // address 0x1234 in the four-byte form
    0x03, 0x00,             // protocolId 3
    0x02, 0x00,             // translatorId 2
    0x00, 0x00, 0x00, 0x00, // status 0
    0x05, 0x5A,             // flags, flagsExtra
    0x04, 0x03, 0x02, 0x01, // hostWord1
    0x44, 0x33, 0x22, 0x11, // requestParameter
    0x88, 0x77, 0x66, 0x55, // hostWord3
    0xAA, 0x99,             // hostShort
    0x07, 0x01,             // deviceId 0x0107
    0x03, 0x00,             // dataLength 3
    0xDE, 0xAD, 0xBF};

TEST(DL_InfoTest, ReadsAndWritesEveryFieldInWireOrder) {
  ByteReader in(kPacket);
  DL_Info p = DL_Info::read(in);
  EXPECT_EQ(p.address, 0x1234u);
  EXPECT_EQ(p.protocolId, 3);
  EXPECT_EQ(p.translatorId, 2);
  EXPECT_EQ(p.flags, 0x05);
  EXPECT_EQ(p.flagsExtra, 0x5A);
  EXPECT_EQ(p.hostWord1, 0x01020304u);
  EXPECT_EQ(p.requestParameter, 0x11223344u);
  EXPECT_EQ(p.hostWord3, 0x55667788u);
  EXPECT_EQ(p.hostShort, 0x99AA);
  EXPECT_EQ(p.deviceId, 0x0107);
  EXPECT_EQ(p.data, (std::vector<uint8_t>{0xDE, 0xAD, 0xBF}));
  EXPECT_TRUE(in.atEnd());
  EXPECT_EQ(p.toBytes(), kPacket);
}

TEST(DL_InfoTest, AcceptsTheTwoByteAddressButWritesFourBytes) {
  std::vector<uint8_t> shortForm = kPacket;
  shortForm.erase(shortForm.begin(), shortForm.begin() + 2); // 12 34
  ByteReader in(shortForm);
  DL_Info p = DL_Info::read(in);
  EXPECT_EQ(p.address, 0x1234u);
  EXPECT_EQ(p.toBytes(), kPacket);
}

TEST(DL_InfoTest, RefusesEveryTruncationWithoutReadingPastTheEnd) {
  for (size_t length = 0; length < kPacket.size(); ++length) {
    SCOPED_TRACE(length);
    // A copy of exactly `length` bytes, so AddressSanitizer sees any overrun.
    std::vector<uint8_t> cut(kPacket.begin(), kPacket.begin() + static_cast<long>(length));
    ByteReader in(cut);
    EXPECT_THROW(DL_Info::read(in), DL_Info::DL_InfoExec);
  }
}

TEST(DL_InfoTest, NamesTheFieldThatIsCutShortAndTheLyingLength) {
  std::vector<uint8_t> cut(kPacket.begin(), kPacket.begin() + 10);
  ByteReader shortIn(cut);
  try {
    DL_Info::read(shortIn);
    FAIL();
  } catch (const DL_Info::DL_InfoExec &e) {
    EXPECT_EQ(e.text(),
              "Bad packet: cut short in field 'status' at offset 8 (4 bytes needed, 2 left)");
  }
  std::vector<uint8_t> lying = kPacket;
  lying[30] = 0xFF; // dataLength 255 with 3 bytes behind it
  ByteReader lyingIn(lying);
  try {
    DL_Info::read(lyingIn);
    FAIL();
  } catch (const DL_Info::DL_InfoExec &e) {
    EXPECT_EQ(e.text(), "Bad packet: dataLength 255 exceeds the 3 bytes that follow");
  }
}

TEST(DL_InfoTest, RefusesToWriteDataThatASixteenBitLengthCannotDescribe) {
  DL_Info p;
  p.data.resize(0x10000);
  EXPECT_THROW(p.toBytes(), DL_Info::DL_InfoExec);
  p.data.resize(0xFFFF);
  EXPECT_EQ(p.toBytes().size(), 32u + 0xFFFF);
}

TEST(PacketStatusTest, ConvertsBothWaysByTheTable) {
  struct Case {
    uint32_t packet;
    XL::ResponseStatus response;
  };
  const Case cases[] = {{0, XL::ResponseOkay},
                        {1, XL::ResponseBadPacket},
                        {2, XL::ResponseTimeout},
                        {3, XL::ResponseSiteNotConnected},
                        {4, XL::ResponseSiteNotResponding}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.packet);
    EXPECT_EQ(XL::responseFromPacketStatus(c.packet), c.response);
    EXPECT_EQ(XL::packetStatusFromResponse(c.response), c.packet);
  }
  EXPECT_EQ(XL::responseFromPacketStatus(5), XL::ResponseBadPacket);
  EXPECT_EQ(XL::responseFromPacketStatus(7), XL::ResponseBadPacket);
  EXPECT_EQ(XL::responseFromPacketStatus(0xFFFFFFFF), XL::ResponseBadPacket);
  EXPECT_EQ(XL::packetStatusFromResponse(XL::ResponseNone), 1u);
  EXPECT_EQ(XL::packetStatusFromResponse(-1), 1u);
}

TEST(PacketStatusTest, NamesStatusesForTraces) {
  EXPECT_EQ(XL::responseStatusText(XL::ResponseOkay), "RX:ResponseOkay");
  EXPECT_EQ(XL::responseStatusText(XL::ResponseNone), "RX:ResponseNone");
  EXPECT_EQ(XL::responseStatusText(6), "RX:Unknown");
  EXPECT_EQ(XL::responseStatusText(-1), "RX:Unknown");
}

} // namespace
} // namespace arxmod
