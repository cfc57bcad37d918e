// The native entry: the tool on Linux, with PosixOs standing in for Windows.
#include <string>

#include "app/entry.h"
#include "os/posix/posix_os.h"
#include "os/utf8.h"

namespace {

// The command line without the program's own path, as the tool received it:
// the arguments joined by single blanks, unchanged. A Windows program gets
// its command line as one string; its Windows-style quoting travels inside
// the arguments here.
std::wstring CommandLineOf(int argc, char** argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) line += ' ';
    line += argv[i];
  }
  return tav::FromUtf8(line);
}

// A POSIX exit status keeps only its low 8 bits, and 1280 (0x500) would read
// as 0, a failure reported as success: failures end with 5 instead.
int ExitStatusOf(int exitCode) {
  if (exitCode == tav::kExitSuccess) return 0;
  if (exitCode == tav::kExitFailure) return 5;
  return (exitCode & 0xFF) != 0 ? (exitCode & 0xFF) : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::unique_ptr<tav::Os> os = tav::MakePosixOs(tav::PosixConfig::FromEnvironment());
  std::wstring commandLine = CommandLineOf(argc, argv);
  return ExitStatusOf(tav::RunEntry(*os, commandLine));
}
