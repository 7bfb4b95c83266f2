// SharedOutput: an output stream that a command writes on its own thread
// while the test waits for what it expects to appear.
//
//   SharedOutput output;
//   std::jthread command([&](std::stop_token stop) { logCommand(db, options, output.stream(),
//   stop); }); EXPECT_TRUE(output.waitFor("ERROR:"));
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <ostream>
#include <streambuf>
#include <string>

namespace arxhost {

class SharedOutput : private std::streambuf {
public:
  SharedOutput() : stream_(this) {}

  std::ostream &stream() { return stream_; }
  std::string text() const {
    std::lock_guard lock(mutex_);
    return text_;
  }
  // Waits (at most `limit` of real time, for the command's thread) until the
  // output holds `expected`.
  bool waitFor(const std::string &expected,
               std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    std::unique_lock lock(mutex_);
    return grown_.wait_for(lock, limit, [&] { return text_.find(expected) != std::string::npos; });
  }

private:
  int_type overflow(int_type c) override {
    if (c != traits_type::eof()) {
      const char byte = static_cast<char>(c);
      xsputn(&byte, 1);
    }
    return c;
  }
  std::streamsize xsputn(const char *s, std::streamsize n) override {
    {
      std::lock_guard lock(mutex_);
      text_.append(s, static_cast<size_t>(n));
    }
    grown_.notify_all();
    return n;
  }

  mutable std::mutex mutex_;
  std::condition_variable grown_;
  std::string text_;
  std::ostream stream_;
};

} // namespace arxhost
