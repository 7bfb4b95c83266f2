// XLARX::ModbusTranslator: device files, requests per invocation and the
// replies of one call.
#include "translator/ModbusTranslator.h"

#include "base/KSXmsg.h"
#include "files/FileManager.h"
#include "map/ModbusFormatter.h"
#include "translator/Truncation.h"
#include "types/NumericTypes.h"
#include "types/StructureTypes.h"

namespace XLARX {

using arxmod::IRefPtr;
using arxmod::PICType;

namespace {

constexpr size_t kResponseStoreBuckets = 11;
constexpr uint32_t kWriteValue = 22; // Register_write_value

bool isVoid(const PICType *argument) {
  return dynamic_cast<const arxmod::VoidType *>(argument) != nullptr;
}

bool readable(const arxmod::TranslationInfo &entry) {
  return entry.requestType == "R" || entry.requestType == "RW";
}

} // namespace

ModbusTranslator::ModbusTranslator(uint32_t deviceId)
    : MappedTranslator(deviceId), responseStore_(kResponseStoreBuckets),
      deviceRecord_(modbusDeviceState(deviceId)) {}

void ModbusTranslator::begin(XL::Transaction &transaction) {
  responseStore_.clear();
  writes_.clear();
  MappedTranslator::begin(transaction);
}

// A due synchronisation takes a pass of its own: it waits while the pass's
// transaction holds other requests. A write is prepared without looking at
// the cache: a fresh cached value answers reads, never writes.
bool ModbusTranslator::prepareInvocation(uint32_t handle, uint32_t method, PICType *argument,
                                         XL::Transaction &transaction,
                                         IRefPtr<XL::Transaction> &subTransaction) {
  if (timeSyncState_ == TimeSyncState::Idle && timeSyncDue()) {
    if (subTransaction && !subTransaction->requests().empty()) {
      subTransaction->close();
      return false;
    }
    if (claimTimeSync())
      timeSyncState_ = TimeSyncState::Requested;
  }
  if (timeSyncState_ == TimeSyncState::Requested)
    return prepareTimeSync(transaction, subTransaction);
  if (method != kWriteValue)
    return MappedTranslator::prepareInvocation(handle, method, argument, transaction,
                                               subTransaction);
  const arxmod::ARXObj *object = findObject(handle);
  const arxmod::TranslationInfo *entry = object ? map()->entryFor(handle) : nullptr;
  if (!entry)
    return true;
  return prepareDeviceRequest(*entry, object, method, argument, transaction, subTransaction);
}

IRefPtr<arxmod::TranslationTree> ModbusTranslator::loadTree() {
  return arxmod::FileManager::instance().getTree(deviceId());
}

IRefPtr<arxmod::TranslationMap> ModbusTranslator::loadMap(const arxmod::TranslationTree &tree) {
  return arxmod::FileManager::instance().getMap(deviceId(), tree);
}

bool ModbusTranslator::isConfigWrite(const XL::Request &request) const {
  return XLARX::isConfigWrite(request);
}

// The reply of the clock setting ends the synchronisation; the replies of
// the steps of a write procedure move it on (they are not values); every
// other reply is kept under its request's item for the rest of the call.
void ModbusTranslator::applyResponse(const IRefPtr<XL::Request> &request,
                                     const IRefPtr<XL::Response> &response) {
  const auto *modbus = dynamic_cast<const ModbusRequest *>(request.get());
  if (!modbus)
    throw arxmod::KSXmsg("Wrong translator");
  IRefPtr<ModbusResponse> reply = arxmod::refCast<ModbusResponse>(response);
  if (!reply)
    throw arxmod::KSXmsg("Invalid response");
  if (timeSyncRequest_ && modbus == timeSyncRequest_.get()) {
    timeSyncReplied(*modbus, *reply);
    return;
  }
  if (const WriteLedger::Followed *followed = writes_.takeReply(*modbus, reply)) {
    WriteLedger::Record &record = writes_.record(followed->key);
    switch (followed->role) {
    case WriteRole::MaskedRead:
    case WriteRole::FirstWords:
      if (followed->role == WriteRole::MaskedRead) {
        record.oneRegister = modbus->item().numberOfRegisters == 1;
        record.currentValue = static_cast<uint16_t>(truncatedInteger(reply->value));
      }
      // A step that failed ends the write with its reply: what follows
      // would build on a value the meter did not give or take.
      if (!isGoodReply(reply.get()))
        writes_.answerFrom(followed->key, arxmod::refCast<ModbusRequest>(request), reply);
      return;
    case WriteRole::CheckRead:
      takeCheckRead(record, *reply);
      return;
    case WriteRole::MeterStep: // the meter's level took it already
      return;
    case WriteRole::Answer:
      break;
    }
  }
  responseStore_.try_emplace(modbus->item(), std::move(reply));
}

bool ModbusTranslator::isResponseOkay(const XL::Request & /*request*/,
                                      const XL::Response &response) const {
  return isGoodReply(dynamic_cast<const ModbusResponse *>(&response));
}

IRefPtr<ModbusTransaction> ModbusTranslator::newSubTransaction(XL::Transaction &transaction) {
  return arxmod::makeRef<ModbusTransaction>(arxmod::retainRef(transaction),
                                            map()->transactionConfig());
}

ModbusTransaction &ModbusTranslator::subTransactionFor(XL::Transaction &transaction,
                                                       IRefPtr<XL::Transaction> &subTransaction) {
  if (!subTransaction)
    subTransaction = newSubTransaction(transaction);
  auto *modbus = dynamic_cast<ModbusTransaction *>(subTransaction.get());
  if (!modbus)
    throw arxmod::KSXmsg("Not ModbusTransaction");
  return *modbus;
}

int32_t ModbusTranslator::requestFormat(const arxmod::TranslationInfo &entry) const {
  return static_cast<int32_t>(
      ModbusFormatter::instance().formatForWriting(entry.format, deviceFlag()));
}

RequestItem ModbusTranslator::readItem(const arxmod::TranslationInfo &entry) const {
  return ModbusRequest::readItem(entry.modbusAddress, requestFormat(entry), entry.mask,
                                 entry.numberOfRegisters, entry.notAvailableCheck,
                                 entry.notAvailableValue);
}

bool ModbusTranslator::prepareDeviceRequest(const arxmod::TranslationInfo &entry,
                                            const arxmod::ARXObj *object, uint32_t method,
                                            PICType *argument, XL::Transaction &transaction,
                                            IRefPtr<XL::Transaction> &subTransaction) {
  if (method == kWriteValue)
    return prepareWrite(entry, object, argument, transaction, subTransaction);
  const arxmod::TranslationInfo *read = nullptr;
  if (method == 21 && readable(entry) && isVoid(argument)) {
    read = &entry;
  } else if (method == 20 && isVoid(argument) && entry.readTimePresent &&
             entry.readTime.handle != 0) {
    read = map()->entryFor(entry.readTime.handle);
  }
  if (read) {
    const RequestItem item = readItem(*read);
    subTransactionFor(transaction, subTransaction)
        .createRead(item.address, item.format, item.mask, item.numberOfRegisters,
                    item.notAvailableCheck, item.notAvailableValue);
  }
  return true;
}

const ModbusResponse *ModbusTranslator::usableReply(const RequestItem &item) const {
  const auto found = responseStore_.find(item);
  if (found == responseStore_.end() || found->second->status != XL::ResponseOkay)
    return nullptr;
  return found->second.get();
}

PICType *ModbusTranslator::exceptionValue(const ModbusResponse &reply, arxmod::MemoryBlob &blob) {
  const ModbusExceptionInfo &exception = modbusException(reply.errorCode & 0xFFFF);
  return blob.make<arxmod::ExceptionType>(exception.valueCode, exception.text);
}

IRefPtr<XL::Engine> makeModbusTranslator(XL::Transaction & /*transaction*/, uint32_t deviceId) {
  return arxmod::makeRef<ModbusTranslator>(deviceId);
}

} // namespace XLARX
