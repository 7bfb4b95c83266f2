// Program messages, their two carriers and the poll controls.
#include "messages/NodeMessages.h"

#include "TestBytes.h"

#include <gtest/gtest.h>

namespace arxmod {
namespace {

using namespace test;

PIC_MessageImpl decoded(const std::vector<uint8_t> &bytes) {
  ByteReader reader(bytes);
  PIC_MessageImpl message;
  message.decode(reader);
  EXPECT_TRUE(reader.atEnd());
  return message;
}

struct PresenceCase {
  const char *name;
  uint16_t actions;
  const char *program;
  const char *result;
  const char *bytes;
};

// Status 1, PID 9, frequency 5 and priority 6 in every case; the program and
// result are held in every case but travel only where the actions say.
const PresenceCase kPresenceCases[] = {
    {"request execute", 0x0005, "aa bb cc", "", "00 05 00 09 00 03 aa bb cc"},
    {"request create", 0x0003, "aa bb", "", "00 03 00 09 05 06 00 02 aa bb"},
    {"request execute echo", 0x0015, "aa", "", "00 15 00 09 00 01 aa"},
    {"request carries no result", 0x0005, "aa", "ee", "00 05 00 09 00 01 aa"},
    {"reply create echo", 0x0012, "aa bb", "ee", "00 12 01 00 09 05 06 00 02 aa bb"},
    {"reply replace execute", 0x0024, "aa", "ee ff", "00 24 01 00 09 05 06 00 02 ee ff"},
    {"reply execute echo", 0x0014, "aa bb", "ee", "00 14 01 00 09 00 02 00 01 aa bb ee"},
    {"reply without work", 0x0000, "aa", "ee", "00 00 01 00 09"},
    {"reply destroy", 0x0008, "", "", "00 08 01 00 09"},
};

TEST(PIC_MessageImpl, FieldsTravelAsTheActionsSay) {
  for (const PresenceCase &c : kPresenceCases) {
    SCOPED_TRACE(c.name);
    PIC_MessageImpl message;
    message.setActions(c.actions);
    message.setStatus(1);
    message.setPid(9);
    message.setFrequency(5);
    message.setPriority(6);
    message.setProgram(hex(c.program));
    message.setResult(hex(c.result));
    const auto bytes = encoded(message);
    EXPECT_EQ(bytes, hex(c.bytes));
    EXPECT_EQ(message.encodedLength(), bytes.size());

    const PIC_MessageImpl read = decoded(bytes);
    EXPECT_EQ(encoded(read), bytes);
    EXPECT_EQ(read.encodedLength(), bytes.size());
    EXPECT_EQ(read.pid(), 9);
    EXPECT_EQ(read.status(), read.isRequest() ? 0 : 1);
    if (!read.carriesProgram()) {
      EXPECT_EQ(read.programLength(), 0u);
    }
    if (!read.carriesResult()) {
      EXPECT_EQ(read.resultLength(), 0u);
    }
  }
}

TEST(PIC_MessageImpl, NewMessageEncodesFiveBytes) {
  const PIC_MessageImpl message;
  EXPECT_EQ(message.encodedLength(), 5u);
  EXPECT_EQ(encoded(message), hex("00 00 00 00 00"));
}

TEST(PIC_MessageImpl, LongResultUsesTheFourByteLength) {
  PIC_MessageImpl message;
  message.setActions(PIC_MessageImpl::kExecute);
  message.setPid(9);
  message.setResult(std::vector<uint8_t>(40000, 0x5A));
  const auto bytes = encoded(message);
  ASSERT_EQ(bytes.size(), 9u + 40000u);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 9),
            hex("00 04 00 00 09 80 00 9c 40"));
  EXPECT_EQ(message.encodedLength(), bytes.size());
  EXPECT_EQ(decoded(bytes), message);
}

TEST(PIC_MessageImpl, EveryTruncationRaisesUnderflow) {
  const auto bytes = hex("00 14 01 00 09 00 02 00 01 aa bb ee");
  for (size_t size = 0; size < bytes.size(); ++size) {
    SCOPED_TRACE(size);
    CerrCapture cerr;
    ByteReader reader(bytes.data(), size);
    PIC_MessageImpl message;
    message.setPid(77);
    EXPECT_THROW(message.decode(reader), UnderflowStream);
    EXPECT_EQ(message.pid(), 77) << "a failed decode must leave the message unchanged";
    EXPECT_NE(cerr.text().find("\nThrow in nmm_"), std::string::npos);
  }
}

TEST(PIC_MessageImpl, HugeWireLengthIsRefusedBeforeAllocating) {
  test::expectDecodeFails<UnderflowStream, PIC_MessageImpl>("00 05 00 09 ff ff ff ff 01 02");
}

TEST(PIC_MessageImpl, DecodingReplacesEveryFieldOfTheOldMessage) {
  PIC_MessageImpl message = decoded(hex("00 14 01 00 09 00 02 00 01 aa bb ee"));
  ASSERT_EQ(message.resultLength(), 1u);
  const auto next = hex("00 05 00 07 00 00");
  ByteReader nextReader(next);
  message.decode(nextReader);
  EXPECT_EQ(message.programLength(), 0u);
  EXPECT_EQ(message.resultLength(), 0u);
  EXPECT_EQ(message.status(), 0);
  EXPECT_EQ(encoded(message), next);
}

TEST(PIC_MessageImpl, SwitchExecutionMode) {
  struct Case {
    uint16_t actions;
    int mode;
    int result;
    uint16_t after;
  };
  const Case cases[] = {
      {0x0005, 14, 1, 0x000F},  {0x0007, 14, -1, 0x0007}, {0x000F, 4, 1, 0x0005},
      {0x001E, 4, 1, 0x0014},   {0x0004, 4, -1, 0x0004},  {0x000E, 14, -1, 0x000E},
      {0x0104, 14, -1, 0x0104}, {0x0004, 7, -1, 0x0004},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.actions << " mode " << std::dec << c.mode);
    PIC_MessageImpl message;
    message.setActions(c.actions);
    EXPECT_EQ(message.switchExecutionMode(c.mode), c.result);
    EXPECT_EQ(message.actions(), c.after);
  }
}

TEST(PIC_MessageImpl, TextForms) {
  PIC_MessageImpl request = decoded(hex("00 07 00 09 05 06 00 02 0a ff"));
  EXPECT_EQ(printed(request, false),
            "\nPID: 9  FREQ: 5  PRIORITY: 6  ACTIONS:  request| create execute");
  EXPECT_EQ(printed(request, true), "\nPID: 9  FREQ: 5  PRIORITY: 6  ACTIONS:  request| create "
                                    "execute\nprog: 0a ff ");

  PIC_MessageImpl reply;
  reply.setActions(0x7C);
  reply.setStatus(3);
  reply.setPid(300);
  reply.setResult(hex("01"));
  EXPECT_EQ(printed(reply, true), "\nPID: 300  FREQ: 0  PRIORITY: 0  STATUS: InvalidPId  ACTIONS: "
                                  " execute destroy echo replace destroy all mine\nres: 01 ");

  struct StatusCase {
    uint8_t status;
    const char *text;
  };
  const StatusCase statuses[] = {
      {0, "Good"}, {1, "BadProgram"}, {7, "Nack"}, {0x41, "Unknown(A)"}, {0x1b, "Unknown(\\x1b)"}};
  for (const StatusCase &s : statuses) {
    SCOPED_TRACE(s.text);
    PIC_MessageImpl message;
    message.setStatus(s.status);
    EXPECT_EQ(printed(message, false), "\nPID: 0  STATUS: " + std::string(s.text) + "  ACTIONS: ");
  }
}

std::unique_ptr<PIC_Message> programOf(const char *bytes) {
  auto message = std::make_unique<PIC_Message>();
  const auto input = hex(bytes);
  ByteReader reader(input);
  message->decode(reader);
  return message;
}

TEST(PIC_MessageIncluded, CarriesOneProgramMessage) {
  PIC_MessageIncluded included(programOf("00 05 00 09 00 03 aa bb cc"));
  EXPECT_EQ(encoded(included), hex("01 00 00 05 00 09 00 03 aa bb cc"));
  EXPECT_EQ(included.encodedLength(), 11u);
  EXPECT_EQ(included.typeCode(), 0);
  EXPECT_EQ(included.pid(), 9);
  EXPECT_EQ(included.actions(), 5);
  EXPECT_EQ(printed(included, true),
            " type:  0\nPID: 9  ACTIONS:  request| execute\nprog: aa bb cc ");

  EXPECT_EQ(included.switchExecutionMode(14), 1);
  included.setStatus(2);
  included.setPid(10);
  included.setPriority(4);
  EXPECT_EQ(included.actions(), 0x0F);
  EXPECT_EQ(included.encodedLength(), encoded(included).size());
  included.clearProgramAndResult();
  EXPECT_EQ(included.programMessage().impl().programLength(), 0u);
  EXPECT_EQ(encoded(included), hex("01 00 00 0f 00 0a 00 04 00 00"));
}

TEST(PIC_MessageIncluded, WithoutProgramMessage) {
  PIC_MessageIncluded empty;
  EXPECT_EQ(empty.encodedLength(), 2u);
  EXPECT_EQ(encoded(empty), hex("01 00"));
  EXPECT_EQ(printed(empty, true), " type:  0");
  CerrCapture cerr;
  EXPECT_THROW(empty.setActions(1), NoPIC_MessageIncluded);
  EXPECT_THROW(empty.pid(), NoPIC_MessageIncluded);
  EXPECT_THROW(empty.programMessage(), NoPIC_MessageIncluded);
  EXPECT_THROW(empty.clearProgramAndResult(), NoPIC_MessageIncluded);
  EXPECT_NE(cerr.text().find("\nThrow in nmm_mesg at "), std::string::npos);
}

TEST(PIC_MessageIncluded, CopiesAreIndependent) {
  PIC_MessageIncluded original(programOf("00 05 00 09 00 03 aa bb cc"));
  const auto copy = original.copy();
  original.programMessage().impl().setProgram(hex("01"));
  original.setPid(1);
  EXPECT_EQ(encoded(*copy), hex("01 00 00 05 00 09 00 03 aa bb cc"));
  ASSERT_NE(copy->asPIC_MessageIncluded(), nullptr);
}

TEST(PollPIC_Message, NewPoll) {
  PollPIC_Message poll;
  EXPECT_EQ(poll.encodedLength(), 9u);
  EXPECT_EQ(encoded(poll), hex("02 80 00 00 00 00 00 00 00"));
  EXPECT_EQ(poll.pollFrequency(), 0);
  EXPECT_EQ(poll.copy()->pollFrequency(), 3) << "a copy never carries frequency 0";
}

TEST(PollPIC_Message, DecodesFieldsAndProgram) {
  const auto bytes = hex("02 00 07 00 11 22 0e 00 05 00 09 00 01 aa");
  ByteReader reader(bytes);
  PollPIC_Message poll;
  poll.decode(reader);
  EXPECT_TRUE(reader.atEnd());
  EXPECT_EQ(poll.node(), ENVL_Address(7));
  EXPECT_EQ(poll.pollFrequency(), 3) << "frequency 0 is read as 3";
  EXPECT_EQ(poll.pollPriority(), 0x11);
  EXPECT_EQ(poll.pollService(), 0x22);
  EXPECT_EQ(poll.typeCode(), 0x0e);
  EXPECT_EQ(poll.pid(), 9);
  EXPECT_EQ(poll.encodedLength(), 9u + 7u);
  EXPECT_EQ(encoded(poll), hex("02 80 00 00 07 03 11 22 0e 00 05 00 09 00 01 aa"));
}

TEST(PollPIC_Message, MissingProgramMessageIsAnUnderflow) {
  test::expectDecodeFails<UnderflowStream, PollPIC_Message>("02 80 00 00 07 03 11 22 0e");
}

TEST(PollPIC_Message, Controls) {
  PollPIC_Message poll;
  poll.alterFrequency(0);
  EXPECT_EQ(poll.pollFrequency(), 3);
  EXPECT_EQ(poll.pollService(), PollPIC_Message::kAlterFrequency);
  poll.alterFrequency(9);
  EXPECT_EQ(poll.pollFrequency(), 9);

  poll.setPollService(0x80);
  EXPECT_FALSE(poll.isAsleep());
  EXPECT_FALSE(poll.isAwake());
  poll.sleep();
  EXPECT_EQ(poll.pollService(), 0x82);
  EXPECT_TRUE(poll.isAsleep());
  poll.awaken();
  EXPECT_EQ(poll.pollService(), 0x84);
  EXPECT_TRUE(poll.isAwake());
  poll.setPollService(0x06);
  EXPECT_FALSE(poll.isAsleep());
  EXPECT_FALSE(poll.isAwake());
  poll.setPollPriority(0xAB);
  EXPECT_EQ(poll.pollPriority(), 0xAB);
}

TEST(PollPIC_Message, TextForm) {
  PollPIC_Message poll;
  poll.setNode(ENVL_Address(0x40010002));
  poll.alterFrequency(0x1f);
  poll.sleep();
  poll.setType(0xab);
  EXPECT_EQ(printed(poll, false), "\n***** Poll Message:\nNode:  2.1.1 freq: 1f priority:  0 "
                                  "service:  a Sleep  AlterFreq type: ab\n*****");
  poll.setProgramMessage(programOf("00 05 00 09 00 01 aa"));
  poll.awaken();
  EXPECT_EQ(printed(poll, true), "\n***** Poll Message:\nNode:  2.1.1 freq: 1f priority:  0 "
                                 "service:  c Awaken  AlterFreq type: ab\nPID: 9  ACTIONS:  "
                                 "request| execute\nprog: aa \n*****");
}

TEST(PollPIC_Message, CopiesAreIndependent) {
  PollPIC_Message poll;
  poll.setProgramMessage(programOf("00 05 00 09 00 01 aa"));
  const auto copy = poll.copy();
  poll.programMessage().impl().setProgram(hex("bb cc"));
  poll.sleep();
  EXPECT_EQ(copy->programMessage().impl().programBytes()[0], 0xaa);
  EXPECT_EQ(copy->pollService(), 0);
  EXPECT_NE(copy->asPollPIC_Message(), nullptr);
}

TEST(NodeMessageDefaults, ProgramAndPollOperationsRaise) {
  CerrCapture cerr;
  XLUseChannelMessage channel;
  NodeMessage &message = channel;
  EXPECT_THROW(message.switchExecutionMode(4), NoPIC_MessageIncluded);
  EXPECT_THROW(message.setStatus(0), NoPIC_MessageIncluded);
  EXPECT_THROW(message.actions(), NoPIC_MessageIncluded);
  EXPECT_THROW(message.isAsleep(), NoPIC_MessageIncluded);
  EXPECT_THROW(message.alterFrequency(1), NoPollPIC_Message);
  EXPECT_THROW(message.sleep(), NoPollPIC_Message);
  EXPECT_THROW(message.pollService(), NoPollPIC_Message);
  EXPECT_EQ(cerr.text().rfind("\nThrow in nmm_base at ", 0), 0u);
  try {
    message.awaken();
  } catch (const KSXmsg &error) {
    EXPECT_EQ(error.text(), "NoPollPIC_Message");
  }
  PIC_MessageIncluded program;
  EXPECT_THROW(program.awaken(), NoPollPIC_Message);
}

} // namespace
} // namespace arxmod
