// Loading the plug-in and calling its entry points.
#include "PluginLibrary.h"

#include "HostDatabase.h"

#include <dlfcn.h>
#include <vector>

namespace arxhost {
namespace {

template <typename Fn>
Fn lookup(void *handle, const char *name, const std::filesystem::path &file) {
  void *symbol = dlsym(handle, name);
  if (!symbol)
    throw ToolError("Plug-in " + file.string() + " does not export " + name);
  return reinterpret_cast<Fn>(symbol);
}

} // namespace

PluginLibrary::PluginLibrary(const std::filesystem::path &file) {
  // The plug-in keeps process-wide state (tables, per-device data and its
  // threads) until the process ends, so it stays mapped after dlclose.
  handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (!handle_) {
    const char *reason = dlerror();
    throw ToolError("Cannot load plug-in " + file.string() + ": " + (reason ? reason : "unknown"));
  }
  try {
    init_ = lookup<decltype(init_)>(handle_, "Init", file);
    process_ = lookup<decltype(process_)>(handle_, "Process", file);
    terminate_ = lookup<decltype(terminate_)>(handle_, "Terminate", file);
  } catch (...) {
    dlclose(handle_);
    throw;
  }
  init_();
}

PluginLibrary::~PluginLibrary() {
  terminate_();
  dlclose(handle_);
}

bool PluginLibrary::process(uint32_t context, const std::vector<uint8_t> &request,
                            std::span<uint8_t> answer, int32_t &answerLength,
                            ArxExchangeCallback callback) const {
  answerLength = static_cast<int32_t>(answer.size());
  return process_(context, request.data(), static_cast<int32_t>(request.size()), answer.data(),
                  &answerLength, callback) != 0;
}

std::filesystem::path defaultPluginPath() {
  std::error_code error;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
  return (error ? std::filesystem::path(".") : self.parent_path()) / "mx4110_4120.so";
}

} // namespace arxhost
