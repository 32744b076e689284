// Install benchmark: the install engine installing a ~50 MB payload natively against the
// baseline of decoding every compressed entry with the same decoder into memory plus `cp -r` of
// the unpacked tree. Half of the payload is stored (random bytes, stored on purpose), half
// compressed (text-like data), in files of many sizes spread over a few directories. Both are
// timed in the same run, taking turns, best of 3, in wall-clock and in processor time (the
// latter is steadier on a busy machine). The goal is a ratio of at most 1.5.
//
// The engine runs exactly as the setup program does, through the recording stand-ins of the
// dialog and the desktop, into a temporary directory mapped as drive B:.
//   bench-install [megabytes]     (default 50)
//   bench-install tree DIR [megabytes]    writes only the product tree into DIR
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_memory.h"
#include "bench/bench_timing.h"
#include "payload/explode.h"
#include "payload/payload_check.h"
#include "payload/payload_reader.h"
#include "setup/install_context.h"
#include "setup/install_engine.h"
#include "setup/recording_seams.h"
#include "shell/fs_platform.h"
#include "tools/pack_build.h"
#include "tools/pack_io.h"
#include "tools/pack_read.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = BenchClock;

constexpr char kDrive = 'B';

int Fail(const std::string& message) {
  std::fprintf(stderr, "bench-install: %s\n", message.c_str());
  return 1;
}

double OwnCpuSeconds() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return CpuSeconds(usage);
}

struct Random {
  uint64_t state;
  uint64_t Next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  }
  double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
};

// Text-like data: words of a made-up vocabulary, commoner ones far more often, with numbers
// and line breaks; compresses to about half, as documents and help files do here.
void FillText(Random& random, const std::vector<std::string>& words, std::vector<uint8_t>* out,
              size_t size) {
  out->clear();
  size_t column = 0;
  while (out->size() < size) {
    double u = random.Unit();
    const std::string& word = words[static_cast<size_t>(u * u * u * u * words.size())];
    if (random.Next() % 11 == 0) {
      std::string number = std::to_string(random.Next() % 100000);
      out->insert(out->end(), number.begin(), number.end());
    } else {
      out->insert(out->end(), word.begin(), word.end());
    }
    column += word.size() + 1;
    if (column > 72) {
      out->push_back('\n');
      column = 0;
    } else {
      out->push_back(' ');
    }
  }
  out->resize(size);
}

void FillRandom(Random& random, std::vector<uint8_t>* out, size_t size) {
  out->resize(size);
  for (size_t i = 0; i < size; i += 8) {
    uint64_t v = random.Next();
    std::memcpy(out->data() + i, &v, std::min<size_t>(8, size - i));
  }
}

// File sizes spread evenly on a log scale from 200 bytes to 2 MB, until budget is spent.
std::vector<size_t> FileSizes(Random& random, size_t budget) {
  std::vector<size_t> sizes;
  while (budget > 0) {
    size_t size = static_cast<size_t>(200.0 * std::exp(random.Unit() * std::log(10000.0)));
    size = std::min(size, budget);
    sizes.push_back(size);
    budget -= size;
  }
  return sizes;
}

bool WriteFile(const fs::path& path, const std::vector<uint8_t>& data) {
  std::string error;
  if (WriteWholeFile(path.string(), data, &error)) return true;
  Fail(error);
  return false;
}

// The product tree: random ".bin" files and text ".txt" files, half of the bytes each, in the
// base directory and three sub-directories (one two levels deep).
bool BuildTree(const fs::path& top, size_t bytes, size_t* files) {
  const char* directories[] = {"", "Profiles", "Textures", "Docs/Manual"};
  for (const char* directory : directories) fs::create_directories(top / directory);
  Random random{0x9E3779B97F4A7C15ull};
  std::vector<std::string> words;
  for (int i = 0; i < 1500; ++i) {
    std::string word;
    size_t length = 2 + random.Next() % 7;
    for (size_t j = 0; j < length; ++j) word.push_back(static_cast<char>('a' + random.Next() % 26));
    words.push_back(word);
  }
  std::vector<uint8_t> data;
  *files = 0;
  for (int kind = 0; kind < 2; ++kind) {
    std::vector<size_t> sizes = FileSizes(random, bytes / 2);
    for (size_t i = 0; i < sizes.size(); ++i) {
      if (kind == 0) {
        FillRandom(random, &data, sizes[i]);
      } else {
        FillText(random, words, &data, sizes[i]);
      }
      fs::path path =
          top / directories[(i * 7 + static_cast<size_t>(kind)) % 4] /
          ((kind == 0 ? "data" : "text") + std::to_string(i) + (kind == 0 ? ".bin" : ".txt"));
      if (!WriteFile(path, data)) return false;
      ++*files;
    }
  }
  return true;
}

struct CompressedEntry {
  size_t offset;
  uint32_t length;
};

bool ListCompressed(const std::vector<uint8_t>& setup, std::vector<CompressedEntry>* entries) {
  ArchiveReader reader(setup.data(), setup.size());
  std::string error;
  bool ok = reader.FindMarker(&error);
  while (ok) {
    ArchiveEntry entry;
    ok = reader.Next(&entry, &error);
    if (!ok) break;
    if (entry.kind == ArchiveEntry::Kind::kEnd) return true;
    if (entry.kind == ArchiveEntry::Kind::kFile && entry.sizeField > 0)
      entries->push_back({entry.dataOffset, entry.dataLength});
  }
  Fail(error);
  return false;
}

// Decodes every compressed entry.
Timing TimeDecode(const std::vector<uint8_t>& setup, const std::vector<CompressedEntry>& entries,
                  std::vector<uint8_t>* output, ExplodeWorkArea* work) {
  double cpu = OwnCpuSeconds();
  auto start = Clock::now();
  // Every compressed entry from memory into memory, read in blocks of 2048 bytes as the setup
  // reads them, output copied into one buffer as the decoder delivers it.
  MemoryStream stream;
  stream.output = output->data();
  stream.outputSize = output->size();
  for (const CompressedEntry& entry : entries) {
    stream.SetInput(setup.data() + entry.offset, entry.length);
    if (ExplodeStream(ReadMemory, WriteMemory, work, &stream) != kExplodeOk) {
      Fail("decoder failed on the benchmark payload");
      return Timing();
    }
  }
  if (stream.overflow != 0) {
    Fail("decoded more than the tree holds");
    return Timing();
  }
  Timing timing;
  timing.wall = Seconds(start);
  timing.cpu = OwnCpuSeconds() - cpu;
  return timing;
}

// `cp -r from to`, process start included as from a shell.
Timing TimeCopy(const std::string& from, const std::string& to) {
  char cp[] = "cp";
  char flags[] = "-r";
  std::string source = from;
  std::string target = to;
  char* argv[] = {cp, flags, source.data(), target.data(), nullptr};
  auto start = Clock::now();
  pid_t pid;
  int status = 0;
  struct rusage usage;
  if (posix_spawnp(&pid, "cp", nullptr, nullptr, argv, environ) != 0 ||
      wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    Fail("cp -r failed");
    return Timing();
  }
  Timing timing;
  timing.wall = Seconds(start);
  timing.cpu = CpuSeconds(usage);
  return timing;
}

struct EngineRun {
  Timing timing;
};

EngineRun TimeEngine(const std::string& setupPath, const std::string& directory) {
  RecordingSurface surface;
  RecordingDesktop desktop;
  surface.directory = directory;
  ResetInstallContext(&surface, &desktop, setupPath.c_str());
  EngineRun run;
  double cpu = OwnCpuSeconds();
  auto start = Clock::now();
  OnInstall();
  run.timing.wall = Seconds(start);
  run.timing.cpu = OwnCpuSeconds() - cpu;
  if (surface.status != "Installation was successful.") {
    for (const std::string& message : surface.messages) Fail(message);
    Fail("the install failed: " + surface.status);
    run.timing = Timing();
  }
  return run;
}

// The check of the whole setup file that starts every install, alone.
Timing TimeCheck(const std::string& setupPath) {
  RecordingSurface surface;
  RecordingDesktop desktop;
  ResetInstallContext(&surface, &desktop, setupPath.c_str());
  double cpu = OwnCpuSeconds();
  auto start = Clock::now();
  bool sound = FindPayload() && CheckPayload();
  Timing timing{Seconds(start), OwnCpuSeconds() - cpu};
  if (installContext.payloadFile != nullptr) std::fclose(installContext.payloadFile);
  installContext.payloadFile = nullptr;
  CloseRecord();
  if (!sound) {
    Fail("the check failed");
    return Timing();
  }
  return timing;
}

// The same files with the same contents in both trees.
bool SameTree(const fs::path& a, const fs::path& b) {
  size_t count = 0;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(a)) {
    if (!entry.is_regular_file()) continue;
    fs::path other = b / fs::relative(entry.path(), a);
    std::vector<uint8_t> left, right;
    std::string error;
    if (!ReadWholeFile(entry.path().string(), &left, &error) ||
        !ReadWholeFile(other.string(), &right, &error) || left != right) {
      Fail("installed file differs: " + other.string());
      return false;
    }
    ++count;
  }
  size_t otherCount = 0;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(b))
    otherCount += entry.is_regular_file() ? 1 : 0;
  if (count == otherCount) return true;
  Fail("the installed tree has other files");
  return false;
}

int Run(const fs::path& temp, size_t megabytes) {
  const fs::path source = temp / "product";
  size_t files = 0;
  std::printf("Building a %zu MB product tree...\n", megabytes);
  std::fflush(stdout);
  if (!BuildTree(source, megabytes << 20, &files)) return 1;

  // A stub the size of the real one, so the marker search has its usual distance to cover.
  Random random{12345};
  std::vector<uint8_t> stub;
  FillRandom(random, &stub, 237568);
  if (!WriteFile(temp / "stub.exe", stub)) return 1;

  PackBuildOptions options;
  options.output = (temp / "setup.exe").string();
  options.stubPath = (temp / "stub.exe").string();
  options.storeGlobs.push_back("*.bin");
  PackBuildStats stats;
  std::vector<std::string> warnings;
  std::string error;
  auto packStart = Clock::now();
  if (!BuildSetupFile(source.string(), options, &stats, &warnings, &error)) return Fail(error);
  std::printf(
      "Packed %zu files (%zu compressed) in %zu directories: %.1f MB of files, "
      "%.1f MB payload (%.1f s)\n",
      stats.files, stats.compressed, stats.directories + 1,
      static_cast<double>(stats.bytesIn) / 1048576.0,
      static_cast<double>(stats.payloadBytes) / 1048576.0, Seconds(packStart));

  std::vector<uint8_t> setup;
  if (!ReadWholeFile(options.output, &setup, &error)) return Fail(error);
  std::vector<CompressedEntry> entries;
  if (!ListCompressed(setup, &entries)) return 1;
  std::vector<uint8_t> decoded(stats.bytesIn);
  static ExplodeWorkArea work;

  if (!FsSetDriveRoot(kDrive, temp.c_str()) || !FsAllowChangesIn(temp.c_str()))
    return Fail("cannot map the temporary directory");
  // The stand-in desktop's folders are on C:; unmapped, they name nothing here.
  FsSetDriveRoot('C', nullptr);
  const std::string setupPath = std::string(1, kDrive) + ":\\setup.exe";
  const std::string target = std::string(1, kDrive) + ":\\installed";

  Timing bestEngine, bestDecode, bestCopy, bestBaseline, bestCheck;
  for (int repetition = 0; repetition < 3; ++repetition) {
    std::error_code ec;
    fs::remove_all(temp / "installed", ec);
    fs::remove_all(temp / "copied", ec);
    ::sync();

    EngineRun engine = TimeEngine(setupPath, target);
    if (engine.timing.wall < 0) return 1;
    Timing check = TimeCheck(setupPath);
    if (check.wall < 0) return 1;
    KeepBest(&bestCheck, check);
    Timing decode = TimeDecode(setup, entries, &decoded, &work);
    Timing copy = TimeCopy(source.string(), (temp / "copied").string());
    if (decode.wall < 0 || copy.wall < 0) return 1;
    Timing baseline{decode.wall + copy.wall, decode.cpu + copy.cpu};
    std::printf("  run %d: engine %.3f s, baseline %.3f s (decode %.3f s + cp -r %.3f s)\n",
                repetition + 1, engine.timing.wall, baseline.wall, decode.wall, copy.wall);
    std::fflush(stdout);
    KeepBest(&bestEngine, engine.timing);
    KeepBest(&bestDecode, decode);
    KeepBest(&bestCopy, copy);
    KeepBest(&bestBaseline, baseline);
  }
  if (!SameTree(source, temp / "installed")) return 1;

  double mb = static_cast<double>(stats.bytesIn) / 1048576.0;
  std::printf("\nInstall of %.1f MB (%zu files), best of 3: wall-clock time, processor time\n", mb,
              files);
  std::printf("  install engine            %8.3f s  %7.1f MB/s   cpu %8.3f s\n", bestEngine.wall,
              mb / bestEngine.wall, bestEngine.cpu);
  std::printf("  decode + cp -r (baseline) %8.3f s  %7.1f MB/s   cpu %8.3f s\n", bestBaseline.wall,
              mb / bestBaseline.wall, bestBaseline.cpu);
  std::printf("    decode alone            %8.3f s                 cpu %8.3f s\n", bestDecode.wall,
              bestDecode.cpu);
  std::printf("    cp -r alone             %8.3f s                 cpu %8.3f s\n", bestCopy.wall,
              bestCopy.cpu);
  std::printf("  ratio engine / baseline   %8.2f (wall)   %5.2f (cpu)   goal: at most 1.50\n",
              bestEngine.wall / bestBaseline.wall, bestEngine.cpu / bestBaseline.cpu);
  // The engine's time includes the check; what it adds is its share of the rest.
  std::printf("  check of the setup file   %8.3f s                 cpu %8.3f s\n", bestCheck.wall,
              bestCheck.cpu);
  std::printf("  check / install without it %7.3f (wall)   goal: at most 0.10\n",
              bestCheck.wall / (bestEngine.wall - bestCheck.wall));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // bench-install tree DIR [megabytes]: only writes the product tree, for bench/pack.sh.
  if (argc > 2 && std::strcmp(argv[1], "tree") == 0) {
    size_t files = 0;
    size_t megabytes = argc > 3 ? static_cast<size_t>(std::atoi(argv[3])) : 50;
    return BuildTree(argv[2], megabytes << 20, &files) ? 0 : 1;
  }
  size_t megabytes = argc > 1 ? static_cast<size_t>(std::atoi(argv[1])) : 50;
  if (megabytes == 0 || megabytes > 1000) {
    std::fprintf(stderr, "usage: bench-install [megabytes]\n");
    return 2;
  }
  char pattern[] = "/tmp/tsarin-bench-install-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return Fail("cannot create a temporary directory");
  int status = Run(pattern, megabytes);
  FsSetDriveRoot(kDrive, nullptr);
  std::error_code ec;
  fs::remove_all(pattern, ec);
  return status;
}
