// The fault-name table, the signal mapping and the worker fault handlers.
//
// The handler runs on the faulting thread in signal context, so it only
// reads static text and a thread-local buffer filled before any fault
// could happen, and writes with write(2).
#include "host/Faults.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <mutex>
#include <unistd.h>

namespace arxmod {

namespace {

struct FaultEntry {
  FaultCode code;
  std::string_view name;
};

constexpr std::array kFaultNames{
    FaultEntry{FaultCode::AccessViolation, "EXCEPTION_ACCESS_VIOLATION"},
    FaultEntry{FaultCode::DatatypeMisalignment, "EXCEPTION_DATATYPE_MISALIGNMENT"},
    FaultEntry{FaultCode::Breakpoint, "EXCEPTION_BREAKPOINT"},
    FaultEntry{FaultCode::SingleStep, "EXCEPTION_SINGLE_STEP"},
    FaultEntry{FaultCode::ArrayBoundsExceeded, "EXCEPTION_ARRAY_BOUNDS_EXCEEDED"},
    FaultEntry{FaultCode::FltDenormalOperand, "EXCEPTION_FLT_DENORMAL_OPERAND"},
    FaultEntry{FaultCode::FltDivideByZero, "EXCEPTION_FLT_DIVIDE_BY_ZERO"},
    FaultEntry{FaultCode::FltInexactResult, "EXCEPTION_FLT_INEXACT_RESULT"},
    FaultEntry{FaultCode::FltInvalidOperation, "EXCEPTION_FLT_INVALID_OPERATION"},
    FaultEntry{FaultCode::FltOverflow, "EXCEPTION_FLT_OVERFLOW"},
    FaultEntry{FaultCode::FltStackCheck, "EXCEPTION_FLT_STACK_CHECK"},
    FaultEntry{FaultCode::FltUnderflow, "EXCEPTION_FLT_UNDERFLOW"},
    FaultEntry{FaultCode::IntDivideByZero, "EXCEPTION_INT_DIVIDE_BY_ZERO"},
    FaultEntry{FaultCode::IntOverflow, "EXCEPTION_INT_OVERFLOW"},
    FaultEntry{FaultCode::PrivInstruction, "EXCEPTION_PRIV_INSTRUCTION"},
    FaultEntry{FaultCode::NoncontinuableException, "EXCEPTION_NONCONTINUABLE_EXCEPTION"},
};

constexpr std::string_view kUnknownFault = "Unknown Structured Exception";
constexpr int kHighestSignal = 64;

constexpr std::array kFaultSignals{SIGSEGV, SIGBUS, SIGFPE, SIGILL};
struct sigaction previousActions[std::size(kFaultSignals)];

// The role of the current worker thread, NUL-terminated; empty in threads
// that are not ours. Initial-exec TLS lives in the static TLS block, so the
// handler reading it never makes the C library allocate a thread's block
// lazily (which it may do for a dlopen'ed library's dynamic TLS, and which
// is not safe in a signal handler).
constexpr size_t kRoleCapacity = 64;
thread_local char threadRole[kRoleCapacity] __attribute__((tls_model("initial-exec")));

void appendText(char *line, size_t &length, size_t capacity, std::string_view text) {
  const size_t take = std::min(text.size(), capacity - length);
  std::memcpy(line + length, text.data(), take);
  length += take;
}

void restoreAndReraise(int signal, const struct sigaction &action) {
  sigaction(signal, &action, nullptr);
  raise(signal);
}

// Hands a fault in a thread that is not ours to the handler installed
// before ours, with the original details.
void chainToPrevious(int signal, siginfo_t *info, void *context) {
  for (size_t i = 0; i < kFaultSignals.size(); ++i) {
    if (kFaultSignals[i] != signal)
      continue;
    const struct sigaction &previous = previousActions[i];
    if (previous.sa_flags & SA_SIGINFO)
      previous.sa_sigaction(signal, info, context);
    else if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN)
      previous.sa_handler(signal);
    else
      restoreAndReraise(signal, previous);
  }
}

void onFault(int signal, siginfo_t *info, void *context) {
  const int savedErrno = errno;
  if (threadRole[0] == '\0') {
    chainToPrevious(signal, info, context);
    errno = savedErrno;
    return;
  }
  char line[160];
  size_t length = 0;
  appendText(line, length, sizeof line - 1, "CRITICAL: ");
  appendText(line, length, sizeof line - 1, faultName(faultCodeFromSignal(signal, info->si_code)));
  appendText(line, length, sizeof line - 1, " in ");
  appendText(line, length, sizeof line - 1, std::string_view(threadRole));
  line[length++] = '\n';
  [[maybe_unused]] const ssize_t ignored = ::write(STDERR_FILENO, line, length);
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  restoreAndReraise(signal, fallback);
  errno = savedErrno;
}

std::mutex handlersMutex;
bool handlersInstalled = false; // ours are in place and previousActions holds what they replaced

void installHandlers() {
  struct sigaction action {};
  action.sa_sigaction = onFault;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  for (size_t i = 0; i < kFaultSignals.size(); ++i)
    sigaction(kFaultSignals[i], &action, &previousActions[i]);
}

bool isOurs(const struct sigaction &action) {
  return (action.sa_flags & SA_SIGINFO) && action.sa_sigaction == onFault;
}

} // namespace

FaultCode faultCodeFromSignal(int signal, int siCode) {
  const bool detailed = siCode > 0;
  switch (signal) {
  case SIGSEGV:
    return FaultCode::AccessViolation;
  case SIGBUS:
    return !detailed || siCode == BUS_ADRALN ? FaultCode::DatatypeMisalignment
                                             : FaultCode::AccessViolation;
  case SIGTRAP:
    return detailed && siCode == TRAP_TRACE ? FaultCode::SingleStep : FaultCode::Breakpoint;
  case SIGILL:
    return detailed && siCode == ILL_PRVOPC ? FaultCode::PrivInstruction : FaultCode::Unknown;
  case SIGFPE:
    if (!detailed)
      return FaultCode::IntDivideByZero;
    switch (siCode) {
    case FPE_INTDIV:
      return FaultCode::IntDivideByZero;
    case FPE_INTOVF:
      return FaultCode::IntOverflow;
    case FPE_FLTDIV:
      return FaultCode::FltDivideByZero;
    case FPE_FLTOVF:
      return FaultCode::FltOverflow;
    case FPE_FLTUND:
      return FaultCode::FltUnderflow;
    case FPE_FLTRES:
      return FaultCode::FltInexactResult;
    case FPE_FLTINV:
      return FaultCode::FltInvalidOperation;
    case FPE_FLTSUB:
      return FaultCode::ArrayBoundsExceeded;
    default:
      return FaultCode::Unknown;
    }
  default:
    return FaultCode::Unknown;
  }
}

std::string_view faultName(FaultCode code) {
  for (const FaultEntry &entry : kFaultNames) {
    if (entry.code == code)
      return entry.name;
  }
  return kUnknownFault;
}

std::string_view faultName(int signalOrCode) {
  if (signalOrCode >= 1 && signalOrCode <= kHighestSignal)
    return faultName(faultCodeFromSignal(signalOrCode, 0));
  return faultName(static_cast<FaultCode>(static_cast<uint32_t>(signalOrCode)));
}

se_error::se_error(FaultCode code) : KSXmsg(std::string(faultName(code))), code_(code) {}

void installWorkerFaultHandlers(std::string_view role) {
  const std::string_view kept =
      (role.empty() ? "worker thread" : role).substr(0, kRoleCapacity - 1);
  std::memcpy(threadRole, kept.data(), kept.size());
  threadRole[kept.size()] = '\0';
  std::lock_guard lock(handlersMutex);
  if (!handlersInstalled) {
    installHandlers();
    handlersInstalled = true;
  }
}

void restoreWorkerFaultHandlers() {
  std::lock_guard lock(handlersMutex);
  if (!handlersInstalled)
    return;
  for (size_t i = 0; i < kFaultSignals.size(); ++i) {
    struct sigaction current {};
    // A handler that someone installed over ours stays: it is theirs to
    // manage, and it no longer reaches our code.
    if (sigaction(kFaultSignals[i], nullptr, &current) == 0 && isOurs(current))
      sigaction(kFaultSignals[i], &previousActions[i], nullptr);
  }
  handlersInstalled = false;
}

} // namespace arxmod
