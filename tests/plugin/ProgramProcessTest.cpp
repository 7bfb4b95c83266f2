// Programs through the real plug-in: a device tree file in the translator
// directory, requests and answers as packets, failures in the system log.
#include "MeterCalls.h"
#include "PluginHarness.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace arxmod::test {
namespace {

struct Statement {
  uint32_t handle;
  uint32_t method;
  uint32_t argument; // an UnsignedType argument when not 0
};

std::vector<uint8_t> request(uint16_t device, std::initializer_list<Statement> statements) {
  RegisteredMemoryBlob blob(kProgramBlobSize);
  auto *program = blob.make<Program>();
  for (const Statement &s : statements)
    program->addStatement(s.handle, s.method,
                          s.argument ? blob.make<UnsignedType>(s.argument) : nullptr);
  return programRequest(device, *program);
}

Answer decodeAnswer(const Call &call) { return test::decodeAnswer(call.answer); }

TEST(ProgramProcessTest, AnswersAProgramFromTheDeviceTree) {
  const Call call =
      callProcess(request(kTreeDevice,
                          {{0x100, 1, 0},    {0x100, 2, 0},     {0x100, 3, 0},    {0x101, 3, 0},
                           {0x100, 131, 0},  {0x100, 129, 128}, {0x101, 133, 20}, {0x100, 1000, 0},
                           {0x100, 1003, 0}, {0x100, 1004, 0},  {0x100, 1007, 0}, {0x105, 540, 0},
                           {0x104, 520, 0},  {0x102, 28, 0},    {0x102, 32, 0},   {0x106, 601, 0},
                           {0x107, 35, 0},   {0x107, 37, 0},    {0x108, 40, 0},   {0x10, 1502, 0},
                           {0x101, 21, 0},   {0x101, 22, 0},    {0x7F012, 1, 0},  {0x100, 999, 0}}),
                  65536);
  ASSERT_TRUE(call.result) << lastLogText();
  const Answer answer = decodeAnswer(call);
  EXPECT_EQ(answer.packetStatus, 0u);
  EXPECT_EQ(answer.replyStatus, 0);
  EXPECT_EQ(answer.actions, 0x04);
  const std::vector<std::string> expected = {
      "511u",
      "Minimum 1",
      "Min One",
      "Vln a",
      "16u",
      "3u",
      "true",
      "UnsignedArrayType { 257u 258u }",
      "UnsignedArrayType { 260u 261u }",
      "UnsignedArrayType { 259u }",
      "StringArrayType { \"Source\" \"Enable\" }",
      "Float64Array { 1 999999 }",
      "StringArrayType { \"4W-WYE\" \"DELTA\" }",
      "RUN",
      "RUN",
      "1u",
      "16u",
      "7u",
      "42u",
      "511u",
      "230.5",
      "ExceptionType { 4u void }",
      "ExceptionType { 9u void Invalid object 7f012 }",
      "ExceptionType { 6u void }",
  };
  EXPECT_EQ(answer.results, expected);
}

TEST(ProgramProcessTest, AnswersAnEmptyProgramAsABadProgram) {
  const Call call = callProcess(request(kTreeDevice, {}));
  ASSERT_TRUE(call.result) << lastLogText();
  const Answer answer = decodeAnswer(call);
  EXPECT_EQ(answer.packetStatus, 1u); // bad packet
  EXPECT_EQ(answer.replyStatus, 1);
  EXPECT_EQ(answer.actions, 0);
  EXPECT_TRUE(answer.results.empty());
}

TEST(ProgramProcessTest, FailsACallWhoseResultsOutgrowTheResultArea) {
  std::vector<Statement> statements(40, Statement{kLongNameHandle, 2, 0});
  RegisteredMemoryBlob blob(kProgramBlobSize);
  auto *program = blob.make<Program>();
  for (const Statement &s : statements)
    program->addStatement(s.handle, s.method);
  const Call call = callProcess(programRequest(kTreeDevice, *program), 200000);
  EXPECT_FALSE(call.result);
  EXPECT_EQ(lastLogText().rfind("Parse Error Caught parse error ", 0), 0u) << lastLogText();
}

TEST(ProgramProcessTest, FailsForADeviceWithoutTree) {
  const Call call = callProcess(request(kNoTreeDevice, {{2, 1, 0}}));
  EXPECT_FALSE(call.result);
  EXPECT_EQ(lastLogText(), "Could not find tree filename for device with ID = 11. The device "
                           "might have been removed from the network configuration.");
}

// Host threads run programs on one device at once; each gets its own answer.
TEST(ProgramProcessTest, ConcurrentProgramsReadOneTree) {
  constexpr int kThreads = 4;
  constexpr int kCalls = 100;
  std::atomic<int> wrongAnswers{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([t, &wrongAnswers] {
      const uint32_t handle = t % 2 ? 0x101 : 0x100;
      const std::string name = t % 2 ? "Vln a" : "Minimum 1";
      const auto packet = request(kTreeDevice, {{handle, 2, 0}, {0x108, 40, 0}, {handle, 999, 0}});
      for (int i = 0; i < kCalls; ++i) {
        const Call call = callProcess(packet);
        const std::vector<std::string> expected = {name, "42u", "ExceptionType { 6u void }"};
        if (!call.result || decodeAnswer(call).results != expected)
          ++wrongAnswers;
      }
    });
  for (auto &thread : threads)
    thread.join();
  EXPECT_EQ(wrongAnswers.load(), 0);
}

} // namespace
} // namespace arxmod::test
