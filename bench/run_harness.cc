// Whole runs of the native tool against their floor.
//
// A run of the tool is one process that starts child programs one after
// another and waits for each. Its floor is the cost of those children alone:
// a minimal program (bench_floor) that starts the same programs with the same
// arguments, each with posix_spawn and waitpid. The shell script is what a
// user would write instead: the same command lines in bash.
//
// Every child is the instant child (it ends at once), installed under the
// names the tool runs. A calibration run records what the tool started; the
// floor and the script replay exactly that. Timed runs then alternate tool,
// floor and script in rounds (the first of a round rotates), and each round
// gives one pairwise ratio, so that a noisy machine skews both sides alike.
//
// Each run's own time on the CPU (the process alone, its children excluded)
// is read from /proc/PID/schedstat while it is a zombie: the part of the
// tool's distance to the floor that its own process spends, start to exit.
//
// The apply runs are also split into phases (start-up, up to the first
// child, the children, between them, after the last, the exit) by runs with
// a small timing library preloaded into the tool and the floor alike.
//
// With --valgrind PATH, each scenario also counts the instructions of one
// tool run and one floor run under callgrind (children not traced): a figure
// that machine load does not move.
//
// For the task lists the floor also does the file work an entry requires of
// the tool (bench_floor --task-files: the XML file's write permission back and
// the file deleted, one system call each), so that both sides grow alike.
//
// Usage: bench_runs [--quick] [--no-breakdown] [--only PREFIX] [--keep]
//                   [--valgrind PATH]
// The sandbox lies in $TMPDIR (default /tmp): its file system decides what the
// tool's synced record writes cost.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "command_record.h"
#include "standins/plan_store/plan_store.h"

namespace fs = std::filesystem;

namespace tav::bench {
namespace {

constexpr char kPlanName[] = "Vantrel電源プラン";
constexpr char kExistingPlanGuid[] = "5c1e3a52-7d4b-4e0f-9a61-2b8c0d7e4f13";
constexpr char kPowerSaverGuid[] = "a1841308-3541-4fab-bc81-f71556f20b4a";

// The sandbox to remove when a run fails (empty with --keep).
std::string removeOnFailure;
// valgrind, when instructions are counted (--valgrind).
std::string valgrindPath;

[[noreturn]] void Fail(const std::string& message) {
  std::fprintf(stderr, "bench_runs: %s\n", message.c_str());
  std::error_code ec;
  if (!removeOnFailure.empty()) fs::remove_all(removeOnFailure, ec);
  std::exit(1);
}

std::string WinPath(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  if (!out) Fail("cannot write " + path);
}

void InstallExecutable(const std::string& from, const std::string& to) {
  std::error_code ec;
  fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
  if (ec) Fail("cannot copy " + from + ": " + ec.message());
}

std::string ShellQuoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

struct Measurement {
  double ms = 0;         // wall-clock time from start to exit
  double cpuMs = 0;      // user and system time of the process and its children
  double ownCpuUs = -1;  // the process's own time on the CPU; -1 when unknown
  int status = -1;       // exit status, -1 when it did not exit
  double startUs = 0;    // steady clock (CLOCK_MONOTONIC) at the start, us
  double endUs = 0;      // and at the exit
};

// The first figure of /proc/PID/schedstat: nanoseconds the task ran. Read
// between its exit and its reaping, it is the whole run's, children not in it.
double OwnCpuMicroseconds(pid_t pid) {
  std::string text;
  if (!ReadWholeFile("/proc/" + std::to_string(pid) + "/schedstat", text)) return -1;
  char* end = nullptr;
  const double ns = std::strtod(text.c_str(), &end);
  return end == text.c_str() ? -1 : ns / 1e3;
}

double Milliseconds(const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; }

// Starts `argv` with `env` in `folder`, its streams on /dev/null, and waits.
Measurement Run(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                const std::string& folder) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<char*> envp;
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());

  Measurement m;
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  int error = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) Fail("cannot start " + argv[0] + ": " + std::strerror(error));
  // Ended but not reaped, so that its own figures can still be read.
  siginfo_t exited{};
  while (waitid(P_PID, static_cast<id_t>(pid), &exited, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
  }
  const auto end = std::chrono::steady_clock::now();
  m.ownCpuUs = OwnCpuMicroseconds(pid);
  int status = 0;
  struct rusage usage {};
  while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  m.ms = std::chrono::duration<double, std::milli>(end - start).count();
  m.startUs = std::chrono::duration<double, std::micro>(start.time_since_epoch()).count();
  m.endUs = std::chrono::duration<double, std::micro>(end.time_since_epoch()).count();
  m.cpuMs = Milliseconds(usage.ru_utime) + Milliseconds(usage.ru_stime);
  m.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return m;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The median, or -1 (printed as unknown) when nothing was measured.
double MedianOrUnknown(const std::vector<double>& values) {
  return values.empty() ? -1.0 : Median(values);
}

double Quantile(std::vector<double> values, double q) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[static_cast<size_t>(q * (values.size() - 1) + 0.5)];
}

// The sandbox: the tool and the instant child under the names it runs, the
// data folders, runtime folder and stand-in state folders, all private.
struct Sandbox {
  std::string root, bin, common, local, runtime, work, records;
  std::string tool, floor, peakRss;

  Sandbox(const std::string& builtTool, const std::string& instantChild,
          const std::string& builtFloor, const std::string& builtPeakRss) {
    std::string pattern = (fs::temp_directory_path() / "tav-bench.XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) Fail("cannot make a temporary folder");
    root = buffer.data();
    bin = root + "/bin";
    common = root + "/common";
    local = root + "/local";
    runtime = root + "/runtime";
    work = root + "/work";
    records = root + "/records";
    for (const std::string& d : {bin, common, local, runtime, work, records})
      fs::create_directories(d);
    tool = bin + "/TAV_PowerSaveSetting";
    floor = bin + "/bench_floor";
    peakRss = bin + "/bench_peak_rss";
    InstallExecutable(builtTool, tool);
    InstallExecutable(builtFloor, floor);
    InstallExecutable(builtPeakRss, peakRss);
    for (const char* name : {"powercfg.exe", "schtasks.exe", "TAV_PowerSaveSuspend.exe"})
      InstallExecutable(instantChild, bin + "/" + name);
  }

  std::vector<std::string> Environment(const std::string& stateDir) const {
    return {"TAV_POSIX_COMMON_APPDATA=" + common, "TAV_POSIX_LOCAL_APPDATA=" + local,
            "TAV_POSIX_RUNTIME_DIR=" + runtime,   "TAV_STANDIN_DIR=" + stateDir,
            "PATH=/usr/bin:/bin",                 "LANG=C.UTF-8"};
  }

  // The applied-profile records, removed so that every run is a first run:
  // the data folders' and the one beside the profile.
  void ForgetRecords(const std::string& profileFolder) const {
    std::error_code ec;
    fs::remove(common + "/VARENTO/TAV_POWERSAVE/Setting.ini", ec);
    fs::remove(local + "/VARENTO/TAV_POWERSAVE/MySetting.ini", ec);
    fs::remove(profileFolder + "/MySetting.ini", ec);
    SyncFileSystem();
  }

  // Commits what the harness itself changed on the sandbox's file system, so
  // that a run's syncs do not also carry the harness's deletions.
  void SyncFileSystem() const {
    const int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    syncfs(fd);
    close(fd);
  }
};

// One way of doing a scenario's work: the tool, the floor, the script, or
// the tool with one of its costs taken away (break-down runs).
struct Variant {
  std::string label;
  std::vector<std::string> argv;
  std::vector<std::string> env;
};

// Extra tool runs of a scenario: environment entries added (or, with an
// empty value after '=', removed by name) to show what a part costs.
struct ToolVariation {
  std::string label;
  std::vector<std::string> change;  // "NAME=value" adds, "NAME=" removes
};

struct Scenario {
  std::string name;
  std::string title;
  std::string commandLine;  // the tool's raw command line
  std::string stateDir;
  size_t expectedCommands = 0;
  int rounds = 0;
  bool withScript = false;
  std::function<void()> prepare;  // before every run, outside the timing
  std::vector<ToolVariation> variations;
  std::function<void()> setup = [] {};  // once, before the calibration run
  bool floorTaskFiles = false;          // the floor deletes each entry's XML file too
  // A second floor that starts and awaits each child as the tool must
  // (bench_floor --child-setup), so the tool's own work shows apart.
  bool floorWithChildSetup = false;
  // Extra runs of the tool and the floor with the timing library preloaded,
  // splitting each run's time into phases (see PhaseSplit).
  int phaseRounds = 0;
};

struct ScenarioResult {
  double ratioFloor = 0;
  double toolRssKib = 0;
};

// Instructions of one run of `argv` under callgrind, its children not
// traced; 0 when not counted.
double Instructions(const Sandbox& box, const Scenario& s, const std::string& label,
                    const std::vector<std::string>& argv, const std::vector<std::string>& env) {
  if (valgrindPath.empty()) return 0;
  const std::string out = box.records + "/" + s.name + "-" + label + ".callgrind";
  std::vector<std::string> command = {valgrindPath, "--tool=callgrind", "--trace-children=no",
                                      "--callgrind-out-file=" + out};
  command.insert(command.end(), argv.begin(), argv.end());
  s.prepare();
  Measurement m = Run(command, env, box.work);
  if (m.status != 0) Fail(s.name + ": " + label + " under callgrind ended with " +
                          std::to_string(m.status));
  std::string text;
  if (!ReadWholeFile(out, text)) Fail("no callgrind output " + out);
  for (const char* key : {"\ntotals: ", "\nsummary: "}) {
    const size_t at = text.find(key);
    if (at != std::string::npos) return std::strtod(text.c_str() + at + std::strlen(key), nullptr);
  }
  Fail("no instruction total in " + out);
}

std::vector<std::string> Changed(std::vector<std::string> env,
                                 const std::vector<std::string>& change) {
  for (const std::string& c : change) {
    const std::string name = c.substr(0, c.find('=') + 1);
    env.erase(std::remove_if(env.begin(), env.end(),
                             [&](const std::string& e) { return e.rfind(name, 0) == 0; }),
              env.end());
    if (c.size() > name.size()) env.push_back(c);
  }
  return env;
}

// Peak resident memory of one run, through the small helper (see peak_rss.cc).
long PeakRssKib(const Sandbox& box, const Variant& v) {
  const std::string out = box.records + "/peak-rss.txt";
  std::vector<std::string> argv = {box.peakRss, out};
  argv.insert(argv.end(), v.argv.begin(), v.argv.end());
  Measurement m = Run(argv, v.env, box.work);
  if (m.status != 0) Fail("peak memory run of " + v.label + " ended with " +
                          std::to_string(m.status));
  std::string text;
  if (!ReadWholeFile(out, text)) Fail("no peak memory figure");
  return std::strtol(text.c_str(), nullptr, 10);
}

// A run's wall-clock time in phases, in microseconds: from its start to the
// loaded process (exec and the dynamic loader), on to the first child's
// start, the children (each from its start to its reaping), the time between
// children, after the last child, and the exit.
struct Phases {
  static constexpr int kCount = 6;
  double us[kCount] = {};
};
constexpr const char* kPhaseNames[Phases::kCount] = {"start-up", "to child 1", "children",
                                                     "between",  "after last", "exit"};
constexpr const char* kPhaseKeys[Phases::kCount] = {"startup_us", "before_us", "children_us",
                                                    "between_us", "after_us",  "exit_us"};

// The phases of run `m` from the last line the timing library appended to
// `file` (the measured process ends after its children, so its line is last).
bool ReadPhases(const std::string& file, const Measurement& m, Phases& phases) {
  std::string text;
  if (!ReadWholeFile(file, text)) return false;
  while (!text.empty() && text.back() == '\n') text.pop_back();
  const size_t lastBreak = text.rfind('\n');
  const std::string line = text.substr(lastBreak == std::string::npos ? 0 : lastBreak + 1);
  double loaded = -1, ending = -1;
  std::vector<double> starts, reaps;
  const char* p = line.c_str();
  char kind = 0;
  double at = 0;
  int used = 0;
  while (std::sscanf(p, " %c %lf%n", &kind, &at, &used) == 2) {
    p += used;
    if (kind == 'L') loaded = at;
    if (kind == 'E') ending = at;
    if (kind == 's') starts.push_back(at);
    if (kind == 'W') reaps.push_back(at);
  }
  if (loaded < 0 || ending < 0 || starts.empty() || starts.size() != reaps.size()) return false;
  double children = 0, between = 0;
  for (size_t i = 0; i < starts.size(); ++i) {
    children += reaps[i] - starts[i];
    if (i + 1 < starts.size()) between += starts[i + 1] - reaps[i];
  }
  phases.us[0] = loaded - m.startUs;
  phases.us[1] = starts.front() - loaded;
  phases.us[2] = children;
  phases.us[3] = between;
  phases.us[4] = ending - reaps.back();
  phases.us[5] = m.endUs - ending;
  return true;
}

// Where the tool's time goes against the floor's: both run `rounds` times,
// alternately, with the timing library preloaded (outside the timed rounds,
// since it adds a little to both). Prints the median of each phase and of the
// per-round differences, and a result line of the differences.
void PhaseSplit(const Sandbox& box, const Scenario& s, const Variant& tool, const Variant& floor) {
  const std::string file = box.records + "/" + s.name + ".phases";
  const Variant* sides[2] = {&tool, &floor};
  std::vector<double> each[2][Phases::kCount], difference[Phases::kCount];
  for (int round = 0; round < s.phaseRounds; ++round) {
    Phases got[2];
    for (int k = 0; k < 2; ++k) {
      const int side = (k + round) % 2;
      std::error_code ec;
      fs::remove(file, ec);
      s.prepare();
      const Measurement m =
          Run(sides[side]->argv,
              Changed(sides[side]->env,
                      {std::string("LD_PRELOAD=") + BENCH_PHASE_SHIM, "TAV_BENCH_PHASES=" + file}),
              box.work);
      if (m.status != 0 || !ReadPhases(file, m, got[side]))
        Fail(s.name + ": " + sides[side]->label + " gave no phases");
    }
    for (int i = 0; i < Phases::kCount; ++i) {
      for (int side = 0; side < 2; ++side) each[side][i].push_back(got[side].us[i] / 1e3);
      difference[i].push_back(got[0].us[i] - got[1].us[i]);
    }
  }
  std::printf("  where the time goes (ms; medians of %d runs each, a timing library preloaded):\n",
              s.phaseRounds);
  std::printf("  %-22s", "");
  for (const char* name : kPhaseNames) std::printf(" %11s", name);
  std::printf("\n");
  for (int side = 0; side < 2; ++side) {
    std::printf("  %-22s", sides[side]->label.c_str());
    for (int i = 0; i < Phases::kCount; ++i) std::printf(" %11.3f", Median(each[side][i]));
    std::printf("\n");
  }
  std::printf("  %-22s", "tool - floor, per round");
  for (int i = 0; i < Phases::kCount; ++i) std::printf(" %+11.3f", Median(difference[i]) / 1e3);
  std::printf("\n");
  std::printf("result %s:phases", s.name.c_str());
  for (int i = 0; i < Phases::kCount; ++i)
    std::printf(" %s=%.0f", kPhaseKeys[i], Median(difference[i]));
  std::printf("\n");
}

ScenarioResult RunScenario(const Sandbox& box, const Scenario& s) {
  const std::vector<std::string> env = box.Environment(s.stateDir);
  const std::vector<std::string> toolArgv = {box.tool, s.commandLine};

  // Calibration: what does the tool start?
  const std::string record = box.records + "/" + s.name + ".rec";
  std::error_code ec;
  fs::remove(record, ec);
  s.setup();
  s.prepare();
  Measurement calibration =
      Run(toolArgv, Changed(env, {"TAV_BENCH_RECORD=" + record}), box.work);
  if (calibration.status != 0)
    Fail(s.name + ": the tool ended with " + std::to_string(calibration.status));
  std::string text;
  std::vector<RecordedCommand> commands;
  if (!ReadWholeFile(record, text) || !ParseCommandRecord(text, commands))
    Fail(s.name + ": no command record");
  if (commands.size() != s.expectedCommands)
    Fail(s.name + ": the tool started " + std::to_string(commands.size()) + " programs, not " +
         std::to_string(s.expectedCommands));

  const std::string script = box.records + "/" + s.name + ".sh";
  std::string body = "#!/bin/bash\n";
  for (const RecordedCommand& c : commands) {
    body += ShellQuoted(c.Program);
    for (size_t i = 1; i < c.Argv.size(); ++i) body += " " + ShellQuoted(c.Argv[i]);
    body += "\n";
  }
  WriteFile(script, body);

  // [0] the tool, [1] the floor, then the script and the variations.
  std::vector<std::string> floorArgv = {box.floor, record};
  if (s.floorTaskFiles) floorArgv.push_back("--task-files");
  std::vector<Variant> variants = {{"tool", toolArgv, env}, {"floor", floorArgv, env}};
  if (s.withScript) variants.push_back({"script", {"/bin/bash", script}, env});
  size_t setupFloor = 0;  // its index among the variants; 0: none
  if (s.floorWithChildSetup) {
    std::vector<std::string> argv = floorArgv;
    argv.push_back("--child-setup");
    setupFloor = variants.size();
    variants.push_back({"floor, child set-up", argv, env});
  }
  for (const ToolVariation& v : s.variations)
    variants.push_back({v.label, toolArgv, Changed(env, v.change)});

  const size_t n = variants.size();
  std::vector<std::vector<double>> ms(n), ratio(n), overhead(n), cpu(n), cpuRatio(n), own(n);
  // Per round: how much longer the tool's own process ran on the CPU than
  // the floor's, as a share of the floor's wall-clock time.
  std::vector<double> ownShare;
  std::vector<double> toSetupFloor, cpuToSetupFloor;  // the tool against the second floor
  for (int round = 0; round < s.rounds; ++round) {
    std::vector<double> roundMs(n), roundCpu(n);
    for (size_t k = 0; k < n; ++k) {
      const size_t v = (k + static_cast<size_t>(round)) % n;
      s.prepare();
      Measurement m = Run(variants[v].argv, variants[v].env, box.work);
      if (m.status != 0)
        Fail(s.name + ": " + variants[v].label + " ended with " + std::to_string(m.status));
      roundMs[v] = m.ms;
      roundCpu[v] = m.cpuMs;
      ms[v].push_back(m.ms);
      cpu[v].push_back(m.cpuMs);
      if (m.ownCpuUs >= 0) own[v].push_back(m.ownCpuUs);
    }
    if (own[0].size() == own[1].size() && !own[0].empty() && roundMs[1] > 0)
      ownShare.push_back((own[0].back() - own[1].back()) / 1e3 / roundMs[1]);
    for (size_t v = 0; v < n; ++v) {
      ratio[v].push_back(roundMs[v] / roundMs[1]);
      overhead[v].push_back(roundMs[v] - roundMs[1]);
      if (roundCpu[1] > 0) cpuRatio[v].push_back(roundCpu[v] / roundCpu[1]);
    }
    if (setupFloor != 0) {
      toSetupFloor.push_back(roundMs[0] / roundMs[setupFloor]);
      if (roundCpu[setupFloor] > 0) cpuToSetupFloor.push_back(roundCpu[0] / roundCpu[setupFloor]);
    }
  }

  // Peak memory, outside the timed rounds: the largest of three runs (one for
  // the long scenarios).
  std::vector<long> rss(n, 0);
  const int rssRuns = s.expectedCommands > 100 ? 1 : 3;
  for (size_t v = 0; v < n; ++v) {
    for (int i = 0; i < rssRuns; ++i) {
      s.prepare();
      rss[v] = std::max(rss[v], PeakRssKib(box, variants[v]));
    }
  }

  const double toolInstructions = Instructions(box, s, "tool", toolArgv, env);
  const double floorInstructions = Instructions(box, s, "floor", floorArgv, env);

  const double children = static_cast<double>(commands.size());
  std::printf("\n== %s: %zu child runs, %d rounds%s\n", s.title.c_str(), commands.size(),
              s.rounds, s.floorTaskFiles ? " (the floor deletes the XML files too)" : "");
  std::printf("  %-22s %10s %10s %10s %8s %10s %9s %9s %8s %8s %8s\n", "", "median ms", "p25",
              "p75", "/floor", "+ms/run", "+us/child", "cpu ms", "cpu/fl", "own us", "peak KiB");
  for (size_t v = 0; v < n; ++v) {
    std::printf("  %-22s %10.3f %10.3f %10.3f %8.3f %10.3f %9.1f %9.3f %8.3f %8.0f %8ld\n",
                variants[v].label.c_str(), Median(ms[v]), Quantile(ms[v], 0.25),
                Quantile(ms[v], 0.75), Median(ratio[v]), Median(overhead[v]),
                1000 * Median(overhead[v]) / children, Median(cpu[v]), Median(cpuRatio[v]),
                MedianOrUnknown(own[v]), rss[v]);
  }
  std::printf(
      "  (/floor, +ms, cpu/fl: medians of per-round ratios and differences to the floor;\n"
      "   cpu: user and system time of the run and its children; own: the process's own\n"
      "   time on the CPU, children excluded)\n");
  const double ownCpuShare = MedianOrUnknown(ownShare);
  if (!ownShare.empty())
    std::printf(
        "  the tool's own process on the CPU longer than the floor's: median %.3f of the\n"
        "  floor's time per round\n",
        ownCpuShare);
  double ratioScript = 0;
  if (s.withScript) {
    std::vector<double> toScript;
    for (int r = 0; r < s.rounds; ++r) toScript.push_back(ms[0][r] / ms[2][r]);
    ratioScript = Median(toScript);
    std::printf("  tool/script: median of per-round ratios %.3f\n", ratioScript);
  }
  if (toolInstructions > 0)
    std::printf("  instructions (callgrind, children not traced): tool %.0f, floor %.0f\n",
                toolInstructions, floorInstructions);
  double setupRatio = 0, toolToSetup = 0, cpuToolToSetup = 0;
  if (setupFloor != 0) {
    setupRatio = Median(ratio[setupFloor]);
    toolToSetup = Median(toSetupFloor);
    cpuToolToSetup = Median(cpuToSetupFloor);
    std::printf(
        "  tool/floor with the child set-up: median of per-round ratios %.3f (cpu %.3f);\n"
        "  that floor/floor: %.3f (the set-up every child needs)\n",
        toolToSetup, cpuToolToSetup, setupRatio);
  }
  std::printf(
      "result %s children=%zu rounds=%d tool_ms=%.3f floor_ms=%.3f ratio_floor=%.3f "
      "ratio_script=%.3f cpu_ratio_floor=%.3f overhead_per_child_us=%.1f tool_per_child_us=%.1f "
      "floor_per_child_us=%.1f tool_rss_kib=%ld floor_rss_kib=%ld tool_instructions=%.0f "
      "floor_instructions=%.0f setup_ratio_floor=%.3f ratio_setup_floor=%.3f "
      "cpu_ratio_setup_floor=%.3f tool_own_cpu_us=%.0f floor_own_cpu_us=%.0f "
      "own_cpu_share=%.3f\n",
      s.name.c_str(), commands.size(), s.rounds, Median(ms[0]), Median(ms[1]), Median(ratio[0]),
      ratioScript, Median(cpuRatio[0]), 1000 * Median(overhead[0]) / children,
      1000 * Median(ms[0]) / children, 1000 * Median(ms[1]) / children, rss[0], rss[1],
      toolInstructions, floorInstructions, setupRatio, toolToSetup, cpuToolToSetup,
      MedianOrUnknown(own[0]), MedianOrUnknown(own[1]), ownCpuShare);
  // The break-down runs too, under the scenario's name and a key made of the
  // label ("tool, no fsync" gives "apply-new:no_fsync").
  for (size_t v = n - s.variations.size(); v < n; ++v) {
    std::string key = variants[v].label.substr(variants[v].label.find(", ") + 2);
    for (char& c : key)
      if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    std::printf("result %s:%s ratio_floor=%.3f cpu_ratio_floor=%.3f\n", s.name.c_str(), key.c_str(),
                Median(ratio[v]), Median(cpuRatio[v]));
  }
  if (s.phaseRounds > 0) PhaseSplit(box, s, variants[0], variants[1]);
  std::fflush(stdout);
  return {Median(ratio[0]), static_cast<double>(rss[0])};
}

// A power settings file outside the data folders, so that the tool records it
// in the user's record file.
std::string WriteProfile(const Sandbox& box) {
  const std::string path = box.work + "/profiles/Office.ini";
  fs::create_directories(box.work + "/profiles");
  WriteFile(path,
            "[GENERAL]\r\nVersion=2.00.000\r\nName=オフィス省電力\r\n"
            "[DISPLAY]\r\nDisplayAcTime=10\r\nDisplayDcTime=5\r\nDisplayAcBright=80\r\n"
            "DisplayDcBright=45\r\n[HDD]\r\nHddAcTime=20\r\nHddDcTime=10\r\n"
            "[SYSTEM]\r\nSleepAcTime=30\r\nSleepDcTime=15\r\nStopAcTime=120\r\n"
            "StopDcTime=60\r\n");
  return path;
}

// A plan store that already holds the dedicated plan, found by its name, and
// active, as a run leaves it.
void WriteStoreWithPlan(const std::string& stateDir) {
  fs::create_directories(stateDir);
  standin::PlanStore store = standin::DefaultPlanStore();
  standin::Plan plan = *standin::FindPlan(store, kPowerSaverGuid);
  plan.Guid = kExistingPlanGuid;
  plan.Name = kPlanName;
  store.Plans.push_back(plan);
  store.ActivePlan = kExistingPlanGuid;
  if (!standin::SavePlanStore(standin::PlanStorePathIn(stateDir), store))
    Fail("cannot write the plan store in " + stateDir);
}

// A task list of `entries` lines and the XML file of each; the tool deletes
// both as it goes, so they are made again before every run.
std::function<void()> TaskListMaker(const std::string& folder, size_t entries) {
  fs::create_directories(folder);
  std::string list;
  std::vector<std::string> xmlFiles;
  for (size_t i = 0; i < entries; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "TAV_Bench_%05zu", i);
    const std::string xml = folder + "/" + name + ".xml";
    xmlFiles.push_back(xml);
    list += "/TN:\"" + std::string(name) + "\" /XML:\"" + WinPath(xml) + "\"\r\n";
  }
  const std::string listPath = folder + "/tasks.txt";
  return [list, xmlFiles, listPath] {
    static const char kXml[] =
        "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<Task version=\"1.2\"/>\n";
    for (const std::string& xml : xmlFiles) {
      int fd = open(xml.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      if (fd < 0 || write(fd, kXml, sizeof kXml - 1) < 0) Fail("cannot write " + xml);
      close(fd);
    }
    WriteFile(listPath, list);
  };
}

}  // namespace
}  // namespace tav::bench

int main(int argc, char** argv) {
  using namespace tav::bench;
  bool quick = false, keep = false, breakdown = true;
  std::string only;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--quick") quick = true;
    else if (a == "--keep") keep = true;
    else if (a == "--no-breakdown") breakdown = false;
    else if (a == "--only" && i + 1 < argc) only = argv[++i];
    else if (a == "--valgrind" && i + 1 < argc) valgrindPath = argv[++i];
    else Fail("usage: bench_runs [--quick] [--no-breakdown] [--only PREFIX] [--keep] "
              "[--valgrind PATH]");
  }

  Sandbox box(BENCH_TOOL, BENCH_INSTANT_CHILD, BENCH_FLOOR, BENCH_PEAK_RSS);
  if (!keep) removeOnFailure = box.root;
  const std::string profile = WinPath(WriteProfile(box));
  // The default plans only, in a store file that /SETACTIVE can change.
  const std::string stateNew = box.root + "/state-new";
  const std::string stateExisting = box.root + "/state-existing";
  fs::create_directories(stateNew);
  if (!tav::standin::SavePlanStore(tav::standin::PlanStorePathIn(stateNew),
                                   tav::standin::DefaultPlanStore()))
    Fail("cannot write the plan store in " + stateNew);
  WriteStoreWithPlan(stateExisting);
  // A new plan: nothing recorded and no plan of that name, before every run:
  // the first application of a profile, with every record written.
  auto forget = [&box] { box.ForgetRecords(box.work + "/profiles"); };
  // A found plan: the everyday repeated run. The records of the calibration
  // run stay, so the plan is found by its recorded GUID and no record value
  // changes.
  auto keepRecords = [] {};
  const int applyRounds = quick ? 11 : 101;

  // What parts of the tool's own work cost: the locale's files (LANG unset
  // leaves the C locale, which loads nothing) and the durable record writes.
  std::vector<ToolVariation> variations;
  if (breakdown) {
    variations = {{"tool, C locale", {"LANG="}},
                  {"tool, no folder fsync", {std::string("LD_PRELOAD=") + BENCH_NO_FOLDER_FSYNC}},
                  {"tool, no fsync", {std::string("LD_PRELOAD=") + BENCH_NO_FSYNC}},
                  {"tool, both", {"LANG=", std::string("LD_PRELOAD=") + BENCH_NO_FSYNC}}};
  }

  std::vector<Scenario> scenarios;
  scenarios.push_back({"apply-new", "apply, new plan, first run (powercfg.exe x14)",
                       "/N:\"" + profile + "\"", stateNew, 14, applyRounds, true, forget,
                       variations});
  // Its calibration run starts from no records and finds the plan by name.
  // The everyday run writes nothing: only the locale's files can be taken away.
  std::vector<ToolVariation> everydayVariations;
  if (breakdown) everydayVariations = {{"tool, C locale", {"LANG="}}};
  scenarios.push_back({"apply-existing", "apply, found plan, records kept (powercfg.exe x12)",
                       "/N:\"" + profile + "\"", stateExisting, 12, applyRounds, true, keepRecords,
                       everydayVariations, forget});
  for (Scenario& s : scenarios) {
    s.floorWithChildSetup = true;
    if (breakdown) s.phaseRounds = quick ? 7 : 31;
  }
  for (size_t entries : {size_t{1}, size_t{100}, size_t{10000}}) {
    const std::string folder = box.work + "/tasks-" + std::to_string(entries);
    int rounds = entries == 1 ? 101 : entries == 100 ? 31 : 3;
    if (quick) rounds = entries == 10000 ? 3 : 11;
    scenarios.push_back({"tasks-" + std::to_string(entries),
                         "task list, " + std::to_string(entries) + " entries (schtasks x" +
                             std::to_string(entries) + ")",
                         "/F:\"" + WinPath(folder + "/tasks.txt") + "\"", stateNew, entries,
                         rounds, false, TaskListMaker(folder, entries), {}, [] {}, true});
  }

  double worstApplyRatio = 0;
  bool ranApply = false;
  for (const Scenario& s : scenarios) {
    if (!only.empty() && s.name.rfind(only, 0) != 0) continue;
    ScenarioResult r = RunScenario(box, s);
    if (s.name.rfind("apply-", 0) == 0) {
      worstApplyRatio = std::max(worstApplyRatio, r.ratioFloor);
      ranApply = true;
    }
  }

  if (!keep) {
    std::error_code ec;
    fs::remove_all(box.root, ec);
  } else {
    std::printf("sandbox kept: %s\n", box.root.c_str());
  }
  if (ranApply)
    std::printf("\nwhole-run ratio to the floor (worse of the two apply runs): %.2f\n",
                worstApplyRatio);
  return 0;
}
