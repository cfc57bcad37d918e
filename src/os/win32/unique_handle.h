// Owners for the system resources the Win32 layer obtains: each one is
// released exactly once, on every path, when its owner goes out of scope.
#pragma once

#include "os/win32/windows_api.h"

namespace tav::win32 {

// A kernel object handle, closed with CloseHandle. Both NULL and
// INVALID_HANDLE_VALUE count as "no handle".
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = other.handle_;
      other.handle_ = nullptr;
    }
    return *this;
  }
  ~UniqueHandle() { Reset(); }

  HANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  void Reset() {
    if (*this) ::CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_ = nullptr;
};

// A loaded library, freed with FreeLibrary.
class UniqueModule {
 public:
  UniqueModule() = default;
  explicit UniqueModule(HMODULE module) : module_(module) {}
  UniqueModule(const UniqueModule&) = delete;
  UniqueModule& operator=(const UniqueModule&) = delete;
  UniqueModule(UniqueModule&& other) noexcept : module_(other.module_) { other.module_ = nullptr; }
  UniqueModule& operator=(UniqueModule&& other) noexcept {
    if (this != &other) {
      Reset();
      module_ = other.module_;
      other.module_ = nullptr;
    }
    return *this;
  }
  ~UniqueModule() { Reset(); }

  HMODULE get() const { return module_; }
  explicit operator bool() const { return module_ != nullptr; }
  void Reset() {
    if (module_) ::FreeLibrary(module_);
    module_ = nullptr;
  }

 private:
  HMODULE module_ = nullptr;
};

// Memory that a system call hands out for the caller to free. Pass
// Receive() where the call wants the address to fill.
template <typename T, typename Free>
class UniqueSystemMemory {
 public:
  UniqueSystemMemory() = default;
  UniqueSystemMemory(const UniqueSystemMemory&) = delete;
  UniqueSystemMemory& operator=(const UniqueSystemMemory&) = delete;
  ~UniqueSystemMemory() { Reset(); }

  T* get() const { return memory_; }
  T** Receive() {
    Reset();
    return &memory_;
  }
  void Reset() {
    if (memory_) Free{}(memory_);
    memory_ = nullptr;
  }

 private:
  T* memory_ = nullptr;
};

struct CoTaskMemFreer {
  void operator()(void* memory) const { ::CoTaskMemFree(memory); }
};
struct LocalFreer {
  void operator()(void* memory) const { ::LocalFree(memory); }
};

// From COM (StringFromCLSID and the like), freed with CoTaskMemFree.
template <typename T>
using UniqueCoTaskMem = UniqueSystemMemory<T, CoTaskMemFreer>;
// From LocalAlloc inside a system call (PowerGetActiveScheme and the like),
// freed with LocalFree.
template <typename T>
using UniqueLocalMem = UniqueSystemMemory<T, LocalFreer>;

}  // namespace tav::win32
