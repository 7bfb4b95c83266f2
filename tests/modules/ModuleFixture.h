// ModuleFixture: a device tree with virtual modules built in memory, its
// map, its value cache and a test clock, for the module and engine tests.
//
// Handles of a module at M: its outputs from M + 1, its setups from M + 0x40;
// registers that feed inputs are made by the test (addRegister). Values of
// the cache are set with setValue, which stamps them with the test clock.
//
//   ModuleFixture f;
//   f.addRegister(0x10, 25, "Vln a");
//   f.addMinimum(0x100, {0x10});
//   auto list = f.buildList();
//   f.setValue(0x10, 5);
//   f.pass();
#pragma once

#include "base/Clock.h"
#include "modules/KernelInfo.h"
#include "modules/ModuleFactory.h"
#include "tree/ObjList.h"
#include "tree/RegisterObj.h"

#include <optional>
#include <string>
#include <vector>

namespace XLARX::test {

class ModuleFixture {
public:
  static constexpr uint32_t kDevice = 7;
  static constexpr uint32_t kManager = 3;

  // A device `deviceId` on `clock`, or on a test clock of its own, which it
  // installs, when none is given.
  explicit ModuleFixture(uint32_t deviceId = kDevice, arxmod::ManualClock *clock = nullptr);

  uint32_t deviceId() const { return deviceId_; }
  arxmod::ManualClock &clock() { return clock_; }
  arxmod::ObjList &objects() { return *objects_; }

  // A register of `classNumber` owned by `parent` (the device's root module by default).
  arxmod::RegisterObj &addRegister(uint32_t handle, uint32_t classNumber, const std::string &name,
                                   std::optional<std::string> valueText = std::nullopt,
                                   uint32_t parent = 2);
  // A module of `classNumber` with the given inputs (0: none) named after the
  // class's labels for `inputRegisters`.
  arxmod::ModuleObj &addModule(uint32_t handle, uint32_t classNumber, const std::string &name,
                               const std::vector<uint32_t> &inputs,
                               const std::vector<uint32_t> &inputRegisters);

  // Modules with every register their class needs. `sources` fill the
  // first channels; the remaining inputs (Enable, Reset, ...) are given in order.
  arxmod::ModuleObj &addExtremum(uint32_t handle, uint32_t classNumber,
                                 const std::vector<uint32_t> &sources, uint32_t enable = 0,
                                 uint32_t reset = 0);
  arxmod::ModuleObj &addAveraging(uint32_t handle, const std::vector<uint32_t> &sources,
                                  const std::string &mode, uint32_t enable = 0, uint32_t reset = 0,
                                  uint32_t operateNow = 0);
  arxmod::ModuleObj &addPeriodicTimer(uint32_t handle, const std::string &period,
                                      const std::string &syncMode, uint32_t enable = 0,
                                      uint32_t sync = 0);
  arxmod::ModuleObj &addFeedback(uint32_t handle, uint32_t source, uint32_t enable = 0);
  // A data recorder with its Data Log (M + 1), Log State, Records Left,
  // Record Complete (M + 4) and Event outputs, and a Depth setup (M + 0x40).
  arxmod::ModuleObj &addDataRecorder(uint32_t handle, const std::vector<uint32_t> &sources,
                                     const std::string &depth, uint32_t enable = 0,
                                     uint32_t record = 0, uint32_t reset = 0);
  // An external module (544, 545 or 546) whose control register is M + 1.
  arxmod::ModuleObj &addExternal(uint32_t handle, uint32_t classNumber);
  // An event log register at `handle`, owned by an event log controller module.
  void addEventLog(uint32_t handle);

  // The tree, cache and map of the objects added so far (made once; the
  // map lists `calculated` as calculated handles and `mapped` as entries).
  // Modules write to `logs`, or to the process's log buffer without one:
  // tests that record must name theirs at the first call.
  const arxmod::IRefPtr<ModuleDevice> &device(LogBuffer *logs = nullptr);
  void mapHandles(std::vector<uint32_t> mapped) { mapped_ = std::move(mapped); }
  void calculate(std::vector<uint32_t> calculated) { calculated_ = std::move(calculated); }
  // The list of the calculated handles (every module added, in order, by default).
  arxmod::IRefPtr<SPXP_ModuleList> buildList(LogBuffer *logs = nullptr);

  // Cache values, stamped with the test clock.
  void setValue(uint32_t handle, double value);
  void setText(uint32_t handle, const std::string &text);
  // The cached value as a number; nullopt for none or no number.
  std::optional<double> number(uint32_t handle);
  // True when the cached value is the "not available" exception (code 5).
  bool notAvailable(uint32_t handle);
  // The cached value's text form; empty when there is none.
  std::string text(uint32_t handle);
  uint32_t updateTick(uint32_t handle);

  // One pass of the list's modules at the clock's time (under its lock).
  void pass(SPXP_ModuleList &list);
  // Steps the clock one second, then runs a pass.
  void step(SPXP_ModuleList &list);

  // What an engine keeps of this device with `list`.
  arxmod::IRefPtr<KernelInfo> kernel(arxmod::IRefPtr<SPXP_ModuleList> list);

private:
  const uint32_t deviceId_;
  std::optional<arxmod::ManualClock> ownClock_;
  arxmod::ManualClock &clock_;
  std::optional<arxmod::ScopedClock> useClock_;
  arxmod::IRefPtr<arxmod::ObjList> objects_;
  std::vector<uint32_t> modules_;
  std::vector<uint32_t> mapped_;
  std::optional<std::vector<uint32_t>> calculated_;
  arxmod::IRefPtr<ModuleDevice> device_;
  LogBuffer *logs_ = nullptr; // what device_ was made with
};

} // namespace XLARX::test
