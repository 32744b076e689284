// tsarin-pack: builds setup files (stub + marker + archive), lists and checks them, and
// compresses or decompresses single implode streams.
#include <sched.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "payload/archive_format.h"
#include "payload/explode.h"
#include "tools/implode.h"
#include "tools/pack_build.h"
#include "tools/pack_extract.h"
#include "tools/pack_io.h"
#include "tools/pack_names.h"
#include "tools/pack_read.h"

namespace {

const char kUsage[] =
    "usage:\n"
    "  tsarin-pack build -o OUT [--stub STUB] [--literal-mode 0|1] [--dict-bits 4|5|6]\n"
    "                    [--lazy|--optimal] [--store GLOB]... [--jobs N] SOURCE_DIR\n"
    "      Writes STUB (none if not given) padded with zeros to a multiple of 16 bytes, the\n"
    "      marker, and an archive of SOURCE_DIR: its files, then each sub-directory depth\n"
    "      first, names sorted bytewise. A file is compressed when that makes it smaller and\n"
    "      stored otherwise. Defaults: --literal-mode 0, --dict-bits 6, --optimal (the\n"
    "      smallest stream); --lazy is about 3 times faster and 2-3% larger.\n"
    "      --store GLOB stores matching files uncompressed. GLOB is a shell pattern (* ? [..])\n"
    "      matched against the file's path relative to SOURCE_DIR with '/' between levels and\n"
    "      against its bare name; '*' also matches '/'. May be given several times.\n"
    "      Refused, with no OUT left behind: names Windows cannot create or the setup cannot\n"
    "      install safely, names over 260 characters, names differing only in case, symbolic\n"
    "      links, files of 2^31 bytes or more, a tree without files, and a stub holding the\n"
    "      marker record.\n"
    "      --jobs N compresses N files at a time (default: the number of processors); the\n"
    "      output is the same for every N. On a terminal a progress line shows on stderr.\n"
    "      After the end entry comes an integrity record: the CRC-32 of the archive and of\n"
    "      every file's content.\n"
    "  tsarin-pack list SETUP\n"
    "      One line per entry: for a file its name, size once installed, how it is stored\n"
    "      (stored/compressed), the bytes it takes in the archive and its CRC-32 (as zip\n"
    "      and gzip compute it); for a directory entry its path. Then totals.\n"
    "  tsarin-pack test SETUP\n"
    "      Reads every entry as the setup does, decodes every compressed one and checks the\n"
    "      integrity record and every file's CRC-32 (a file without a record, built by an\n"
    "      older packer, is checked by decoding only); exit 0 when all is sound, else 1 with\n"
    "      a message naming the damaged entry.\n"
    "  tsarin-pack implode [--literal-mode M] [--dict-bits B] [--lazy|--optimal] IN OUT\n"
    "      Compresses IN into one raw stream (--optimal unless --lazy is given).\n"
    "  tsarin-pack explode IN OUT\n"
    "      Decodes one raw stream; writes what the decoder wrote and exits with its result\n"
    "      code (0 ok, 1 bad dictionary byte, 2 bad literal mode, 3 too short, 4 truncated).\n"
    "      Both stream: IN may be \"-\" (standard input), and memory stays the same whatever\n"
    "      the size of the data.\n"
    "  tsarin-pack extract ...\n"
    "      Installs a setup file's payload through the install engine.\n"
    "OUT: a regular file is replaced all or nothing (a temporary file beside it, renamed over\n"
    "it). \"-\" (standard output), a device or a FIFO is written directly, never replaced. A\n"
    "symbolic link is written through: the file it points to is written, the link stays; a\n"
    "link to nothing is refused.\n";

int Fail(const std::string& message) {
  std::fprintf(stderr, "tsarin-pack: %s\n", message.c_str());
  return 1;
}

int UsageError(const std::string& message) {
  std::fprintf(stderr, "tsarin-pack: %s\n(tsarin-pack --help shows the usage)\n", message.c_str());
  return 2;
}

// Parses the value of --literal-mode or --dict-bits.
bool ParseChoice(const char* text, int low, int high, int* out) {
  if (text == nullptr || std::strlen(text) != 1 || text[0] < '0' + low || text[0] > '0' + high)
    return false;
  *out = text[0] - '0';
  return true;
}

// Handles the options shared by build and implode; true when argv[*i] was one of them.
bool ParseImplodeOption(int argc, char** argv, int* i, ImplodeOptions* options, bool* bad) {
  std::string arg = argv[*i];
  const char* value = *i + 1 < argc ? argv[*i + 1] : nullptr;
  if (arg == "--literal-mode") {
    if (!ParseChoice(value, 0, 1, &options->literalMode)) *bad = true;
    ++*i;
    return true;
  }
  if (arg == "--dict-bits") {
    if (!ParseChoice(value, 4, 6, &options->dictBits)) *bad = true;
    ++*i;
    return true;
  }
  if (arg == "--optimal") {
    options->parser = ImplodeParser::kOptimal;
    return true;
  }
  if (arg == "--lazy") {
    options->parser = ImplodeParser::kLazy;
    return true;
  }
  return false;
}

// Processors this process may run on.
size_t Processors() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
    return static_cast<size_t>(CPU_COUNT(&set));
  long n = sysconf(_SC_NPROCESSORS_ONLN);
  return n > 0 ? static_cast<size_t>(n) : 1;
}

// One progress line on a terminal, redrawn at most ten times a second.
class ProgressLine {
 public:
  void Show(const PackProgress& p) {
    double elapsed = std::chrono::duration<double>(Clock::now() - start_).count();
    bool last = p.doneFiles == p.totalFiles;
    if (!last && elapsed - shownAt_ < 0.1) return;
    shownAt_ = elapsed;
    const double mb = 1048576.0;
    double rate = elapsed > 0 ? static_cast<double>(p.doneBytes) / elapsed : 0;
    double left = rate > 0 ? static_cast<double>(p.totalBytes - p.doneBytes) / rate : 0;
    std::fprintf(stderr, "\r%zu/%zu files, %.1f/%.1f MB, %.1f MB/s, %.0f s left\x1b[K", p.doneFiles,
                 p.totalFiles, static_cast<double>(p.doneBytes) / mb,
                 static_cast<double>(p.totalBytes) / mb, rate / mb, left);
    if (last) std::fputs("\r\x1b[K", stderr);
    std::fflush(stderr);
  }

 private:
  using Clock = std::chrono::steady_clock;
  Clock::time_point start_ = Clock::now();
  double shownAt_ = -1;
};

int RunBuild(int argc, char** argv) {
  PackBuildOptions options;
  options.jobs = Processors();
  std::string source;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    bool bad = false;
    if (ParseImplodeOption(argc, argv, &i, &options.implode, &bad)) {
      if (bad) return UsageError("bad value for " + arg);
    } else if (arg == "-o" || arg == "--stub" || arg == "--store") {
      if (i + 1 >= argc) return UsageError(arg + " needs a value");
      std::string value = argv[++i];
      if (arg == "-o") options.output = value;
      if (arg == "--stub") options.stubPath = value;
      if (arg == "--store") options.storeGlobs.push_back(value);
    } else if (arg == "--jobs" || arg == "-j") {
      char* end = nullptr;
      long n = i + 1 < argc ? std::strtol(argv[++i], &end, 10) : 0;
      if (end == nullptr || *end != 0 || n < 1 || n > 256)
        return UsageError(arg + " needs a number of 1 to 256");
      options.jobs = static_cast<size_t>(n);
    } else if (arg.size() > 1 && arg[0] == '-') {
      return UsageError("unknown option " + arg);
    } else if (source.empty()) {
      source = arg;
    } else {
      return UsageError("more than one SOURCE_DIR");
    }
  }
  if (options.output.empty()) return UsageError("build needs -o OUT");
  if (source.empty()) return UsageError("build needs a SOURCE_DIR");
  ProgressLine line;
  if (isatty(STDERR_FILENO)) options.progress = [&line](const PackProgress& p) { line.Show(p); };
  PackBuildStats stats;
  std::vector<std::string> warnings;
  std::string error;
  bool ok = BuildSetupFile(source, options, &stats, &warnings, &error);
  for (const std::string& w : warnings)
    std::fprintf(stderr, "tsarin-pack: warning: %s\n", w.c_str());
  if (!ok) return Fail(error);
  // With the setup file on standard output, the summary goes to standard error.
  std::fprintf(options.output == "-" ? stderr : stdout,
               "%s: %zu files (%zu compressed), %zu directories, %llu bytes in, %llu bytes out\n",
               options.output.c_str(), stats.files, stats.compressed, stats.directories,
               static_cast<unsigned long long>(stats.bytesIn),
               static_cast<unsigned long long>(stats.bytesOut));
  return 0;
}

int RunList(int argc, char** argv) {
  if (argc != 2) return UsageError("list needs exactly one SETUP");
  std::vector<uint8_t> file;
  std::string error;
  if (!ReadWholeFile(argv[1], &file, &error)) return Fail(error);
  ArchiveReader reader(file.data(), file.size());
  if (!reader.FindMarker(&error)) return Fail(std::string(argv[1]) + ": " + error);
  size_t files = 0, directories = 0, compressed = 0;
  uint64_t unpackedBytes = 0, packedBytes = 0;
  std::string directory;
  std::printf("kind\tname\tsize\tstored as\tpacked\tCRC-32\n");
  for (;;) {
    ArchiveEntry e;
    if (!reader.Next(&e, &error)) return Fail(std::string(argv[1]) + ": " + error);
    if (e.kind == ArchiveEntry::Kind::kEnd) break;
    if (e.kind == ArchiveEntry::Kind::kDirectory) {
      std::printf("dir\t>%s\n", PrintableName(e.name).c_str());
      directory = e.name;
      ++directories;
      continue;
    }
    uint64_t length = 0;
    uint32_t crc = 0;
    std::string why;
    if (!EntryContent(file.data(), e, &length, &crc, &why))
      return Fail(std::string(argv[1]) + ": " + DescribeEntry(e, directory) + ": " + why);
    bool packed = archive::IsCompressedSize(e.sizeField);
    std::printf("file\t%s\t%llu\t%s\t%lu\t%08x\n", PrintableName(e.name).c_str(),
                static_cast<unsigned long long>(length), packed ? "compressed" : "stored",
                static_cast<unsigned long>(e.dataLength), crc);
    ++files;
    compressed += packed ? 1 : 0;
    unpackedBytes += length;
    packedBytes += e.dataLength;
  }
  IntegrityRecord record;
  std::string why;
  RecordState state = ReadIntegrityRecord(file.data() + reader.Position(),
                                          file.size() - reader.Position(), &record, &why);
  std::printf(
      "total\t%zu files (%zu compressed, %zu stored), %zu directories, %llu bytes, %llu "
      "packed; marker at offset %zu; integrity record: %s\n",
      files, compressed, files - compressed, directories,
      static_cast<unsigned long long>(unpackedBytes), static_cast<unsigned long long>(packedBytes),
      reader.MarkerOffset(),
      state == RecordState::kPresent ? "yes"
      : state == RecordState::kNone  ? "none"
                                     : "damaged");
  return 0;
}

int RunTest(int argc, char** argv) {
  if (argc != 2) return UsageError("test needs exactly one SETUP");
  std::vector<uint8_t> file;
  std::string error;
  if (!ReadWholeFile(argv[1], &file, &error)) return Fail(error);
  ArchiveTotals totals;
  if (!TestSetupFile(file.data(), file.size(), &totals, &error))
    return Fail(std::string(argv[1]) + ": " + error);
  std::printf(
      "%s: OK: %zu files (%zu compressed), %zu directories, %llu bytes unpacked, marker "
      "at offset %zu; %s\n",
      argv[1], totals.files, totals.compressed, totals.directories,
      static_cast<unsigned long long>(totals.unpackedBytes), totals.markerOffset,
      totals.hasRecord ? "integrity record and every file's CRC-32 match"
                       : "no integrity record (an older setup file): checked by decoding only");
  return 0;
}

// Input and output blocks of implode and explode, which stream: their memory does not grow
// with the data.
constexpr size_t kStreamBlock = size_t{1} << 16;

int RunImplode(int argc, char** argv) {
  ImplodeOptions options = DefaultPackImplodeOptions();
  std::vector<std::string> paths;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    bool bad = false;
    if (ParseImplodeOption(argc, argv, &i, &options, &bad)) {
      if (bad) return UsageError("bad value for " + arg);
    } else if (arg.size() > 1 && arg[0] == '-') {
      return UsageError("unknown option " + arg);
    } else {
      paths.push_back(arg);
    }
  }
  if (paths.size() != 2) return UsageError("implode needs IN and OUT");
  if (!ImplodeOptionsValid(options)) return Fail("invalid options");
  InputFile in;
  OutputFile out;
  std::string error;
  if (!in.Open(paths[0], &error) || !out.Open(paths[1], OutputFile::Sync::kNone, &error))
    return Fail(error);
  ImplodeWriter writer(options);
  std::vector<uint8_t> block(kStreamBlock), stream;
  for (;;) {
    size_t got = 0;
    if (!in.Read(block.data(), block.size(), &got, &error)) return Fail(error);
    if (got == 0) break;
    writer.Write(block.data(), got, &stream);
    out.Write(stream.data(), stream.size());
    stream.clear();
  }
  writer.Finish(&stream);
  out.Write(stream.data(), stream.size());
  if (!out.Commit(&error)) return Fail(error);
  return 0;
}

// The decoder's callbacks over an input file read in blocks and an output file.
struct ExplodeFiles {
  InputFile in;
  OutputFile out;
  std::string error;  // of the first failed read
  std::vector<uint8_t> block = std::vector<uint8_t>(kStreamBlock);
  size_t pos = 0, count = 0;
};

uint32_t ReadForExplode(char* buffer, uint32_t* size, void* param) {
  ExplodeFiles* f = static_cast<ExplodeFiles*>(param);
  if (f->pos == f->count && f->error.empty()) {
    f->pos = f->count = 0;
    f->in.Read(f->block.data(), f->block.size(), &f->count, &f->error);
  }
  size_t n = f->count - f->pos < *size ? f->count - f->pos : *size;
  std::memcpy(buffer, f->block.data() + f->pos, n);
  f->pos += n;
  return static_cast<uint32_t>(n);
}

void WriteForExplode(char* buffer, uint32_t* count, void* param) {
  static_cast<ExplodeFiles*>(param)->out.Write(buffer, *count);
}

int RunExplodeCommand(int argc, char** argv) {
  if (argc != 3) return UsageError("explode needs IN and OUT");
  ExplodeFiles files;
  std::string error;
  if (!files.in.Open(argv[1], &error) ||
      !files.out.Open(argv[2], OutputFile::Sync::kNone, &error)) {
    return Fail(error);
  }
  std::unique_ptr<ExplodeWorkArea> work(new ExplodeWorkArea());
  int32_t result = ExplodeStream(ReadForExplode, WriteForExplode, work.get(), &files);
  if (!files.error.empty()) return Fail(files.error);
  if (!files.out.Commit(&error)) return Fail(error);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::string command = argv[1];
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (command == "build") return RunBuild(argc - 1, argv + 1);
  if (command == "list") return RunList(argc - 1, argv + 1);
  if (command == "test") return RunTest(argc - 1, argv + 1);
  if (command == "implode") return RunImplode(argc - 1, argv + 1);
  if (command == "explode") return RunExplodeCommand(argc - 1, argv + 1);
  if (command == "extract") return RunExtractCommand(argc - 1, argv + 1);
  return UsageError("unknown command " + command);
}
