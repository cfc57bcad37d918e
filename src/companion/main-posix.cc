// The companion's native entry, with PosixOs standing in for Windows. Its
// exit codes fit a POSIX exit status unchanged.
#include <string>

#include "companion/companion.h"
#include "os/posix/posix_os.h"
#include "os/utf8.h"

int main(int argc, char** argv) {
  std::unique_ptr<tav::Os> os = tav::MakePosixOs(tav::PosixConfig::FromEnvironment());
  std::string line;
  for (int i = 1; i < argc; ++i) line += (i > 1 ? " " : "") + std::string(argv[i]);
  return tav::companion::Run(*os, tav::FromUtf8(line));
}
