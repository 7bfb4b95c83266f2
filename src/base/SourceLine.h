// SourceLine: the line number of a call site, for throw traces.
//
// A parameter defaulted to SourceLine::current() receives the line of the
// call, not of the declaration:
//
//   void fail(SourceLine where = SourceLine::current());
//   fail(); // where.line() is this line
//
// std::source_location would serve, but libstdc++ 12 offers it to g++ only
// and the project also builds with clang; __builtin_LINE() in a default
// argument behaves the same way in both compilers.
#pragma once

namespace arxmod {

class SourceLine {
public:
  static constexpr SourceLine current(unsigned line = __builtin_LINE()) noexcept {
    return SourceLine(line);
  }
  constexpr unsigned line() const noexcept { return line_; }

private:
  constexpr explicit SourceLine(unsigned line) noexcept : line_(line) {}
  unsigned line_;
};

} // namespace arxmod
