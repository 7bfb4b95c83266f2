// SPXP_ModuleList: the virtual modules of one device in calculation order.
//
// Calculation order. Every module gets a level: a Feedback module (class
// 567) has level 0, and so breaks loops; any other module has level 1 plus
// the highest level among the modules that own the registers its inputs
// read (an input whose owner is not in the list counts as level 0). The
// list is sorted by level, stably, so producers run before their consumers
// and modules of one level keep the map's order:
//
//   Feedback F (level 0) -> Minimum A (1) -> Maximum B (2) -> Minimum C (3)
//
// A module met again while its own level is being worked out closes a loop
// without a Feedback module in it; the ordering then fails and the list
// never runs. The levels are worked out without recursion, so a map that
// chains thousands of modules costs no stack.
//
// The list's lock is held while its modules compute (by a calculation
// engine, which tries it first, see CalculationEngine.h) and while a client
// write reaches a module (controlWrite). Modules are added before the list
// is ordered and never afterwards.
#pragma once

#include "modules/ModuleBase.h"

#include <functional>
#include <mutex>
#include <vector>

namespace XLARX {

class SPXP_ModuleList : public arxmod::RefBase {
public:
  void append(arxmod::IRefPtr<SPXP_ModuleBase> module);
  // Sorts the modules by level; raises ModuleInvalid naming a module of a
  // loop (the list then stays unordered).
  void order(const arxmod::TreeReader &tree);

  bool ordered() const { return ordered_; }
  bool empty() const { return modules_.empty(); }
  size_t size() const { return modules_.size(); }
  const std::vector<arxmod::IRefPtr<SPXP_ModuleBase>> &modules() const { return modules_; }

  std::mutex &lock() { return lock_; }

  // Reports a module whose pass failed; the remaining modules still run.
  using FailureReport = std::function<void(const SPXP_ModuleBase &, const std::string &reason)>;
  // Runs `compute` of every module in order; the caller holds the lock.
  void computeLocked(const CalcPass &pass, const FailureReport &report);
  // A client write to `handle`, offered to the modules in order under the
  // lock; false when no module handles it. ControlWriteRefused passes through.
  bool controlWrite(uint32_t handle, const arxmod::PICType &value);

private:
  std::vector<arxmod::IRefPtr<SPXP_ModuleBase>> modules_;
  bool ordered_ = false;
  std::mutex lock_;
};

} // namespace XLARX
