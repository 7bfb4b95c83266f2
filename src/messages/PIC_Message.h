// PIC_MessageImpl and PIC_Message: the program message, which carries one
// encoded program to a device and brings its results back.
//
// Which fields travel depends on the action bits, so encoder, decoder and
// encodedLength() all follow one presence table:
//   actions u16                     always
//   status u8                       reply (request bit clear)
//   PID u16                         always
//   frequency u8, priority u8       create or replace
//   program length (compact)        request or echo
//   result length (compact)         reply with execute
//   program bytes                   request or echo
//   result bytes                    reply with execute
// The program and result lengths are the sizes of the held buffers, so the
// two can never disagree. Program bytes stay opaque here; the translator
// decodes them.
#pragma once

#include "base/ByteReader.h"
#include "base/ByteWriter.h"

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <span>
#include <vector>

namespace arxmod {

class PIC_MessageImpl {
public:
  // Action bits.
  static constexpr uint16_t kRequest = 0x01; // clear in a reply
  static constexpr uint16_t kCreate = 0x02;
  static constexpr uint16_t kExecute = 0x04;
  static constexpr uint16_t kDestroy = 0x08;
  static constexpr uint16_t kEcho = 0x10;
  static constexpr uint16_t kReplace = 0x20;
  static constexpr uint16_t kDestroyAllMine = 0x40;

  // Reply status codes.
  static constexpr uint8_t kGood = 0;
  static constexpr uint8_t kBadProgram = 1;
  static constexpr uint8_t kTimeout = 2;
  static constexpr uint8_t kInvalidPId = 3;
  static constexpr uint8_t kSiteNotResponding = 4;
  static constexpr uint8_t kSiteNotConnected = 5;
  static constexpr uint8_t kDeviceDisabled = 6;
  static constexpr uint8_t kNack = 7;

  // Arguments of switchExecutionMode().
  static constexpr int kModeExecute = 4;
  static constexpr int kModeCreateExecuteDestroy = 14;

  uint16_t actions() const noexcept { return actions_; }
  void setActions(uint16_t actions) noexcept { actions_ = actions; }
  uint8_t status() const noexcept { return status_; }
  void setStatus(uint8_t status) noexcept { status_ = status; }
  uint16_t pid() const noexcept { return pid_; }
  void setPid(uint16_t pid) noexcept { pid_ = pid; }
  uint8_t frequency() const noexcept { return frequency_; }
  void setFrequency(uint8_t frequency) noexcept { frequency_ = frequency; }
  uint8_t priority() const noexcept { return priority_; }
  void setPriority(uint8_t priority) noexcept { priority_ = priority; }

  bool isRequest() const noexcept { return actions_ & kRequest; }
  // The scheduling fields travel with create or replace.
  bool carriesSchedule() const noexcept { return actions_ & (kCreate | kReplace); }
  // The program travels in requests and echoes.
  bool carriesProgram() const noexcept { return actions_ & (kRequest | kEcho); }
  // The results travel in replies to an execution.
  bool carriesResult() const noexcept { return !isRequest() && (actions_ & kExecute); }

  std::span<const uint8_t> programBytes() const noexcept { return program_; }
  size_t programLength() const noexcept { return program_.size(); }
  // Replaces the program with a copy of `bytes` (empty releases it). More than
  // 31 bits of length cannot be encoded and raises ENVL_Exception.
  void setProgram(std::span<const uint8_t> bytes);

  std::span<const uint8_t> resultBytes() const noexcept { return result_; }
  size_t resultLength() const noexcept { return result_.size(); }
  // Replaces the results with a copy of `bytes` (empty releases them); same limit.
  void setResult(std::span<const uint8_t> bytes);
  void setResult(std::vector<uint8_t> &&bytes);

  // Both lengths become 0 and both buffers are released.
  void clearProgramAndResult() noexcept;

  // Toggles between execute (4) and create|execute|destroy (14), the request
  // and echo bits left aside and kept. Returns 1 when the actions changed,
  // -1 (nothing changed) for any other combination or mode.
  int switchExecutionMode(int mode) noexcept;

  // Bytes that encode() writes under the current actions.
  size_t encodedLength() const noexcept;

  void encode(ByteWriter &writer) const;
  // Reads the fields present under the actions read; absent fields become 0
  // or empty. UnderflowStream on a short read; the message is unchanged then.
  void decode(ByteReader &reader);
  // "\nPID: ..." with schedule, status, action words; `raw` adds the bytes.
  void print(std::ostream &out, bool raw) const;

  friend bool operator==(const PIC_MessageImpl &, const PIC_MessageImpl &) = default;

private:
  uint16_t actions_ = 0;
  uint8_t status_ = 0;
  uint16_t pid_ = 0;
  uint8_t frequency_ = 0;
  uint8_t priority_ = 0;
  std::vector<uint8_t> program_;
  std::vector<uint8_t> result_;
};

// The program message as node messages hold it: one PIC_MessageImpl behind
// decode, encode and print. The fields are reached through impl().
class PIC_Message {
public:
  PIC_MessageImpl &impl() noexcept { return impl_; }
  const PIC_MessageImpl &impl() const noexcept { return impl_; }

  size_t encodedLength() const noexcept { return impl_.encodedLength(); }
  void encode(ByteWriter &writer) const { impl_.encode(writer); }
  void decode(ByteReader &reader) { impl_.decode(reader); }
  void print(std::ostream &out, bool raw) const { impl_.print(out, raw); }

private:
  PIC_MessageImpl impl_;
};

} // namespace arxmod
