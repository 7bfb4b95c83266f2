// Which failures of a program's execution become the answer's status, and
// which reach Process's failure table as what they are.
#include "PacketBuilder.h"
#include "TempHostDatabase.h"
#include "TreeFixture.h"
#include "frame/EngineSelection.h"
#include "frame/ProcessCall.h"
#include "messages/ENVLMessage.h"
#include "messages/PIC_Message.h"

#include <functional>
#include <gtest/gtest.h>
#include <new>
#include <stdexcept>

namespace arxmod::test {
namespace {

// What the mapped level throws on every invocation of the current case.
std::function<void()> raiseFromInvocation;

IRefPtr<XL::Engine> makeRaisingTranslator(XL::Transaction &, uint32_t) {
  auto translator = makeRef<TreeFixture>();
  translator->mapped = [](uint32_t, uint32_t, PICType *) -> PICType * {
    raiseFromInvocation();
    return nullptr;
  };
  return translator;
}

std::vector<uint8_t> programPacket() {
  RegisteredMemoryBlob blob(kProgramBlobSize);
  auto *program = blob.make<Program>();
  program->addStatement(0x101, 2);
  return programRequest(7, 1, *program);
}

void noDevice(uint32_t, const uint8_t *, int32_t, uint8_t *, int32_t *replyLength) {
  *replyLength = 0;
}

TEST(ProgramFailureTest, OnlyARaisedStatusBecomesTheAnswersStatus) {
  TempHostDatabase db;
  db.exec("INSERT INTO Translator VALUES(1,'MX4110_4120',0,'mx4110_4120.so')");
  installDeviceTranslatorMaker(&makeRaisingTranslator);
  const std::string unexpected = "255|Caught: 'Unknown exception' file dli line 401";
  const struct {
    const char *name;
    std::function<void()> raise;
    std::string logged; // "priority|text" of the failure's entry; empty when answered
  } cases[] = {
      {"a raised status", [] { throw XL::ResponseSiteNotConnected; }, ""},
      {"out of memory", [] { throw std::bad_alloc(); }, unexpected},
      {"a programming error", [] { throw std::logic_error("broken invariant"); }, unexpected},
      {"anything else", [] { throw 42; }, unexpected},
      {"a typed value's failure", [] { throw PICType::InvalidType(); }, "191|Invalid Type"},
  };
  const std::vector<uint8_t> request = programPacket();
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    raiseFromInvocation = c.raise;
    std::vector<uint8_t> answer(4096);
    int32_t length = 4096;
    const bool processed = processCall(1, request.data(), static_cast<int32_t>(request.size()),
                                       answer.data(), &length, &noDevice);
    EXPECT_EQ(processed, c.logged.empty());
    if (processed) {
      ByteReader in(answer.data(), static_cast<size_t>(length));
      const DL_Info packet = DL_Info::read(in);
      EXPECT_EQ(packet.status, 3u); // site not connected
      ByteReader data(packet.data);
      ENVLMessage reply;
      reply.decode(data);
      EXPECT_EQ(reply.nodeMessage()->programMessage().impl().status(),
                PIC_MessageImpl::kSiteNotConnected);
    } else {
      EXPECT_EQ(length, 4096);
      EXPECT_EQ(db.text("SELECT Priority||'|'||Text FROM SystemLog ORDER BY ID DESC LIMIT 1"),
                c.logged);
    }
  }
  installDeviceTranslatorMaker(nullptr);
}

} // namespace
} // namespace arxmod::test
