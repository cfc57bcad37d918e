// Stand-in for the system's powrprof.dll: the power plans and Windows XP
// schemes that it reports come from the plan store that the powercfg.exe
// stand-in keeps. The store lives in TAV_STANDIN_DIR or, without it, in this
// DLL's own folder; it is read afresh by every call.
//
// Each call appends one line to powrprof.log in the same folder:
//   PowerEnumerate <index> -> <result>
//   PowerReadFriendlyName <plan GUID> -> <result>
//   PowerGetActiveScheme -> <result>
//   EnumPwrSchemes -> <result>
//   GetPwrCapabilities, IsPwrSuspendAllowed, IsPwrHibernateAllowed -> <result>
//   SetSuspendState hibernate=<0|1> -> <result>
// The sleep calls answer from sleep-state.txt in the same folder, one switch
// a line: "no-s3", "modern-standby", "no-hibernation", "sleep-refused"
// (missing: S3, S4 and a hibernation file). A granted sleep is only logged.
// The scheme callback takes wide strings, as the system's DLL passes them.
#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>
#include <powrprof.h>

#include <string>

#include "standins/plan_store/plan_store.h"
#include "standins/standin_common.h"

namespace tav::standin {
namespace {

std::string DllFolder() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                              GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&DllFolder), &module))
    return ".";
  wchar_t buffer[MAX_PATH];
  DWORD n = GetModuleFileNameW(module, buffer, MAX_PATH);
  if (n == 0 || n == MAX_PATH) return ".";
  std::wstring path(buffer, n);
  size_t cut = path.find_last_of(L"\\/");
  return cut == std::wstring::npos ? std::string(".") : ToUtf8(path.substr(0, cut));
}

// TAV_STANDIN_DIR when set, else the folder of this DLL (not of the program
// that loaded it).
std::string DllStateDir() {
  wchar_t buffer[MAX_PATH];
  DWORD n = GetEnvironmentVariableW(L"TAV_STANDIN_DIR", buffer, MAX_PATH);
  if (n > 0 && n < MAX_PATH) return ToUtf8(std::wstring(buffer, n));
  return DllFolder();
}

void Log(const std::string& line) {
  if (FILE* f = OpenUtf8Path(StateFilePath(DllStateDir(), "powrprof.log"), "ab")) {
    const std::string text = line + "\n";
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
}

bool LoadStore(PlanStore& store) { return LoadPlanStore(PlanStorePathIn(DllStateDir()), store); }

GUID ToGuid(const std::string& text) {
  GUID guid = {};
  uint32_t d1 = 0;
  uint16_t d2 = 0, d3 = 0;
  ParseGuidText(text, d1, d2, d3, guid.Data4);
  guid.Data1 = d1;
  guid.Data2 = d2;
  guid.Data3 = d3;
  return guid;
}

std::string FromGuid(const GUID& guid) {
  return GuidText(static_cast<uint32_t>(guid.Data1), guid.Data2, guid.Data3, guid.Data4);
}

// Copies `size` bytes to `buffer` under the Win32 buffer rules: with no
// buffer only the size is reported; a buffer that is too small gets
// ERROR_MORE_DATA and the size needed.
DWORD CopyOut(const void* data, DWORD size, UCHAR* buffer, DWORD* bufferSize) {
  if (!bufferSize) return ERROR_INVALID_PARAMETER;
  if (buffer && *bufferSize < size) {
    *bufferSize = size;
    return ERROR_MORE_DATA;
  }
  if (buffer) CopyMemory(buffer, data, size);
  *bufferSize = size;
  return ERROR_SUCCESS;
}

DWORD EnumerateScheme(ULONG index, UCHAR* buffer, DWORD* bufferSize) {
  PlanStore store;
  if (!LoadStore(store)) return ERROR_INVALID_DATA;
  if (index >= store.Plans.size()) return ERROR_NO_MORE_ITEMS;
  const GUID guid = ToGuid(store.Plans[index].Guid);
  return CopyOut(&guid, sizeof guid, buffer, bufferSize);
}

DWORD ReadPlanName(const GUID* scheme, const GUID* subgroup, const GUID* setting,
                   UCHAR* buffer, DWORD* bufferSize) {
  if (!scheme) return ERROR_INVALID_PARAMETER;
  // Only plan names are kept; sub-groups and settings have none here.
  if (subgroup || setting) return ERROR_FILE_NOT_FOUND;
  PlanStore store;
  if (!LoadStore(store)) return ERROR_INVALID_DATA;
  const Plan* plan = FindPlan(store, FromGuid(*scheme));
  if (!plan) return ERROR_FILE_NOT_FOUND;
  if (plan->NameUnreadable) return ERROR_ACCESS_DENIED;
  const std::wstring name = FromUtf8(plan->Name);
  return CopyOut(name.c_str(), static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t)), buffer,
                 bufferSize);
}

// The store's active plan in a GUID the caller frees with LocalFree.
DWORD ActiveScheme(GUID** active) {
  if (!active) return ERROR_INVALID_PARAMETER;
  *active = nullptr;
  PlanStore store;
  if (!LoadStore(store)) return ERROR_INVALID_DATA;
  if (!IsGuidText(store.ActivePlan)) return ERROR_FILE_NOT_FOUND;
  GUID* guid = static_cast<GUID*>(LocalAlloc(LMEM_FIXED, sizeof(GUID)));
  if (!guid) return ERROR_NOT_ENOUGH_MEMORY;
  *guid = ToGuid(store.ActivePlan);
  *active = guid;
  return ERROR_SUCCESS;
}

// Time-outs are kept in minutes; POWER_POLICY counts seconds.
POWER_POLICY ToPolicy(const PowerValues& values) {
  auto seconds = [](const std::map<std::string, int>& from, const char* key) {
    auto it = from.find(key);
    return it == from.end() || it->second < 0 ? 0UL : static_cast<ULONG>(it->second) * 60;
  };
  POWER_POLICY policy = {};
  policy.user.Revision = 1;
  policy.mach.Revision = 1;
  policy.user.VideoTimeoutAc = seconds(values.Ac, "monitor-timeout");
  policy.user.VideoTimeoutDc = seconds(values.Dc, "monitor-timeout");
  policy.user.SpindownTimeoutAc = seconds(values.Ac, "disk-timeout");
  policy.user.SpindownTimeoutDc = seconds(values.Dc, "disk-timeout");
  policy.user.IdleTimeoutAc = seconds(values.Ac, "standby-timeout");
  policy.user.IdleTimeoutDc = seconds(values.Dc, "standby-timeout");
  policy.mach.DozeS4TimeoutAc = seconds(values.Ac, "hibernate-timeout");
  policy.mach.DozeS4TimeoutDc = seconds(values.Dc, "hibernate-timeout");
  return policy;
}

BOOLEAN EnumerateSchemes(PWRSCHEMESENUMPROC callback, LPARAM context) {
  if (!callback) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  PlanStore store;
  if (!LoadStore(store)) {
    SetLastError(ERROR_INVALID_DATA);
    return FALSE;
  }
  for (size_t i = 0; i < store.Schemes.size(); ++i) {
    std::wstring name = FromUtf8(store.Schemes[i].Name);
    std::wstring description;
    POWER_POLICY policy = ToPolicy(store.Schemes[i].Values);
    const DWORD nameBytes = static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t));
    const DWORD descriptionBytes = static_cast<DWORD>(sizeof(wchar_t));
    if (!callback(static_cast<UINT>(i), nameBytes, name.data(), descriptionBytes,
                  description.data(), &policy, context))
      break;
  }
  return TRUE;
}

bool SleepSwitch(const char* name) {
  FILE* f = OpenUtf8Path(StateFilePath(DllStateDir(), "sleep-state.txt"), "rb");
  if (!f) return false;
  char line[128];
  bool found = false;
  while (!found && std::fgets(line, sizeof line, f)) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    found = text == name;
  }
  std::fclose(f);
  return found;
}

SYSTEM_POWER_CAPABILITIES Capabilities() {
  SYSTEM_POWER_CAPABILITIES c = {};
  c.SystemS3 = !SleepSwitch("no-s3");
  c.SystemS4 = c.HiberFilePresent = !SleepSwitch("no-hibernation");
  c.SystemS5 = TRUE;
  c.spare2[2] = SleepSwitch("modern-standby");  // AoAc
  return c;
}

}  // namespace
}  // namespace tav::standin

using tav::standin::Log;

// The exports keep their stdcall convention, but their symbols carry no "@N"
// suffix on x86, so powrprof.def names them as Windows does.
#ifdef __i386__
#define TAV_EXPORT_NAME(name) __asm__("_" #name)
#else
#define TAV_EXPORT_NAME(name) __asm__(#name)
#endif

extern "C" {

DWORD WINAPI PowerEnumerate(HKEY, const GUID*, const GUID*, POWER_DATA_ACCESSOR, ULONG, UCHAR*,
                            DWORD*) TAV_EXPORT_NAME(PowerEnumerate);
DWORD WINAPI PowerReadFriendlyName(HKEY, const GUID*, const GUID*, const GUID*, PUCHAR,
                                   LPDWORD) TAV_EXPORT_NAME(PowerReadFriendlyName);
BOOLEAN WINAPI EnumPwrSchemes(PWRSCHEMESENUMPROC, LPARAM) TAV_EXPORT_NAME(EnumPwrSchemes);
DWORD WINAPI PowerGetActiveScheme(HKEY, GUID**) TAV_EXPORT_NAME(PowerGetActiveScheme);
int WINAPI StandinPowrprofMarker() TAV_EXPORT_NAME(StandinPowrprofMarker);
BOOLEAN WINAPI GetPwrCapabilities(PSYSTEM_POWER_CAPABILITIES) TAV_EXPORT_NAME(GetPwrCapabilities);
BOOLEAN WINAPI IsPwrSuspendAllowed() TAV_EXPORT_NAME(IsPwrSuspendAllowed);
BOOLEAN WINAPI IsPwrHibernateAllowed() TAV_EXPORT_NAME(IsPwrHibernateAllowed);
BOOLEAN WINAPI SetSuspendState(BOOLEAN, BOOLEAN, BOOLEAN) TAV_EXPORT_NAME(SetSuspendState);

DWORD WINAPI PowerEnumerate(HKEY rootPowerKey, const GUID* schemeGuid,
                            const GUID* subGroupOfPowerSettingsGuid,
                            POWER_DATA_ACCESSOR accessFlags, ULONG index, UCHAR* buffer,
                            DWORD* bufferSize) {
  DWORD result = ERROR_INVALID_PARAMETER;  // only the plans themselves are listed
  if (accessFlags == ACCESS_SCHEME)
    result = tav::standin::EnumerateScheme(index, buffer, bufferSize);
  Log("PowerEnumerate " + std::to_string(index) + " -> " + std::to_string(result));
  return result;
}

DWORD WINAPI PowerReadFriendlyName(HKEY rootPowerKey, const GUID* schemeGuid,
                                   const GUID* subGroupOfPowerSettingsGuid,
                                   const GUID* powerSettingGuid, PUCHAR buffer,
                                   LPDWORD bufferSize) {
  const DWORD result = tav::standin::ReadPlanName(schemeGuid, subGroupOfPowerSettingsGuid,
                                                  powerSettingGuid, buffer, bufferSize);
  Log("PowerReadFriendlyName " +
      (schemeGuid ? tav::standin::FromGuid(*schemeGuid) : std::string("(null)")) + " -> " +
      std::to_string(result));
  return result;
}

BOOLEAN WINAPI EnumPwrSchemes(PWRSCHEMESENUMPROC callback, LPARAM context) {
  const BOOLEAN result = tav::standin::EnumerateSchemes(callback, context);
  Log("EnumPwrSchemes -> " + std::to_string(result));
  return result;
}

DWORD WINAPI PowerGetActiveScheme(HKEY userRootPowerKey, GUID** activePolicyGuid) {
  const DWORD result = tav::standin::ActiveScheme(activePolicyGuid);
  Log("PowerGetActiveScheme -> " + std::to_string(result));
  return result;
}

BOOLEAN WINAPI GetPwrCapabilities(PSYSTEM_POWER_CAPABILITIES capabilities) {
  if (capabilities) *capabilities = tav::standin::Capabilities();
  Log(std::string("GetPwrCapabilities -> ") + (capabilities ? "1" : "0"));
  if (!capabilities) SetLastError(ERROR_INVALID_PARAMETER);
  return capabilities != nullptr;
}

BOOLEAN WINAPI IsPwrSuspendAllowed() {
  const SYSTEM_POWER_CAPABILITIES c = tav::standin::Capabilities();
  const BOOLEAN allowed = (c.SystemS1 || c.SystemS2 || c.SystemS3) && !c.spare2[2];
  Log("IsPwrSuspendAllowed -> " + std::to_string(allowed));
  return allowed;
}

BOOLEAN WINAPI IsPwrHibernateAllowed() {
  const SYSTEM_POWER_CAPABILITIES c = tav::standin::Capabilities();
  const BOOLEAN allowed = c.SystemS4 && c.HiberFilePresent;
  Log("IsPwrHibernateAllowed -> " + std::to_string(allowed));
  return allowed;
}

// Logs the request instead of sleeping; refused when the state says so.
BOOLEAN WINAPI SetSuspendState(BOOLEAN hibernate, BOOLEAN force, BOOLEAN wakeupEventsDisabled) {
  const BOOLEAN granted = !tav::standin::SleepSwitch("sleep-refused");
  if (!granted) SetLastError(ERROR_ACCESS_DENIED);
  Log("SetSuspendState hibernate=" + std::to_string(hibernate ? 1 : 0) + " -> " +
      std::to_string(granted));
  return granted;
}

// Lets a test prove that this stand-in, not the system's DLL, was loaded.
int WINAPI StandinPowrprofMarker() { return 1; }

}  // extern "C"
