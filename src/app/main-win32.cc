// The product's entry: a GUI-subsystem program without a window of its own.
#include <string>

#include "app/entry.h"
#include "os/win32/command_line_tail.h"
#include "os/win32/win32_os.h"
#include "os/win32/windows_api.h"
#include "shared/trace.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const tav::win32::RedirectionTrust trust = tav::win32::HardenProcess();
  // The raw text after the program's own path, quotes and all; the tool
  // parses it itself.
  const std::wstring commandLine = tav::win32::CommandLineTail(::GetCommandLineW());
  std::unique_ptr<tav::Os> os = tav::MakeWin32Os();
  tav::Trace(*os, tav::win32::DescribeRedirectionTrust(trust));
  return tav::RunEntry(*os, commandLine);
}
