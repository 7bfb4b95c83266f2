// XLARX::ModbusTranslator: writes of mapped handles, and their answers.
//
// Every write goes out in a transaction of its own, so that its reply is
// its alone. By request type and format:
//   "W", "RW"  28, 29 (texts)   the argument's text
//              30, 31 (arrays)  the words of the entry's WriteValue; the
//                               argument's value is not written
//              32, 33           read-modify-write (ModbusMaskedWrite.cpp)
//              any other        the argument's value, scaled
//   "CW"       30, 31           a reset (ModbusReset.cpp)
//              any other        two messages (ModbusCommandWrite.cpp)
// A NumericBounded_Register refuses a value outside its bounds first. A
// refused write sends nothing; its answer is recorded at once in the
// call's WriteLedger, as is, for a write that went out, the reply that
// answers it.
#include "translator/ModbusTranslator.h"

#include "base/KSXmsg.h"
#include "map/ModbusFormat.h"
#include "translator/InvocationErrors.h"
#include "tree/RegisterObj.h"
#include "types/ArrayTypes.h"
#include "types/NumericTypes.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <iomanip>
#include <sstream>

namespace XLARX {

using arxmod::IRefPtr;
using arxmod::PICType;

namespace {

constexpr uint32_t kNumericBoundedRegister = 24;
// Most words a WriteValue text gives: what one message may write at most
// in the public Modbus protocol's register reads (125, 0x7D).
constexpr size_t kMaxWriteValueWords = 125;

bool isAsciiFormat(uint32_t format) { return format == MBF_ASCII || format == MBF_ASCII_Reverse; }

bool isArrayFormat(uint32_t format) {
  return format == MBF_U16_21_ARRAY || format == MBF_U16_12_ARRAY;
}

bool isMaskedFormat(uint32_t format) {
  return format == MBF_MaskedBool || format == MBF_InvertedMaskedBool;
}

const arxmod::CharArrayBase *textArgument(const PICType *argument) {
  return dynamic_cast<const arxmod::CharArrayBase *>(argument);
}

std::string fixedTwo(double value) {
  std::ostringstream out;
  out << std::fixed << std::setprecision(2) << value;
  return out.str();
}

// A piece of WriteValue as a number: leading blanks skipped, an optional
// sign, then digits; anything else ends it, and no digits give 0. Digits
// past what an int holds saturate instead of overflowing.
uint16_t decimalWord(std::string_view piece) {
  size_t at = 0;
  while (at < piece.size() && std::isspace(static_cast<unsigned char>(piece[at])))
    ++at;
  bool negative = false;
  if (at < piece.size() && (piece[at] == '+' || piece[at] == '-'))
    negative = piece[at++] == '-';
  long long number = 0;
  for (; at < piece.size() && std::isdigit(static_cast<unsigned char>(piece[at])); ++at)
    number = std::min<long long>(number * 10 + (piece[at] - '0'), INT_MAX);
  return static_cast<uint16_t>(negative ? -number : number);
}

} // namespace

std::vector<uint16_t> ModbusTranslator::writeValueWords(const arxmod::TranslationInfo &entry) {
  std::vector<uint16_t> words;
  std::string_view rest = entry.writeValueText;
  while (!rest.empty() && words.size() < kMaxWriteValueWords) {
    const size_t comma = rest.find(',');
    const std::string_view piece = rest.substr(0, comma);
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    if (piece.empty())
      continue;
    words.push_back(piece.find("PASS") != std::string_view::npos
                        ? static_cast<uint16_t>(passwordCandidate(0))
                        : decimalWord(piece));
  }
  return words;
}

bool ModbusTranslator::prepareWrite(const arxmod::TranslationInfo &entry,
                                    const arxmod::ARXObj *object, PICType *argument,
                                    XL::Transaction &transaction,
                                    IRefPtr<XL::Transaction> &subTransaction) {
  const bool normal = entry.requestType == "W" || entry.requestType == "RW";
  const bool command = entry.requestType == "CW";
  if (!normal && !command)
    return true;
  const InvocationKey key{entry.handle, argument};
  // An invocation whose answer is known sends nothing more, whoever asks.
  if (const WriteLedger::Record *record = writes_.find(key);
      record && record->outcome != WriteLedger::Outcome::Pending)
    return true;
  if (subTransaction && !subTransaction->requests().empty()) {
    subTransaction->close();
    return false;
  }
  if (command)
    return isArrayFormat(entry.format)
               ? prepareReset(entry, key, transaction, subTransaction)
               : prepareCommandWrite(entry, object, key, transaction, subTransaction);
  if (isMaskedFormat(entry.format))
    return prepareMaskedWrite(entry, object, key, transaction, subTransaction);
  return prepareNormalWrite(entry, object, key, transaction, subTransaction);
}

bool ModbusTranslator::prepareNormalWrite(const arxmod::TranslationInfo &entry,
                                          const arxmod::ARXObj *object, const InvocationKey &key,
                                          XL::Transaction &transaction,
                                          IRefPtr<XL::Transaction> &subTransaction) {
  if (!withinBounds(object, key))
    return true;
  IRefPtr<ModbusRequest> request;
  if (isAsciiFormat(entry.format)) {
    const arxmod::CharArrayBase *text = textArgument(key.argument);
    if (!text) {
      writes_.answerWithException(key, ExceptWrongArgument, "");
      return true;
    }
    request = subTransactionFor(transaction, subTransaction)
                  .createTextWrite(entry.modbusAddress, requestFormat(entry), text->text(),
                                   entry.numberOfRegisters, entry.configWrite);
  } else if (isArrayFormat(entry.format)) {
    request = subTransactionFor(transaction, subTransaction)
                  .createRawWrite(entry.modbusAddress, requestFormat(entry), writeValueWords(entry),
                                  entry.configWrite);
  } else {
    if (entry.numberOfRegisters == 0)
      throw arxmod::KSXmsg("Invalid Number Of Registers set in map/tree file.");
    const std::optional<double> value = writeValueFor(entry, object, key);
    if (!value)
      return true;
    request = subTransactionFor(transaction, subTransaction)
                  .createWrite(entry.modbusAddress, requestFormat(entry), entry.mask, *value,
                               entry.numberOfRegisters, entry.configWrite);
  }
  writes_.follow(key, std::move(request), WriteRole::Answer);
  subTransaction->close();
  return true;
}

// A value that cannot be written (no number, an unknown enumeration text, a
// scaling that refuses it, or no finite number at all, which no register
// can hold) is refused before anything is sent.
std::optional<double> ModbusTranslator::writeValueFor(const arxmod::TranslationInfo &entry,
                                                      const arxmod::ARXObj *object,
                                                      const InvocationKey &key) {
  std::optional<double> value;
  try {
    value = conversion().writeValueOf(entry, object, key.argument);
  } catch (const MappedARXException &refusal) {
    writes_.answerWithException(key, refusal.code(), refusal.text());
    return std::nullopt;
  }
  if (!value || !std::isfinite(*value)) {
    writes_.answerWithException(key, ExceptWrongArgument, "");
    return std::nullopt;
  }
  return value;
}

bool ModbusTranslator::withinBounds(const arxmod::ARXObj *object, const InvocationKey &key) {
  const auto *bounded = dynamic_cast<const arxmod::BoundedObj *>(object);
  const auto *number = dynamic_cast<const arxmod::NumericType *>(key.argument);
  if (!bounded || bounded->classNumber() != kNumericBoundedRegister || !bounded->bounds() ||
      !number)
    return true;
  const auto [lower, upper] = *bounded->bounds();
  const double value = number->asDouble();
  if (value >= lower && value <= upper) // NaN fails both
    return true;
  writes_.answerWithException(key, ExceptWrongArgument,
                              object->label().value_or(object->name()) + " value " +
                                  fixedTwo(value) +
                                  " is invalid. The values must be in the range from " +
                                  fixedTwo(lower) + " to " + fixedTwo(upper) + ".");
  return false;
}

PICType *ModbusTranslator::writeAnswer(const WriteLedger::Record &record, PICType *argument) {
  arxmod::MemoryBlob &blob = argument->blob();
  switch (record.outcome) {
  case WriteLedger::Outcome::Exception:
    return record.text.empty() ? exceptionResult(blob, record.code)
                               : blob.make<arxmod::ExceptionType>(record.code, record.text);
  case WriteLedger::Outcome::Confirmed:
    return blob.make<arxmod::BooleanType>(1u);
  case WriteLedger::Outcome::Sent:
    if (!record.reply || record.reply->status != XL::ResponseOkay)
      return nullptr;
    if (record.reply->errorCode != 0)
      return exceptionValue(*record.reply, blob);
    return blob.make<arxmod::BooleanType>(record.reply->value != 0 ? 1u : 0u);
  case WriteLedger::Outcome::Pending:
    break;
  }
  return nullptr;
}

// A write the call never decided (its request type writes nothing, or no
// pass reached it) answers as the refusals of its argument would, and
// otherwise leaves the answer to the levels above.
PICType *ModbusTranslator::invokeWrite(const arxmod::TranslationInfo &entry, uint32_t handle,
                                       PICType *argument) {
  if (const WriteLedger::Record *record = writes_.find({handle, argument}))
    if (record->outcome != WriteLedger::Outcome::Pending)
      return writeAnswer(*record, argument);
  if (entry.requestType == "CW")
    return isArrayFormat(entry.format) ? argument->blob().make<arxmod::ExceptionType>(
                                             ExceptWrongArgument, kResetFailureText)
                                       : nullptr;
  const arxmod::ARXObj *object = findObject(handle);
  if (!object)
    throw ExceptWrongArgument;
  if (isAsciiFormat(entry.format)
          ? !textArgument(argument)
          : !isArrayFormat(entry.format) && !conversion().writeValueOf(entry, object, argument))
    throw ExceptWrongArgument;
  return nullptr;
}

} // namespace XLARX
