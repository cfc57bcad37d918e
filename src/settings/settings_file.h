// The settings file of a run, opened as itself and held, with its folder,
// from the moment it is read until its record has been written: the record
// beside it ("MySetting.ini") is written into the folder where the settings
// file really lies, and that folder cannot be renamed or replaced meanwhile.
#pragma once

#include <memory>
#include <string>

#include "os/os.h"

namespace tav {

// A settings file as the command line names it and as the tool reaches it.
struct SettingsLocation {
  // A path reached as it is named (a test, or a system without final paths).
  SettingsLocation(const std::wstring& path) : Named(path), Reached(path) {}
  SettingsLocation(const wchar_t* path) : SettingsLocation(std::wstring(path)) {}
  SettingsLocation(std::wstring namedPath, std::wstring reachedPath)
      : Named(std::move(namedPath)), Reached(std::move(reachedPath)) {}

  std::wstring Named;    // as the command line gives it: what "ProfilePath" records
  std::wstring Reached;  // its final path where the system can name it, else `Named`:
                         // where the file lies, which decides where its record goes
};

class HeldSettingsFile {
 public:
  // Opens the file at `path` as itself and, when it passes, its folder by
  // the file's final path. A missing file is not refused (its load fails as
  // before); a link, a hard link, a folder or device, or a file that cannot
  // be opened is refused. Traces a refusal.
  static HeldSettingsFile Hold(Os& os, const std::wstring& path);

  bool Refused() const { return refused_; }
  const SettingsLocation& Location() const { return location_; }

 private:
  HeldSettingsFile(const std::wstring& path) : location_(path) {}

  SettingsLocation location_;
  bool refused_ = false;
  std::unique_ptr<OsPinnedFile> file_;
  std::unique_ptr<OsPinnedFolder> folder_;
};

}  // namespace tav
