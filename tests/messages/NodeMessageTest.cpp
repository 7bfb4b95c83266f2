// The node-message factory, the simple and packet node messages and
// SystemResponse: wire forms, copies and text forms.
#include "messages/NodeMessages.h"

#include "TestBytes.h"

#include <gtest/gtest.h>

namespace arxmod {
namespace {

using namespace test;

std::unique_ptr<NodeMessage> fromBytes(const std::vector<uint8_t> &bytes, bool wholeInput = true) {
  ByteReader reader(bytes);
  auto message = decodeNodeMessage(reader);
  if (wholeInput) {
    EXPECT_TRUE(reader.atEnd());
  }
  return message;
}

// The downcasts that answer for `message`; exactly one for all but two classes.
int downcastCount(NodeMessage &message) {
  return (message.asXLUseChannelMessage() != nullptr) +
         (message.asTimeMessageIncluded() != nullptr) +
         (message.asTimeMessageIncludedFull() != nullptr) +
         (message.asClearPIC_Messages() != nullptr) + (message.asPIC_MessageIncluded() != nullptr) +
         (message.asBufferIncluded() != nullptr) + (message.asCTTPIncluded() != nullptr) +
         (message.asPollPIC_Message() != nullptr) + (message.asVerbatimIncluded() != nullptr);
}

struct RoundTripCase {
  const char *name;
  const char *bytes;
  uint8_t typeCode;
  int downcasts;
};

const RoundTripCase kRoundTrips[] = {
    {"XLUseChannelMessage", "01 18", 24, 1},
    {"TimeMessageIncluded", "01 10", 16, 1},
    {"TimeMessageIncludedFull", "01 11 65 00 00 00 00 01 e2 40", 17, 1},
    {"ClearPIC_Messages", "01 12 80 01 00 02", 18, 1},
    {"PIC_MessageIncluded", "01 00 00 05 00 09 00 01 aa", 0, 1},
    {"VerbatimIncluded", "01 01 00 00 00 02 aa bb", 1, 1},
    {"BufferIncluded", "01 02 00 00 00 00", 2, 1},
    {"CTTPIncluded", "01 50 00 05 41 42 43", 80, 1},
    {"ChangePasswordMessage none", "01 1f 01", 31, 0},
    {"ChangePasswordMessage 2", "01 1f 03 aa bb", 31, 0},
    {"ChangePasswordMessage 8", "01 1f 04 01 02 03 04 05 06 07 08", 31, 0},
    {"SystemResponse empty", "01 ff 00 00", 255, 0},
    {"SystemResponse nested", "01 ff 07 ff 01 00 00 04 00 00 09 00 00", 255, 0},
    {"PollPIC_Message", "02 80 00 00 07 03 11 22 0e 00 05 00 09 00 01 aa", 0x0e, 1},
};

TEST(NodeMessageFactory, EveryClassRoundTripsAndCopies) {
  for (const RoundTripCase &c : kRoundTrips) {
    SCOPED_TRACE(c.name);
    const auto bytes = hex(c.bytes);
    auto message = fromBytes(bytes);
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->typeCode(), c.typeCode);
    EXPECT_EQ(downcastCount(*message), c.downcasts);
    EXPECT_EQ(encoded(*message), bytes);
    EXPECT_EQ(message->encodedLength(), bytes.size());
    const auto copy = message->copy();
    EXPECT_EQ(encoded(*copy), bytes);
    EXPECT_EQ(printed(*copy, true), printed(*message, true));
  }
}

TEST(NodeMessageFactory, EveryTruncationRaisesUnderflow) {
  for (const RoundTripCase &c : kRoundTrips) {
    const auto bytes = hex(c.bytes);
    // The smallest prefix that can be short: the factory reads the type byte itself.
    for (size_t size = 1; size < bytes.size(); ++size) {
      // A SystemResponse that ends after its status or its presence byte has no
      // nested message.
      if (std::string_view(c.name).starts_with("SystemResponse") && (size == 3 || size == 4))
        continue;
      SCOPED_TRACE(testing::Message() << c.name << " cut at " << size);
      CerrCapture cerr;
      ByteReader reader(bytes.data(), size);
      EXPECT_THROW(decodeNodeMessage(reader), UnderflowStream);
      EXPECT_NE(cerr.text().find("\nThrow in nmm_"), std::string::npos);
    }
  }
}

TEST(NodeMessageFactory, UnknownServiceOrTypeYieldsNothing) {
  {
    CerrCapture cerr;
    EXPECT_EQ(fromBytes(hex("01 63 00 00"), false), nullptr);
    EXPECT_EQ(cerr.text(), " NMm_Service = 1 NMm_MessageIncludedType = 99");
  }
  for (const char *bytes : {"", "00", "03 01", "ff"}) {
    SCOPED_TRACE(bytes);
    CerrCapture cerr;
    EXPECT_EQ(fromBytes(hex(bytes), false), nullptr);
    EXPECT_EQ(cerr.text(), "");
  }
}

TEST(ClearPIC_Messages, TwoByteAddressIsCountedAndWrittenInFourBytes) {
  auto message = fromBytes(hex("01 12 00 05"));
  ASSERT_NE(message->asClearPIC_Messages(), nullptr);
  EXPECT_EQ(message->encodedLength(), 6u);
  EXPECT_EQ(encoded(*message), hex("01 12 80 00 00 05"));
  EXPECT_EQ(printed(*message, false), " type: 12 5.0.0");
}

TEST(TimeMessageIncludedFull, TimeAndText) {
  const TimeMessageIncludedFull epoch(0, 123456);
  EXPECT_EQ(printed(epoch, false), " type: 11 1970-01-01 00:00:00.123456\n");
  const TimeMessageIncludedFull later(0x65000000, 7000);
  EXPECT_EQ(printed(later, false), " type: 11 2023-09-12 06:06:56.007000\n");

  const auto before = std::chrono::system_clock::now();
  TimeMessageIncludedFull now;
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(before.time_since_epoch());
  EXPECT_LE(std::abs(int64_t{now.seconds()} - seconds.count()), 2);
  EXPECT_EQ(now.microseconds() % 1000, 0u);
  EXPECT_LT(now.microseconds(), 1000000u);
}

TEST(ChangePasswordMessage, StateAndPassword) {
  CerrCapture cerr;
  ChangePasswordMessage message;
  EXPECT_THROW(message.setState(0x06), ENVL_PasswordLenErr);
  EXPECT_THROW(message.setState(0x02), ENVL_PasswordLenErr);
  message.setPassword(ENVL_Password(hex("aa bb")));
  EXPECT_EQ(message.state(), 0x02);
  EXPECT_EQ(printed(message, false), " bad 2BytePasswd\n");
  message.setState(0x03);
  EXPECT_EQ(printed(message, false), " 2BytePasswd\n");
  EXPECT_EQ(encoded(message), hex("01 1f 03 aa bb"));
  EXPECT_EQ(message.encodedLength(), 5u);

  EXPECT_THROW(fromBytes(hex("01 1f 06 aa bb"), false), ENVL_PasswordLenErr);
  const auto bytes = hex("01 18 01");
  ByteReader reader(bytes);
  try {
    message.decode(reader);
    ADD_FAILURE() << "a wrong type byte was accepted";
  } catch (const ENVL_Exception &error) {
    EXPECT_EQ(error.text(), "Unexpected message type");
  }
  EXPECT_EQ(encoded(message), hex("01 1f 03 aa bb")) << "a failed decode changes nothing";
}

TEST(SystemResponse, PresenceAndNestedMessage) {
  auto empty = fromBytes(hex("01 ff 00 00"));
  EXPECT_EQ(printed(*empty, true), "Good Original(<null>\n");

  auto noPresence = fromBytes(hex("01 ff 03"));
  EXPECT_EQ(printed(*noPresence, false), "InvalidPId Original(<null>\n");
  EXPECT_EQ(encoded(*noPresence), hex("01 ff 03 00"));

  auto announcedOnly = fromBytes(hex("01 ff 07 ff"));
  EXPECT_EQ(printed(*announcedOnly, false), "Nack Original(<null>\n");
  EXPECT_EQ(encoded(*announcedOnly), hex("01 ff 07 00"));

  auto nested = fromBytes(hex("01 ff 07 ff 01 00 00 04 00 00 09 00 01 aa"));
  EXPECT_EQ(printed(*nested, true),
            "Nack Original( type:  0\nPID: 9  STATUS: Good  ACTIONS:  execute\n");

  const auto unknown = fromBytes(hex("01 ff 09 00"));
  EXPECT_EQ(printed(*unknown, false), "Unknown(\\x09) Original(<null>\n");

  CerrCapture cerr;
  const auto bytes = hex("01 fe 00 00");
  ByteReader reader(bytes);
  SystemResponse response;
  try {
    response.decode(reader);
    ADD_FAILURE() << "a wrong type byte was accepted";
  } catch (const ENVL_Exception &error) {
    EXPECT_EQ(error.text(), "Unexpected message type");
  }
}

TEST(SystemResponse, CopyOwnsItsNestedMessage) {
  SystemResponse response(0, std::make_unique<BufferIncluded>());
  static_cast<BufferIncluded *>(response.original())->setBytes(hex("01 02"));
  const auto copy = response.copy();
  static_cast<BufferIncluded *>(response.original())->setBytes(hex("03"));
  EXPECT_EQ(encoded(*copy), hex("01 ff 00 ff 01 02 00 00 00 02 01 02"));
  EXPECT_EQ(copy->encodedLength(), 12u);
}

std::vector<uint8_t> nestedResponses(size_t count) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < count; ++i)
    bytes.insert(bytes.end(), {0x01, 0xff, 0x00, 0xff});
  bytes.insert(bytes.end(), {0x01, 0x18});
  return bytes;
}

TEST(SystemResponse, NestingIsBounded) {
  const auto deepest = nestedResponses(SystemResponse::kMaxNesting);
  auto message = fromBytes(deepest);
  ASSERT_NE(message, nullptr);
  EXPECT_EQ(encoded(*message), deepest);

  CerrCapture cerr;
  const auto tooDeep = nestedResponses(SystemResponse::kMaxNesting + 1);
  ByteReader reader(tooDeep);
  try {
    decodeNodeMessage(reader);
    ADD_FAILURE() << "unbounded nesting was accepted";
  } catch (const ENVL_Exception &error) {
    EXPECT_EQ(error.text(), "SystemResponse nested more than 16 levels deep");
  }
}

TEST(PacketMessages, LengthsAndTextForms) {
  auto buffer = fromBytes(hex("01 02 00 00 00 02 0a ff"));
  EXPECT_EQ(printed(*buffer, false), "\nUPGRADE PACKET\tBUFFERLEN: 2\n");
  EXPECT_EQ(printed(*buffer, true), "\nUPGRADE PACKET\tBUFFERLEN: 2\n0a ff \n");
  auto verbatim = fromBytes(hex("01 01 00 00 00 01 41"));
  EXPECT_EQ(printed(*verbatim, false), "\nVERBATIM PACKET\tBUFFERLEN: 1\n");
  auto cttp = fromBytes(hex("01 50 00 05 41 42 43"));
  EXPECT_EQ(cttp->encodedLength(), 7u);
  EXPECT_EQ(cttp->asCTTPIncluded()->bytes().size(), 5u);
  EXPECT_EQ(printed(*cttp, true), "\nCTTP PACKET\tBUFFERLEN: 5\n00 05 41 42 43 \n");
}

TEST(PacketMessages, HostileLengthsAreRefused) {
  for (const char *bytes : {"01 02 ff ff ff ff 00", "01 01 00 00 01 00 aa", "01 50 00 00",
                            "01 50 00 01 aa", "01 50 ff ff 00"}) {
    SCOPED_TRACE(bytes);
    CerrCapture cerr;
    EXPECT_THROW(fromBytes(hex(bytes), false), UnderflowStream);
  }
}

TEST(PacketMessages, BuiltPacketsAndCopies) {
  BufferIncluded buffer;
  buffer.setBytes(hex("01 02 03"));
  const auto copy = buffer.copy();
  buffer.setBytes(hex("04"));
  EXPECT_EQ(encoded(*copy), hex("01 02 00 00 00 03 01 02 03"));
  EXPECT_EQ(encoded(buffer), hex("01 02 00 00 00 01 04"));

  CTTPIncluded cttp;
  cttp.setPacket(hex("00 03 aa"));
  EXPECT_EQ(encoded(cttp), hex("01 50 00 03 aa"));
  CerrCapture cerr;
  for (const char *bad : {"", "00", "00 04 aa", "00 01"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(cttp.setPacket(hex(bad)), ENVL_Exception);
  }
  EXPECT_EQ(encoded(cttp), hex("01 50 00 03 aa"));
}

} // namespace
} // namespace arxmod
