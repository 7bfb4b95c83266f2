// PIC_MessageImpl: the program message's fields on the wire and in text.
#include "messages/PIC_Message.h"

#include "messages/CompactNumber.h"
#include "messages/ENVL_Exception.h"
#include "messages/TextForm.h"
#include "messages/WireRead.h"

#include <array>
#include <ostream>
#include <string_view>
#include <utility>

namespace arxmod {

namespace {

// Action words in the order they are printed.
struct ActionWord {
  uint16_t bit;
  std::string_view word;
};
constexpr std::array<ActionWord, 7> kActionWords = {{
    {PIC_MessageImpl::kRequest, " request|"},
    {PIC_MessageImpl::kCreate, " create"},
    {PIC_MessageImpl::kExecute, " execute"},
    {PIC_MessageImpl::kDestroy, " destroy"},
    {PIC_MessageImpl::kEcho, " echo"},
    {PIC_MessageImpl::kReplace, " replace"},
    {PIC_MessageImpl::kDestroyAllMine, " destroy all mine"},
}};

constexpr uint16_t kCreateExecuteDestroy =
    PIC_MessageImpl::kCreate | PIC_MessageImpl::kExecute | PIC_MessageImpl::kDestroy;

void checkEncodable(size_t length, std::string_view what) {
  if (length > kCompactMax)
    throwTraced(kUnitMesg, ENVL_Exception(std::string(what) + " of " + std::to_string(length) +
                                          " bytes is too long for a program message"));
}

} // namespace

void PIC_MessageImpl::setProgram(std::span<const uint8_t> bytes) {
  checkEncodable(bytes.size(), "Program");
  program_.assign(bytes.begin(), bytes.end());
}

void PIC_MessageImpl::setResult(std::span<const uint8_t> bytes) {
  checkEncodable(bytes.size(), "Result");
  result_.assign(bytes.begin(), bytes.end());
}

void PIC_MessageImpl::setResult(std::vector<uint8_t> &&bytes) {
  checkEncodable(bytes.size(), "Result");
  result_ = std::move(bytes);
}

void PIC_MessageImpl::clearProgramAndResult() noexcept {
  program_ = {};
  result_ = {};
}

int PIC_MessageImpl::switchExecutionMode(int mode) noexcept {
  const uint16_t kept = actions_ & (kRequest | kEcho);
  const uint16_t core = actions_ & ~(kRequest | kEcho);
  if (core == kExecute && mode == kModeCreateExecuteDestroy) {
    actions_ = kept | kCreateExecuteDestroy;
    return 1;
  }
  if (core == kCreateExecuteDestroy && mode == kModeExecute) {
    actions_ = kept | kExecute;
    return 1;
  }
  return -1;
}

size_t PIC_MessageImpl::encodedLength() const noexcept {
  size_t length = 2 + 2; // actions, PID
  if (!isRequest())
    length += 1;
  if (carriesSchedule())
    length += 2;
  if (carriesProgram())
    length += compactSize(static_cast<uint32_t>(program_.size())) + program_.size();
  if (carriesResult())
    length += compactSize(static_cast<uint32_t>(result_.size())) + result_.size();
  return length;
}

void PIC_MessageImpl::encode(ByteWriter &writer) const {
  writer.writeU16BE(actions_);
  if (!isRequest())
    writer.writeU8(status_);
  writer.writeU16BE(pid_);
  if (carriesSchedule()) {
    writer.writeU8(frequency_);
    writer.writeU8(priority_);
  }
  if (carriesProgram())
    writeCompact(writer, static_cast<uint32_t>(program_.size()));
  if (carriesResult())
    writeCompact(writer, static_cast<uint32_t>(result_.size()));
  if (carriesProgram())
    writer.writeBytes(program_);
  if (carriesResult())
    writer.writeBytes(result_);
}

void PIC_MessageImpl::decode(ByteReader &reader) {
  PIC_MessageImpl read;
  read.actions_ = wire::take<uint16_t>(reader, kUnitMesg);
  if (!read.isRequest())
    read.status_ = wire::take<uint8_t>(reader, kUnitMesg);
  read.pid_ = wire::take<uint16_t>(reader, kUnitMesg);
  if (read.carriesSchedule()) {
    read.frequency_ = wire::take<uint8_t>(reader, kUnitMesg);
    read.priority_ = wire::take<uint8_t>(reader, kUnitMesg);
  }
  const uint32_t programLength = read.carriesProgram() ? readCompact(reader) : 0;
  const uint32_t resultLength = read.carriesResult() ? readCompact(reader) : 0;
  read.program_ = wire::takeBytes(reader, programLength, kUnitMesg);
  read.result_ = wire::takeBytes(reader, resultLength, kUnitMesg);
  *this = std::move(read);
}

void PIC_MessageImpl::print(std::ostream &out, bool raw) const {
  out << "\nPID: " << pid_;
  if (carriesSchedule())
    out << "  FREQ: " << unsigned{frequency_} << "  PRIORITY: " << unsigned{priority_};
  if (!isRequest()) {
    out << "  STATUS: ";
    writeStatusName(out, status_);
  }
  out << "  ACTIONS: ";
  for (const ActionWord &action : kActionWords)
    if (actions_ & action.bit)
      out << action.word;
  if (!raw)
    return;
  if (!program_.empty()) {
    out << "\nprog: ";
    writeHexBytes(out, program_);
  }
  if (!result_.empty()) {
    out << "\nres: ";
    writeHexBytes(out, result_);
  }
}

} // namespace arxmod
