// SPXP_ModuleList: the calculation order and the locked passes and writes.
#include "modules/ModuleList.h"

#include <algorithm>
#include <unordered_map>

namespace XLARX {

namespace {

constexpr uint32_t kFeedbackClass = 567;

enum class Visit : uint8_t { New, InProgress, Done };

} // namespace

void SPXP_ModuleList::append(arxmod::IRefPtr<SPXP_ModuleBase> module) {
  modules_.push_back(std::move(module));
  ordered_ = false;
}

void SPXP_ModuleList::order(const arxmod::TreeReader &tree) {
  const size_t count = modules_.size();
  std::unordered_map<uint32_t, size_t> position;
  for (size_t i = 0; i < count; ++i)
    position.emplace(modules_[i]->handle(), i);

  // The listed modules that own a register each module reads.
  std::vector<std::vector<size_t>> producers(count);
  for (size_t i = 0; i < count; ++i) {
    if (modules_[i]->classNumber() == kFeedbackClass)
      continue;
    for (size_t n = 0; n < modules_[i]->inputs().size(); ++n) {
      const arxmod::ARXObj *input = tree.find(modules_[i]->inputHandle(n));
      const auto owner = input ? position.find(input->parent()) : position.end();
      if (owner != position.end())
        producers[i].push_back(owner->second);
    }
  }

  std::vector<Visit> state(count, Visit::New);
  std::vector<uint32_t> level(count, 0);
  struct Frame {
    size_t module;
    size_t next; // the next producer to look at
  };
  std::vector<Frame> stack;
  for (size_t root = 0; root < count; ++root) {
    if (state[root] != Visit::New)
      continue;
    state[root] = Visit::InProgress;
    stack.push_back({root, 0});
    while (!stack.empty()) {
      Frame &top = stack.back();
      const std::vector<size_t> &from = producers[top.module];
      if (top.next < from.size()) {
        const size_t producer = from[top.next++];
        if (state[producer] == Visit::InProgress)
          throw ModuleInvalid(
              "Loop in the calculation order of the virtual modules through module" +
              moduleHandleSuffix(modules_[producer]->handle()));
        if (state[producer] == Visit::New) {
          state[producer] = Visit::InProgress;
          stack.push_back({producer, 0});
        }
        continue;
      }
      uint32_t highest = 0;
      for (const size_t producer : from)
        highest = std::max(highest, level[producer]);
      level[top.module] = modules_[top.module]->classNumber() == kFeedbackClass ? 0 : highest + 1;
      state[top.module] = Visit::Done;
      stack.pop_back();
    }
  }

  std::vector<size_t> sequence(count);
  for (size_t i = 0; i < count; ++i)
    sequence[i] = i;
  std::stable_sort(sequence.begin(), sequence.end(),
                   [&](size_t a, size_t b) { return level[a] < level[b]; });
  std::vector<arxmod::IRefPtr<SPXP_ModuleBase>> sorted;
  sorted.reserve(count);
  for (const size_t i : sequence)
    sorted.push_back(modules_[i]);
  modules_ = std::move(sorted);
  ordered_ = true;
}

void SPXP_ModuleList::computeLocked(const CalcPass &pass, const FailureReport &report) {
  for (const auto &module : modules_) {
    try {
      module->compute(pass);
    } catch (const std::exception &failure) {
      report(*module, failure.what());
    } catch (...) {
      report(*module, "unknown exception");
    }
  }
}

bool SPXP_ModuleList::controlWrite(uint32_t handle, const arxmod::PICType &value) {
  std::lock_guard guard(lock_);
  for (const auto &module : modules_)
    if (module->controlWrite(handle, value))
      return true;
  return false;
}

} // namespace XLARX
