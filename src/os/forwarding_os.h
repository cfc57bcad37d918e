// An Os that hands every call to another Os. A decorator derives from it and
// overrides only the calls it changes (the benchmarks' Os without child
// processes overrides two), instead of writing out the whole interface again.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "os/os.h"

namespace tav {

class ForwardingOs : public Os {
 public:
  explicit ForwardingOs(Os& inner) : inner_(inner) {}
  // Owns the Os it forwards to.
  explicit ForwardingOs(std::unique_ptr<Os> inner) : owned_(std::move(inner)), inner_(*owned_) {}

  void SelectUserDefaultLocale() override { inner_.SelectUserDefaultLocale(); }
  uint32_t GetCurrentProcessId() override { return inner_.GetCurrentProcessId(); }
  bool ProcessIdToSessionId(uint32_t processId, uint32_t& sessionId) override {
    return inner_.ProcessIdToSessionId(processId, sessionId);
  }
  uint32_t GetActiveConsoleSessionId() override { return inner_.GetActiveConsoleSessionId(); }
  std::unique_ptr<OsMutex> CreateMutex(const std::wstring& name, bool initialOwner,
                                       bool& alreadyExists) override {
    return inner_.CreateMutex(name, initialOwner, alreadyExists);
  }
  bool VerifyVersionEquals(uint32_t major, uint32_t minor) override {
    return inner_.VerifyVersionEquals(major, minor);
  }
  WindowRef FindWindowByClass(const std::wstring& className) override {
    return inner_.FindWindowByClass(className);
  }
  bool PostMessage(WindowRef window, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    return inner_.PostMessage(window, message, wParam, lParam);
  }
  uint32_t GetTickCount() override { return inner_.GetTickCount(); }
  void DebugOutput(const std::wstring& line) override { inner_.DebugOutput(line); }
  bool IsDebugOutputOn() override { return inner_.IsDebugOutputOn(); }
  int64_t CurrentTime() override { return inner_.CurrentTime(); }
  bool ToLocalTime(int64_t seconds, LocalTimeFields& fields) override {
    return inner_.ToLocalTime(seconds, fields);
  }
  std::unique_ptr<OsProcess> CreateHiddenProcess(const std::wstring& applicationName,
                                                 std::wstring& commandLine) override {
    return inner_.CreateHiddenProcess(applicationName, commandLine);
  }
  std::wstring GetSystemDirectory() override { return inner_.GetSystemDirectory(); }
  bool PathFileExists(const std::wstring& path) override { return inner_.PathFileExists(path); }
  uint32_t GetFileAttributes(const std::wstring& path) override {
    return inner_.GetFileAttributes(path);
  }
  bool IsRegularFile(const std::wstring& path) override { return inner_.IsRegularFile(path); }
  FilePin PinFile(const std::wstring& path, FinalPathCheck finalPath) override {
    return inner_.PinFile(path, finalPath);
  }
  FolderPin PinFolder(const std::wstring& path) override { return inner_.PinFolder(path); }
  bool CreateUnicodeTextFile(const std::wstring& path) override {
    return inner_.CreateUnicodeTextFile(path);
  }
  bool SetFileAttributes(const std::wstring& path, uint32_t attributes) override {
    return inner_.SetFileAttributes(path, attributes);
  }
  bool DeleteFile(const std::wstring& path) override { return inner_.DeleteFile(path); }
  bool CreateDirectory(const std::wstring& path) override { return inner_.CreateDirectory(path); }
  bool GetSpecialFolderPath(SpecialFolder folder, bool create, std::wstring& path) override {
    return inner_.GetSpecialFolderPath(folder, create, path);
  }
  uint32_t GetModuleFileName(std::wstring& path) override { return inner_.GetModuleFileName(path); }
  std::unique_ptr<OsTextFile> OpenTextFileForReading(const std::wstring& path) override {
    return inner_.OpenTextFileForReading(path);
  }
  std::wstring PathCombine(const std::wstring& folder, const std::wstring& file) override {
    return inner_.PathCombine(folder, file);
  }
  bool PathAppend(std::wstring& path, const std::wstring& more) override {
    return inner_.PathAppend(path, more);
  }
  bool PathRemoveFileSpec(std::wstring& path) override { return inner_.PathRemoveFileSpec(path); }
  std::wstring GetPrivateProfileString(const std::wstring& section, const std::wstring& key,
                                       const std::wstring& defaultValue, size_t bufferChars,
                                       const std::wstring& path) override {
    return inner_.GetPrivateProfileString(section, key, defaultValue, bufferChars, path);
  }
  int32_t GetPrivateProfileInt(const std::wstring& section, const std::wstring& key,
                               int32_t defaultValue, const std::wstring& path) override {
    return inner_.GetPrivateProfileInt(section, key, defaultValue, path);
  }
  bool WritePrivateProfileString(const std::wstring& section, const std::wstring& key,
                                 const std::wstring& value, const std::wstring& path) override {
    return inner_.WritePrivateProfileString(section, key, value, path);
  }
  void FlushPrivateProfile(const std::wstring& path) override { inner_.FlushPrivateProfile(path); }
  std::unique_ptr<OsPowerLibrary> LoadPowerLibrary() override { return inner_.LoadPowerLibrary(); }
  std::optional<std::vector<std::wstring>> EnumPwrSchemes() override {
    return inner_.EnumPwrSchemes();
  }
  bool CoInitialize() override { return inner_.CoInitialize(); }
  void CoUninitialize() override { inner_.CoUninitialize(); }
  bool CoCreateGuid(Guid& guid) override { return inner_.CoCreateGuid(guid); }
  bool StringFromClsid(const Guid& guid, std::wstring& text) override {
    return inner_.StringFromClsid(guid, text);
  }

 protected:
  Os& inner() { return inner_; }

 private:
  std::unique_ptr<Os> owned_;  // null when the inner Os belongs to the caller
  Os& inner_;
};

}  // namespace tav
