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
//   22 Register_write_value  a write in a transaction of its own
//                            (ModbusWrites.cpp): "W"/"RW" by format, "CW"
//                            as a two-message command or a reset
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
//   22  from the write's own record (WriteLedger): true, the meter's
//       exception, or the refusal of a value that was never sent
// A Modbus exception reply answers with its exception value (code 4 for
// exceptions 1 and 2, 5 for the rest, and its text). Whatever this level
// does not answer goes to MappedTranslator.
//
// Procedures that span passes, each a small state machine (README.md has
// their tables): masked boolean writes (ModbusMaskedWrite.cpp), two-message
// command writes (ModbusCommandWrite.cpp), resets confirmed through a check
// register (ModbusReset.cpp) and the time synchronisation of the meter's
// clock (ModbusTimeSync.cpp). The device side of the synchronisation
// (performTimeSync, timeSyncDefault) belongs to the meter's own level; here
// no synchronisation is configured.
#pragma once

#include "modbus/ModbusTransaction.h"
#include "translator/MappedTranslator.h"
#include "translator/ModbusDeviceState.h"
#include "translator/WriteLedger.h"

#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace XLARX {

// The answer to a reset that the meter never confirmed.
inline constexpr std::string_view kResetFailureText =
    "Failure to execute reset or invalid password used in reset.  Please check the device "
    "instructions.";

class ModbusTranslator : public MappedTranslator {
public:
  explicit ModbusTranslator(uint32_t deviceId);

  void applyResponse(const arxmod::IRefPtr<XL::Request> &request,
                     const arxmod::IRefPtr<XL::Response> &response) override;
  // True while this call holds any reply.
  bool skipRefresh() const override { return !responseStore_.empty(); }
  arxmod::IRefPtr<arxmod::TranslationTree> loadTree() override;
  arxmod::IRefPtr<arxmod::TranslationMap> loadMap(const arxmod::TranslationTree &tree) override;
  bool isConfigWrite(const XL::Request &request) const override;
  uint32_t baseNumber() const override { return 0; }
  bool prepareDeviceRequest(const arxmod::TranslationInfo &entry, const arxmod::ARXObj *object,
                            uint32_t method, arxmod::PICType *argument,
                            XL::Transaction &transaction,
                            arxmod::IRefPtr<XL::Transaction> &subTransaction) override;
  std::string deviceName() const override { return "MODRTU"; }

  void begin(XL::Transaction &transaction) override;
  bool prepareInvocation(uint32_t handle, uint32_t method, arxmod::PICType *argument,
                         XL::Transaction &transaction,
                         arxmod::IRefPtr<XL::Transaction> &subTransaction) override;
  arxmod::PICType *invokeMapped(uint32_t handle, uint32_t method,
                                arxmod::PICType *argument) override;

  // A new Modbus transaction for one pass, with the map's limits.
  virtual arxmod::IRefPtr<ModbusTransaction> newSubTransaction(XL::Transaction &transaction);
  // Adds the request that sets the meter's clock and answers true; true
  // without request when no synchronisation is configured. Raises KSXmsg
  // "PerformTimesync not implemented !" otherwise: the meter's level
  // supplies the real one.
  virtual bool performTimeSync(XL::Transaction &transaction,
                               arxmod::IRefPtr<XL::Transaction> &subTransaction);
  // The translator's synchronisation interval in seconds (0: none); 0x1000000
  // and above: the low 24 bits, which the map cannot change.
  virtual uint32_t timeSyncDefault() { return 0; }
  // True for a reply with status okay and error code 0.
  virtual bool isResponseOkay(const XL::Request &request, const XL::Response &response) const;
  // True within 75 seconds of a five-minute boundary of the UTC clock.
  virtual bool nearFiveMinuteMark() const;
  // Handed to the formatter's choice of the format a request is sent with.
  virtual bool deviceFlag() const { return false; }
  // True when a synchronisation of the meter's clock is due now.
  virtual bool timeSyncDue();
  // "TimeSyncing '<device>'" on the console, with the device's site as origin.
  virtual void logTimeSync();
  // The password candidates of resets: op 0 the current one; op 1 the next
  // one, or -1 (and back to the first) when they are used up; op 2 back to
  // the first, answering 1; any other op -1.
  virtual int16_t passwordCandidate(int op);

  // Seconds between synchronisations from timeSyncDefault and the map's
  // TimeSyncInterval; 0 or below: none.
  int64_t timeSyncInterval();

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
  // The format a request for `entry` is sent with.
  int32_t requestFormat(const arxmod::TranslationInfo &entry) const;
  // The write invocations of this call.
  WriteLedger &writes() { return writes_; }
  // The answer of a write invocation from its record; none while undecided.
  arxmod::PICType *writeAnswer(const WriteLedger::Record &record, arxmod::PICType *argument);

private:
  // The time synchronisation of this call.
  enum class TimeSyncState : uint8_t { Requested = 1, Sent = 2, Idle = 3 };

  arxmod::PICType *readValue(const arxmod::TranslationInfo &entry, uint32_t handle,
                             arxmod::PICType *argument);
  arxmod::PICType *readTime(const arxmod::TranslationInfo &entry, arxmod::PICType *argument);
  arxmod::PICType *configurableLabel(const arxmod::TranslationInfo &entry, uint32_t handle,
                                     arxmod::PICType *argument);
  // The text a String_Register shows for a reply.
  std::string registerText(const arxmod::TranslationInfo &entry, const ModbusResponse &reply);

  // --- Writes (ModbusWrites.cpp and the procedure files).
  bool prepareWrite(const arxmod::TranslationInfo &entry, const arxmod::ARXObj *object,
                    arxmod::PICType *argument, XL::Transaction &transaction,
                    arxmod::IRefPtr<XL::Transaction> &subTransaction);
  bool prepareNormalWrite(const arxmod::TranslationInfo &entry, const arxmod::ARXObj *object,
                          const InvocationKey &key, XL::Transaction &transaction,
                          arxmod::IRefPtr<XL::Transaction> &subTransaction);
  bool prepareMaskedWrite(const arxmod::TranslationInfo &entry, const arxmod::ARXObj *object,
                          const InvocationKey &key, XL::Transaction &transaction,
                          arxmod::IRefPtr<XL::Transaction> &subTransaction);
  bool prepareCommandWrite(const arxmod::TranslationInfo &entry, const arxmod::ARXObj *object,
                           const InvocationKey &key, XL::Transaction &transaction,
                           arxmod::IRefPtr<XL::Transaction> &subTransaction);
  bool prepareReset(const arxmod::TranslationInfo &entry, const InvocationKey &key,
                    XL::Transaction &transaction, arxmod::IRefPtr<XL::Transaction> &subTransaction);
  // The register value a write sends for the invocation's argument, or none
  // after recording the refusal (a value that cannot be written, or a
  // scaling that refuses it) as the invocation's answer.
  std::optional<double> writeValueFor(const arxmod::TranslationInfo &entry,
                                      const arxmod::ARXObj *object, const InvocationKey &key);
  // The range check of NumericBounded_Register writes; false after
  // recording the refusal.
  bool withinBounds(const arxmod::ARXObj *object, const InvocationKey &key);
  // The words of the entry's WriteValue text (arrays and resets).
  std::vector<uint16_t> writeValueWords(const arxmod::TranslationInfo &entry);
  void followMaskedRead(WriteLedger::Record &record, const ModbusRequest &request,
                        const ModbusResponse &reply);
  void takeCheckRead(WriteLedger::Record &record, const ModbusResponse &reply);
  arxmod::PICType *invokeWrite(const arxmod::TranslationInfo &entry, uint32_t handle,
                               arxmod::PICType *argument);

  // --- Time synchronisation (ModbusTimeSync.cpp).
  bool prepareTimeSync(XL::Transaction &transaction,
                       arxmod::IRefPtr<XL::Transaction> &subTransaction);
  // timeSyncDefault(), asked once per call.
  uint32_t ownTimeSyncInterval();
  bool claimTimeSync();
  void timeSyncReplied(const XL::Request &request, const XL::Response &response);

  std::unordered_map<RequestItem, arxmod::IRefPtr<ModbusResponse>, RequestItemHash> responseStore_;
  WriteLedger writes_;
  ModbusDeviceState &deviceRecord_;
  TimeSyncState timeSyncState_ = TimeSyncState::Idle;
  arxmod::IRefPtr<ModbusRequest> timeSyncRequest_; // the request that sets the clock, once sent
  int64_t dueSeen_ = 0;                     // lastTimeSync when timeSyncDue last answered true
  std::optional<uint32_t> timeSyncDefault_; // asked once per call
  // Password candidates of resets, ended by two end marks (none here).
  std::vector<uint16_t> passwords_{0xFFFF, 0xFFFF};
  uint16_t passwordIndex_ = 0;
};

// The two conversions of the masked boolean formats. Both raise KSXmsg
// "<name> may only be called for masked boolean formats." for an entry of
// another format.
// The register bits a write of 1 or 0 sets: all mask bits for 1 in
// MASKEDBOOL and for 0 in INVERTEDMASKEDBOOL; raises KSXmsg for any other value.
uint32_t ConvertMaskedBooleanWriteValue(const arxmod::TranslationInfo &entry, double value);
// The number a String_Register shows for a masked register value: the value
// itself for MASKEDBOOL, 1 for a clear and 0 for a set one in
// INVERTEDMASKEDBOOL.
uint16_t ConvertMaskedBoolStringValue(const arxmod::TranslationInfo &entry, double value);

// The device translator maker the plug-in installs.
arxmod::IRefPtr<XL::Engine> makeModbusTranslator(XL::Transaction &transaction, uint32_t deviceId);

} // namespace XLARX
