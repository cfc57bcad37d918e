// Owners for the system resources the Win32 layer obtains: each one is
// released exactly once, on every path, when its owner goes out of scope.
#pragma once

#include "os/win32/windows_api.h"

namespace tav::win32 {

// One resource of type T, released with Close. Null is "none", and so is
// INVALID_HANDLE_VALUE where kMinusOneIsNone says so (CreateFileW's failure).
template <typename T, auto Close, bool kMinusOneIsNone = false>
class UniqueAny {
 public:
  UniqueAny() = default;
  explicit UniqueAny(T value) : value_(value) {}
  UniqueAny(UniqueAny&& other) noexcept : value_(other.value_) { other.value_ = nullptr; }
  UniqueAny& operator=(UniqueAny&& other) noexcept {
    if (this != &other) {
      Reset();
      value_ = other.value_;
      other.value_ = nullptr;
    }
    return *this;
  }
  ~UniqueAny() { Reset(); }

  T get() const { return value_; }
  explicit operator bool() const {
    return value_ != nullptr && !(kMinusOneIsNone && value_ == INVALID_HANDLE_VALUE);
  }
  void Reset() {
    if (*this) Close(value_);
    value_ = nullptr;
  }
  // Where a system call wants the address to fill.
  T* Receive() {
    Reset();
    return &value_;
  }

 private:
  T value_ = nullptr;
};

using UniqueHandle = UniqueAny<HANDLE, ::CloseHandle, true>;  // a kernel object
using UniqueModule = UniqueAny<HMODULE, ::FreeLibrary>;       // a loaded library
// Memory from COM (StringFromCLSID and the like).
template <typename T>
using UniqueCoTaskMem = UniqueAny<T*, ::CoTaskMemFree>;
// Memory from LocalAlloc inside a system call (PowerGetActiveScheme).
template <typename T>
using UniqueLocalMem = UniqueAny<T*, ::LocalFree>;

}  // namespace tav::win32
