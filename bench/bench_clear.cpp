// Clearing benchmark: ClearDirectory against `rm -rf` on identical trees of 10,000 files in 100
// directories, built in a fresh temporary directory and timed in the same run, best of 3 each.
// The goal is a ratio of at most 2. For contrast it also times, once, the walk that restarts
// the enumeration for every entry.
//   bench-clear [directories [files-per-directory]]
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_timing.h"
#include "shell/file_helpers.h"
#include "shell/fs_platform.h"
#include "tests/filehelpers/restart_walk.h"

extern char** environ;

namespace {

using Clock = BenchClock;

// The drive through which ClearDirectory sees the temporary directory.
constexpr char kDrive = 'B';
// The flat directory on which the restarting walk shows its cost, which grows with the square of
// the number of entries in one directory.
constexpr int kFlatFiles = 2000;

bool Fail(const char* what, const std::string& detail) {
  fprintf(stderr, "bench-clear: %s %s\n", what, detail.c_str());
  return false;
}

// `directories` directories of `files` empty files each below host path `top`. The files are
// empty so that no data blocks are written back or freed while a removal is timed: that part of
// the cost is the same for both removers and only adds noise.
bool BuildTree(const std::string& top, int directories, int files) {
  if (mkdir(top.c_str(), 0777) != 0) return Fail("cannot create", top);
  for (int d = 0; d < directories; ++d) {
    const std::string dir = top + "/dir" + std::to_string(d);
    if (mkdir(dir.c_str(), 0777) != 0) return Fail("cannot create", dir);
    for (int f = 0; f < files; ++f) {
      const std::string file = dir + "/file" + std::to_string(f) + ".dat";
      int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
      if (fd < 0 || close(fd) != 0) return Fail("cannot create", file);
    }
  }
  return true;
}

// Clears the tree `name` in the temporary directory with `clear`; negative times on failure.
Timing TimeClear(bool (*clear)(const char*, bool), const std::string& host,
                 const std::string& name) {
  const std::string path = std::string(1, kDrive) + ":\\" + name;
  struct rusage before, after;
  getrusage(RUSAGE_SELF, &before);
  auto start = Clock::now();
  bool removed = clear(path.c_str(), true);
  Timing timing;
  timing.wall = Seconds(start);
  getrusage(RUSAGE_SELF, &after);
  timing.cpu = CpuSeconds(after) - CpuSeconds(before);
  struct stat gone;
  if (!removed || lstat((host + "/" + name).c_str(), &gone) == 0) {
    Fail("tree not removed:", name);
    return Timing();
  }
  return timing;
}

// Runs `rm -rf` on host path `top`, process start included as from a shell; negative times on
// failure.
Timing TimeRm(const std::string& top) {
  char rm[] = "rm";
  char flags[] = "-rf";
  std::string target = top;
  char* argv[] = {rm, flags, target.data(), nullptr};
  auto start = Clock::now();
  pid_t pid;
  int status = 0;
  struct rusage usage;
  if (posix_spawnp(&pid, "rm", nullptr, nullptr, argv, environ) != 0 ||
      wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    Fail("rm -rf failed on", top);
    return Timing();
  }
  Timing timing;
  timing.wall = Seconds(start);
  timing.cpu = CpuSeconds(usage);
  return timing;
}

}  // namespace

int main(int argc, char** argv) {
  const int directories = argc > 1 ? atoi(argv[1]) : 100;
  const int files = argc > 2 ? atoi(argv[2]) : 100;
  if (directories < 1 || files < 1) {
    fprintf(stderr, "usage: bench-clear [directories [files-per-directory]]\n");
    return 2;
  }
  const char* tmp = getenv("TMPDIR");
  std::string host = std::string(tmp && *tmp ? tmp : "/tmp") + "/tsarin-bench-clear-XXXXXX";
  if (mkdtemp(host.data()) == nullptr || !FsSetDriveRoot(kDrive, host.c_str()) ||
      !FsAllowChangesIn(host.c_str())) {
    Fail("cannot set up a temporary directory like", host);
    return 1;
  }

  Timing clear, rm, restart, flatClear, flatRestart;
  bool ok = true;
  for (int run = 0; run < 3 && ok; ++run) {
    Timing one;
    ok = BuildTree(host + "/clear", directories, files);
    if (ok) KeepBest(&clear, one = TimeClear(ClearDirectory, host, "clear"));
    ok = ok && one.wall >= 0 && BuildTree(host + "/rm", directories, files);
    if (ok) KeepBest(&rm, one = TimeRm(host + "/rm"));
    ok = ok && one.wall >= 0;
  }
  if (ok && BuildTree(host + "/restart", directories, files)) {
    restart = TimeClear(ClearDirectoryByRestart, host, "restart");
  }
  if (ok && BuildTree(host + "/flat", 1, kFlatFiles)) {
    flatClear = TimeClear(ClearDirectory, host, "flat");
  }
  if (ok && BuildTree(host + "/flat", 1, kFlatFiles)) {
    flatRestart = TimeClear(ClearDirectoryByRestart, host, "flat");
  }
  TimeRm(host);
  if (!ok || restart.wall < 0 || flatClear.wall < 0 || flatRestart.wall < 0) return 1;

  printf("clearing %d files in %d directories (best of 3, same run)     wall        cpu\n",
         directories * files, directories);
  printf("  ClearDirectory                                    %8.1f ms %8.1f ms\n",
         clear.wall * 1e3, clear.cpu * 1e3);
  printf("  rm -rf                                            %8.1f ms %8.1f ms\n", rm.wall * 1e3,
         rm.cpu * 1e3);
  printf("  ratio (goal: at most 2)                           %8.2f    %8.2f\n",
         clear.wall / rm.wall, clear.cpu / rm.cpu);
  printf("  restarting walk (one run)                         %8.1f ms %8.1f ms\n",
         restart.wall * 1e3, restart.cpu * 1e3);
  printf("one directory of %d files (one run each)\n", kFlatFiles);
  printf("  ClearDirectory                                    %8.1f ms %8.1f ms\n",
         flatClear.wall * 1e3, flatClear.cpu * 1e3);
  printf("  restarting walk                                   %8.1f ms %8.1f ms\n",
         flatRestart.wall * 1e3, flatRestart.cpu * 1e3);
  return 0;
}
