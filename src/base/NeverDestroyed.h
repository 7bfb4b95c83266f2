// neverDestroyed<T>(): a process-wide object that holds no state, built in
// static storage on first use and never destroyed.
//
// For stateless objects (a clock that reads the system's, a formatter that
// only holds code) a ProcessSingleton's release would have nothing to free:
// never destroying them leaks nothing, even when the library is unloaded,
// and threads may go on using them while the runtime destroys statics at
// process exit, which a plain function-local static would not allow.
//
//   ModbusFormatter &ModbusFormatter::instance() { return neverDestroyed<ModbusFormatter>(); }
#pragma once

#include <new>

namespace arxmod {

template <typename T> T &neverDestroyed() {
  alignas(T) static unsigned char storage[sizeof(T)];
  static T *const object = new (storage) T();
  return *object;
}

} // namespace arxmod
