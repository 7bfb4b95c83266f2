// HandleValues: per-handle programs and their results.
#include "HandleValues.h"

#include "Json.h"
#include "ProgramText.h"
#include "ValueJson.h"
#include "types/ArrayTypes.h"
#include "types/NumericTypes.h"
#include "types/StructureTypes.h"

#include <charconv>
#include <cmath>
#include <ctime>
#include <limits>
#include <type_traits>
#include <typeinfo>

namespace arxhost {
namespace {

// Codes of the object protocol for a failed invocation.
constexpr uint32_t kUnknownError = 3;
constexpr uint32_t kNotSupported = 4;
constexpr uint32_t kNoValue = 5;
constexpr uint32_t kUndefinedMethod = 6;
constexpr uint32_t kNoObject = 9;

// What a code means, for a failure that came without a text of its own.
std::string meaningOf(uint32_t code) {
  switch (code) {
  case kUnknownError:
    return "no result could be produced (the argument may have the wrong type)";
  case kNotSupported:
    return "the operation is not supported by this object";
  case kNoValue:
    return "the object does not hold the requested data";
  case kUndefinedMethod:
    return "the method is not defined for the object's class";
  case kNoObject:
    return "no object with this handle";
  default:
    return "no reason given";
  }
}

// `value` as `Final` when that is its class: a type comparison, where a
// dynamic_cast would walk the class hierarchy comparing type names. A poll
// asks this of every value.
template <typename Final> const Final *exactly(const arxmod::PICType &value) {
  static_assert(std::is_final_v<Final>);
  return typeid(value) == typeid(Final) ? static_cast<const Final *>(&value) : nullptr;
}

HandleResult failed(uint32_t code, std::string text, ValueForm form) {
  if (text.empty())
    text = meaningOf(code);
  HandleResult result;
  result.shown =
      form == ValueForm::Json ? "null" : "exception " + std::to_string(code) + ": " + text;
  result.error = InvocationError{code, std::move(text)};
  return result;
}

HandleResult resultOf(const arxmod::PICType &value, ValueForm form) {
  if (const auto *failure = exactly<arxmod::ExceptionType>(value))
    return failed(failure->code(), failure->text(), form);
  HandleResult result;
  result.shown = form == ValueForm::Json ? valueJson(value) : displayText(value);
  return result;
}

} // namespace

std::string displayText(const arxmod::PICType &value) {
  if (const auto *real = exactly<arxmod::Float64Type>(value); real && std::isfinite(real->get())) {
    const double number = real->get();
    // Beyond the float range the conversion itself would be undefined.
    const bool fitsFloat = std::fabs(number) <= std::numeric_limits<float>::max() &&
                           static_cast<double>(static_cast<float>(number)) == number;
    char digits[32];
    const auto end =
        fitsFloat
            ? std::to_chars(digits, digits + sizeof digits, static_cast<float>(number)).ptr
            : std::to_chars(digits, digits + sizeof digits, number, std::chars_format::general, 16)
                  .ptr;
    return std::string(digits, end);
  }
  if (const auto *text = dynamic_cast<const arxmod::CharArrayBase *>(&value))
    return text->text(); // a text as itself, not quoted
  return oneLine(value);
}

std::vector<HandleResult> invokeEach(DeviceSession &session, const std::vector<uint32_t> &handles,
                                     uint32_t method, ValueForm form,
                                     const arxmod::PICType *argument) {
  arxmod::RegisteredMemoryBlob blob(arxmod::kProgramBlobSize);
  auto *program = blob.make<arxmod::Program>();
  for (const uint32_t handle : handles)
    program->addStatement(handle, method, argument ? argument->duplicate(blob) : nullptr);
  const ProgramOutcome outcome = session.execute(*program);
  std::vector<HandleResult> results;
  if (!outcome.answered(handles.size())) {
    const uint32_t code = outcome.processFailure.empty() ? kNoValue : kUnknownError;
    results.assign(handles.size(), failed(code, outcome.failureText(), form));
    return results;
  }
  for (const arxmod::PICType *value : outcome.results)
    results.push_back(resultOf(*value, form));
  return results;
}

std::string resultJson(uint32_t handle, const std::string &label, const HandleResult &result,
                       const std::optional<std::string> &time) {
  JsonObject row;
  row.add("handle", jsonInteger(handle)).add("label", jsonString(label)).add("value", result.shown);
  if (result.error)
    row.add("error", JsonObject()
                         .add("code", jsonInteger(result.error->code))
                         .add("text", jsonString(result.error->text))
                         .text());
  else
    row.add("error", "null");
  if (time)
    row.add("time", jsonString(*time));
  return row.text();
}

std::string isoTime(std::chrono::system_clock::time_point time) {
  using namespace std::chrono;
  const auto sinceEpoch = duration_cast<milliseconds>(time.time_since_epoch()).count();
  const std::time_t seconds = static_cast<std::time_t>(sinceEpoch / 1000);
  const auto millis = static_cast<int>(sinceEpoch % 1000);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[40];
  const size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
  std::snprintf(text + length, sizeof text - length, ".%03dZ", millis < 0 ? 0 : millis);
  return text;
}

} // namespace arxhost
