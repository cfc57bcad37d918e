// Stand-in for the system's schtasks: logs its command line and keeps a
// registry of the tasks created with "/Create /TN <name> /XML <path> /F".
#include "standins/schtasks/task_registry.h"
#include "standins/standin_common.h"

namespace {

int Run(int argc, char** argv) {
  using namespace tav::standin;
  AppendLog("schtasks.log", RawCommandLine(argc, argv));
  return RunSchtasks(Arguments(argc, argv), StateDir());
}

}  // namespace

#ifdef _WIN32
int wmain(int, wchar_t**) { return Run(0, nullptr); }  // the raw command line is read directly
#else
int main(int argc, char** argv) { return Run(argc, argv); }
#endif
