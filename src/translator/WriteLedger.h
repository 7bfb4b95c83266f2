// WriteLedger: what each write invocation of one Process call has sent to
// the meter, what came back, and how the invocation is to be answered.
//
// A write may take several passes (masked booleans read before they write,
// wide command values go out in two messages, resets are confirmed through
// a check register, meter commands read their result), and one program may
// hold several writes, even to the same handle. So every write is kept under
// its own invocation, the statement's handle and argument, which the
// program translator passes unchanged to every preparation and to the final
// invoke. Keeping the procedure state per invocation means a procedure that
// another one interrupts resumes where it stood: no step of a write ever
// goes out twice for one invocation.
//
// Requests the ledger follows are recognised by identity when their reply
// arrives, never by address, so a mapped read of the same registers is not
// taken for a step of a write.
//
//   WriteLedger::Record &record = ledger.record({handle, argument});
//   ledger.follow(record, key, request, WriteRole::Answer); // its reply answers the write
//   ... after the exchange:
//   if (const auto *followed = ledger.takeReply(*request, reply)) ...
#pragma once

#include "modbus/ModbusRequest.h"
#include "modbus/ModbusResponse.h"
#include "types/PICType.h"

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>

namespace XLARX {

// One statement of a program: its handle and its argument.
struct InvocationKey {
  uint32_t handle = 0;
  arxmod::PICType *argument = nullptr;
  friend bool operator==(const InvocationKey &, const InvocationKey &) = default;
};

struct InvocationKeyHash {
  size_t operator()(const InvocationKey &key) const noexcept {
    return std::hash<const void *>{}(key.argument) ^ (size_t{key.handle} * 0x9E3779B97F4A7C15u);
  }
};

// What the reply of a followed request means.
enum class WriteRole : uint8_t {
  Answer,     // a write whose reply answers the invocation
  MaskedRead, // the read before a masked boolean write
  FirstWords, // the high words of a two-message command write
  CheckRead,  // a read of a reset's check register
  MeterStep,  // a step of a meter command, which the meter's level takes
};

// The states of a reset procedure (the ResetControl of its invocation).
enum class ResetState : uint8_t {
  Idle = 0,        // write the command (with the current password candidate)
  CheckDue = 2,    // read the check register
  CheckSent = 3,   // waiting for the check read's reply
  Confirmed = 4,   // the check register showed the confirming value
  CheckFailed = 5, // five check reads without it
};

class WriteLedger {
public:
  enum class Outcome : uint8_t {
    Pending,   // nothing decided yet
    Exception, // answered with an ExceptionType of `code` and `text`; nothing more is sent
    Sent,      // answered from the reply of `answeredBy`
    Confirmed, // answered true (a confirmed reset)
  };

  struct Record {
    Outcome outcome = Outcome::Pending;
    uint32_t code = 0; // Exception
    std::string text;  // Exception; empty: the code alone
    arxmod::IRefPtr<ModbusRequest> answeredBy;
    arxmod::IRefPtr<ModbusResponse> reply; // of answeredBy, once delivered

    // Procedure state of the invocation.
    uint8_t step = 0;          // masked write: 1 read sent; command write: 1, 2 messages sent
    bool oneRegister = false;  // masked write: the read was of one register
    uint16_t currentValue = 0; // masked write: the register as read
    int64_t commandValue = 0;  // command write: the value both messages carry
    ResetState reset = ResetState::Idle;
    uint32_t checkCount = 0;    // check reads answered so far
    double checkValue = 0.0;    // the entry's CheckRegValue
    double checkRegister = 0.0; // the entry's CheckRegister
  };

  // The request a reply belongs to, as follow() recorded it.
  struct Followed {
    InvocationKey key;
    WriteRole role;
  };

  void clear();

  // The record of `key`, made empty on first use.
  Record &record(const InvocationKey &key) { return records_[key]; }
  // The record of `key`, or nullptr when the call never prepared that write.
  const Record *find(const InvocationKey &key) const;

  // Ends `key` with an ExceptionType answer (refused writes, meter results).
  void answerWithException(const InvocationKey &key, uint32_t code, std::string text);
  // Ends `key` with the answer true.
  void confirm(const InvocationKey &key);
  // Ends `key` with the reply of a step that failed (a masked boolean's
  // read, a command's first message): nothing more is sent.
  void answerFrom(const InvocationKey &key, arxmod::IRefPtr<ModbusRequest> request,
                  arxmod::IRefPtr<ModbusResponse> reply);

  // Follows `request`, sent for `key`; a request in the Answer role becomes
  // the one whose reply answers the invocation.
  void follow(const InvocationKey &key, arxmod::IRefPtr<ModbusRequest> request, WriteRole role);
  // What `request` was sent for, or nullptr when it is not followed.
  const Followed *followed(const ModbusRequest &request) const;
  // When `request` is followed: stores `reply` (as the answer for the
  // Answer role) and returns what it was sent for; otherwise nullptr.
  const Followed *takeReply(const ModbusRequest &request,
                            const arxmod::IRefPtr<ModbusResponse> &reply);

private:
  struct FollowedRequest {
    Followed followed;
    arxmod::IRefPtr<ModbusRequest> request; // kept, so that its address is not reused
  };

  std::unordered_map<InvocationKey, Record, InvocationKeyHash> records_;
  std::unordered_map<const ModbusRequest *, FollowedRequest> followed_;
};

// True when `reply` is a usable reply without error: status okay, error code 0.
bool isGoodReply(const ModbusResponse *reply);

} // namespace XLARX
