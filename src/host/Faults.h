// Processor faults and platform error codes, as exceptions and as text.
//
// A processor fault (SIGSEGV, SIGBUS, SIGFPE, SIGILL) cannot be resumed
// safely on Linux, so a worker thread does not turn it into an exception:
// installWorkerFaultHandlers() makes the process write one line
//   CRITICAL: EXCEPTION_ACCESS_VIOLATION in <role>
// to descriptor 2 and then die of the signal as it would have without us.
// se_error and the fault-name table remain for code that names faults.
//
// Fault codes are the customary exception numbers (0xC0000005 for an
// access violation, ...); faultCodeFromSignal() maps a signal and its
// si_code onto them.
#pragma once

#include "base/KSXmsg.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace arxmod {

enum class FaultCode : uint32_t {
  AccessViolation = 0xC0000005,
  DatatypeMisalignment = 0x80000002,
  Breakpoint = 0x80000003,
  SingleStep = 0x80000004,
  ArrayBoundsExceeded = 0xC000008C,
  FltDenormalOperand = 0xC000008D,
  FltDivideByZero = 0xC000008E,
  FltInexactResult = 0xC000008F,
  FltInvalidOperation = 0xC0000090,
  FltOverflow = 0xC0000091,
  FltStackCheck = 0xC0000092,
  FltUnderflow = 0xC0000093,
  IntDivideByZero = 0xC0000094,
  IntOverflow = 0xC0000095,
  PrivInstruction = 0xC0000096,
  NoncontinuableException = 0xC0000025,
  Unknown = 0,
};

// The fault for a signal and its si_code. Codes sent by a process (kill,
// raise: si_code <= 0) carry no detail and get the signal's usual cause.
FaultCode faultCodeFromSignal(int signal, int siCode);

// "EXCEPTION_..." for a fault code, or for a signal number (1 to 64, read
// as sent by a process); "Unknown Structured Exception" otherwise.
// Async-signal-safe: the text is static.
std::string_view faultName(int signalOrCode);
std::string_view faultName(FaultCode code);

// The exception of a processor fault; its text is the fault name.
class se_error : public KSXmsg {
public:
  explicit se_error(FaultCode code);
  FaultCode code() const noexcept { return code_; }
  std::string_view name() const noexcept { return faultName(code_); }

private:
  FaultCode code_;
};

// Called at the start of every worker thread: names the thread for the
// fault line and installs the process's fault handlers (once). Threads
// that never called it (the host's own) keep the handlers that were
// installed before ours.
void installWorkerFaultHandlers(std::string_view role);

// Puts back the handlers that installWorkerFaultHandlers replaced, where
// ours are still in place. Called when the plug-in is unloaded: a handler
// left pointing into an unloaded library would crash the host at its next
// fault. Worker threads must have ended by then.
void restoreWorkerFaultHandlers();

// A platform error as an exception; its text is errorName(code).
class W32Xmsg : public KSXmsg {
public:
  explicit W32Xmsg(int errnoValue);
  int code() const noexcept { return code_; }

private:
  int code_;
};

// "<symbolic name>: <description>" of an errno value, e.g.
// "ENOENT: No such file or directory"; "WIN32 error code not found: N"
// for a value the C library does not know.
std::string errorName(int code);

// "WSA: <description>" for the errno values of the socket layer;
// "Unknown Error Code: N" for any other value.
std::string socketErrorText(int code);

// The C library's description of an errno value ("Unknown error N" when it
// has none). Thread-safe, unlike strerror.
std::string errnoDescription(int code);

} // namespace arxmod
