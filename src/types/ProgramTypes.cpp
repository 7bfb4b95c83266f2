// Program classes: the binary form of statements and their text.
#include "types/ProgramTypes.h"

#include "types/MethodTable.h"
#include "types/NibbleWriter.h"

#include <iomanip>

namespace arxmod {
namespace {

// Method numbers that fit the 16-bit method code (the top bit says "with value").
constexpr uint32_t kLargestMethod = 32766;
constexpr uint32_t kLargestShortMethod = 126;

[[noreturn]] void refuse(std::string_view what) { throw KSXmsg(std::string(what) + " picstmt "); }

} // namespace

MethodInvocation::MethodInvocation(MemoryBlob &blob, uint32_t method, PICType *argument)
    : PICType(blob), method_(method), argument_(argument ? argument : blob.make<VoidType>()) {
  checkSameBlob(argument_);
}

bool MethodInvocation::hasValue() const { return argument_->typeName() != "VoidType"; }

void MethodInvocation::encode(NibbleWriter &writer) const {
  if (method_ == 0 || method_ > kLargestMethod)
    throw PICErrors(pic_error::kMethodNumberZero);
  const bool withValue = hasValue();
  if (method_ <= kLargestShortMethod) {
    writer.putByte(static_cast<uint8_t>(method_ | (withValue ? 0x80 : 0)));
  } else {
    writer.putByte(0xFF);
    writer.put16(static_cast<uint16_t>(method_ | (withValue ? 0x8000 : 0)));
  }
  if (withValue)
    argument_->encodeAsValue(writer);
}

void MethodInvocation::encodeAsValue(NibbleWriter &) const { refuse("CantWriteMethodInvocation"); }

PICType *MethodInvocation::duplicate(MemoryBlob &) const {
  refuse("Cant Duplicate MethodInvocation");
}

int MethodInvocation::equals(const PICType &other) const {
  const auto *invocation = dynamic_cast<const MethodInvocation *>(&other);
  return invocation && invocation->method_ == method_ && invocation->argument_->equals(*argument_);
}

void MethodInvocation::printBody(std::ostream &out, std::string_view indent) const {
  if (const auto name = methodName(method_))
    out << *name;
  else
    out << method_;
  if (hasValue())
    argument_->print(out, std::string(indent) + '\t');
}

Statement::Statement(MemoryBlob &blob, uint32_t handle, MethodInvocation *invocation)
    : PICType(blob), handle_(handle), invocation_(invocation) {
  if (!invocation_)
    throw InvalidType();
  checkSameBlob(invocation_);
}

void Statement::encode(NibbleWriter &writer) const {
  if (handle_ == 0xFFFFFFFF)
    throw PICErrors(pic_error::kStatementHandleAllOnes);
  if (handle_ < 0xFFFF) {
    writer.put16(static_cast<uint16_t>(handle_));
  } else {
    writer.put16(0xFFFF);
    writer.put32(handle_);
  }
  invocation_->encode(writer);
}

void Statement::encodeAsValue(NibbleWriter &) const { refuse("CantWriteStatement"); }

PICType *Statement::duplicate(MemoryBlob &) const { refuse("Cant Duplicate Statement"); }

int Statement::equals(const PICType &other) const {
  const auto *statement = dynamic_cast<const Statement *>(&other);
  return statement && statement->handle_ == handle_ && statement->invocation_->equals(*invocation_);
}

void Statement::printBody(std::ostream &out, std::string_view indent) const {
  const std::ios_base::fmtflags saved = out.flags();
  out << "0x" << std::hex << std::nouppercase << handle_ << ' ';
  out.flags(saved);
  invocation_->printText(out, indent);
}

Statement *Program::addStatement(uint32_t handle, uint32_t method, PICType *argument) {
  auto *statement = blob().make<Statement>(handle, blob().make<MethodInvocation>(method, argument));
  append(statement);
  return statement;
}

void Program::encode(NibbleWriter &writer) const {
  putKey(writer, pic_token::kProgramKey);
  for (const PICType *statement : items())
    statement->encode(writer);
}

void Program::encodeAsValue(NibbleWriter &) const { refuse("CantWriteProgram"); }

void Program::printBody(std::ostream &out, std::string_view indent) const {
  for (const PICType *statement : items())
    statement->print(out, indent);
}

} // namespace arxmod
