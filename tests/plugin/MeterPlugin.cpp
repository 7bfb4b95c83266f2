// MeterPlugin: loading the plug-in after the host database exists.
#include "MeterPlugin.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

namespace arxmod::test {
namespace {

decltype(&::Process) loadedProcess = nullptr;

class PluginEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    meterDevices().database(); // the plug-in opens it when it loads
    setenv("ARXMOD_FILE_RECHECK_MS", "0", 1);
    handle_ = dlopen(ARXMOD_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
    loadedProcess = reinterpret_cast<decltype(&::Process)>(dlsym(handle_, "Process"));
    ASSERT_NE(loadedProcess, nullptr);
  }
  void TearDown() override {
    if (handle_)
      dlclose(handle_);
  }

private:
  void *handle_ = nullptr;
};
const auto *const environment = ::testing::AddGlobalTestEnvironment(new PluginEnvironment);

} // namespace

const ProcessFunction &pluginProcess() {
  static const ProcessFunction process = [](uint32_t context, const uint8_t *request,
                                            int32_t requestLength, uint8_t *answer,
                                            int32_t *answerLength, ArxExchangeCallback callback) {
    return loadedProcess(context, request, requestLength, answer, answerLength, callback) != 0;
  };
  return process;
}

std::string consoleText() {
  return readFile(meterDevices().database().directory() / "console.txt");
}

} // namespace arxmod::test
