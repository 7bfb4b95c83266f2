// ContextTable: 32-bit numbers that stand for host-side objects across a C
// callback whose only argument for its owner is a uint32_t context (the
// exchange callback a host passes to Process).
//
// The table holds weak references: the owner keeps the object alive and
// removes its number when it goes; a callback that finds the number gets a
// strong reference for the length of its work, so an owner that goes away
// meanwhile cannot free the object under it. Numbers start at 1 and are not
// reused while registered.
//
//   static ContextTable<Link> links;
//   const uint32_t context = links.add(link);   // link: std::shared_ptr<Link>
//   if (auto found = links.find(context)) found->exchange(...);
//   links.remove(context);
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace arxmod {

template <typename T> class ContextTable {
public:
  uint32_t add(const std::shared_ptr<T> &object) {
    std::lock_guard lock(mutex_);
    do
      ++last_;
    while (last_ == 0 || entries_.contains(last_));
    entries_.emplace(last_, object);
    return last_;
  }
  void remove(uint32_t context) {
    std::lock_guard lock(mutex_);
    entries_.erase(context);
  }
  std::shared_ptr<T> find(uint32_t context) const {
    std::lock_guard lock(mutex_);
    const auto found = entries_.find(context);
    return found == entries_.end() ? nullptr : found->second.lock();
  }

private:
  mutable std::mutex mutex_;
  std::unordered_map<uint32_t, std::weak_ptr<T>> entries_;
  uint32_t last_ = 0;
};

} // namespace arxmod
