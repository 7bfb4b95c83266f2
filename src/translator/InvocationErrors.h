// The two ways an invocation can fail without ending the Process call.
//
// Code that answers one method invocation throws either an Except_type (a
// bare result code) or a MappedARXException (a code and a text); the
// program translator catches both around each invocation and turns them
// into an ExceptionType result, so one failing invocation never spoils the
// other results of a program. Neither derives from KSXmsg, which ends the
// whole call.
#pragma once

#include "types/StructureTypes.h"

#include <cstdint>
#include <exception>
#include <string>
#include <utility>

namespace XLARX {

// Result codes of failed invocations.
enum Except_type : uint32_t {
  ExceptWrongArgument = 3, // wrong argument type, or no result could be produced
  ExceptNotSupported = 4,  // not supported at this level (every write)
  ExceptNoData = 5,        // the object does not hold the requested data
  ExceptNoSuchMethod = 6,  // the method is not defined for the object's class
  ExceptInvalidObject = 9, // no object with the handle
};

class MappedARXException : public std::exception {
public:
  MappedARXException(uint32_t code, std::string text) : code_(code), text_(std::move(text)) {}
  uint32_t code() const noexcept { return code_; }
  const std::string &text() const noexcept { return text_; }
  const char *what() const noexcept override { return text_.c_str(); }

private:
  uint32_t code_;
  std::string text_;
};

// An ExceptionType result in `blob` with `code`, no text, and `value`
// attached (a VoidType when nullptr).
arxmod::ExceptionType *exceptionResult(arxmod::MemoryBlob &blob, uint32_t code,
                                       arxmod::PICType *value = nullptr);

} // namespace XLARX
