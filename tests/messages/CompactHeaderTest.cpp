// Compact numbers, node addresses, passwords and the envelope header.
#include "messages/CompactNumber.h"
#include "messages/ENVL_Exception.h"
#include "messages/ENVL_Header.h"

#include "TestBytes.h"

#include <gtest/gtest.h>

namespace arxmod {
namespace {

using namespace test;

TEST(CompactNumber, WritesShortAndLongForms) {
  struct Case {
    uint32_t value;
    const char *bytes;
  };
  const Case cases[] = {
      {0, "00 00"},
      {5, "00 05"},
      {0x7FFF, "7f ff"},
      {0x8000, "80 00 80 00"},
      {0x12345, "80 01 23 45"},
      {0x7FFFFFFF, "ff ff ff ff"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.value);
    ByteWriter writer;
    writeCompact(writer, c.value);
    EXPECT_EQ(writer.bytes(), hex(c.bytes));
    EXPECT_EQ(compactSize(c.value), writer.size());
    ByteReader reader(writer.bytes());
    EXPECT_EQ(readCompact(reader), c.value);
    EXPECT_TRUE(reader.atEnd());
  }
}

TEST(CompactNumber, ReadsBothFormsOfTheSameValue) {
  for (const char *bytes : {"00 05", "80 00 00 05"}) {
    SCOPED_TRACE(bytes);
    const auto input = hex(bytes);
    ByteReader reader(input);
    EXPECT_EQ(readCompact(reader), 5u);
  }
}

TEST(CompactNumber, RefusesValuesAbove31Bits) {
  CerrCapture cerr;
  ByteWriter writer;
  EXPECT_THROW(writeCompact(writer, 0x80000000), ENVL_Exception);
  EXPECT_EQ(writer.size(), 0u);
}

TEST(CompactNumber, ShortInputRaisesUnderflowWithTrace) {
  for (const char *bytes : {"", "7f", "80 00", "80 00 00"}) {
    SCOPED_TRACE(bytes);
    CerrCapture cerr;
    const auto input = hex(bytes);
    ByteReader reader(input);
    EXPECT_THROW(readCompact(reader), UnderflowStream);
    EXPECT_EQ(cerr.text().rfind("\nThrow in nmm_base at ", 0), 0u) << cerr.text();
  }
}

TEST(ENVL_Address, TextSplitsTheThreeParts) {
  EXPECT_EQ(ENVL_Address(0x40010002).text(), " 2.1.1");
  EXPECT_EQ(ENVL_Address(5).text(), " 5.0.0");
  EXPECT_EQ(ENVL_Address(0x7FFFFFFF).text(), " 65535.16383.1");
}

TEST(ENVL_Address, AlwaysWritesFourBytesAndReadsEitherForm) {
  EXPECT_EQ(encoded(ENVL_Address(5)), hex("80 00 00 05"));
  EXPECT_EQ(ENVL_Address(0xFFFFFFFF).value(), 0x7FFFFFFFu);
  for (const char *bytes : {"00 05", "80 00 00 05"}) {
    SCOPED_TRACE(bytes);
    const auto input = hex(bytes);
    ByteReader reader(input);
    ENVL_Address address;
    address.decode(reader);
    EXPECT_EQ(address, ENVL_Address(5));
  }
}

TEST(ENVL_Password, LengthsAndTruncation) {
  const auto twelve = hex("01 02 03 04 05 06 07 08 09 0a 0b 0c");
  const ENVL_Password longSource(twelve);
  EXPECT_EQ(longSource.length(), 8u);
  EXPECT_EQ(longSource.lengthBits(), ENVL_Password::kEightByteBit);
  EXPECT_EQ(encoded(longSource), hex("01 02 03 04 05 06 07 08"));

  CerrCapture cerr;
  const auto five = hex("01 02 03 04 05");
  EXPECT_THROW(ENVL_Password{five}, ENVL_PasswordLenErr);
  EXPECT_THROW(ENVL_Password::lengthFromBits(0x06), ENVL_PasswordLenErr);
  ENVL_Password password;
  ByteReader reader(twelve);
  EXPECT_THROW(password.decode(reader, 3), ENVL_PasswordLenErr);
}

TEST(ENVL_Password, PrintsLowerCaseHex) {
  std::ostringstream out;
  ENVL_Password(hex("0a ff")).print(out);
  EXPECT_EQ(out.str(), "password: 0a ff ");
}

ENVL_Header requestHeader() {
  ENVL_Header header;
  header.setMessageId(0x1234);
  header.setFlags(ENVL_Header::kFlagRequest);
  header.setSource(ENVL_Address(5));
  header.setDestination(ENVL_Address(0x00010002));
  header.setSessionId(7);
  return header;
}

TEST(ENVL_Header, EncodesTheRequestLayout) {
  const ENVL_Header header = requestHeader();
  EXPECT_EQ(encoded(header), hex("12 34 01 80 00 00 05 80 01 00 02 07 00 00 00"));
  EXPECT_EQ(header.encodedLength(), 15u);
}

TEST(ENVL_Header, RoundTripsEveryPasswordLength) {
  struct Case {
    const char *password;
    uint8_t bit;
    size_t length;
  };
  const Case cases[] = {{"", 0, 15}, {"aa bb", 0x02, 17}, {"01 02 03 04 05 06 07 08", 0x04, 23}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.password);
    ENVL_Header header = requestHeader();
    header.setPassword(ENVL_Password(hex(c.password)));
    EXPECT_EQ(header.flags(), ENVL_Header::kFlagRequest | c.bit);
    EXPECT_EQ(header.encodedLength(), c.length);
    const auto bytes = encoded(header);
    ASSERT_EQ(bytes.size(), c.length);
    ByteReader reader(bytes);
    ENVL_Header read;
    read.decode(reader);
    EXPECT_TRUE(reader.atEnd());
    EXPECT_EQ(read, header);
  }
}

TEST(ENVL_Header, ReadsTwoByteAddresses) {
  const auto bytes = hex("00 01 81 00 05 00 09 01 00 00 00");
  ByteReader reader(bytes);
  ENVL_Header header;
  header.decode(reader);
  EXPECT_EQ(header.source(), ENVL_Address(5));
  EXPECT_EQ(header.destination(), ENVL_Address(9));
  EXPECT_EQ(header.flags(), 0x81);
  EXPECT_EQ(header.sessionId(), 1u);
}

TEST(ENVL_Header, BothPasswordBitsAreRefusedBeforeTheAddresses) {
  test::expectDecodeFails<ENVL_PasswordLenErr, ENVL_Header>("00 01 06");
}

TEST(ENVL_Header, EveryTruncationRaisesUnderflowAndKeepsTheHeader) {
  ENVL_Header header = requestHeader();
  header.setPassword(ENVL_Password(hex("aa bb")));
  const auto bytes = encoded(header);
  for (size_t size = 0; size < bytes.size(); ++size) {
    SCOPED_TRACE(size);
    CerrCapture cerr;
    ByteReader reader(bytes.data(), size);
    ENVL_Header target;
    EXPECT_THROW(target.decode(reader), UnderflowStream);
    EXPECT_EQ(target, ENVL_Header());
  }
}

TEST(ENVL_Header, FlagsMustAnnounceTheHeldPassword) {
  CerrCapture cerr;
  ENVL_Header header;
  EXPECT_THROW(header.setFlags(0x06), ENVL_PasswordLenErr);
  EXPECT_THROW(header.setFlags(0x02), ENVL_PasswordLenErr);
  header.setPassword(ENVL_Password(hex("aa bb")));
  EXPECT_THROW(header.setFlags(0x01), ENVL_PasswordLenErr);
  header.setFlags(0x03);
  EXPECT_EQ(header.flags(), 0x03);
}

TEST(ENVL_Header, PrintsAddressesIdFlagsAndSignedSession) {
  ENVL_Header header = requestHeader();
  header.setPassword(ENVL_Password(hex("aa bb")));
  header.setFlags(0xFB);
  header.setSessionId(0xFFFFFFFF);
  std::ostringstream out;
  header.print(out);
  EXPECT_EQ(out.str(), "SOURCE:  5.0.0  DESTINATION:  2.1.0\nMESSAGE ID: 4660 DESCRIPTION: request "
                       "2BytePasswd Broadcast NoReply Nakable Nak'd FatalNakSession ID: -1 ");
  ENVL_Header reply;
  std::ostringstream replyText;
  reply.print(replyText);
  EXPECT_EQ(replyText.str(), "SOURCE:  0.0.0  DESTINATION:  0.0.0\nMESSAGE ID: 0 DESCRIPTION: "
                             "reply NoPasswdSession ID: 0 ");
}

} // namespace
} // namespace arxmod
