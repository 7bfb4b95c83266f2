// PluginCall: one request sent through the plug-in's Process as the host's
// communications server sends it, shared by the commands that talk to a
// device (ping, run).
#pragma once

#include "HostDatabase.h"
#include "frame/DL_Info.h"
#include "messages/NodeMessage.h"

#include <filesystem>
#include <iosfwd>
#include <memory>
#include <optional>
#include <vector>

namespace arxhost {

// The packet of a request envelope (from node 1 to the device) carrying `body`.
std::vector<uint8_t> requestPacket(const DeviceEntry &device,
                                   std::unique_ptr<arxmod::NodeMessage> body);

// Loads the plug-in and passes `request` to Process, with no meter attached
// (every exchange the plug-in attempts times out). The answer packet; nothing
// when Process failed, after writing "Process failed" and the system-log rows
// the call added to `out`.
std::optional<arxmod::DL_Info> callPlugin(HostDatabase &database, const DeviceEntry &device,
                                          const std::filesystem::path &pluginFile,
                                          const std::vector<uint8_t> &request, std::ostream &out);

} // namespace arxhost
