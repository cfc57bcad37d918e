// The power plan functions of "powrprof.dll" (Windows Vista and later),
// looked up at run time so that the program still loads on Windows XP.
#include <vector>

#include "os/win32/guid-win32.h"
#include "os/win32/procedure_lookup.h"
#include "os/win32/unique_handle.h"
#include "os/win32/win32_os_impl.h"
#include "os/win32/windows_api.h"

namespace tav::win32 {
namespace {

// POWER_DATA_ACCESSOR's ACCESS_SCHEME: enumerate the power plans.
constexpr int kAccessScheme = 16;

using PowerEnumerateFunction = DWORD(WINAPI*)(HKEY rootPowerKey, const GUID* schemeGuid,
                                              const GUID* subGroupGuid, int accessFlags,
                                              ULONG index, UCHAR* buffer, DWORD* bufferSize);
using PowerReadFriendlyNameFunction = DWORD(WINAPI*)(HKEY rootPowerKey, const GUID* schemeGuid,
                                                     const GUID* subGroupGuid,
                                                     const GUID* settingGuid, UCHAR* buffer,
                                                     DWORD* bufferSize);
using PowerGetActiveSchemeFunction = DWORD(WINAPI*)(HKEY userRootPowerKey,
                                                    GUID** activePolicyGuid);

class Win32PowerLibrary final : public OsPowerLibrary {
 public:
  Win32PowerLibrary(UniqueModule module, PowerEnumerateFunction enumerate,
                    PowerReadFriendlyNameFunction readFriendlyName,
                    PowerGetActiveSchemeFunction getActiveScheme)
      : module_(std::move(module)),
        enumerate_(enumerate),
        readFriendlyName_(readFriendlyName),
        getActiveScheme_(getActiveScheme) {}

  std::optional<Guid> PlanAt(uint32_t index) override {
    GUID buffer{};
    DWORD size = sizeof buffer;  // the buffer is one GUID
    const DWORD result = enumerate_(nullptr, nullptr, nullptr, kAccessScheme, index,
                                    reinterpret_cast<UCHAR*>(&buffer), &size);
    if (result != ERROR_SUCCESS) return std::nullopt;
    return FromSystemGuid(buffer);
  }

  std::optional<std::wstring> PlanName(const Guid& plan) override {
    const GUID scheme = ToSystemGuid(plan);
    // Room for the bytes asked for plus one zeroed character, so the text
    // read back always ends within the buffer.
    std::vector<wchar_t> buffer(kFriendlyNameBufferBytes / sizeof(wchar_t) + 2, L'\0');
    DWORD size = kFriendlyNameBufferBytes;
    const DWORD result = readFriendlyName_(nullptr, &scheme, nullptr, nullptr,
                                           reinterpret_cast<UCHAR*>(buffer.data()), &size);
    if (result != ERROR_SUCCESS) return std::nullopt;
    return std::wstring(buffer.data());
  }

  ActivePlanReading ActivePlan() override {
    if (!getActiveScheme_) return ActivePlanReading{};
    UniqueLocalMem<GUID> scheme;  // the system allocates it; LocalFree frees it
    DWORD result = getActiveScheme_(nullptr, scheme.Receive());
    if (result == ERROR_CALL_NOT_IMPLEMENTED) return ActivePlanReading{};
    if (result == ERROR_SUCCESS && !scheme.get()) result = ERROR_INVALID_DATA;
    if (result != ERROR_SUCCESS)
      return ActivePlanReading{ActivePlanReading::Status::kFailed, Guid{}, result};
    return ActivePlanReading{ActivePlanReading::Status::kRead, FromSystemGuid(*scheme.get())};
  }

 private:
  UniqueModule module_;  // freed with the object
  PowerEnumerateFunction enumerate_;
  PowerReadFriendlyNameFunction readFriendlyName_;
  PowerGetActiveSchemeFunction getActiveScheme_;  // null where the library lacks it
};

}  // namespace

std::unique_ptr<OsPowerLibrary> Win32Power::OpenLibrary() {
  UniqueModule module(::LoadLibraryW(L"powrprof.dll"));
  if (!module) return nullptr;
  auto enumerate = LookupProcedure<PowerEnumerateFunction>(module.get(), "PowerEnumerate");
  if (!enumerate) return nullptr;
  auto readFriendlyName =
      LookupProcedure<PowerReadFriendlyNameFunction>(module.get(), "PowerReadFriendlyName");
  if (!readFriendlyName) return nullptr;
  // Optional: the active plan is confirmed by existence where it is missing.
  auto getActiveScheme =
      LookupProcedure<PowerGetActiveSchemeFunction>(module.get(), "PowerGetActiveScheme");
  return std::make_unique<Win32PowerLibrary>(std::move(module), enumerate, readFriendlyName,
                                             getActiveScheme);
}

}  // namespace tav::win32
