// The program translator through the pass loop: every branch of the program
// answer, the failure texts of extraction and dispatch, and the answers to
// node messages other than programs.
#include "TreeFixture.h"

#include "messages/PIC_MessageIncluded.h"
#include "messages/SimpleMessages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace arxmod::test {
namespace {

using XLARX::ARXResponse;

constexpr uint16_t kRequestExecute = PIC_MessageImpl::kRequest | PIC_MessageImpl::kExecute;

std::vector<uint8_t> programBytes(std::initializer_list<std::pair<uint32_t, uint32_t>> statements) {
  RegisteredMemoryBlob blob(kProgramBlobSize);
  auto *program = blob.make<Program>();
  for (const auto &[handle, method] : statements)
    program->addStatement(handle, method);
  std::vector<uint8_t> bytes(4096);
  bytes.resize(encodePIC(*program, bytes));
  return bytes;
}

IRefPtr<ENVLMessage> envelope(std::unique_ptr<NodeMessage> body) {
  auto message = makeRef<ENVLMessage>();
  message->header().setFlags(0x01);
  message->header().setSource(ENVL_Address(1));
  message->header().setDestination(ENVL_Address(77));
  message->setNodeMessage(std::move(body));
  return message;
}

IRefPtr<ENVLMessage> programEnvelope(uint16_t actions, std::vector<uint8_t> program) {
  auto message = std::make_unique<PIC_Message>();
  message->impl().setActions(actions);
  message->impl().setPid(0x1234);
  message->impl().setFrequency(5);
  message->impl().setPriority(6);
  message->impl().setProgram(program);
  return envelope(std::make_unique<PIC_MessageIncluded>(std::move(message)));
}

// Runs one request through the translator; the response it made.
const ARXResponse &answer(TreeFixture &translator, IRefPtr<ENVLMessage> request,
                          XLARX::ENVLTransaction &transaction) {
  transaction.addRequest(makeRef<XLARX::ARXRequest>(std::move(request)));
  translator.process(transaction);
  return dynamic_cast<const ARXResponse &>(*transaction.responses().at(0));
}

std::string requestFailure(TreeFixture &translator, IRefPtr<XL::Request> request) {
  XLARX::ENVLTransaction transaction;
  transaction.addRequest(std::move(request));
  try {
    translator.process(transaction);
  } catch (const KSXmsg &e) {
    return e.text();
  }
  return "no failure";
}

std::string failure(TreeFixture &translator, IRefPtr<ENVLMessage> request) {
  return requestFailure(translator, makeRef<XLARX::ARXRequest>(std::move(request)));
}

size_t resultCount(const PIC_MessageImpl &reply) {
  RegisteredMemoryBlob blob(kProgramBlobSize);
  return picCast<PICTypeContainer>(decodePIC(reply.resultBytes(), blob))->count();
}

TEST(ProgramTranslatorTest, AnswersEveryBranchOfTheProgramActions) {
  struct Case {
    const char *name;
    uint16_t actions;
    std::vector<uint8_t> program;
    std::function<bool(uint32_t, TreeFixture &)> preparation;
    XL::ResponseStatus status;
    uint8_t replyStatus;
    uint16_t replyActions;
    size_t results; // decoded result values
    bool echoed;
  };
  const std::vector<uint8_t> reads = programBytes({{0x101, 2}, {0x102, 32}, {0x10, 1506}});
  const auto timeout = [](uint32_t, TreeFixture &self) {
    self.failExchanges(XL::ResponseTimeout);
    return false;
  };
  const Case cases[] = {
      {"execute", kRequestExecute, reads, nullptr, XL::ResponseOkay, 0, 0x04, 3, false},
      {"every invocation fails", kRequestExecute, programBytes({{0x999, 1}, {0x101, 999}}), nullptr,
       XL::ResponseOkay, 0, 0x04, 2, false},
      {"empty program", kRequestExecute, programBytes({}), nullptr, XL::ResponseBadPacket, 1, 0, 0,
       false},
      {"device timeout", kRequestExecute, reads, timeout, XL::ResponseTimeout, 2, 0, 0, false},
      {"echo", 0x11, reads, nullptr, XL::ResponseOkay, 0, 0x10, 0, true},
      {"neither", 0x03, reads, nullptr, XL::ResponseOkay, 0, 0, 0, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    TreeFixture translator;
    translator.preparation = c.preparation;
    XLARX::ENVLTransaction transaction;
    const ARXResponse &response =
        answer(translator, programEnvelope(c.actions, c.program), transaction);
    EXPECT_EQ(response.status, c.status);
    const ENVLMessage &reply = *response.message();
    EXPECT_EQ(reply.header().source(), ENVL_Address(77));
    EXPECT_EQ(reply.header().destination(), ENVL_Address(1));
    EXPECT_EQ(reply.header().flags(), 0x20);
    const PIC_MessageImpl &program = reply.nodeMessage()->programMessage().impl();
    EXPECT_EQ(program.status(), c.replyStatus);
    EXPECT_EQ(program.actions(), c.replyActions);
    EXPECT_EQ(program.pid(), 0x1234);
    EXPECT_EQ(program.frequency(), 5);
    EXPECT_EQ(program.priority(), 6);
    if (c.results)
      EXPECT_EQ(resultCount(program), c.results);
    else
      EXPECT_TRUE(program.resultBytes().empty());
    EXPECT_EQ(program.programLength(), c.echoed ? c.program.size() : 0u);
    // The answer survives its way to the wire and back.
    const auto bytes = reply.encode();
    ByteReader in(bytes);
    ENVLMessage decoded;
    decoded.decode(in);
    const PIC_MessageImpl &sent = decoded.nodeMessage()->programMessage().impl();
    EXPECT_EQ(sent.status(), program.status());
    EXPECT_EQ(sent.actions(), program.actions());
    EXPECT_TRUE(std::ranges::equal(sent.resultBytes(), program.resultBytes()));
    EXPECT_TRUE(std::ranges::equal(sent.programBytes(), program.programBytes()));
  }
}

TEST(ProgramTranslatorTest, PreparesEachStatementUntilItIsReady) {
  TreeFixture translator;
  translator.preparation = [](uint32_t handle, TreeFixture &) { return handle != 0x102; };
  XLARX::ENVLTransaction transaction;
  const ARXResponse &response =
      answer(translator, programEnvelope(kRequestExecute, programBytes({{0x101, 2}, {0x102, 2}})),
             transaction);
  // A statement that is not ready and queues nothing is asked once per pass,
  // never again within the pass.
  EXPECT_EQ(translator.preparations, 2);
  EXPECT_EQ(response.status, XL::ResponseOkay);
}

TEST(ProgramTranslatorTest, RefusesRequestsItCannotRead) {
  TreeFixture translator;
  EXPECT_EQ(failure(translator, programEnvelope(PIC_MessageImpl::kExecute, programBytes({{2, 1}}))),
            "Not a request");
  EXPECT_EQ(failure(translator, programEnvelope(kRequestExecute, {})), "Missing ARX Program");
  RegisteredMemoryBlob blob(kProgramBlobSize);
  std::vector<uint8_t> number(16);
  number.resize(encodePIC(*blob.make<UnsignedType>(5u), number));
  EXPECT_EQ(failure(translator, programEnvelope(kRequestExecute, number)), "Invalid ARX Program");
  EXPECT_EQ(requestFailure(translator, makeRef<XL::Request>()), "Bogus request");
  EXPECT_EQ(failure(translator, envelope(nullptr)), "Bogus request");
  EXPECT_EQ(failure(translator, envelope(std::make_unique<TimeMessageIncludedFull>(1, 2))),
            "Response not applicable");
  translator.dropTree();
  EXPECT_EQ(failure(translator, programEnvelope(kRequestExecute, programBytes({{2, 1}}))),
            "No tree");
}

TEST(ProgramTranslatorTest, AnswersOtherNodeMessagesWithABadPacketStatus) {
  struct Case {
    const char *name;
    std::unique_ptr<NodeMessage> (*make)();
    uint8_t answeredType;
    bool ownEnvelope;
  };
  const Case cases[] = {
      {"channel", [] { return std::unique_ptr<NodeMessage>(new XLUseChannelMessage); }, 24, true},
      {"password", [] { return std::unique_ptr<NodeMessage>(new ChangePasswordMessage); }, 31,
       false},
      {"clear", [] { return std::unique_ptr<NodeMessage>(new ClearPIC_Messages); }, 18, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    TreeFixture translator;
    XLARX::ENVLTransaction transaction;
    auto request = envelope(c.make());
    const ARXResponse &response = answer(translator, request, transaction);
    EXPECT_EQ(response.status, XL::ResponseBadPacket);
    EXPECT_EQ(response.message()->nodeMessage()->typeCode(), c.answeredType);
    EXPECT_EQ(response.message() == request, c.ownEnvelope);
    if (!c.ownEnvelope) {
      EXPECT_EQ(response.message()->header().destination(), ENVL_Address(1));
    }
  }
}

} // namespace
} // namespace arxmod::test
