// The console stream: the diagnostic text channel of the plug-in.
//
// Text written to std::cerr or std::clog (once installConsole() has run) or
// through writeConsoleLine() collects in one shared COMStreamBuf and is
// handed to the console sink in pieces of at most 1024 characters: the file
// named by the ConsoleFile host setting (appended), else descriptor 2.
//
// COMStreamBuf has no put area, so every write goes through its lock and
// one buffer can safely serve all threads. The lock covers only the
// buffer; the sink is called after the lock is released, so a slow file
// never holds up threads that only append to the buffer.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <streambuf>
#include <string>
#include <string_view>

namespace arxmod {

// Receives one piece of console text. Called from any thread, possibly
// concurrently; exceptions it throws are swallowed.
using ConsoleSink = std::function<void(std::string_view)>;

class COMStreamBuf : public std::streambuf {
public:
  static constexpr size_t kCapacity = 1024;

  explicit COMStreamBuf(ConsoleSink sink);
  COMStreamBuf(const COMStreamBuf &) = delete;
  COMStreamBuf &operator=(const COMStreamBuf &) = delete;

  // Pieces taken after this call go to `sink`. Does not flush.
  void setSink(ConsoleSink sink);

protected:
  // A character arriving when the buffer already holds kCapacity
  // characters first sends the whole buffer; sync() sends what it holds.
  int_type overflow(int_type ch) override;
  std::streamsize xsputn(const char_type *text, std::streamsize count) override;
  int sync() override;

private:
  static void send(const std::shared_ptr<const ConsoleSink> &sink, std::string_view piece) noexcept;

  std::mutex mutex_;
  std::array<char, kCapacity> buffer_{};
  size_t count_ = 0; // characters held, 0 to kCapacity
  std::shared_ptr<const ConsoleSink> sink_;
};

// The process's shared console buffer (descriptor 2 until installed).
COMStreamBuf &consoleBuffer();

// Makes the console sink from the ConsoleFile setting and points std::cerr
// and std::clog at the shared buffer. Idempotent.
void installConsole();
// Flushes, restores std::cerr and std::clog (unless they were redirected
// elsewhere since) and returns to descriptor 2.
void uninstallConsole();
// Uninstalls the console and destroys the shared buffer and its sink (the
// console file is closed). The next console use makes a new buffer.
void releaseConsole();

// Writes "[<level word> <origin> <subOrigin> <time> <date> <text>]" and a
// newline, flushing before and after so the line reaches the sink whole.
void writeConsoleLine(unsigned priority, std::string_view origin, std::string_view subOrigin,
                      std::string_view text);

} // namespace arxmod
