// Child programs: started hidden, waited for without a time-out.
#include <vector>

#include "os/win32/unique_handle.h"
#include "os/win32/win32_os_impl.h"
#include "os/win32/windows_api.h"

namespace tav::win32 {
namespace {

class Win32Process final : public OsProcess {
 public:
  explicit Win32Process(UniqueHandle process) : process_(std::move(process)) {}
  void WaitForExit() override { ::WaitForSingleObject(process_.get(), INFINITE); }
  bool GetExitCode(uint32_t& exitCode) override {
    DWORD code = 0;
    if (!::GetExitCodeProcess(process_.get(), &code)) return false;
    exitCode = code;
    return true;
  }

 private:
  UniqueHandle process_;  // closed with the object
};

}  // namespace

std::unique_ptr<OsProcess> Win32Os::CreateHiddenProcess(const std::wstring& applicationName,
                                                        std::wstring& commandLine) {
  // CreateProcessW may write into the command line it is given.
  std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back(L'\0');

  STARTUPINFOW startup;
  ::ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION info;
  ::ZeroMemory(&info, sizeof info);

  const wchar_t* application = applicationName.empty() ? nullptr : applicationName.c_str();
  BOOL created = ::CreateProcessW(application, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                  nullptr, &startup, &info);
  // Whatever came back is owned from here on; the thread handle is not needed.
  UniqueHandle process(info.hProcess);
  UniqueHandle thread(info.hThread);
  thread.Reset();
  if (!created || !process) return nullptr;
  return std::make_unique<Win32Process>(std::move(process));
}

}  // namespace tav::win32
