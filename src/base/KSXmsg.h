// KSXmsg: the exception that ends a whole Process call.
//
// Every failure that cannot be answered inside the object protocol is thrown
// as a KSXmsg (or one of its families) and caught at the plug-in boundary,
// where its text is written verbatim to the system log. The text is the
// operator-facing message, so callers phrase it completely: name the file,
// handle or field at fault.
#pragma once

#include <exception>
#include <string>

namespace arxmod {

class KSXmsg : public std::exception {
public:
  explicit KSXmsg(std::string text) : text_(std::move(text)) {}

  const char *what() const noexcept override { return text_.c_str(); }
  const std::string &text() const noexcept { return text_; }

private:
  std::string text_;
};

} // namespace arxmod
