// The generic translator's pass loop and the transaction defaults it
// relies on.
#include "FrameFixtures.h"
#include "frame/Translator.h"

#include <gtest/gtest.h>
#include <map>

namespace arxmod::test {
namespace {

// A translator whose requests each need a given number of device passes.
class CountingTranslator : public XL::Translator {
public:
  std::map<const XL::Request *, int> passesNeeded;
  bool closeEachSubTransaction = false;
  int endOfPassCalls = 0;
  int subTransactionsBuilt = 0;
  int responsesHandled = 0;
  std::vector<const XL::Request *> prepared; // in call order; nullptr for the empty request

  void prepare(const IRefPtr<XL::Request> &request, XL::Transaction &transaction,
               IRefPtr<XL::Transaction> &sub) override {
    prepared.push_back(request.get());
    if (!request) {
      ++endOfPassCalls;
      markHandled(request);
      return;
    }
    int &left = passesNeeded[request.get()];
    if (left == 0) {
      markHandled(request);
      return;
    }
    --left;
    if (!sub) {
      sub = makeRef<FakeSerialTransaction>(retainRef(transaction), 0);
      ++subTransactionsBuilt;
    }
    sub->addRequest(request);
    if (closeEachSubTransaction)
      sub->close();
  }
  void handleResponse(const IRefPtr<XL::Request> &, const IRefPtr<XL::Response> &) override {
    ++responsesHandled;
  }
  IRefPtr<XL::Response> makeResponse(const IRefPtr<XL::Request> &) override {
    return makeRef<XL::Response>();
  }
};

class PassLoopTest : public ::testing::Test {
protected:
  ScriptedHost host;
  IRefPtr<LegacyDLITransaction> transaction = channelTransaction();
  CountingTranslator translator;

  const XL::Request *request(size_t i) { return transaction->requests()[i].get(); }
  void addRequests(size_t count) {
    for (size_t i = 0; i < count; ++i)
      transaction->addRequest(makeRef<XL::Request>());
  }
};

TEST_F(PassLoopTest, RequestsWithoutDeviceWorkTakeOnePassAndNoSubTransaction) {
  addRequests(2);
  EXPECT_TRUE(translator.process(*transaction));
  EXPECT_EQ(translator.endOfPassCalls, 1);
  EXPECT_EQ(translator.subTransactionsBuilt, 0);
  EXPECT_TRUE(host.sent.empty());
  for (const auto &response : transaction->responses())
    EXPECT_TRUE(response);
}

TEST_F(PassLoopTest, RepeatsPassesUntilNoRequestNeedsTheDevice) {
  addRequests(1);
  translator.passesNeeded[request(0)] = 2;
  translator.passesNeeded[request(1)] = 1;
  translator.process(*transaction);
  // Passes 1 and 2 send work; in pass 2 the empty request does not run again
  // since it was handled in pass 1, so pass 3 builds nothing and ends.
  EXPECT_EQ(translator.subTransactionsBuilt, 2);
  EXPECT_EQ(translator.responsesHandled, 3);
  EXPECT_EQ(host.sent.size(), 0u); // the fake sub-transactions carry no byte strings
  EXPECT_EQ(translator.prepared,
            (std::vector<const XL::Request *>{request(0), request(1), nullptr, request(0),
                                              request(1), request(0)}));
}

TEST_F(PassLoopTest, AClosedSubTransactionGoesOutAtOnce) {
  addRequests(1);
  translator.passesNeeded[request(0)] = 1;
  translator.passesNeeded[request(1)] = 1;
  translator.closeEachSubTransaction = true;
  translator.process(*transaction);
  // Request 0 closes the first sub-transaction, so request 1 waits for the
  // next pass, and the end of the list is reached only in the third.
  EXPECT_EQ(translator.prepared, (std::vector<const XL::Request *>{
                                     request(0), request(0), request(1), request(1), nullptr}));
  EXPECT_EQ(translator.subTransactionsBuilt, 2);
}

TEST_F(PassLoopTest, PassLoopStopsARequestThatNeverFinishes) {
  addRequests(0);
  translator.passesNeeded[request(0)] = 1 << 30;
  try {
    translator.process(*transaction);
    FAIL() << "the pass loop did not stop";
  } catch (const KSXmsg &e) {
    EXPECT_EQ(e.text(), "Translator stopped after 1000 passes of device traffic for device 9: "
                        "a request kept asking for more");
  }
  EXPECT_EQ(translator.subTransactionsBuilt, static_cast<int>(XL::Translator::kMaxPasses) + 1);
}

TEST(RefCountTest, RetainRefCountsOnlyObjectsMadeByMakeRef) {
  auto made = makeRef<XL::Transaction>();
  IRefPtr<XL::Transaction> again = retainRef(*made);
  EXPECT_EQ(made->useCount(), 2);
  XL::Transaction onTheStack;
  EXPECT_THROW(retainRef(onTheStack), std::logic_error);
  EXPECT_EQ(onTheStack.useCount(), 0);
}

TEST(TransactionTest, KeepsResponsesAlignedWithRequests) {
  XL::Transaction t;
  t.addRequest(nullptr);
  EXPECT_TRUE(t.requests().empty());
  t.addRequest(makeRef<XL::Request>());
  EXPECT_EQ(t.responses().size(), 1u);
  EXPECT_FALSE(t.responses()[0]);
  t.setResponse(0, makeRef<XL::Response>());
  EXPECT_EQ(t.responses()[0]->status, XL::ResponseBadPacket);
  try {
    t.setResponse(1, makeRef<XL::Response>());
    FAIL();
  } catch (const KSXmsg &e) {
    EXPECT_EQ(e.text(), "Response index out of range");
  }
}

TEST(TransactionTest, SubTransactionsTakeTheirIdentityFromTheOrigin) {
  ScriptedHost host;
  auto origin = channelTransaction();
  auto sub = makeRef<XL::Transaction>(IRefPtr<XL::Transaction>(origin));
  auto subSub = makeRef<XL::Transaction>(sub);
  EXPECT_EQ(subSub->deviceId(), 9u);
  EXPECT_EQ(subSub->translatorId(), 1);
  EXPECT_EQ(&subSub->origin(), origin.get());

  XL::Transaction orphan;
  const std::pair<std::function<void()>, const char *> failures[] = {
      {[&] { orphan.deviceId(); }, "Device ID unavailable"},
      {[&] { orphan.deviceType(); }, "Device Type unavailable"},
      {[&] { orphan.translatorId(); }, "TranslatorID unavailable"},
      {[&] { orphan.translatorName(); }, "TranslatorName unavailable"}};
  for (const auto &[call, text] : failures) {
    SCOPED_TRACE(text);
    try {
      call();
      ADD_FAILURE();
    } catch (const KSXmsg &e) {
      EXPECT_EQ(e.text(), text);
    }
  }
}

} // namespace
} // namespace arxmod::test
