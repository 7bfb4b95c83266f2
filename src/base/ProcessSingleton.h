// ProcessSingleton: one process-wide object of the plug-in, made on first use
// and destroyed only by an explicit release.
//
// The C++ runtime destroys statics at process exit while threads of the
// plug-in or of the host may still be using them, and a function-local
// static first used after a thread started is destroyed before anything
// stops that thread. So process-wide state is not a static: it lives on
// the heap behind this holder, whose members (an atomic pointer and a
// mutex) are trivially destructible, so the holder registers no static
// destructor. The object lives until release(), which the plug-in calls
// in its unload order (src/plugin/PluginEntry.cpp); tools and tests that
// never release simply keep it until the process ends.
//
//   namespace { constinit ProcessSingleton<TranslatorTable> table; }
//   TranslatorTable &TranslatorTable::instance() { return table.get(); }
//   void TranslatorTable::releaseInstance() { table.release(); }
//
// get() is one acquire load once the object exists; the first calls take
// the mutex so that exactly one object is made.
#pragma once

#include <atomic>
#include <mutex>
#include <type_traits>

namespace arxmod {

template <typename T> class ProcessSingleton {
public:
  constexpr ProcessSingleton() noexcept = default;
  ProcessSingleton(const ProcessSingleton &) = delete;
  ProcessSingleton &operator=(const ProcessSingleton &) = delete;

  // The object; made with `new T()` on first use.
  T &get() {
    return get([] { return new T(); });
  }

  // The object; made by `make()` (returning a new T*, owned from then on)
  // on first use. `make` runs under the holder's mutex, so it must not use
  // this same holder.
  template <typename Make> T &get(Make &&make) {
    if (T *object = object_.load(std::memory_order_acquire))
      return *object;
    std::lock_guard lock(mutex_);
    T *object = object_.load(std::memory_order_relaxed);
    if (!object) {
      object = make();
      object_.store(object, std::memory_order_release);
    }
    return *object;
  }

  // The object when it exists, else nullptr; never makes one.
  T *existing() const noexcept { return object_.load(std::memory_order_acquire); }

  // Destroys the object; the next get() makes a new one. The caller makes
  // sure that no thread still uses it.
  void release() noexcept {
    T *object = nullptr;
    {
      std::lock_guard lock(mutex_);
      object = object_.exchange(nullptr, std::memory_order_acq_rel);
    }
    delete object;
  }

private:
  std::mutex mutex_;
  std::atomic<T *> object_{nullptr};
};

// The point of the holder: nothing to destroy at process exit.
static_assert(std::is_trivially_destructible_v<ProcessSingleton<int>>);

} // namespace arxmod
