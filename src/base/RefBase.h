// RefBase and IRefPtr: intrusive reference counting for engines,
// transactions, requests, responses, messages and the per-device objects.
//
// Objects are created with makeRef<T>(...) and held through IRefPtr<T>; the
// release that brings the count to zero destroys the object. Counts are
// atomic because maps, trees and caches are shared between the threads of
// concurrent Process calls and the calculation threads.
#pragma once

#include <atomic>
#include <cstddef>
#include <utility>

namespace arxmod {

class RefBase {
public:
  RefBase() = default;
  RefBase(const RefBase &) = delete;
  RefBase &operator=(const RefBase &) = delete;
  virtual ~RefBase() = default;

  virtual void addRef() const noexcept { count_.fetch_add(1, std::memory_order_relaxed); }
  virtual void release() const noexcept {
    if (count_.fetch_sub(1, std::memory_order_acq_rel) == 1)
      delete this;
  }
  long useCount() const noexcept { return count_.load(std::memory_order_relaxed); }

private:
  mutable std::atomic<long> count_{0};
};

// A counted reference; empty when default-constructed.
template <typename T> class IRefPtr {
public:
  IRefPtr() = default;
  IRefPtr(std::nullptr_t) {}
  explicit IRefPtr(T *object) : object_(object) {
    if (object_)
      object_->addRef();
  }
  IRefPtr(const IRefPtr &other) : IRefPtr(other.object_) {}
  IRefPtr(IRefPtr &&other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  template <typename U>
  IRefPtr(const IRefPtr<U> &other) : IRefPtr(static_cast<T *>(other.get())) {}
  ~IRefPtr() { reset(); }

  IRefPtr &operator=(IRefPtr other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }

  void reset() noexcept {
    if (T *old = std::exchange(object_, nullptr))
      old->release();
  }

  T *get() const noexcept { return object_; }
  T *operator->() const noexcept { return object_; }
  T &operator*() const noexcept { return *object_; }
  explicit operator bool() const noexcept { return object_ != nullptr; }
  friend bool operator==(const IRefPtr &a, const IRefPtr &b) { return a.object_ == b.object_; }

private:
  T *object_ = nullptr;
};

template <typename T, typename... Args> IRefPtr<T> makeRef(Args &&...args) {
  return IRefPtr<T>(new T(std::forward<Args>(args)...));
}

// Checked downcast of a counted reference; empty when the object is not a T.
template <typename T, typename U> IRefPtr<T> refCast(const IRefPtr<U> &from) {
  return IRefPtr<T>(dynamic_cast<T *>(from.get()));
}

} // namespace arxmod
