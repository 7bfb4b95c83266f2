// XLARX::ModbusTranslator: command writes ("CW") of values wider than one
// register, which the meter carries out when the register at the entry's
// own address is written. The words above the low one go first, to the
// registers after it; the low word goes last, alone:
//
//   step  prepareCommandWrite                     reply (applyResponse)
//   0     v = the value, truncated; NumberOfRegisters > 1: the words of v
//         from bit 16 up, at address + 1, step 1, not good: that reply
//         close; false (a one-register entry goes answers, nothing more
//         straight on to step 1)                  is sent
//   1     v AND 0xFFFF at the address, step 2,    the reply answers
//         close; true
//
// Both messages carry the value of step 0, so the two halves always belong
// to one value even when a scaling reference changes between the passes.
// Example: U32-4321 at 400101 with 0x12345678 writes 0x1234 to 400102,
// then 0x5678 to 400101.
#include "translator/ModbusTranslator.h"

#include "base/KSXmsg.h"
#include "map/ModbusFormat.h"
#include "translator/Truncation.h"

#include <cctype>

namespace XLARX {

using arxmod::IRefPtr;

namespace {

// A command value spans at most 4 registers (64 bits).
constexpr uint16_t kMaxCommandRegisters = 4;

// The address text of the register after `address`: the digits of the
// register address counted up by one, a unit prefix ("2:") and anything
// after the digits kept ("2:400101" gives "2:400102").
std::string addressAfter(std::string_view address) {
  const size_t colon = address.rfind(':');
  const size_t first = colon == std::string_view::npos ? 0 : colon + 1;
  size_t end = first;
  while (end < address.size() && std::isdigit(static_cast<unsigned char>(address[end])))
    ++end;
  std::string next(address.substr(0, end));
  size_t at = end;
  for (; at > first; --at) { // add one with carry, keeping the width
    char &digit = next[at - 1];
    if (digit != '9') {
      ++digit;
      break;
    }
    digit = '0';
  }
  if (at == first)
    next.insert(first, 1, '1');
  next.append(address.substr(end));
  return next;
}

} // namespace

bool ModbusTranslator::prepareCommandWrite(const arxmod::TranslationInfo &entry,
                                           const arxmod::ARXObj *object, const InvocationKey &key,
                                           XL::Transaction &transaction,
                                           IRefPtr<XL::Transaction> &subTransaction) {
  const uint16_t registers = entry.numberOfRegisters;
  if (registers == 0 || registers > kMaxCommandRegisters)
    throw arxmod::KSXmsg("Invalid Number Of Registers set in map/tree file.");
  WriteLedger::Record &record = writes_.record(key);
  if (record.step == 0) {
    const std::optional<double> value = writeValueFor(entry, object, key);
    if (!value)
      return true;
    record.commandValue = truncatedInteger(*value);
    record.step = 1;
    if (registers > 1) {
      const auto bits = static_cast<uint64_t>(record.commandValue);
      std::vector<uint16_t> words;
      for (unsigned k = 1; k < registers; ++k)
        words.push_back(static_cast<uint16_t>(bits >> (16 * k)));
      ModbusTransaction &modbus = subTransactionFor(transaction, subTransaction);
      writes_.follow(key,
                     modbus.createRawWrite(addressAfter(entry.modbusAddress), MBF_U16_21_ARRAY,
                                           words, entry.configWrite),
                     WriteRole::FirstWords);
      modbus.close();
      return false;
    }
  }
  if (record.step == 1) {
    const uint16_t low[] = {static_cast<uint16_t>(record.commandValue & 0xFFFF)};
    ModbusTransaction &modbus = subTransactionFor(transaction, subTransaction);
    writes_.follow(
        key, modbus.createRawWrite(entry.modbusAddress, MBF_U16_21_ARRAY, low, entry.configWrite),
        WriteRole::Answer);
    record.step = 2;
    modbus.close();
  }
  return true;
}

} // namespace XLARX
