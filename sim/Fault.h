// Fault: a misbehaviour the simulated meter shows on chosen requests, and the
// text form in which a command line gives one.
//
// Text form: KIND[:VALUE][,unit=N][,fc=N][,times=N|,always]
//   noreply          no reply at all (the request is not carried out)
//   exception:N      exception reply with code N (1-255; not carried out)
//   cut[:BYTES]      the reply cut to BYTES bytes (default half of it)
//   function[:CODE]  the reply carries function code CODE (default another
//                    read function: 4 for function 3, else 3)
//   transmission[:N] scattered reads (function 100) answer with transmission
//                    number N (default the request's plus one)
//   delay:MS         the reply comes MS milliseconds late
//   unit=N           only requests for unit N (default: the caller's unit)
//   fc=N             only requests with function code N (default: any)
//   times=N          the next N matching requests (default 1); always: all
// For example "exception:6,fc=16,always" or "delay:1500,times=3".
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace arxmod::sim {

enum class FaultKind { NoReply, Exception, CutShort, WrongFunction, WrongTransmission, Delay };

struct Fault {
  FaultKind kind = FaultKind::NoReply;
  // Exception code, bytes kept, reply function code, transmission number or
  // delay in milliseconds, by kind; unset where the kind has a default.
  std::optional<uint32_t> value;
  uint8_t function = 0; // only requests of this function code; 0 = any
  uint32_t times = 1;   // matching requests still to be affected; 0 = every one

  bool matches(uint8_t requestFunction) const;
};

// A fault as given on a command line, with the unit it names (if any).
struct FaultSpec {
  Fault fault;
  std::optional<uint8_t> unit;
};

class FaultSpecError : public std::invalid_argument {
public:
  using std::invalid_argument::invalid_argument;
};

// Parses the text form above; FaultSpecError names the text and what is wrong.
FaultSpec parseFaultSpec(std::string_view text);

} // namespace arxmod::sim
