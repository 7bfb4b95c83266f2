// ENVL_Exception and its four named families: the failures of the envelope
// and node-message layer.
//
// Each named family carries its own class name as its text, because callers
// and the system log match on those exact words. Every throw in this library
// goes through throwTraced(), which first writes "\nThrow in <unit> at <line>"
// to std::cerr (the plug-in points std::cerr at its console sink), so a
// malformed envelope can be traced to the field that stopped the decoder.
#pragma once

#include "base/KSXmsg.h"
#include "base/SourceLine.h"

#include <string>
#include <string_view>

namespace arxmod {

class ENVL_Exception : public KSXmsg {
public:
  explicit ENVL_Exception(std::string text) : KSXmsg(std::move(text)) {}
};

// The input ended before a field was complete.
class UnderflowStream : public ENVL_Exception {
public:
  UnderflowStream() : ENVL_Exception("UnderflowStream") {}
};

// Both password bits set, or a password length other than 0, 2 or 8.
class ENVL_PasswordLenErr : public ENVL_Exception {
public:
  ENVL_PasswordLenErr() : ENVL_Exception("ENVL_PasswordLenErr") {}
};

// A program-message operation on a node message that holds no program message.
class NoPIC_MessageIncluded : public ENVL_Exception {
public:
  NoPIC_MessageIncluded() : ENVL_Exception("NoPIC_MessageIncluded") {}
};

// A poll operation on a node message that is not a poll.
class NoPollPIC_Message : public ENVL_Exception {
public:
  NoPollPIC_Message() : ENVL_Exception("NoPollPIC_Message") {}
};

// Source units named in throw traces: the envelope, header and base-class
// code is "nmm_base", the concrete node messages are "nmm_mesg".
inline constexpr std::string_view kUnitBase = "nmm_base";
inline constexpr std::string_view kUnitMesg = "nmm_mesg";

// Writes the throw trace for `where` to std::cerr.
void traceThrow(std::string_view unit, SourceLine where);

// Writes the throw trace, then throws `error`.
template <typename E>
[[noreturn]] void throwTraced(std::string_view unit, E error,
                              SourceLine where = SourceLine::current()) {
  traceThrow(unit, where);
  throw error;
}

} // namespace arxmod
