// QuietStreams: sends std::cerr and std::clog of a fuzz target nowhere.
// The code under test traces every exception it throws and writes console
// lines there; millions of runs would fill the run's log with them and
// spend their time writing. libFuzzer's own output and the sanitizers'
// reports go to descriptor 2 directly and are kept.
#pragma once

#include <iostream>
#include <streambuf>

namespace arxmod::fuzz {

inline void quietStandardStreams() {
  class NullBuffer : public std::streambuf {
  protected:
    int overflow(int c) override { return c; }
    std::streamsize xsputn(const char *, std::streamsize count) override { return count; }
  };
  static NullBuffer nowhere;
  std::cerr.rdbuf(&nowhere);
  std::clog.rdbuf(&nowhere);
}

} // namespace arxmod::fuzz
