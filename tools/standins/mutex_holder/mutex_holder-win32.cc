// Stand-in for another instance of the tool holding its single-instance
// mutex on Windows: creates and owns the named mutex, then keeps it for a
// given time.
//
// Usage: mutex_holder [--name NAME] [--seconds N] [--ready FILE]
//    or: mutex_holder READY SECONDS
//   --name     mutex name (default MUTEX_TAV_POWERSAVE_SETTING)
//   --seconds  lets go after N seconds (default: holds until killed)
//   --ready    file created once the mutex is owned; "ready" is also printed
// Exits with 3 ("busy") when the mutex exists already.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int wmain(int argc, wchar_t** argv) {
  std::wstring name = L"MUTEX_TAV_POWERSAVE_SETTING", readyPath;
  long seconds = -1;
  if (argc > 1 && std::wstring(argv[1]).rfind(L"--", 0) == 0) {
    for (int i = 1; i + 1 < argc; i += 2) {
      std::wstring option = argv[i];
      if (option == L"--name") name = argv[i + 1];
      else if (option == L"--seconds") seconds = std::wcstol(argv[i + 1], nullptr, 10);
      else if (option == L"--ready") readyPath = argv[i + 1];
    }
  } else {
    if (argc > 1) readyPath = argv[1];
    if (argc > 2) seconds = std::wcstol(argv[2], nullptr, 10);
  }

  HANDLE mutex = CreateMutexW(nullptr, TRUE, name.c_str());
  if (!mutex) {
    std::printf("error=%lu\n", GetLastError());
    return 1;
  }
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    std::printf("busy\n");
    return 3;
  }

  if (!readyPath.empty()) {
    if (FILE* ready = _wfopen(readyPath.c_str(), L"w")) std::fclose(ready);
  }
  std::printf("ready\n");
  std::fflush(stdout);

  Sleep(seconds >= 0 ? static_cast<DWORD>(seconds * 1000) : INFINITE);
  ReleaseMutex(mutex);
  CloseHandle(mutex);
  return 0;
}
