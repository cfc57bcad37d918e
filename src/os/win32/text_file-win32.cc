// Text files read line by line by the runtime, in text mode: CR LF becomes
// LF, and bytes are decoded in the ANSI code page of the locale selected at
// start-up (one character per single- or double-byte character).
#include <io.h>
#include <share.h>

#include <cstdio>
#include <vector>

#include "os/win32/unique_handle.h"
#include "os/win32/win32_os_impl.h"
#include "os/win32/windows_api.h"

namespace tav::win32 {
namespace {

class Win32TextFile final : public OsTextFile {
 public:
  explicit Win32TextFile(FILE* file) : file_(file) {}

  bool ReadLine(std::wstring& piece, size_t bufferChars) override {
    if (bufferChars < 2) return false;  // no room for a character and its terminator
    const int count = bufferChars > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(bufferChars);
    std::vector<wchar_t> buffer(static_cast<size_t>(count), L'\0');
    if (!std::fgetws(buffer.data(), count, file_.get())) return false;
    piece.assign(buffer.data());
    return true;
  }

 private:
  UniqueAny<FILE*, ::fclose> file_;  // closed with the object
};

}  // namespace

std::unique_ptr<OsTextFile> OpenTextFileOf(const std::wstring& path, const FileIdentity& identity) {
  // Others may read the file meanwhile, but not write it. "N": the handle is
  // not inherited by child programs.
  FILE* file = ::_wfsopen(path.c_str(), L"rtN", _SH_DENYWR);
  if (!file) return nullptr;
  auto text = std::make_unique<Win32TextFile>(file);  // closes the file on every path
  FileIdentity opened;
  const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file)));
  if (handle == INVALID_HANDLE_VALUE || !IdentityOf(handle, opened) || !(opened == identity))
    return nullptr;
  return text;
}

}  // namespace tav::win32
