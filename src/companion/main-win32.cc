// The companion's entry: a GUI-subsystem program without a window of its own.
#include <string>

#include "companion/companion.h"
#include "os/win32/command_line_tail.h"
#include "os/win32/win32_os.h"
#include "os/win32/windows_api.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  tav::win32::HardenProcess();
  const std::wstring commandLine = tav::win32::CommandLineTail(::GetCommandLineW());
  std::unique_ptr<tav::Os> os = tav::MakeWin32Os();
  return tav::companion::Run(*os, commandLine);
}
