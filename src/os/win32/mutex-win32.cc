// The named single-instance mutex.
#include "os/win32/unique_handle.h"
#include "os/win32/win32_os_impl.h"
#include "os/win32/windows_api.h"

namespace tav::win32 {
namespace {

class Win32Mutex final : public OsMutex {
 public:
  explicit Win32Mutex(UniqueHandle handle) : handle_(std::move(handle)) {}
  void Release() override { ::ReleaseMutex(handle_.get()); }

 private:
  UniqueHandle handle_;  // closed with the object
};

}  // namespace

std::unique_ptr<OsMutex> Win32System::CreateMutex(const std::wstring& name, bool initialOwner,
                                              bool& alreadyExists) {
  UniqueHandle handle(::CreateMutexW(nullptr, initialOwner ? TRUE : FALSE, name.c_str()));
  // Read at once: nothing may run between the creation and this test.
  alreadyExists = ::GetLastError() == ERROR_ALREADY_EXISTS;
  if (!handle) return nullptr;
  return std::make_unique<Win32Mutex>(std::move(handle));
}

}  // namespace tav::win32
