// XLARX::MX4110_4120Translator: the most derived translator of the chain,
// made for every Process call: the Modbus translator plus what is
// particular to the MX4110_4120 meters.
//
//   - Command writes: Register_write_value on 0x09900002 (alarm enable),
//     0x09900004 (alarm value), 0x09900005 (output assignment) and
//     0x09500101 (command 2008) write a command block to the meter's
//     command registers and read its result (MeterCommandProcedure.cpp);
//     the answer is an ExceptionType with code 12 and "Command successfully
//     executed." or code 13 and the meter's reason.
//   - Periodic reads: the circuit labels and the mode, on a call's first
//     pass when the meter was never read or 300000 ms have passed; a change
//     of either moves the setup counters (base number = changeCount).
//   - Composed labels: in mode 13, ARX_read_label of the per-phase handles
//     gives "<quantity>@<device>_<circuit label>" (CircuitLabels.h).
//   - Lead/lag: Register_read_value of 0x0B200006 gives "Lead", "Lag" or an
//     empty text for the power factor read.
//   - Time synchronisation: the set-time command with the local standard
//     time, every 3600 s unless the device's CustomProperty1 says "No"
//     ("Yes": every 3600 s whatever the map says).
// Requests it makes itself are recognised by identity when their replies
// come back; every other reply goes to the Modbus level.
#pragma once

#include "meter/MeterState.h"
#include "translator/ModbusTranslator.h"

#include <array>
#include <optional>
#include <string>
#include <unordered_map>

namespace XLARX {

// The handles of the meter commands.
inline constexpr uint32_t kAlarmEnableHandle = 0x09900002;
inline constexpr uint32_t kAlarmValueHandle = 0x09900004;
inline constexpr uint32_t kOutputAssignmentHandle = 0x09900005;
inline constexpr uint32_t kCommand2008Handle = 0x09500101;
inline constexpr uint32_t kLeadLagHandle = 0x0B200006;

// Result reads of one command before its result counts as unknown.
inline constexpr unsigned kMaxResultReads = 5;
// Milliseconds the meter is given between a command's reply and a read of
// its result.
inline constexpr uint32_t kResultReadDelayMs = 100;

class MX4110_4120Translator : public ModbusTranslator {
public:
  explicit MX4110_4120Translator(uint32_t deviceId);

  bool prepareInvocation(uint32_t handle, uint32_t method, arxmod::PICType *argument,
                         XL::Transaction &transaction,
                         arxmod::IRefPtr<XL::Transaction> &subTransaction) override;
  bool readyForPrograms(XL::Transaction &transaction,
                        arxmod::IRefPtr<XL::Transaction> &subTransaction) override;
  arxmod::PICType *invokeMapped(uint32_t handle, uint32_t method,
                                arxmod::PICType *argument) override;
  void applyResponse(const arxmod::IRefPtr<XL::Request> &request,
                     const arxmod::IRefPtr<XL::Response> &response) override;
  // Changes of the circuit labels and the mode.
  uint32_t baseNumber() const override { return meter_.changeCount(); }
  std::string deviceName() const override { return "MX4110_4120"; }
  // The set-time command with the local standard time (no summer time).
  bool performTimeSync(XL::Transaction &transaction,
                       arxmod::IRefPtr<XL::Transaction> &subTransaction) override;
  // From the device's CustomProperty1: "No" none, "Yes" 3600 s forced,
  // otherwise 3600 s unless the map sets its own.
  uint32_t timeSyncDefault() override;

  // The label of a per-phase quantity in mode 13.
  virtual arxmod::PICType *composedLabel(uint32_t handle, uint32_t method,
                                         arxmod::PICType *argument, uint32_t deviceId);

private:
  enum class CommandKind : uint8_t {
    AlarmConfiguration = 0,
    OutputAssignment = 1,
    Command2008 = 2
  };
  // The command procedure of one command invocation.
  enum class CommandState : uint8_t { Send = 0, ResultKnown = 1, ResultDue = 2, Failed = 3 };
  struct CommandRun {
    CommandState state = CommandState::Send;
    bool configRead = false;               // the alarm configuration was read
    std::array<uint16_t, 3> alarmConfig{}; // flags, value high, value low
    uint16_t command = 0;                  // the code of the block sent
    uint32_t replyTick = 0;                // tick count of the reply a result read waits after
    unsigned resultReads = 0;
    uint32_t resultCode = 0;
    std::string resultText;
  };

  static std::optional<CommandKind> commandKindOf(uint32_t handle, uint32_t method);
  bool prepareCommand(const InvocationKey &key, CommandKind kind, XL::Transaction &transaction,
                      arxmod::IRefPtr<XL::Transaction> &subTransaction);
  bool sendCommandStep(const InvocationKey &key, CommandKind kind, CommandRun &run,
                       XL::Transaction &transaction,
                       arxmod::IRefPtr<XL::Transaction> &subTransaction);
  // The block of the command, or none after recording the refusal of the argument.
  std::optional<std::vector<uint16_t>> commandBlock(const InvocationKey &key, CommandKind kind,
                                                    CommandRun &run);
  void commandReplied(const InvocationKey &key, const ModbusRequest &request,
                      const ModbusResponse &reply);
  static void failCommand(CommandRun &run, std::string text);
  // The text of a command's argument, at most 8192 characters.
  static std::optional<std::string> argumentText(const arxmod::PICType *argument);

  arxmod::PICType *leadLag(const arxmod::TranslationInfo &entry, arxmod::PICType *argument);
  bool composesLabel(uint32_t handle, uint32_t method);

  MeterState &meter_;
  std::unordered_map<InvocationKey, CommandRun, InvocationKeyHash> commands_;
  arxmod::IRefPtr<ModbusRequest> labelsRead_; // this call's periodic reads, once sent
  arxmod::IRefPtr<ModbusRequest> modeRead_;
};

// The device translator maker the plug-in installs.
arxmod::IRefPtr<XL::Engine> makeMX4110_4120Translator(XL::Transaction &transaction,
                                                      uint32_t deviceId);

} // namespace XLARX
