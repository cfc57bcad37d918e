// Stand-in for the product's main user-interface window on Windows: a hidden
// top-level window of class "TAV_POWERSAVE_MAIN_UI_WINDOW_CLASS" that logs
// every application message (WM_APP and above) it receives, one line each:
//   message=0x83E8 wParam=0 lParam=0
//
// Usage: main_window --log FILE [--seconds N] [--ready FILE]
//    or: main_window LOG READY SECONDS
//   --seconds  ends after N seconds (default: runs until WM_CLOSE)
//   --ready    file created once the window exists; "ready" is also printed
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>


namespace {

constexpr wchar_t kWindowClass[] = L"TAV_POWERSAVE_MAIN_UI_WINDOW_CLASS";
constexpr UINT_PTR kTimeoutTimer = 1;

std::wstring logPath;

void AppendLine(const std::wstring& path, const std::string& line) {
  FILE* file = _wfopen(path.c_str(), L"ab");
  if (!file) return;
  std::fputs((line + "\n").c_str(), file);
  std::fclose(file);  // every line reaches the disk before the next message
}

void LogMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  char line[96];
  std::snprintf(line, sizeof line, "message=0x%04X wParam=%llu lParam=%lld", message,
                static_cast<unsigned long long>(wParam), static_cast<long long>(lParam));
  AppendLine(logPath, line);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message >= WM_APP) {
    LogMessage(message, wParam, lParam);
    return 0;
  }
  switch (message) {
    case WM_TIMER:
      if (wParam == kTimeoutTimer) DestroyWindow(window);
      return 0;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring readyPath;
  long seconds = -1;
  if (argc > 1 && std::wstring(argv[1]).rfind(L"--", 0) == 0) {
    for (int i = 1; i + 1 < argc; i += 2) {
      std::wstring option = argv[i];
      if (option == L"--log") logPath = argv[i + 1];
      else if (option == L"--seconds") seconds = std::wcstol(argv[i + 1], nullptr, 10);
      else if (option == L"--ready") readyPath = argv[i + 1];
    }
  } else {
    if (argc > 1) logPath = argv[1];
    if (argc > 2) readyPath = argv[2];
    if (argc > 3) seconds = std::wcstol(argv[3], nullptr, 10);
  }
  if (logPath.empty()) {
    std::fprintf(stderr, "usage: main_window --log FILE [--seconds N] [--ready FILE]\n");
    return 2;
  }

  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kWindowClass;
  if (!RegisterClassW(&windowClass)) {
    std::fprintf(stderr, "main_window: RegisterClassW failed (%lu)\n", GetLastError());
    return 1;
  }
  // A top-level window (not message-only), so that FindWindowW sees it.
  HWND window = CreateWindowExW(0, kWindowClass, L"TAV main window stand-in",
                                WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 200, 100,
                                nullptr, nullptr, instance, nullptr);
  if (!window) {
    std::fprintf(stderr, "main_window: CreateWindowExW failed (%lu)\n", GetLastError());
    return 1;
  }
  if (seconds >= 0) SetTimer(window, kTimeoutTimer, static_cast<UINT>(seconds * 1000), nullptr);

  if (!readyPath.empty()) AppendLine(readyPath, "ready");
  std::printf("ready\n");
  std::fflush(stdout);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    // Thread messages have no window procedure to log them.
    if (!message.hwnd && message.message >= WM_APP)
      LogMessage(message.message, message.wParam, message.lParam);
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
