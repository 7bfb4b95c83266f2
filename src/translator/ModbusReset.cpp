// XLARX::ModbusTranslator: resets, command writes ("CW") of array entries,
// which the meter confirms by showing the entry's CheckRegValue in its
// CheckRegister. Each reset invocation runs its own ResetControl
// (WriteLedger::Record):
//
//   state           prepareReset                        check read reply
//   0 Idle          write the WriteValue words ("PASS":   -
//                   the current password candidate),
//                   2, close; false
//   2 CheckDue      read the check register (1 word,      -
//                   U16), 3, close; false
//   3 CheckSent     (the reply was not good) answer the   good, = CheckRegValue: 4
//                   reset failure; true                   good, other: 2 (the 5th: 5)
//   4 Confirmed     first candidate again; answer true    -
//   5 CheckFailed   next candidate: back to 0 at once;    -
//                   none left: trace "Reset failed.",
//                   answer the reset failure; true
//
// So a meter that never shows the value gets five check reads and no more,
// and the command goes out once per password candidate (once here: the
// list is empty). The control never outlives its call, and two calls for
// one device never share one.
#include "translator/ModbusTranslator.h"

#include "map/ModbusFormat.h"
#include "translator/InvocationErrors.h"
#include "translator/Truncation.h"

namespace XLARX {

using arxmod::IRefPtr;

namespace {

// Check reads of one reset before it counts as failed.
constexpr uint32_t kMaxCheckReads = 5;
constexpr uint32_t kWholeRegister = 0xFFFFFFFF;

} // namespace

int16_t ModbusTranslator::passwordCandidate(int op) {
  constexpr uint16_t kEndMark = 0xFFFF;
  switch (op) {
  case 0:
    return static_cast<int16_t>(passwords_[passwordIndex_]);
  case 1:
    ++passwordIndex_;
    if (passwordIndex_ >= passwords_.size() || passwords_[passwordIndex_] == kEndMark) {
      passwordIndex_ = 0;
      return -1;
    }
    return static_cast<int16_t>(passwords_[passwordIndex_]);
  case 2:
    passwordIndex_ = 0;
    return 1;
  default:
    return -1;
  }
}

bool ModbusTranslator::prepareReset(const arxmod::TranslationInfo &entry, const InvocationKey &key,
                                    XL::Transaction &transaction,
                                    IRefPtr<XL::Transaction> &subTransaction) {
  WriteLedger::Record &record = writes_.record(key);
  for (;;) {
    switch (record.reset) {
    case ResetState::Idle: {
      record.checkCount = 0;
      record.checkValue = entry.checkRegValue;
      record.checkRegister = entry.checkRegister;
      ModbusTransaction &modbus = subTransactionFor(transaction, subTransaction);
      modbus.createRawWrite(entry.modbusAddress, requestFormat(entry), writeValueWords(entry),
                            entry.configWrite);
      record.reset = ResetState::CheckDue;
      modbus.close();
      return false;
    }
    case ResetState::CheckDue: {
      ModbusTransaction &modbus = subTransactionFor(transaction, subTransaction);
      writes_.follow(key,
                     modbus.createRead(std::to_string(truncatedInteger(record.checkRegister)),
                                       MBF_U16_21, kWholeRegister, 1, false, -1),
                     WriteRole::CheckRead);
      record.reset = ResetState::CheckSent;
      modbus.close();
      return false;
    }
    case ResetState::CheckSent:
      record.reset = ResetState::Idle;
      writes_.answerWithException(key, ExceptWrongArgument, std::string(kResetFailureText));
      return true;
    case ResetState::Confirmed:
      record.reset = ResetState::Idle;
      passwordCandidate(2);
      writes_.confirm(key);
      return true;
    case ResetState::CheckFailed:
      record.reset = ResetState::Idle;
      if (passwordCandidate(1) != -1)
        continue;
      trace("Reset failed.");
      writes_.answerWithException(key, ExceptWrongArgument, std::string(kResetFailureText));
      return true;
    }
  }
}

void ModbusTranslator::takeCheckRead(WriteLedger::Record &record, const ModbusResponse &reply) {
  if (record.reset != ResetState::CheckSent || !isGoodReply(&reply))
    return;
  ++record.checkCount;
  if (reply.value == record.checkValue) {
    record.reset = ResetState::Confirmed;
    record.checkCount = 0;
  } else if (record.checkCount < kMaxCheckReads) {
    record.reset = ResetState::CheckDue;
  } else {
    record.reset = ResetState::CheckFailed;
    record.checkCount = 0;
  }
}

} // namespace XLARX
