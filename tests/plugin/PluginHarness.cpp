// PluginHarness: the plug-in and its host database for the plug-in tests.
#include "PluginHarness.h"

#include "DeviceTree.h"
#include "sim/MeterBehaviour.h"
#include "sim/SimExchange.h"
#include "tree/RegisterObj.h"
#include "tree/TextTree.h"

#include <dlfcn.h>
#include <fstream>
#include <gtest/gtest.h>

namespace arxmod::test {
namespace {

class PluginEnvironment : public ::testing::Environment {
public:
  static TempHostDatabase *db;
  static decltype(&::Process) process;
  static sim::SimulatedMeter *meter;
  static sim::SimExchange *exchange;

  void SetUp() override {
    db = new TempHostDatabase();
    db->addConsoleFile(); // keeps the hostile-input loop's console lines out of the test log
    db->addTranslatorDirectories();
    db->exec("INSERT INTO Translator VALUES(1,'MX4110_4120',0,'mx4110_4120.so'),"
             "(2,'mx4110_4120',0,'mx4110_4120.so')");
    // A map that maps nothing: every answer comes from the tree.
    db->exec("INSERT INTO DeviceType VALUES(1,'MX4110',1,'meter.xml')");
    db->exec("INSERT INTO Device(ID,Name,DeviceTypeID,TreeFile) VALUES(9,'meter',1,'meter10.dat'),"
             "(10,'tree',1,'meter10.dat')");
    db->exec("INSERT INTO Device(ID,Name,DeviceTypeID) VALUES(11,'no tree',1)");
    std::ofstream(db->translatorDirectory() / "meter.xml", std::ios::binary) << "<Map/>";
    auto tree = makeDeviceTree();
    tree->insert(std::make_unique<RegisterObj>(kLongNameHandle, 25, 0x100, std::string(2000, 'n')));
    std::ofstream(db->translatorDirectory() / "meter10.dat", std::ios::binary)
        << textTreeString(*tree);
    meter = new sim::SimulatedMeter();
    meter->addUnit(1, [](sim::RegisterBank &bank) { sim::addMeterBehaviour(bank); });
    exchange = new sim::SimExchange(*meter, 1);
    handle_ = dlopen(ARXMOD_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
    process = reinterpret_cast<decltype(&::Process)>(dlsym(handle_, "Process"));
    ASSERT_NE(process, nullptr);
  }
  void TearDown() override {
    if (handle_)
      dlclose(handle_);
    delete exchange;
    delete meter;
    delete db;
  }

private:
  void *handle_ = nullptr;
};
TempHostDatabase *PluginEnvironment::db = nullptr;
decltype(&::Process) PluginEnvironment::process = nullptr;
sim::SimulatedMeter *PluginEnvironment::meter = nullptr;
sim::SimExchange *PluginEnvironment::exchange = nullptr;
const auto *const environment = ::testing::AddGlobalTestEnvironment(new PluginEnvironment);

} // namespace

TempHostDatabase &hostDatabase() { return *PluginEnvironment::db; }

Call callProcess(const std::vector<uint8_t> &request, int32_t capacity, bool withAnswer) {
  Call call{false, capacity, std::vector<uint8_t>(capacity > 0 ? size_t(capacity) : 0)};
  call.result = PluginEnvironment::process(PluginEnvironment::exchange->context(), request.data(),
                                           static_cast<int32_t>(request.size()),
                                           withAnswer ? call.answer.data() : nullptr,
                                           &call.answerLength, sim::SimExchange::callback()) != 0;
  if (call.result && call.answerLength >= 0)
    call.answer.resize(static_cast<size_t>(call.answerLength));
  return call;
}

std::string lastLogText() {
  return PluginEnvironment::db->text("SELECT Text FROM SystemLog ORDER BY ID DESC LIMIT 1");
}

std::vector<uint8_t> programRequest(uint16_t device, const Program &program) {
  return programRequest(device, kOurTranslator, program);
}

} // namespace arxmod::test
