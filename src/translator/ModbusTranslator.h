// XLARX::ModbusTranslator: the level of the translator chain that turns
// invocations on mapped handles into Modbus requests and Modbus replies
// into invocation results.
//
// Preparing an invocation (prepareDeviceRequest) adds requests to the
// pass's ModbusTransaction, made on first need with the map's limits:
//   20 Register_read_time    a read of the entry its ReadTime names
//   21 Register_read_value   a read of the entry (RequestType "R" or "RW");
//                            reads never close the transaction, so the
//                            transaction can merge them
//   22 Register_write_value  (the write side is not built yet: no request)
// Each reply is kept for the rest of the call in the response store under
// its request item (the first reply for an item stays). Answering
// (invokeMapped) looks the entry's item up there:
//   21  the reply's value scaled (ValueConversion) and typed by the
//       object's class kind: Boolean_Register a BooleanType,
//       Numeric_Register a Float64Type, String_Register a text; an entry
//       with configurable values or an enumeration gives the value chosen
//   20  the scaled value of the entry holding the time stamp, or the
//       ReadTime constant
//   3   the configurable label chosen by its selecting handle
// A Modbus exception reply answers with its exception value (code 4 for
// exceptions 1 and 2, 5 for the rest, and its text). Whatever this level
// does not answer goes to MappedTranslator.
#pragma once

#include "modbus/ModbusTransaction.h"
#include "translator/MappedTranslator.h"

#include <unordered_map>

namespace XLARX {

class ModbusTranslator : public MappedTranslator {
public:
  explicit ModbusTranslator(uint32_t deviceId);

  void applyResponse(const arxmod::IRefPtr<XL::Request> &request,
                     const arxmod::IRefPtr<XL::Response> &response) override;
  // True while this call holds any reply.
  bool skipRefresh() const override { return !responseStore_.empty(); }
  arxmod::IRefPtr<arxmod::TranslationTree> loadTree() override;
  arxmod::IRefPtr<arxmod::TranslationMap> loadMap() override;
  bool isConfigWrite(const XL::Request &request) const override;
  uint32_t baseNumber() const override { return 0; }
  bool prepareDeviceRequest(const arxmod::TranslationInfo &entry, const arxmod::ARXObj *object,
                            uint32_t method, arxmod::PICType *argument,
                            XL::Transaction &transaction,
                            arxmod::IRefPtr<XL::Transaction> &subTransaction) override;
  std::string deviceName() const override { return "MODRTU"; }

  void begin(XL::Transaction &transaction) override;
  arxmod::PICType *invokeMapped(uint32_t handle, uint32_t method,
                                arxmod::PICType *argument) override;

  // A new Modbus transaction for one pass, with the map's limits.
  virtual arxmod::IRefPtr<ModbusTransaction> newSubTransaction(XL::Transaction &transaction);
  // Handed to the formatter's choice of the format a request is sent with.
  virtual bool deviceFlag() const { return false; }

protected:
  // The pass's Modbus transaction, made and attached when there is none.
  ModbusTransaction &subTransactionFor(XL::Transaction &transaction,
                                       arxmod::IRefPtr<XL::Transaction> &subTransaction);
  // The item of the read of `entry`, as prepareDeviceRequest sends it.
  RequestItem readItem(const arxmod::TranslationInfo &entry) const;
  // The reply stored under `item` when it came with status okay, else none.
  const ModbusResponse *usableReply(const RequestItem &item) const;
  // The exception value of a reply with an error code.
  static arxmod::PICType *exceptionValue(const ModbusResponse &reply, arxmod::MemoryBlob &blob);

private:
  arxmod::PICType *readValue(const arxmod::TranslationInfo &entry, uint32_t handle,
                             arxmod::PICType *argument);
  arxmod::PICType *readTime(const arxmod::TranslationInfo &entry, arxmod::PICType *argument);
  arxmod::PICType *configurableLabel(const arxmod::TranslationInfo &entry, uint32_t handle,
                                     arxmod::PICType *argument);
  // The text a String_Register shows for a reply.
  std::string registerText(const arxmod::TranslationInfo &entry, const ModbusResponse &reply);

  std::unordered_map<RequestItem, arxmod::IRefPtr<ModbusResponse>, RequestItemHash> responseStore_;
};

// The device translator maker the plug-in installs.
arxmod::IRefPtr<XL::Engine> makeModbusTranslator(XL::Transaction &transaction, uint32_t deviceId);

} // namespace XLARX
