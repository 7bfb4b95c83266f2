// The envelope: total length, whole-envelope round trips, replies and text.
#include "messages/NodeMessages.h"

#include "TestBytes.h"

#include <gtest/gtest.h>

namespace arxmod {
namespace {

using namespace test;

ENVL_Header requestHeader(uint8_t flags) {
  ENVL_Header header;
  header.setMessageId(0x1234);
  header.setSource(ENVL_Address(5));
  header.setDestination(ENVL_Address(0x00010002));
  header.setSessionId(7);
  if (flags & ENVL_Password::kLengthBits)
    header.setPassword(ENVL_Password(hex("aa bb")));
  header.setFlags(flags);
  return header;
}

IRefPtr<ENVLMessage> decodeEnvelope(const std::vector<uint8_t> &bytes) {
  auto envelope = makeRef<ENVLMessage>();
  ByteReader reader(bytes);
  envelope->decode(reader);
  EXPECT_TRUE(reader.atEnd());
  return envelope;
}

TEST(ENVLMessage, TotalLengthSwitchesToTheLongFormAt0x7FFE) {
  struct Case {
    size_t body; // header plus node message
    const char *length;
  };
  const Case cases[] = {{0x7FFD, "7f ff"}, {0x7FFE, "80 00 80 02"}, {23, "00 19"}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.body);
    auto buffer = std::make_unique<BufferIncluded>();
    const size_t headerLength = 15;
    buffer->setBytes(std::vector<uint8_t>(c.body - headerLength - 6, 0x11));
    ENVLMessage envelope(requestHeader(0x01), std::move(buffer));
    const auto bytes = envelope.encode();
    const auto length = hex(c.length);
    ASSERT_EQ(bytes.size(), c.body + length.size());
    EXPECT_EQ(envelope.encodedLength(), bytes.size());
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + length.size()), length);
    EXPECT_EQ(decodeEnvelope(bytes)->encode(), bytes);
  }
}

TEST(ENVLMessage, ProgramRequestLayout) {
  auto program = std::make_unique<PIC_Message>();
  program->impl().setActions(0x05);
  program->impl().setPid(9);
  program->impl().setProgram(hex("aa bb cc"));
  ENVLMessage envelope(requestHeader(0x01),
                       std::make_unique<PIC_MessageIncluded>(std::move(program)));
  const auto bytes = envelope.encode();
  EXPECT_EQ(bytes, hex("00 1c 12 34 01 80 00 00 05 80 01 00 02 07 00 00 00 "
                       "01 00 00 05 00 09 00 03 aa bb cc"));
  const auto read = decodeEnvelope(bytes);
  EXPECT_EQ(read->header(), envelope.header());
  ASSERT_NE(read->nodeMessage()->asPIC_MessageIncluded(), nullptr);
  EXPECT_EQ(read->nodeMessage()->pid(), 9);
}

TEST(ENVLMessage, FixedBufferTooSmallIsReported) {
  ENVLMessage envelope(requestHeader(0x01), std::make_unique<XLUseChannelMessage>());
  uint8_t buffer[10];
  ByteWriter small(buffer, sizeof buffer);
  envelope.encode(small);
  EXPECT_TRUE(small.failed());
  uint8_t fits[19];
  ByteWriter exact(fits, sizeof fits);
  envelope.encode(exact);
  EXPECT_FALSE(exact.failed());
  EXPECT_EQ(std::vector<uint8_t>(fits, fits + sizeof fits), envelope.encode());
}

// A node message whose reported length disagrees with what it writes.
class MisreportingMessage final : public NodeMessage {
public:
  explicit MisreportingMessage(size_t reported)
      : NodeMessage(kServiceMessageIncluded, 0x42), reported_(reported) {}
  std::unique_ptr<NodeMessage> copy() const override {
    return std::make_unique<MisreportingMessage>(reported_);
  }
  void encode(ByteWriter &writer) const override { encodeFrame(writer); }
  size_t encodedLength() const override { return reported_; }

private:
  size_t reported_;
};

TEST(ENVLMessage, LengthFieldNeverDisagreesWithTheBytes) {
  for (size_t reported : {1, 3}) {
    SCOPED_TRACE(reported);
    CerrCapture cerr;
    const ENVLMessage envelope(requestHeader(0x01),
                               std::make_unique<MisreportingMessage>(reported));
    EXPECT_THROW(envelope.encode(), ENVL_Exception);
    ByteWriter growing;
    EXPECT_THROW(envelope.encode(growing), ENVL_Exception);
  }
}

TEST(ENVLMessage, UnknownNodeMessageLeavesNoneAndCannotBeSent) {
  CerrCapture cerr;
  auto envelope = makeRef<ENVLMessage>(ENVL_Header(), std::make_unique<XLUseChannelMessage>());
  const auto bytes = hex("00 13 12 34 01 80 00 00 05 80 01 00 02 07 00 00 00 01 63");
  ByteReader reader(bytes);
  envelope->decode(reader);
  EXPECT_EQ(envelope->nodeMessage(), nullptr) << "the old node message is released";
  EXPECT_EQ(envelope->header().messageId(), 0x1234);
  EXPECT_THROW(envelope->encode(), ENVL_Exception);
  EXPECT_EQ(test::printed(*envelope, false).substr(0, 8), "SOURCE: ");
}

TEST(ENVLMessage, FailedDecodeKeepsTheEnvelope) {
  CerrCapture cerr;
  const auto original = hex("00 13 12 34 01 80 00 00 05 80 01 00 02 07 00 00 00 01 18");
  auto envelope = decodeEnvelope(original);
  const auto truncated = hex("00 13 00 01 00 80 00 00 05 80 01 00 02 07 00 00 00 01 11 00");
  ByteReader reader(truncated);
  EXPECT_THROW(envelope->decode(reader), UnderflowStream);
  EXPECT_EQ(envelope->encode(), original);
}

TEST(ENVLMessage, ReplySwapsAddressesAndFlags) {
  struct Case {
    uint8_t request;
    uint8_t reply;
  };
  const Case cases[] = {{0x11, 0x30}, {0x01, 0x20}, {0xCB, 0xEA}, {0x20, 0x20}};
  for (const Case &c : cases) {
    SCOPED_TRACE(int{c.request});
    const ENVL_Header request = requestHeader(c.request);
    const auto reply = ENVLMessage::makeReply(request, std::make_unique<TimeMessageIncluded>());
    const ENVL_Header &header = reply->header();
    EXPECT_EQ(header.flags(), c.reply);
    EXPECT_EQ(header.source(), request.destination());
    EXPECT_EQ(header.destination(), request.source());
    EXPECT_EQ(header.messageId(), request.messageId());
    EXPECT_EQ(header.sessionId(), request.sessionId());
    EXPECT_EQ(header.password(), request.password());
    EXPECT_EQ(reply->useCount(), 1);
    ASSERT_NE(reply->nodeMessage()->asTimeMessageIncluded(), nullptr);
  }
}

TEST(ENVLMessage, TextFormJoinsHeaderAndNodeMessage) {
  auto program = std::make_unique<PIC_Message>();
  program->impl().setActions(0x05);
  program->impl().setPid(9);
  program->impl().setProgram(hex("aa"));
  const ENVLMessage envelope(requestHeader(0x01),
                             std::make_unique<PIC_MessageIncluded>(std::move(program)));
  const std::string header = "SOURCE:  5.0.0  DESTINATION:  2.1.0\nMESSAGE ID: 4660 DESCRIPTION: "
                             "request NoPasswdSession ID: 7 ";
  EXPECT_EQ(toText(envelope, false), header + " type:  0\nPID: 9  ACTIONS:  request| execute");
  EXPECT_EQ(toText(envelope, true),
            header + " type:  0\nPID: 9  ACTIONS:  request| execute\nprog: aa ");
  std::ostringstream out;
  out << envelope;
  EXPECT_EQ(out.str(), toText(envelope, false));
}

} // namespace
} // namespace arxmod
