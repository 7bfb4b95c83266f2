// HandleValues: one method invoked on each of a list of handles in one
// program, and the results as read, write and poll show them: a text or the
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

// How invokeEach shows each value. A command asks for the one form it
// prints: formatting costs a poll of a few dozen values more than its
// Modbus messages do.
enum class ValueForm {
  Text, // the value's text form, as tables show it; "exception CODE: TEXT" for an error
  Json, // the value as JSON; null for an error
};

struct HandleResult {
  std::string shown; // the value in the form asked of invokeEach
  std::optional<InvocationError> error;
};

// A value's text form as tables show it. A number that a 32-bit float holds
// exactly (a meter's float register) shows with the digits of a float
// ("68.948654"), not all those of the double it travels in
// ("68.94865417480469"); any other finite double with the 16 significant
// digits of its text form, written directly rather than through a stream; a
// text as itself, unquoted; anything else in its one-line text form.
std::string displayText(const arxmod::PICType &value);

// Invokes `method` (with `argument`, or none) on every handle in one
// program.
std::vector<HandleResult> invokeEach(DeviceSession &session, const std::vector<uint32_t> &handles,
                                     uint32_t method, ValueForm form,
                                     const arxmod::PICType *argument = nullptr);

// The labels of the handles (ARX_read_label); a handle whose label cannot be
// read gets `fallback(handle)`.
template <typename Fallback>
std::vector<std::string> readLabels(DeviceSession &session, const std::vector<uint32_t> &handles,
                                    Fallback fallback);

// One line of --json output:
//   {"handle": 272, "label": "Vln a", "value": 230.4, "error": null}
//   {"handle": 9, "label": "", "value": null, "error": {"code": 9, "text": "..."}}
// from a result shown as ValueForm::Json, with `time` (ISO 8601, UTC) added
// as "time" when given.
std::string resultJson(uint32_t handle, const std::string &label, const HandleResult &result,
                       const std::optional<std::string> &time = std::nullopt);

// "2026-12-09T14:02:03.123Z".
std::string isoTime(std::chrono::system_clock::time_point time);

template <typename Fallback>
std::vector<std::string> readLabels(DeviceSession &session, const std::vector<uint32_t> &handles,
                                    Fallback fallback) {
  std::vector<std::string> labels;
  const std::vector<HandleResult> results = invokeEach(session, handles, 3, ValueForm::Text);
  for (size_t i = 0; i < handles.size(); ++i)
    labels.push_back(results[i].error ? fallback(handles[i]) : results[i].shown);
  return labels;
}

} // namespace arxhost
