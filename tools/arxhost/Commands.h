// The host tool's commands. Each returns the process exit status and
// raises ToolError for failures that name their file, table or device.
#pragma once

#include "HostDatabase.h"

#include <filesystem>
#include <iosfwd>

namespace arxhost {

int initCommand(const std::filesystem::path &dbFile, std::ostream &out);
int deviceAddCommand(const std::filesystem::path &dbFile, const NewDevice &device,
                     std::ostream &out);
int deviceListCommand(const std::filesystem::path &dbFile, std::ostream &out);
int pingCommand(const std::filesystem::path &dbFile, const std::string &deviceName,
                const std::filesystem::path &pluginFile, std::ostream &out);

} // namespace arxhost
