// XLARX::MX4110_4120Translator: the command procedure of the meter's
// command writes (alarm configuration, output assignment, command 2008).
//
// Each command invocation runs its own procedure (CommandRun) within its
// call; its requests are followed by identity (WriteLedger, MeterStep):
//
//   state          prepareCommand                      reply (commandReplied)
//   0 Send         alarm configuration, first pass:    445001 good: alarmConfig
//                  read 445001 (3 words); false
//                  then: the block at 405250; false    405250 good: 2 ResultDue
//   2 ResultDue    wait until 100 ms after the last    405375 good, echoes the
//                  reply; read 405375 (2 words);       command: 1 ResultKnown;
//                  false                               other code: read again,
//                                                      the 5th: 3 Failed
//   1 ResultKnown  answer: code 12 (result 0) or 13    -
//   3 Failed       with the result's text; true        any reply not good: 3
//
// The choices the meter's interface leaves open:
//   - a reply that is not good (a Modbus exception, the not-available
//     marker) fails the command at once: no later step is sent, and the
//     answer is code 13 with that exception's text. A transport failure
//     ends the whole call with its status, as for every request;
//   - a result read must echo the code of the command just sent; a meter
//     that does not after five reads gets no sixth, and the answer is code
//     13 "Command Result Unknown.": the command was sent, its outcome is not
//     known, so success is never claimed;
//   - each step goes out once per invocation, and the procedure never
//     outlives its call: a later call never takes an earlier call's result.
// The 100 ms wait goes through the process clock (waitUntilTick).
#include "meter/MX4110_4120Translator.h"

#include "base/Clock.h"
#include "base/KSXmsg.h"
#include "map/ModbusFormat.h"
#include "meter/MeterCommands.h"
#include "translator/InvocationErrors.h"
#include "translator/Truncation.h"
#include "types/ArrayTypes.h"
#include "types/NumericTypes.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <limits>
#include <stop_token>

namespace XLARX {

using arxmod::IRefPtr;
using arxmod::PICType;

namespace {

constexpr uint32_t kWriteValue = 22;
constexpr size_t kMaxArgumentText = 8192;
constexpr uint32_t kWholeRegister = 0xFFFFFFFF;

// A number at the start of `text` (leading blanks skipped), or none.
template <typename T> std::optional<T> leadingNumber(const std::string &text) {
  const char *first = text.data();
  const char *last = first + text.size();
  while (first != last && (*first == ' ' || *first == '\t'))
    ++first;
  if (first != last && *first == '+')
    ++first;
  T value{};
  if (std::from_chars(first, last, value).ec != std::errc())
    return std::nullopt;
  return value;
}

// The text of a reply that is not good, for the answer of a failed command.
std::string failureText(const ModbusResponse &reply) {
  if (reply.status != XL::ResponseOkay)
    return std::string(XL::responseStatusText(reply.status));
  return std::string(modbusException(reply.errorCode & 0xFFFF).text);
}

} // namespace

std::optional<MX4110_4120Translator::CommandKind>
MX4110_4120Translator::commandKindOf(uint32_t handle, uint32_t method) {
  if (method != kWriteValue)
    return std::nullopt;
  switch (handle) {
  case kAlarmEnableHandle:
  case kAlarmValueHandle:
    return CommandKind::AlarmConfiguration;
  case kOutputAssignmentHandle:
    return CommandKind::OutputAssignment;
  case kCommand2008Handle:
    return CommandKind::Command2008;
  default:
    return std::nullopt;
  }
}

std::optional<std::string> MX4110_4120Translator::argumentText(const PICType *argument) {
  if (const auto *text = dynamic_cast<const arxmod::CharArrayBase *>(argument))
    return text->text().substr(0, kMaxArgumentText);
  return std::nullopt;
}

void MX4110_4120Translator::failCommand(CommandRun &run, std::string text) {
  run.state = CommandState::Failed;
  run.resultCode = kCommandFailed;
  run.resultText = std::move(text);
}

bool MX4110_4120Translator::prepareCommand(const InvocationKey &key, CommandKind kind,
                                           XL::Transaction &transaction,
                                           IRefPtr<XL::Transaction> &subTransaction) {
  if (const WriteLedger::Record *record = writes().find(key);
      record && record->outcome != WriteLedger::Outcome::Pending)
    return true; // answered: nothing more goes out for this invocation
  CommandRun &run = commands_[key];
  try {
    switch (run.state) {
    case CommandState::Send:
    case CommandState::ResultDue:
      return sendCommandStep(key, kind, run, transaction, subTransaction);
    case CommandState::ResultKnown:
    case CommandState::Failed:
      writes().answerWithException(key, run.resultCode, run.resultText);
      return true;
    }
    return true;
  } catch (const arxmod::KSXmsg &) {
    failCommand(run, std::string(kResultUnknownText));
    throw;
  } catch (...) {
    failCommand(run, std::string(kResultUnknownText));
    throw arxmod::KSXmsg("Unknown error in MX4100/4200 Translator::GetAlarmConfigurationCmds "
                         "handle=" +
                         std::to_string(key.handle) + " method=" + std::to_string(kWriteValue));
  }
}

bool MX4110_4120Translator::sendCommandStep(const InvocationKey &key, CommandKind kind,
                                            CommandRun &run, XL::Transaction &transaction,
                                            IRefPtr<XL::Transaction> &subTransaction) {
  IRefPtr<ModbusRequest> request;
  if (run.state == CommandState::ResultDue) {
    const uint32_t due = run.replyTick + kResultReadDelayMs;
    arxmod::Clock &clock = arxmod::currentClock();
    if (!arxmod::tickReached(clock.tickNow(), due))
      clock.waitUntilTick(due, std::stop_token());
    ++run.resultReads;
    request = subTransactionFor(transaction, subTransaction)
                  .createRead(kCommandResultAddress, MBF_U16_21_ARRAY, kWholeRegister,
                              kCommandResultRegisters, false, -1);
  } else if (kind == CommandKind::AlarmConfiguration && !run.configRead) {
    run.configRead = true;
    request = subTransactionFor(transaction, subTransaction)
                  .createRead(kAlarmConfigAddress, MBF_U16_21_ARRAY, kWholeRegister,
                              kAlarmConfigRegisters, false, -1);
  } else {
    const std::optional<std::vector<uint16_t>> block = commandBlock(key, kind, run);
    if (!block)
      return true;
    run.command = (*block)[0];
    request = subTransactionFor(transaction, subTransaction)
                  .createRawWrite(kCommandBlockAddress, MBF_U16_21_ARRAY, *block, true);
  }
  writes().follow(key, std::move(request), WriteRole::MeterStep);
  subTransaction->close();
  return false;
}

// The block of a command from the invocation's argument. Arguments the
// meter would take for something else are refused before anything is sent:
// an alarm value or a 2008 parameter that is no number, or an alarm value
// no 32-bit float holds.
std::optional<std::vector<uint16_t>>
MX4110_4120Translator::commandBlock(const InvocationKey &key, CommandKind kind, CommandRun &run) {
  const std::optional<std::string> text = argumentText(key.argument);
  const auto *number = dynamic_cast<const arxmod::NumericType *>(key.argument);
  const auto refuse = [&](std::string reason) {
    writes().answerWithException(key, ExceptWrongArgument, std::move(reason));
    return std::nullopt;
  };
  if (!text && !number)
    return refuse("");
  switch (kind) {
  case CommandKind::AlarmConfiguration: {
    if (key.handle == kAlarmEnableHandle) {
      // A text must be exactly "Yes" to enable; a number enables when not 0.
      const bool enable = text ? *text == "Yes" : number->asDouble() != 0;
      const auto block = alarmConfigBlock(enable, run.alarmConfig[1], run.alarmConfig[2]);
      return std::vector<uint16_t>(block.begin(), block.end());
    }
    const std::optional<double> value =
        text ? leadingNumber<double>(*text) : std::optional<double>(number->asDouble());
    if (!value || !std::isfinite(*value) || std::fabs(*value) > std::numeric_limits<float>::max())
      return refuse("Invalid alarm value '" + (text ? *text : std::to_string(number->asDouble())) +
                    "'.");
    const auto bits = std::bit_cast<uint32_t>(static_cast<float>(*value));
    const bool enabled = (run.alarmConfig[0] & kAlarmEnabledBit) != 0;
    const auto block =
        alarmConfigBlock(enabled, static_cast<uint16_t>(bits >> 16), static_cast<uint16_t>(bits));
    return std::vector<uint16_t>(block.begin(), block.end());
  }
  case CommandKind::OutputAssignment: {
    // "DO1" assigns the first digital output; "None" and any other text none.
    uint16_t output = text && *text == "DO1" ? 1 : 0;
    if (number) {
      if (number->asDouble() != 0 && number->asDouble() != 1)
        return refuse("Invalid output " + std::to_string(number->asDouble()) + ".");
      output = number->asDouble() == 1 ? 1 : 0;
    }
    const auto block = outputAssignmentBlock(output);
    return std::vector<uint16_t>(block.begin(), block.end());
  }
  case CommandKind::Command2008: {
    const std::optional<int64_t> parameter =
        text ? leadingNumber<int64_t>(*text)
             : std::optional<int64_t>(truncatedInteger(number->asDouble()));
    if (!parameter)
      return refuse("Invalid parameter '" + *text + "'.");
    const auto block = command2008Block(static_cast<uint16_t>(*parameter));
    return std::vector<uint16_t>(block.begin(), block.end());
  }
  }
  return refuse("");
}

void MX4110_4120Translator::commandReplied(const InvocationKey &key, const ModbusRequest &request,
                                           const ModbusResponse &reply) {
  CommandRun &run = commands_[key];
  if (!isGoodReply(&reply)) {
    failCommand(run, failureText(reply));
    return;
  }
  const uint16_t count = request.item().numberOfRegisters;
  if (request.isWrite()) { // the block
    run.replyTick = arxmod::currentClock().tickNow();
    run.state = CommandState::ResultDue;
    return;
  }
  const std::optional<std::vector<uint16_t>> registers = arrayRegisters(reply, count);
  if (!registers) {
    failCommand(run, std::string(kResultUnknownText));
  } else if (count == kAlarmConfigRegisters && run.state == CommandState::Send) {
    std::copy(registers->begin(), registers->end(), run.alarmConfig.begin());
  } else if ((*registers)[0] == run.command) {
    const uint16_t result = (*registers)[1];
    run.state = CommandState::ResultKnown;
    run.resultCode = result == 0 ? kCommandSucceeded : kCommandFailed;
    run.resultText = commandResultText(result);
  } else if (run.resultReads >= kMaxResultReads) {
    failCommand(run, std::string(kResultUnknownText));
  } else {
    run.replyTick = arxmod::currentClock().tickNow(); // read again, after the meter had time
  }
}

} // namespace XLARX
