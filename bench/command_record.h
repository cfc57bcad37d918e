// The commands that a calibration run of the tool started, as the instant
// child recorded them: per command "<argc>\0<program path>\0<argv...>\0".
// The floor and the shell script replay them.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace tav::bench {

struct RecordedCommand {
  std::string Program;            // the file that was executed
  std::vector<std::string> Argv;  // as the child received it
};

inline bool ReadWholeFile(const std::string& path, std::string& out) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buffer[65536];
  ssize_t n;
  out.clear();
  while ((n = read(fd, buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<size_t>(n));
  close(fd);
  return n == 0;
}

// False when the text is not a sequence of whole records.
inline bool ParseCommandRecord(const std::string& text, std::vector<RecordedCommand>& commands) {
  commands.clear();
  size_t pos = 0;
  auto next = [&](std::string& field) {
    size_t end = text.find('\0', pos);
    if (end == std::string::npos) return false;
    field.assign(text, pos, end - pos);
    pos = end + 1;
    return true;
  };
  while (pos < text.size()) {
    std::string count;
    RecordedCommand command;
    if (!next(count) || !next(command.Program)) return false;
    char* end = nullptr;
    long argc = std::strtol(count.c_str(), &end, 10);
    if (count.empty() || *end != '\0' || argc < 1) return false;
    command.Argv.resize(static_cast<size_t>(argc));
    for (std::string& argument : command.Argv)
      if (!next(argument)) return false;
    commands.push_back(std::move(command));
  }
  return true;
}

}  // namespace tav::bench
