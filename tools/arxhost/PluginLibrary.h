// PluginLibrary: a translator plug-in loaded with dlopen, as a host loads it.
#pragma once

#include "arxmod/plugin.h"

#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace arxhost {

class PluginLibrary {
public:
  // Loads the library and looks up Init, Process and Terminate; raises
  // ToolError naming the file and the dynamic loader's reason.
  explicit PluginLibrary(const std::filesystem::path &file);
  PluginLibrary(const PluginLibrary &) = delete;
  PluginLibrary &operator=(const PluginLibrary &) = delete;
  ~PluginLibrary();

  // Passes one request packet to Process, which writes its answer into
  // `answer` (all of it is offered). Returns Process's result;
  // `answerLength` receives its raw value.
  bool process(uint32_t context, const std::vector<uint8_t> &request, std::span<uint8_t> answer,
               int32_t &answerLength, ArxExchangeCallback callback) const;

private:
  void *handle_ = nullptr;
  decltype(&::Init) init_ = nullptr;
  decltype(&::Process) process_ = nullptr;
  decltype(&::Terminate) terminate_ = nullptr;
};

// The plug-in next to the running executable (both are built into one folder).
std::filesystem::path defaultPluginPath();

} // namespace arxhost
