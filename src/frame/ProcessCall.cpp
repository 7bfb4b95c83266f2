// The Process algorithm and its failure table.
#include "frame/ProcessCall.h"

#include "frame/EngineSelection.h"
#include "frame/LegacyDLITransaction.h"
#include "host/Faults.h"
#include "host/LibraryName.h"
#include "host/SLMessage.h"

namespace arxmod {
namespace {

constexpr int32_t kEntryLogCode = 100;
constexpr unsigned kCaughtMessagePriority = 191;
constexpr unsigned kCaughtFaultPriority = 255;

void logCaught(unsigned priority, SLMessage message) noexcept {
  message.write(priority, libraryName(), kEntryLogCode, "Unknown", "");
}

// "Caught: '%s' file %s line %i" names the unit and line of the catch site
// that an operator quotes when reporting the failure.
void logCaughtUnexpected(const char *what, int line) noexcept {
  try {
    logCaught(kCaughtFaultPriority,
              SLMessage::format(LogDestination::ConsoleAndSystemLog, "Caught: '%s' file %s line %i",
                                what, "dli", line));
  } catch (...) {
  }
}

bool run(uint32_t context, const uint8_t *request, int32_t requestLength, uint8_t *answer,
         int32_t *answerLength, ArxExchangeCallback callback) {
  ByteReader in(request, requestLength > 0 ? static_cast<size_t>(requestLength) : 0);
  const int32_t capacity = answerLength ? *answerLength : 0;
  auto transaction = makeRef<LegacyDLITransaction>(in, context, callback, capacity);
  IRefPtr<XL::Engine> engine = selectEngine(*transaction);
  if (engine->process(*transaction) && answer && answerLength) {
    ByteWriter out(answer, capacity > 0 ? static_cast<size_t>(capacity) : 0);
    transaction->writeAnswer(out);
    *answerLength = out.failed() ? -1 : static_cast<int32_t>(out.size());
  }
  return true;
}

} // namespace

bool processCall(uint32_t context, const uint8_t *request, int32_t requestLength, uint8_t *answer,
                 int32_t *answerLength, ArxExchangeCallback callback) noexcept {
  try {
    return run(context, request, requestLength, answer, answerLength, callback);
  } catch (const se_error &fault) {
    logCaughtUnexpected(std::string(fault.name()).c_str(), 396);
  } catch (const KSXmsg &failure) {
    try {
      logCaught(kCaughtMessagePriority,
                SLMessage(LogDestination::ConsoleAndSystemLog, failure.text()));
    } catch (...) {
    }
  } catch (...) {
    logCaughtUnexpected("Unknown exception", 401);
  }
  return false;
}

} // namespace arxmod
