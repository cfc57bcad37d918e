// An Os that is PosixOs in everything except child programs: a started
// program "ends" at once without a process. Runs the tool's own work in
// process, so that its cost can be told apart from the children's. The one
// effect of powercfg.exe that the tool asks the system about, the active plan
// after "/SETACTIVE <GUID>", is kept here and reported by the power library.
#pragma once

#include <memory>
#include <string>

#include "os/os.h"
#include "os/posix/posix_parts.h"
#include "os/utf8.h"

namespace tav::bench {

class NoChildOs : public Os {
 public:
  explicit NoChildOs(std::unique_ptr<Os> inner) : os_(std::move(inner)) {}
  size_t started = 0;  // programs that would have been started

  std::unique_ptr<OsProcess> CreateHiddenProcess(const std::wstring* applicationName,
                                                 std::wstring& commandLine) override {
    struct Ended : OsProcess {
      void WaitForExit() override {}
      bool WaitForExitWithin(std::chrono::milliseconds) override { return true; }
      void Terminate() override {}
      bool GetExitCode(uint32_t& exitCode) override {
        exitCode = 0;
        return true;
      }
    };
    ++started;
    const std::wstring activate = L"powercfg.exe /SETACTIVE ";
    if (commandLine.compare(0, activate.size(), activate) == 0)
      activePlan_ = ToUtf8(commandLine.substr(activate.size()));
    return std::make_unique<Ended>();
  }

  void SelectUserDefaultLocale() override { os_->SelectUserDefaultLocale(); }
  uint32_t GetCurrentProcessId() override { return os_->GetCurrentProcessId(); }
  bool ProcessIdToSessionId(uint32_t processId, uint32_t& sessionId) override {
    return os_->ProcessIdToSessionId(processId, sessionId);
  }
  uint32_t GetActiveConsoleSessionId() override { return os_->GetActiveConsoleSessionId(); }
  std::unique_ptr<OsMutex> CreateMutex(const std::wstring& name, bool initialOwner,
                                       bool& alreadyExists) override {
    return os_->CreateMutex(name, initialOwner, alreadyExists);
  }
  bool VerifyVersionEquals(uint32_t major, uint32_t minor) override {
    return os_->VerifyVersionEquals(major, minor);
  }
  WindowRef FindWindowByClass(const std::wstring& className) override {
    return os_->FindWindowByClass(className);
  }
  bool PostMessage(WindowRef window, uint32_t message, uintptr_t wParam,
                   intptr_t lParam) override {
    return os_->PostMessage(window, message, wParam, lParam);
  }
  uint32_t GetTickCount() override { return os_->GetTickCount(); }
  void DebugOutput(const std::wstring& line) override { os_->DebugOutput(line); }
  bool IsDebugOutputOn() override { return os_->IsDebugOutputOn(); }
  int64_t CurrentTime() override { return os_->CurrentTime(); }
  bool ToLocalTime(int64_t seconds, LocalTimeFields& fields) override {
    return os_->ToLocalTime(seconds, fields);
  }
  bool PathFileExists(const std::wstring& path) override { return os_->PathFileExists(path); }
  uint32_t GetFileAttributes(const std::wstring& path) override {
    return os_->GetFileAttributes(path);
  }
  bool SetFileAttributes(const std::wstring& path, uint32_t attributes) override {
    return os_->SetFileAttributes(path, attributes);
  }
  bool DeleteFile(const std::wstring& path) override { return os_->DeleteFile(path); }
  bool CreateDirectory(const std::wstring& path) override { return os_->CreateDirectory(path); }
  bool GetSpecialFolderPath(SpecialFolder folder, bool create, std::wstring& path) override {
    return os_->GetSpecialFolderPath(folder, create, path);
  }
  uint32_t GetModuleFileName(std::wstring& path) override { return os_->GetModuleFileName(path); }
  std::wstring GetSystemDirectory() override { return os_->GetSystemDirectory(); }
  bool IsRegularFile(const std::wstring& path) override { return os_->IsRegularFile(path); }
  FilePin PinFile(const std::wstring& path, FinalPathCheck finalPath) override {
    return os_->PinFile(path, finalPath);
  }
  FolderPin PinFolder(const std::wstring& path) override { return os_->PinFolder(path); }
  bool CreateUnicodeTextFile(const std::wstring& path) override {
    return os_->CreateUnicodeTextFile(path);
  }
  std::unique_ptr<OsTextFile> OpenTextFileForReading(const std::wstring& path) override {
    return os_->OpenTextFileForReading(path);
  }
  std::wstring PathCombine(const std::wstring& folder, const std::wstring& file) override {
    return os_->PathCombine(folder, file);
  }
  bool PathAppend(std::wstring& path, const std::wstring& more) override {
    return os_->PathAppend(path, more);
  }
  bool PathRemoveFileSpec(std::wstring& path) override { return os_->PathRemoveFileSpec(path); }
  std::wstring GetPrivateProfileString(const std::wstring& section, const std::wstring& key,
                                       const std::wstring& defaultValue, size_t bufferChars,
                                       const std::wstring& path) override {
    return os_->GetPrivateProfileString(section, key, defaultValue, bufferChars, path);
  }
  int32_t GetPrivateProfileInt(const std::wstring& section, const std::wstring& key,
                               int32_t defaultValue, const std::wstring& path) override {
    return os_->GetPrivateProfileInt(section, key, defaultValue, path);
  }
  bool WritePrivateProfileString(const std::wstring& section, const std::wstring& key,
                                 const std::wstring& value, const std::wstring& path) override {
    return os_->WritePrivateProfileString(section, key, value, path);
  }
  void FlushPrivateProfile(const std::wstring& path) override { os_->FlushPrivateProfile(path); }
  std::unique_ptr<OsPowerLibrary> LoadPowerLibrary() override {
    // The inner library, with the active plan that the last "/SETACTIVE" set.
    class ActivePlanLibrary : public OsPowerLibrary {
     public:
      ActivePlanLibrary(std::unique_ptr<OsPowerLibrary> inner, std::string active)
          : inner_(std::move(inner)), active_(std::move(active)) {}
      uint32_t PowerEnumerate(uint32_t index, Guid& guid, uint32_t& bufferSize) override {
        return inner_->PowerEnumerate(index, guid, bufferSize);
      }
      uint32_t PowerReadFriendlyName(const Guid& plan, std::wstring& name,
                                     uint32_t& bufferSizeBytes) override {
        return inner_->PowerReadFriendlyName(plan, name, bufferSizeBytes);
      }
      bool HasPowerGetActiveScheme() override { return true; }
      uint32_t PowerGetActiveScheme(Guid& active) override {
        if (active_.empty()) return inner_->PowerGetActiveScheme(active);
        return posix::ParseGuid(active_, active) ? 0 : 13;
      }

     private:
      std::unique_ptr<OsPowerLibrary> inner_;
      std::string active_;
    };
    std::unique_ptr<OsPowerLibrary> inner = os_->LoadPowerLibrary();
    if (!inner) return nullptr;
    return std::make_unique<ActivePlanLibrary>(std::move(inner), activePlan_);
  }
  bool EnumPwrSchemes(SchemeCallback callback, void* context) override {
    return os_->EnumPwrSchemes(callback, context);
  }
  bool CoInitialize() override { return os_->CoInitialize(); }
  void CoUninitialize() override { os_->CoUninitialize(); }
  bool CoCreateGuid(Guid& guid) override { return os_->CoCreateGuid(guid); }
  bool StringFromClsid(const Guid& guid, std::wstring& text) override {
    return os_->StringFromClsid(guid, text);
  }

 private:
  std::unique_ptr<Os> os_;
  std::string activePlan_;  // GUID text of the last "/SETACTIVE"
};

}  // namespace tav::bench
