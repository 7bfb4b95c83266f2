// XLARX::MX4110_4120Translator: periodic reads, composed labels, lead/lag,
// the time synchronisation and the routing of replies.
#include "meter/MX4110_4120Translator.h"

#include "base/Clock.h"
#include "base/KSXmsg.h"
#include "map/ModbusFormat.h"
#include "map/ZoneBias.h"
#include "meter/CircuitLabels.h"
#include "meter/MeterCommands.h"
#include "translator/InvocationErrors.h"
#include "types/ArrayTypes.h"
#include "types/NumericTypes.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace XLARX {

using arxmod::IRefPtr;
using arxmod::PICType;

namespace {

constexpr uint32_t kReadLabel = 3;
constexpr uint32_t kReadValue = 21;
constexpr uint32_t kWholeRegister = 0xFFFFFFFF;
// Synchronisation every 3600 s; with the forcing bit the map cannot change it.
constexpr uint32_t kHourly = 3600;
constexpr uint32_t kForcedHourly = 0x1000000 | kHourly;

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

} // namespace

MX4110_4120Translator::MX4110_4120Translator(uint32_t deviceId)
    : ModbusTranslator(deviceId), meter_(meterState(deviceId)) {}

bool MX4110_4120Translator::prepareInvocation(uint32_t handle, uint32_t method, PICType *argument,
                                              XL::Transaction &transaction,
                                              IRefPtr<XL::Transaction> &subTransaction) {
  try {
    if (const std::optional<CommandKind> kind = commandKindOf(handle, method))
      return prepareCommand({handle, argument}, *kind, transaction, subTransaction);
    return ModbusTranslator::prepareInvocation(handle, method, argument, transaction,
                                               subTransaction);
  } catch (const arxmod::KSXmsg &) {
    throw;
  } catch (...) {
    throw arxmod::KSXmsg(
        "An unknown exception has occurred in MX4110_4120Translator::GetTargetRequests. handle= " +
        std::to_string(handle) + " method= " + std::to_string(method));
  }
}

// The labels and the mode are read before the first program pass of a call
// when they are due; the two reads go out in a transaction of their own.
bool MX4110_4120Translator::readyForPrograms(XL::Transaction &transaction,
                                             IRefPtr<XL::Transaction> &subTransaction) {
  if (meter_.claimPeriodicRead(arxmod::currentClock().tickNow())) {
    ModbusTransaction &modbus = subTransactionFor(transaction, subTransaction);
    labelsRead_ = modbus.createRead(kCircuitLabelsAddress, MBF_U16_21_ARRAY, kWholeRegister,
                                    kCircuitLabelsRegisters, false, -1);
    modeRead_ = modbus.createRead(kModeAddress, MBF_U16_21_ARRAY, kWholeRegister, kModeRegisters,
                                  false, -1);
    modbus.close();
  }
  return ModbusTranslator::readyForPrograms(transaction, subTransaction);
}

// Replies of the meter's own requests are taken here and kept from the
// Modbus level's store; a periodic read whose reply is not good changes
// nothing.
void MX4110_4120Translator::applyResponse(const IRefPtr<XL::Request> &request,
                                          const IRefPtr<XL::Response> &response) {
  const auto *modbus = dynamic_cast<const ModbusRequest *>(request.get());
  const auto *reply = dynamic_cast<const ModbusResponse *>(response.get());
  if (!modbus || !reply)
    return ModbusTranslator::applyResponse(request, response); // raises the type errors
  if (const WriteLedger::Followed *followed = writes().followed(*modbus);
      followed && followed->role == WriteRole::MeterStep) {
    commandReplied(followed->key, *modbus, *reply);
    return;
  }
  if (modbus == labelsRead_.get() || modbus == modeRead_.get()) {
    const bool labels = modbus == labelsRead_.get();
    const auto registers =
        isGoodReply(reply)
            ? arrayRegisters(*reply, labels ? kCircuitLabelsRegisters : kModeRegisters)
            : std::nullopt;
    if (registers && labels)
      meter_.updateLabels(decodeCircuitLabels(*registers));
    else if (registers)
      meter_.updateMode(static_cast<int16_t>((*registers)[0]));
    return;
  }
  ModbusTranslator::applyResponse(request, response);
}

PICType *MX4110_4120Translator::invokeMapped(uint32_t handle, uint32_t method, PICType *argument) {
  if (composesLabel(handle, method))
    return composedLabel(handle, method, argument, deviceId());
  if (commandKindOf(handle, method)) {
    const WriteLedger::Record *record = writes().find({handle, argument});
    if (PICType *answer = record ? writeAnswer(*record, argument) : nullptr)
      return answer;
  }
  if (method == kReadValue && handle == kLeadLagHandle)
    if (const arxmod::TranslationInfo *entry = map()->entryFor(handle))
      if (PICType *text = leadLag(*entry, argument))
        return text;
  return ModbusTranslator::invokeMapped(handle, method, argument);
}

// "Lead" for a power factor read of 1 < x <= 2 or -2 <= x < -1, "Lag" for
// -1 < x < 1, empty otherwise; the text carries its terminating zero.
PICType *MX4110_4120Translator::leadLag(const arxmod::TranslationInfo &entry, PICType *argument) {
  if (!dynamic_cast<const arxmod::VoidType *>(argument))
    throw ExceptWrongArgument;
  const ModbusResponse *reply = usableReply(readItem(entry));
  if (!reply || reply->errorCode != 0)
    return nullptr;
  const double x = std::fabs(reply->value);
  const std::string_view text = x > 1 && x <= 2 ? "Lead" : x < 1 ? "Lag" : "";
  return arxmod::makeString(argument->blob(), std::string(text) + '\0');
}

bool MX4110_4120Translator::composesLabel(uint32_t handle, uint32_t method) {
  if (method != kReadLabel || !isComposedLabelHandle(handle))
    return false;
  const arxmod::TranslationInfo *entry = map()->entryFor(handle);
  return entry && meter_.phaseLabel(lastWord(entry->name)) && namesQuantity(entry->name) &&
         meter_.mode() == kComposedLabelMode;
}

PICType *MX4110_4120Translator::composedLabel(uint32_t handle, uint32_t method, PICType *argument,
                                              uint32_t /*deviceId*/) {
  const arxmod::TranslationInfo *entry = map()->entryFor(handle);
  const std::string name = entry ? entry->name : std::string();
  const std::string device =
      (method == kReadLabel ? configuredName() : std::nullopt).value_or("DeviceName");
  const std::string phase = meter_.phaseLabel(lastWord(name)).value_or("Phase A");
  return arxmod::makeString(argument->blob(), composedQuantity(name) + "@" + device + "_" + phase);
}

bool MX4110_4120Translator::performTimeSync(XL::Transaction &transaction,
                                            IRefPtr<XL::Transaction> &subTransaction) {
  const ZoneBias zone = currentZoneBias();
  const int64_t localStandard = arxmod::unixWholeSeconds(arxmod::currentClock().wallNow()) -
                                int64_t{zone.bias + zone.standardBias} * 60;
  ModbusTransaction &modbus = subTransactionFor(transaction, subTransaction);
  modbus.createRawWrite(kCommandBlockAddress, MBF_U16_21_ARRAY,
                        setTimeBlock(meterTimeOf(localStandard)), false);
  modbus.close();
  return true;
}

uint32_t MX4110_4120Translator::timeSyncDefault() {
  const std::optional<arxmod::DeviceRecord> record = configuredDevice();
  if (record && equalsIgnoringCase(record->customProperty1, "No"))
    return 0;
  if (record && equalsIgnoringCase(record->customProperty1, "Yes"))
    return kForcedHourly;
  return kHourly;
}

IRefPtr<XL::Engine> makeMX4110_4120Translator(XL::Transaction & /*transaction*/,
                                              uint32_t deviceId) {
  return arxmod::makeRef<MX4110_4120Translator>(deviceId);
}

} // namespace XLARX
