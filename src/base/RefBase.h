// RefBase and IRefPtr: intrusive reference counting for engines,
// transactions, requests, responses, messages and the per-device objects.
//
// Objects are created with makeRef<T>(...) and held through IRefPtr<T>; the
// release that brings the count to zero destroys the object. Counts are
// atomic because maps, trees and caches are shared between the threads of
// concurrent Process calls and the calculation threads.
//
// A counted reference can only come from makeRef, from another counted
// reference, or from retainRef(object), which takes a further reference to
// an object that makeRef made and throws std::logic_error for any other
// (one on the stack or inside another object), whose last release would
// otherwise free memory that was never allocated:
//
//   auto transaction = makeRef<LegacyDLITransaction>(...);
//   IRefPtr<XL::Transaction> parent = retainRef(*transaction); // fine
//   XL::Transaction local;
//   retainRef(local);                                          // throws
#pragma once

#include <atomic>
#include <cstddef>
#include <stdexcept>
#include <utility>

namespace arxmod {

template <typename T> class IRefPtr;
template <typename T, typename... Args> IRefPtr<T> makeRef(Args &&...args);
template <typename T> IRefPtr<T> retainRef(T &object);

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
  template <typename T, typename... Args> friend IRefPtr<T> makeRef(Args &&...args);
  template <typename T> friend IRefPtr<T> retainRef(T &object);

  mutable std::atomic<long> count_{0};
  bool madeByMakeRef_ = false; // set by makeRef once the object is built
};

// A counted reference; empty when default-constructed.
template <typename T> class IRefPtr {
public:
  IRefPtr() = default;
  IRefPtr(std::nullptr_t) {}
  IRefPtr(const IRefPtr &other) : IRefPtr(other.object_) {}
  IRefPtr(IRefPtr &&other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  template <typename U> IRefPtr(const IRefPtr<U> &other) : IRefPtr(static_cast<T *>(other.get())) {}
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
  template <typename U> friend class IRefPtr;
  template <typename U, typename... Args> friend IRefPtr<U> makeRef(Args &&...args);
  template <typename U> friend IRefPtr<U> retainRef(U &object);
  template <typename U, typename V> friend IRefPtr<U> refCast(const IRefPtr<V> &from);

  // Only for objects already known to be counted (see the file comment).
  explicit IRefPtr(T *object) : object_(object) {
    if (object_)
      object_->addRef();
  }

  T *object_ = nullptr;
};

template <typename T, typename... Args> IRefPtr<T> makeRef(Args &&...args) {
  T *object = new T(std::forward<Args>(args)...);
  object->madeByMakeRef_ = true;
  return IRefPtr<T>(object);
}

// A further counted reference to `object`, which makeRef must have made.
template <typename T> IRefPtr<T> retainRef(T &object) {
  if (!object.madeByMakeRef_)
    throw std::logic_error("retainRef: the object was not made by makeRef, so it cannot be "
                           "counted");
  return IRefPtr<T>(&object);
}

// Checked downcast of a counted reference; empty when the object is not a T.
template <typename T, typename U> IRefPtr<T> refCast(const IRefPtr<U> &from) {
  return IRefPtr<T>(dynamic_cast<T *>(from.get()));
}

} // namespace arxmod
