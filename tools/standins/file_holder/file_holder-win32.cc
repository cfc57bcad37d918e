// Test equipment for Windows: holds a file open the way another program
// that is busy with it would, so that writes through other handles fail.
//
// Usage: file_holder FILE READY SECONDS
//   Opens FILE (creating it when missing) for reading and writing and shares
//   it for reading only: other processes may read it, but any open for
//   writing, and so WritePrivateProfileStringW, fails with a sharing
//   violation. Creates READY once the file is held, holds it for SECONDS
//   seconds (or until killed), then closes it.
// Exits 0 after the hold, 1 when FILE cannot be opened, 2 on bad usage.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: file_holder FILE READY SECONDS\n");
    return 2;
  }
  const long seconds = std::wcstol(argv[3], nullptr, 10);
  HANDLE file = CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::printf("error=%lu\n", GetLastError());
    return 1;
  }
  if (FILE* ready = _wfopen(argv[2], L"w")) std::fclose(ready);
  std::printf("ready\n");
  std::fflush(stdout);
  Sleep(seconds >= 0 ? static_cast<DWORD>(seconds * 1000) : INFINITE);
  CloseHandle(file);
  return 0;
}
