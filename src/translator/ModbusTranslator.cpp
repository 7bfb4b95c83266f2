// XLARX::ModbusTranslator: device files, requests per invocation and the
// replies of one call.
#include "translator/ModbusTranslator.h"

#include "base/KSXmsg.h"
#include "files/FileManager.h"
#include "map/ModbusFormatter.h"
#include "types/NumericTypes.h"
#include "types/StructureTypes.h"

namespace XLARX {

using arxmod::IRefPtr;
using arxmod::PICType;

namespace {

constexpr size_t kResponseStoreBuckets = 11;

bool isVoid(const PICType *argument) {
  return dynamic_cast<const arxmod::VoidType *>(argument) != nullptr;
}

bool readable(const arxmod::TranslationInfo &entry) {
  return entry.requestType == "R" || entry.requestType == "RW";
}

} // namespace

ModbusTranslator::ModbusTranslator(uint32_t deviceId)
    : MappedTranslator(deviceId), responseStore_(kResponseStoreBuckets) {}

void ModbusTranslator::begin(XL::Transaction &transaction) {
  responseStore_.clear();
  MappedTranslator::begin(transaction);
}

IRefPtr<arxmod::TranslationTree> ModbusTranslator::loadTree() {
  return arxmod::FileManager::instance().getTree(deviceId());
}

IRefPtr<arxmod::TranslationMap> ModbusTranslator::loadMap() {
  return arxmod::FileManager::instance().getMap(deviceId());
}

bool ModbusTranslator::isConfigWrite(const XL::Request &request) const {
  return XLARX::isConfigWrite(request);
}

void ModbusTranslator::applyResponse(const IRefPtr<XL::Request> &request,
                                     const IRefPtr<XL::Response> &response) {
  const auto *modbus = dynamic_cast<const ModbusRequest *>(request.get());
  if (!modbus)
    throw arxmod::KSXmsg("Wrong translator");
  IRefPtr<ModbusResponse> reply = arxmod::refCast<ModbusResponse>(response);
  if (!reply)
    throw arxmod::KSXmsg("Invalid response");
  responseStore_.try_emplace(modbus->item(), std::move(reply));
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

RequestItem ModbusTranslator::readItem(const arxmod::TranslationInfo &entry) const {
  const uint32_t format = ModbusFormatter::instance().formatForWriting(entry.format, deviceFlag());
  return ModbusRequest::readItem(entry.modbusAddress, static_cast<int32_t>(format), entry.mask,
                                 entry.numberOfRegisters, entry.notAvailableCheck,
                                 entry.notAvailableValue);
}

bool ModbusTranslator::prepareDeviceRequest(const arxmod::TranslationInfo &entry,
                                            const arxmod::ARXObj * /*object*/, uint32_t method,
                                            PICType *argument, XL::Transaction &transaction,
                                            IRefPtr<XL::Transaction> &subTransaction) {
  const arxmod::TranslationInfo *read = nullptr;
  IRefPtr<arxmod::TranslationInfo> timeEntry;
  if (method == 21 && readable(entry) && isVoid(argument)) {
    read = &entry;
  } else if (method == 20 && isVoid(argument) && entry.readTimePresent &&
             entry.readTime.handle != 0) {
    timeEntry = map()->find(entry.readTime.handle);
    read = timeEntry.get();
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
