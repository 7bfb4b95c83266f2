// read and write: values of a device's handles through the plug-in and the
// device's meter, one line per handle, or JSON Lines with --json.
#include "Commands.h"

#include "DeviceFiles.h"
#include "HandleValues.h"
#include "ProgramText.h"
#include "TextTable.h"
#include "ValueJson.h"

#include <ostream>

namespace arxhost {
namespace {

// The answer of a meter command that the meter carried out.
constexpr uint32_t kCommandCarriedOut = 12;

std::vector<uint32_t> parseHandles(const std::vector<std::string> &texts) {
  if (texts.empty())
    throw ToolError("no handle given: name one or more, e.g. 'arxhost read meter1 272 0x111' "
                    "(see 'arxhost plan DEVICE' for the mapped ones)");
  std::vector<uint32_t> handles;
  for (const std::string &text : texts)
    handles.push_back(parseHandle(text));
  return handles;
}

} // namespace

int readCommand(const std::filesystem::path &dbFile, const ReadOptions &options,
                std::ostream &out) {
  const std::vector<uint32_t> handles = parseHandles(options.handles);
  DeviceSession session(dbFile, options.device, options.pluginFile, MeterNeed::Required);
  const DeviceFiles files = DeviceFiles::loadTreeIfPossible(session.database(), session.device());
  const auto labels =
      readLabels(session, handles, [&files](uint32_t handle) { return files.name(handle); });
  const std::vector<HandleResult> values =
      invokeEach(session, handles, 21, options.json ? ValueForm::Json : ValueForm::Text);
  bool allRead = true;
  TextTable table({"HANDLE", "LABEL", "VALUE", "UNITS"});
  for (size_t i = 0; i < handles.size(); ++i) {
    allRead = allRead && !values[i].error;
    if (options.json)
      out << resultJson(handles[i], labels[i], values[i]) << "\n";
    else
      table.add({std::to_string(handles[i]), labels[i], values[i].shown,
                 values[i].error ? "" : files.units(handles[i])});
  }
  if (!options.json)
    table.print(out);
  return allRead ? 0 : 1;
}

int writeCommand(const std::filesystem::path &dbFile, const WriteOptions &options,
                 std::ostream &out) {
  const uint32_t handle = parseHandle(options.handle);
  arxmod::RegisteredMemoryBlob blob(arxmod::kProgramBlobSize);
  const arxmod::PICType *value = parseValue(options.value, "VALUE", blob);
  DeviceSession session(dbFile, options.device, options.pluginFile, MeterNeed::Required);
  const DeviceFiles files = DeviceFiles::loadTreeIfPossible(session.database(), session.device());
  const std::vector<uint32_t> handles{handle};
  const std::string label =
      readLabels(session, handles, [&files](uint32_t h) { return files.name(h); }).front();
  HandleResult result =
      invokeEach(session, handles, 22, options.json ? ValueForm::Json : ValueForm::Text, value)
          .front();
  // A meter command answers code 12 with the meter's word when it was
  // carried out: a success, whose text is shown beside the value.
  std::string done;
  if (result.error && result.error->code == kCommandCarriedOut) {
    done = " (" + result.error->text + ")";
    result.error.reset();
  }
  if (!result.error && options.json)
    result.shown = valueJson(*value); // what was written
  const std::string target =
      std::to_string(handle) + (label.empty() ? std::string() : " (" + label + ")");
  if (options.json)
    out << resultJson(handle, label, result) << "\n";
  else if (result.error)
    out << "write of " << options.value << " to " << target << " failed: " << result.shown << "\n";
  else
    out << "wrote " << options.value << " to " << target << done << "\n";
  return result.error ? 1 : 0;
}

} // namespace arxhost
