// HandleValues: one method invoked on each of a list of handles in one
// program, and the results as read, write and poll show them: a text, the
// JSON of the value, or the error of a failed invocation.
//
// When the device work of the call fails (the meter did not answer), every
// handle gets error 5, the code of a value not received from the device,
// with the reason; when Process itself fails, error 3 with the system
// log's rows.
#pragma once

#include "DeviceSession.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace arxhost {

struct InvocationError {
  uint32_t code = 0;
  std::string text;
};

struct HandleResult {
  std::string text; // the value's text form, or "exception CODE: TEXT"
  std::string json; // the value as JSON; "null" for an error
  std::optional<InvocationError> error;
};

// Invokes `method` (with `argument`, or none) on every handle in one
// program.
std::vector<HandleResult> invokeEach(DeviceSession &session, const std::vector<uint32_t> &handles,
                                     uint32_t method, const arxmod::PICType *argument = nullptr);

// The labels of the handles (ARX_read_label); a handle whose label cannot be
// read gets `fallback(handle)`.
template <typename Fallback>
std::vector<std::string> readLabels(DeviceSession &session, const std::vector<uint32_t> &handles,
                                    Fallback fallback);

// One line of --json output:
//   {"handle": 272, "label": "Vln a", "value": 230.4, "error": null}
//   {"handle": 9, "label": "", "value": null, "error": {"code": 9, "text": "..."}}
// with `time` (ISO 8601, UTC) added as "time" when given.
std::string resultJson(uint32_t handle, const std::string &label, const HandleResult &result,
                       const std::optional<std::string> &time = std::nullopt);

// "2026-12-09T14:02:03.123Z".
std::string isoTime(std::chrono::system_clock::time_point time);

template <typename Fallback>
std::vector<std::string> readLabels(DeviceSession &session, const std::vector<uint32_t> &handles,
                                    Fallback fallback) {
  std::vector<std::string> labels;
  const std::vector<HandleResult> results = invokeEach(session, handles, 3);
  for (size_t i = 0; i < handles.size(); ++i)
    labels.push_back(results[i].error ? fallback(handles[i]) : results[i].text);
  return labels;
}

} // namespace arxhost
