// XLARX::ModbusTranslator: writes of masked boolean registers, which share
// their register with other values, and the two masked boolean conversions.
//
// The write reads the register in one pass and writes it back in the next
// with only the mask's bits changed, per invocation (WriteLedger::Record):
//
//   step  prepareMaskedWrite                       reply (applyResponse)
//   0     value 1 or 0? read the register (mask    good: oneRegister,
//         0xFFFFFFFF), step 1, close; false        currentValue; not good:
//                                                  the read's reply answers
//   1     n = (w & Mask) | (currentValue & ~Mask)  the write's reply answers
//         written, close; true
//
// A read that fails (an exception, the not-available marker) ends the
// write there: writing the other bits from a value the meter did not give
// would change them, so nothing is written and the read's exception value
// answers. A value other than 1 or 0 is refused before the read.
#include "translator/ModbusTranslator.h"

#include "base/KSXmsg.h"
#include "map/ModbusFormat.h"
#include "translator/InvocationErrors.h"
#include "translator/Truncation.h"

namespace XLARX {

using arxmod::IRefPtr;

namespace {

constexpr uint32_t kWholeRegister = 0xFFFFFFFF;

void requireMaskedFormat(const arxmod::TranslationInfo &entry, std::string_view conversion) {
  if (entry.format != MBF_MaskedBool && entry.format != MBF_InvertedMaskedBool)
    throw arxmod::KSXmsg(std::string(conversion) +
                         " may only be called for masked boolean formats.");
}

} // namespace

uint32_t ConvertMaskedBooleanWriteValue(const arxmod::TranslationInfo &entry, double value) {
  requireMaskedFormat(entry, "ConvertMaskedBooleanWriteValue");
  const int64_t state = truncatedInteger(value);
  if (state != 1 && state != 0)
    throw arxmod::KSXmsg("ConvertMaskedBooleanWriteValue expects an input value of 1 or 0.");
  return (state == 1) != (entry.format == MBF_InvertedMaskedBool) ? 0xFFFFFFFFu : 0u;
}

uint16_t ConvertMaskedBoolStringValue(const arxmod::TranslationInfo &entry, double value) {
  requireMaskedFormat(entry, "ConvertMaskedBoolStringValue");
  const auto bits = static_cast<uint16_t>(truncatedInteger(value));
  if (entry.format == MBF_InvertedMaskedBool)
    return bits == 0 ? 1 : 0;
  return bits;
}

bool ModbusTranslator::prepareMaskedWrite(const arxmod::TranslationInfo &entry,
                                          const arxmod::ARXObj *object, const InvocationKey &key,
                                          XL::Transaction &transaction,
                                          IRefPtr<XL::Transaction> &subTransaction) {
  WriteLedger::Record &record = writes_.record(key);
  const std::optional<double> value = writeValueFor(entry, object, key);
  if (!value)
    return true;
  const uint32_t bits = ConvertMaskedBooleanWriteValue(entry, *value);
  if (record.step == 0) {
    ModbusTransaction &modbus = subTransactionFor(transaction, subTransaction);
    writes_.follow(key,
                   modbus.createRead(entry.modbusAddress, requestFormat(entry), kWholeRegister,
                                     entry.numberOfRegisters, entry.notAvailableCheck,
                                     entry.notAvailableValue),
                   WriteRole::MaskedRead);
    record.step = 1;
    modbus.close();
    return false;
  }
  if (!record.oneRegister) {
    // The entry spans several registers: there is no one register to merge into.
    writes_.answerWithException(key, ExceptWrongArgument, "");
    return true;
  }
  const uint32_t merged = (bits & entry.mask) | (record.currentValue & ~entry.mask);
  ModbusTransaction &modbus = subTransactionFor(transaction, subTransaction);
  writes_.follow(key,
                 modbus.createWrite(entry.modbusAddress, requestFormat(entry), entry.mask, merged,
                                    entry.numberOfRegisters, entry.configWrite),
                 WriteRole::Answer);
  modbus.close();
  return true;
}

} // namespace XLARX
