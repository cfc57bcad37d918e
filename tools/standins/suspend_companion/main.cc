// Stand-in for the companion program TAV_PowerSaveSuspend.exe: logs its
// command line and succeeds.
#include "standins/standin_common.h"

namespace {

int Run(int argc, char** argv) {
  tav::standin::AppendLog("companion.log", tav::standin::RawCommandLine(argc, argv));
  return 0;
}

}  // namespace

#ifdef _WIN32
int wmain(int, wchar_t**) { return Run(0, nullptr); }  // the raw command line is read directly
#else
int main(int argc, char** argv) { return Run(argc, argv); }
#endif
