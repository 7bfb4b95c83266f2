// plan: the Modbus messages a full read of a device sends, one line each,
// with the reason each message ends where it does.
#include "Commands.h"

#include "DevicePlan.h"
#include "Json.h"
#include "TextTable.h"

#include <ostream>

namespace arxhost {
namespace {

// "272-289 302 303": runs of consecutive handles as ranges.
std::string handleRanges(std::vector<uint32_t> handles) {
  std::sort(handles.begin(), handles.end());
  std::string text;
  for (size_t i = 0; i < handles.size();) {
    size_t j = i;
    while (j + 1 < handles.size() && handles[j + 1] == handles[j] + 1)
      ++j;
    text += (text.empty() ? "" : " ") + std::to_string(handles[i]);
    if (j > i)
      text += "-" + std::to_string(handles[j]);
    i = j + 1;
  }
  return text;
}

std::string firstAddress(const XLARX::PlannedMessage &message) {
  if (message.functionCode == 20)
    return "file";
  const uint16_t first = message.addresses.empty() ? message.start : message.addresses.front();
  return mapAddressText(message.registerClass, first);
}

std::string planJson(const PlannedRead &read) {
  const XLARX::PlannedMessage &message = read.message;
  std::vector<std::string> handles;
  for (const uint32_t handle : read.handles)
    handles.push_back(jsonInteger(handle));
  JsonObject row;
  row.add("function", jsonInteger(message.functionCode))
      .add("unit", jsonInteger(read.unit))
      .add("first", jsonString(firstAddress(message)))
      .add("count", jsonInteger(message.count));
  if (!message.addresses.empty()) {
    std::vector<std::string> addresses;
    for (const uint16_t address : message.addresses)
      addresses.push_back(jsonString(mapAddressText(message.registerClass, address)));
    row.add("addresses", jsonArray(addresses));
  }
  row.add("handles", jsonArray(handles)).add("end", jsonString(XLARX::messageEndName(message.end)));
  return row.text();
}

} // namespace

int planCommand(const std::filesystem::path &dbFile, const PlanOptions &options,
                std::ostream &out) {
  auto database = HostDatabase::open(dbFile);
  const DeviceEntry device = database.device(options.device);
  const DevicePlan plan = planDevice(database, device);
  if (options.json) {
    for (const PlannedRead &read : plan.messages)
      out << planJson(read) << "\n";
    return 0;
  }
  out << "A full read of " << device.name << " sends " << plan.messages.size() << " Modbus message"
      << (plan.messages.size() == 1 ? "" : "s") << " for " << plan.handles << " handles (at most "
      << (plan.maxRegisters >= 1 && plan.maxRegisters <= 125 ? plan.maxRegisters : 125)
      << " registers a message; scattered reads "
      << (plan.scatteredReads ? "supported" : "not supported") << "):\n";
  TextTable table({"FC", "UNIT", "FIRST", "COUNT", "ENDS BY", "HANDLES"});
  for (const PlannedRead &read : plan.messages)
    table.add({std::to_string(read.message.functionCode), std::to_string(read.unit),
               firstAddress(read.message), std::to_string(read.message.count),
               std::string(XLARX::messageEndName(read.message.end)), handleRanges(read.handles)});
  table.print(out);
  return 0;
}

} // namespace arxhost
