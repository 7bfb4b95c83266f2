// Validation of virtual modules: every way a hand-written tree can describe
// a module that makes no sense is refused with its own message, which names
// the module.
#include "ModuleFixture.h"

#include <gtest/gtest.h>

#include <functional>

namespace XLARX::test {
namespace {

constexpr uint32_t kModule = 0x100;
constexpr uint32_t kSource = 0x10;

arxmod::ARXObj &object(ModuleFixture &f, uint32_t handle) { return *f.objects().find(handle); }
arxmod::ModuleObj &module(ModuleFixture &f) {
  return dynamic_cast<arxmod::ModuleObj &>(object(f, kModule));
}

struct Case {
  const char *what;
  std::function<void(ModuleFixture &)> build;
  std::string message;
};

void minimum(ModuleFixture &f) {
  f.addRegister(kSource, 25, "Vln a");
  f.addExtremum(kModule, 511, {kSource});
}

const Case kCases[] = {
    {"input named after the wrong label",
     [](ModuleFixture &f) {
       minimum(f);
       auto names = *module(f).inputNames();
       names[16] = "Reset";
       module(f).setInputNames(names);
     },
     "Invalid input name for Min.  Should be Enable"},
    {"input that the tree lacks", [](ModuleFixture &f) { f.addExtremum(kModule, 511, {0x999}); },
     "Input handle not found in ARX tree for Min module handle 0x100. Missing handle 0x999."},
    {"input of another node",
     [](ModuleFixture &f) {
       minimum(f);
       auto inputs = *module(f).inputs();
       inputs[0].node = "east";
       module(f).setInputs(inputs);
     },
     "Input handle not found in ARX tree for Min module handle 0x100. Missing handle 0x10."},
    {"input linked to a module", [](ModuleFixture &f) { f.addExtremum(kModule, 511, {2}); },
     "Input linked to invalid ARX class for Min module handle 0x100. Bad handle 0x2."},
    {"input of a class the input classes do not allow",
     [](ModuleFixture &f) {
       f.addRegister(kSource, 21, "Breaker closed");
       f.addExtremum(kModule, 511, {kSource});
       module(f).setInputClasses(arxmod::InputClassesList{{0, 15, 1, 23}, {16, 17, 1, 21}});
     },
     "Input linked to invalid ARX register type for Min module handle 0x100. Bad handle 0x10."},
    {"first source without handle", [](ModuleFixture &f) { f.addExtremum(kModule, 511, {}); },
     "Required input handles missing for Min module handle 0x100"},
    {"one input name too few",
     [](ModuleFixture &f) {
       minimum(f);
       auto names = *module(f).inputNames();
       names.pop_back();
       module(f).setInputNames(names);
     },
     "Invalid module configuration for Minimum Module handle 0x100."},
    {"30 outputs",
     [](ModuleFixture &f) {
       minimum(f);
       auto outputs = *module(f).outputs();
       outputs.resize(30);
       module(f).setOutputs(outputs);
     },
     "One or more required output registers missing for Minimum Module handle 0x100."},
    {"a channel output of the wrong class",
     [](ModuleFixture &f) {
       minimum(f);
       object(f, kModule + 3).setClassNumber(23);
     },
     "Required output register (Minimum 3) missing for Minimum Module handle 0x100."},
    {"trigger outputs out of place",
     [](ModuleFixture &f) {
       minimum(f);
       auto outputs = *module(f).outputs();
       std::swap(outputs[16], outputs[17]);
       module(f).setOutputs(outputs);
     },
     "Required output register (Trigger 1) missing for Minimum Module handle 0x100."},
    {"maximum without its second value output",
     [](ModuleFixture &f) {
       f.addRegister(kSource, 25, "Vln a");
       f.addExtremum(kModule, 512, {kSource});
       object(f, kModule + 2).setName("Max Maximum two");
     },
     "Required output register missing (Maximum 2) for Maximum Module handle 0x100."},
    {"averaging in an unknown mode",
     [](ModuleFixture &f) {
       f.addRegister(kSource, 25, "Vln a");
       f.addAveraging(kModule, {kSource}, "Median Mode");
     },
     "Invalid register value (Calc Mode) for Averaging Module handle 0x100."},
    {"averaging without Calc Mode",
     [](ModuleFixture &f) {
       f.addRegister(kSource, 25, "Vln a");
       f.addAveraging(kModule, {kSource}, "RMS Mode");
       module(f).setSetups(std::vector<uint32_t>{});
     },
     "Required setup register missing for Averaging Module handle 0x100."},
    {"averaging without its fifth value",
     [](ModuleFixture &f) {
       f.addRegister(kSource, 25, "Vln a");
       f.addAveraging(kModule, {kSource}, "RMS Mode");
       object(f, kModule + 5).setName("Avg Value five");
     },
     "Required output register (Value 5)missing for Averaging Module handle 0x100."},
    {"periodic timer with period 0",
     [](ModuleFixture &f) { f.addPeriodicTimer(kModule, "0u", "Trigger on Sync"); },
     "Invalid register value (Period) for PeriodicTimer Module handle 0x100."},
    {"periodic timer with a negative period",
     [](ModuleFixture &f) { f.addPeriodicTimer(kModule, "-900", "Trigger on Sync"); },
     "Invalid register value (Period) for PeriodicTimer Module handle 0x100."},
    {"periodic timer without Period",
     [](ModuleFixture &f) {
       f.addPeriodicTimer(kModule, "900u", "Trigger on Sync");
       object(f, kModule + 0x40).setName("PT Interval");
     },
     "Required setup register (Period) missing for PeriodicTimer Module handle 0x100."},
    {"periodic timer in an unknown sync mode",
     [](ModuleFixture &f) { f.addPeriodicTimer(kModule, "900u", "Sometimes"); },
     "Invalid register value (Sync Mode) for PeriodicTimer Module handle 0x100."},
    {"periodic timer without Trigger",
     [](ModuleFixture &f) {
       f.addPeriodicTimer(kModule, "900u", "No Trig on Sync");
       object(f, kModule + 1).setName("PT Pulse");
     },
     "Required output register (Trigger) missing for PeriodicTimer Module handle 0x100."},
    {"feedback without Pulse Out",
     [](ModuleFixture &f) {
       f.addRegister(kSource, 26, "kWh pulses");
       f.addFeedback(kModule, kSource);
       object(f, kModule + 1).setName("FB Out");
     },
     "Required output register missing for Feedback Module handle 0x100."},
    {"feedback without outputs",
     [](ModuleFixture &f) {
       f.addRegister(kSource, 26, "kWh pulses");
       f.addFeedback(kModule, kSource);
       module(f).setOutputs(std::vector<uint32_t>{});
     },
     "One or more required output registers missing for Feedback Module handle 0x100."},
    {"feedback without source", [](ModuleFixture &f) { f.addFeedback(kModule, 0); },
     "Required input handles missing for FB module handle 0x100"},
    {"data recorder of depth 0",
     [](ModuleFixture &f) {
       f.addRegister(kSource, 25, "Vln a");
       f.addDataRecorder(kModule, {kSource}, "0u");
     },
     "Setup register (Depth) outside valid range for DataRecorder Module handle 0x100."},
    {"data recorder deeper than its bound",
     [](ModuleFixture &f) {
       f.addRegister(kSource, 25, "Vln a");
       f.addDataRecorder(kModule, {kSource}, "5000u");
     },
     "Setup register (Depth) outside valid range for DataRecorder Module handle 0x100."},
    {"data recorder without Depth",
     [](ModuleFixture &f) {
       f.addRegister(kSource, 25, "Vln a");
       f.addDataRecorder(kModule, {kSource}, "10u");
       object(f, kModule + 0x40).setName("DR Size");
     },
     "Required setup register (Depth) missing for DataRecorder Module handle 0x100."},
    {"data recorder whose Data Log is no log register",
     [](ModuleFixture &f) {
       f.addRegister(kSource, 25, "Vln a");
       f.addDataRecorder(kModule, {kSource}, "10u");
       object(f, kModule + 1).setClassNumber(29);
     },
     "Required output register (Data Log) missing for DataRecorder Module handle 0x100."},
    {"data recorder without Record Complete",
     [](ModuleFixture &f) {
       f.addRegister(kSource, 25, "Vln a");
       f.addDataRecorder(kModule, {kSource}, "10u");
       object(f, kModule + 4).setName("DR Done");
     },
     "Required output register (Record Complete) missing for DataRecorder Module handle "
     "0x100."},
    {"data recorder with Record where Reset belongs",
     [](ModuleFixture &f) {
       f.addRegister(kSource, 25, "Vln a");
       f.addDataRecorder(kModule, {kSource}, "10u");
       auto names = *module(f).inputNames();
       names[19] = "Record";
       module(f).setInputNames(names);
     },
     "Invalid input name for DR.  Should be Reset"},
};

TEST(ModuleValidation, EachFaultIsRefusedWithItsMessage) {
  for (const Case &c : kCases) {
    SCOPED_TRACE(c.what);
    ModuleFixture f;
    c.build(f);
    try {
      f.buildList();
      ADD_FAILURE() << "accepted";
    } catch (const ModuleInvalid &refused) {
      EXPECT_EQ(refused.text(), c.message);
    }
  }
}

TEST(ModuleValidation, WellFormedModulesOfEveryClassAreAccepted) {
  ModuleFixture f;
  f.addRegister(kSource, 25, "Vln a");
  f.addRegister(0x11, 26, "kWh pulses");
  f.addExtremum(0x100, 511, {kSource});
  f.addExtremum(0x200, 512, {kSource});
  f.addAveraging(0x300, {kSource}, "Average Mode");
  f.addPeriodicTimer(0x400, "900u", "No Trig on Sync");
  f.addFeedback(0x500, 0x11);
  f.addDataRecorder(0x600, {kSource}, "10u");
  f.addExternal(0x700, 544);
  f.addExternal(0x800, 545);
  f.addExternal(0x900, 546);
  f.addModule(0xA00, 525, "DIA", {}, {});
  EXPECT_EQ(f.buildList()->size(), 10u);
}

} // namespace
} // namespace XLARX::test
