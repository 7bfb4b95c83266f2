// The exported entry points of mx4110_4120.so, and the one place that says
// in which order the library's process-wide state starts and stops.
//
// Loading (loadLibrary, run by the loader before dlopen returns) installs
// the console: the C++ standard streams are made to exist first, since a C
// host or an interpreter may not have used them yet, then std::cerr and
// std::clog are redirected into the console buffer, whose sink is the file
// named by the ConsoleFile host setting. Reading that setting opens the
// configuration database client, so the client and the console exist from
// load on. Loading then switches off the own-arena check of typed values,
// records the library's own file name and installs the device translator.
// Everything else is made on first use: the translator table, the device
// file table, the translator directories and the tree cache by the first
// Process calls that need them; threads when their subsystems start them.
//
// Lifetime rule. Process-wide state is reached through accessor functions
// and lives on the heap in a ProcessSingleton (src/base), made on first use
// and destroyed only by the release below, never by the C++ runtime's
// static destructors, which at process exit run while threads may still be
// working. A subsystem that runs threads registers its stop function with
// registerThreadStop (src/host/ThreadStops.h) when it starts its first
// thread; the registry also runs the stops from an exit handler, so at
// process exit the threads end before the runtime destroys anything they
// might touch.
//
// Unloading (unloadLibrary, a destructor function). At dlclose it runs
// before the library's C++ static destructors and releases everything, in
// the order below. At process exit it runs after the exit handlers and
// static destructors, when the process is ending anyway and the registered
// thread stops have run from their exit handler: then it only flushes the
// console and restores the signal handlers, and leaves the state to the
// ending process, so that a host thread still inside Process while the
// process exits finds it intact.
//
// The stop order; each step releases only what no later step uses:
//   1. stop and join the calculation threads (the modules subsystem
//      registers stopCalculationEngines() with ThreadStopOrder::
//      CalculationEngines); they append to the log buffer, so they go first;
//   2. stop the log buffer's save thread after a last save
//      (shutdownLogBuffer(); at process exit, the stop the logs subsystem
//      registers with ThreadStopOrder::LogBuffer);
//   3. release per-device state (trees, maps and value caches, clock
//      synchronisation schedules, the meters' labels and modes);
//   4. the file caches (FileManager);
//   5. the translator table, the device file table, the translator
//      directories and the registry of typed-value arenas;
//   6. the console: std::cerr and std::clog get their own buffers back and
//      the console file is closed;
//   7. the system log, with the default host name and the event-log sink;
//   8. the configuration database client and the library name;
//   9. restore the fault signal handlers that worker threads installed: a
//      handler left pointing into an unloaded library would crash the host
//      at its next fault.
#include "arxmod/plugin.h"

#include "files/FileManager.h"
#include "frame/EngineSelection.h"
#include "frame/ProcessCall.h"
#include "frame/TranslatorTable.h"
#include "host/ConfigDatabase.h"
#include "host/Console.h"
#include "host/DeviceFileTable.h"
#include "host/Faults.h"
#include "host/LibraryExit.h"
#include "host/LibraryName.h"
#include "host/SystemLog.h"
#include "host/ThreadStops.h"
#include "host/TranslatorDirectory.h"
#include "logs/LogBuffer.h"
#include "meter/MX4110_4120Translator.h"
#include "modules/EnginePool.h"
#include "translator/DeviceState.h"
#include "types/PICType.h"

#include <atomic>
#include <cstdlib>
#include <dlfcn.h>
#include <exception>
#include <string_view>
#include <unistd.h>

#define ARXMOD_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// Set by an exit handler: exit handlers run before the loader's
// destructor functions at process exit, and after them at dlclose.
std::atomic<bool> processExiting{false};

void noteProcessExit(void *) { processExiting.store(true); }

// The loader cannot be told that a load failed, so a failure of the set-up
// is said on descriptor 2 and the library stays loaded without it.
void reportLoadFailure(std::string_view reason) noexcept {
  const std::string_view lead = "mx4110_4120.so: set-up at load failed: ";
  [[maybe_unused]] ssize_t ignored = ::write(STDERR_FILENO, lead.data(), lead.size());
  ignored = ::write(STDERR_FILENO, reason.data(), reason.size());
  ignored = ::write(STDERR_FILENO, "\n", 1);
}

__attribute__((constructor)) void loadLibrary() {
  try {
    arxmod::atLibraryExit(&noteProcessExit);
    arxmod::installConsole();
    // The own-arena check guards the construction of the library's static
    // values; once they exist it only costs time on every value built.
    arxmod::MixinRegisteredBlob::setOwnBlobCheck(false);
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void *>(&Process), &info) && info.dli_fname)
      arxmod::setLibraryName(arxmod::libraryNameFromPath(info.dli_fname));
    arxmod::installDeviceTranslatorMaker(&XLARX::makeMX4110_4120Translator);
  } catch (const std::exception &failure) {
    reportLoadFailure(failure.what());
  } catch (...) {
    reportLoadFailure("unknown exception");
  }
}

// Steps 1 to 8 of the stop order: the threads are stopped already, their
// owners are destroyed here.
void releaseProcessState() noexcept {
  arxmod::releaseCalculationEngines();             // 1
  arxmod::releaseLogBuffer();                      // 2
  XLARX::releaseDeviceStates();                    // 3
  XLARX::releaseModbusDeviceStates();              // 3
  XLARX::releaseMeterStates();                     // 3
  arxmod::FileManager::releaseInstance();          // 4
  arxmod::TranslatorTable::releaseInstance();      // 5
  arxmod::DeviceFileTable::releaseInstance();      // 5
  arxmod::forgetTranslatorDirectories();           // 5
  arxmod::RegisteredMemoryBlob::releaseRegistry(); // 5
  arxmod::releaseConsole();                        // 6
  arxmod::releaseSystemLog();                      // 7
  arxmod::ConfigDatabase::releaseInstance();       // 8
  arxmod::releaseLibraryName();                    // 8
}

__attribute__((destructor)) void unloadLibrary() {
  if (processExiting.load()) {
    // The registered stops ran from their exit handler; the statics that
    // a last save would use are gone.
    arxmod::consoleBuffer().pubsync();
  } else {
    arxmod::stopRegisteredThreads(); // 1 (and 2, when registered)
    arxmod::shutdownLogBuffer();     // 2
    releaseProcessState();           // 3 to 8
  }
  arxmod::restoreWorkerFaultHandlers(); // 9
}

} // namespace

ARXMOD_EXPORT int Init(void) { return 1; }

ARXMOD_EXPORT int Terminate(void) { return 1; }

ARXMOD_EXPORT unsigned char Process(uint32_t context, const uint8_t *request, int32_t requestLength,
                                    uint8_t *answer, int32_t *answerLength,
                                    ArxExchangeCallback callback) {
  return arxmod::processCall(context, request, requestLength, answer, answerLength, callback) ? 1
                                                                                              : 0;
}
