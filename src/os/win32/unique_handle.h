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

// Memory handed out by COM (StringFromCLSID and the like), freed with
// CoTaskMemFree. Pass Receive() where the call wants the address to fill.
template <typename T>
class UniqueCoTaskMem {
 public:
  UniqueCoTaskMem() = default;
  UniqueCoTaskMem(const UniqueCoTaskMem&) = delete;
  UniqueCoTaskMem& operator=(const UniqueCoTaskMem&) = delete;
  ~UniqueCoTaskMem() { Reset(); }

  T* get() const { return memory_; }
  T** Receive() {
    Reset();
    return &memory_;
  }
  void Reset() {
    if (memory_) ::CoTaskMemFree(memory_);
    memory_ = nullptr;
  }

 private:
  T* memory_ = nullptr;
};

// Memory handed out with LocalAlloc by a system call (PowerGetActiveScheme
// and the like), freed with LocalFree.
template <typename T>
class UniqueLocalMem {
 public:
  UniqueLocalMem() = default;
  UniqueLocalMem(const UniqueLocalMem&) = delete;
  UniqueLocalMem& operator=(const UniqueLocalMem&) = delete;
  ~UniqueLocalMem() { Reset(); }

  T* get() const { return memory_; }
  T** Receive() {
    Reset();
    return &memory_;
  }
  void Reset() {
    if (memory_) ::LocalFree(memory_);
    memory_ = nullptr;
  }

 private:
  T* memory_ = nullptr;
};

}  // namespace tav::win32
