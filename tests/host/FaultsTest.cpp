// Fault names, the signal mapping, the worker fault line and error texts.
#include "host/Faults.h"

#include <cerrno>
#include <csignal>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <thread>

namespace arxmod {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

TEST(FaultsTest, FaultCodesAndIntegersNameTheSameFaults) {
  const struct {
    FaultCode code;
    std::string_view name;
  } cases[] = {
      {FaultCode::AccessViolation, "EXCEPTION_ACCESS_VIOLATION"},
      {FaultCode::IntDivideByZero, "EXCEPTION_INT_DIVIDE_BY_ZERO"},
      {FaultCode::NoncontinuableException, "EXCEPTION_NONCONTINUABLE_EXCEPTION"},
      {FaultCode::Unknown, "Unknown Structured Exception"},
      {static_cast<FaultCode>(0xC000001Du), "Unknown Structured Exception"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(faultName(c.code), c.name);
    EXPECT_EQ(faultName(static_cast<int>(c.code)), c.name);
    EXPECT_EQ(se_error(c.code).text(), c.name);
    EXPECT_EQ(se_error(c.code).code(), c.code);
  }
}

TEST(FaultsTest, SignalsMapOntoFaults) {
  const struct {
    int signal;
    int siCode;
    FaultCode fault;
  } cases[] = {
      {SIGSEGV, SEGV_MAPERR, FaultCode::AccessViolation},
      {SIGSEGV, SI_TKILL, FaultCode::AccessViolation},
      {SIGBUS, BUS_ADRALN, FaultCode::DatatypeMisalignment},
      {SIGBUS, BUS_ADRERR, FaultCode::AccessViolation},
      {SIGTRAP, TRAP_BRKPT, FaultCode::Breakpoint},
      {SIGTRAP, TRAP_TRACE, FaultCode::SingleStep},
      {SIGILL, ILL_PRVOPC, FaultCode::PrivInstruction},
      {SIGILL, ILL_ILLOPC, FaultCode::Unknown},
      {SIGFPE, FPE_INTDIV, FaultCode::IntDivideByZero},
      {SIGFPE, FPE_INTOVF, FaultCode::IntOverflow},
      {SIGFPE, FPE_FLTDIV, FaultCode::FltDivideByZero},
      {SIGFPE, FPE_FLTOVF, FaultCode::FltOverflow},
      {SIGFPE, FPE_FLTUND, FaultCode::FltUnderflow},
      {SIGFPE, FPE_FLTRES, FaultCode::FltInexactResult},
      {SIGFPE, FPE_FLTINV, FaultCode::FltInvalidOperation},
      {SIGFPE, FPE_FLTSUB, FaultCode::ArrayBoundsExceeded},
      {SIGFPE, SI_USER, FaultCode::IntDivideByZero},
      {SIGTERM, SI_USER, FaultCode::Unknown},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << c.signal << "/" << c.siCode);
    EXPECT_EQ(faultCodeFromSignal(c.signal, c.siCode), c.fault);
  }
  EXPECT_EQ(faultName(SIGSEGV), "EXCEPTION_ACCESS_VIOLATION");
  EXPECT_EQ(faultName(SIGTERM), "Unknown Structured Exception");
}

void faultInWorker(int signal) {
  installWorkerFaultHandlers("calculation engine 3");
  raise(signal);
}

void writeToUnmappedPage() {
  installWorkerFaultHandlers("log save thread");
  // The first page is never mapped; the store faults with SEGV_MAPERR. The
  // address is read from a volatile so the optimiser cannot see the target.
  volatile uintptr_t address = 16;
  *reinterpret_cast<volatile int *>(address) = 1;
}

TEST(FaultsDeathTest, WorkerFaultWritesOneCriticalLineAndDiesOfTheSignal) {
  EXPECT_EXIT(faultInWorker(SIGSEGV), testing::KilledBySignal(SIGSEGV),
              "CRITICAL: EXCEPTION_ACCESS_VIOLATION in calculation engine 3\n");
  EXPECT_EXIT(faultInWorker(SIGFPE), testing::KilledBySignal(SIGFPE),
              "CRITICAL: EXCEPTION_INT_DIVIDE_BY_ZERO in calculation engine 3\n");
  EXPECT_EXIT(writeToUnmappedPage(), testing::KilledBySignal(SIGSEGV),
              "CRITICAL: EXCEPTION_ACCESS_VIOLATION in log save thread\n");
}

TEST(FaultsDeathTest, FaultsInOtherThreadsGoToThePreviousHandler) {
  EXPECT_DEATH(
      {
        installWorkerFaultHandlers("calculation engine 1");
        std::thread([] { raise(SIGSEGV); }).join();
      },
      Not(HasSubstr("CRITICAL")));
}

void hostHandler(int) {}
void laterHandler(int) {}

void (*handlerOf(int signal))(int) {
  struct sigaction current {};
  sigaction(signal, nullptr, &current);
  return current.sa_handler;
}

void setHandler(int signal, void (*handler)(int), struct sigaction *previous = nullptr) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, previous);
}

// What an unloading plug-in leaves: the host's handlers back where ours
// replaced them, and a handler installed over ours left alone.
TEST(FaultsTest, RestoringPutsBackTheReplacedHandlersButNotLaterOnes) {
  struct sigaction originalBus {
  }, originalIll{};
  setHandler(SIGBUS, &hostHandler, &originalBus);
  setHandler(SIGILL, &hostHandler, &originalIll);
  std::thread([] { installWorkerFaultHandlers("calculation engine 2"); }).join();
  EXPECT_NE(handlerOf(SIGBUS), &hostHandler);
  setHandler(SIGILL, &laterHandler);
  restoreWorkerFaultHandlers();
  EXPECT_EQ(handlerOf(SIGBUS), &hostHandler);
  EXPECT_EQ(handlerOf(SIGILL), &laterHandler);
  restoreWorkerFaultHandlers(); // nothing installed: nothing changes
  EXPECT_EQ(handlerOf(SIGBUS), &hostHandler);
  sigaction(SIGBUS, &originalBus, nullptr);
  sigaction(SIGILL, &originalIll, nullptr);
}

TEST(ErrorNamesTest, NamesErrnoValues) {
  EXPECT_EQ(errorName(ENOENT), "ENOENT: No such file or directory");
  EXPECT_EQ(errorName(ECONNREFUSED), "ECONNREFUSED: Connection refused");
  EXPECT_EQ(errorName(100000), "WIN32 error code not found: 100000");
  EXPECT_EQ(errorName(-1), "WIN32 error code not found: -1");
  const W32Xmsg failure(EACCES);
  EXPECT_EQ(failure.text(), "EACCES: Permission denied");
  EXPECT_EQ(failure.code(), EACCES);
}

TEST(ErrorNamesTest, SocketErrorsHaveTheirShortForm) {
  EXPECT_EQ(socketErrorText(ECONNREFUSED), "WSA: Connection refused");
  EXPECT_EQ(socketErrorText(ETIMEDOUT), "WSA: Connection timed out");
  EXPECT_EQ(socketErrorText(ENOENT), "Unknown Error Code: 2");
  EXPECT_EQ(socketErrorText(100000), "Unknown Error Code: 100000");
}

} // namespace
} // namespace arxmod
