// Tests of tsarin-pack: setup files it builds must read back entry by entry, in the order the
// setup installs them, with every stream decodable by the setup's decoder; bad trees and stubs
// must be refused without leaving an output file; the test command must name damaged entries.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "payload/archive_format.h"
#include "tools/implode.h"
#include "tools/pack_build.h"
#include "tools/pack_names.h"
#include "tools/pack_read.h"

namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "pack_test.XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    path_ = mkdtemp(name.data()) != nullptr ? name.data() : "";
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& rel) const { return path_ + "/" + rel; }

 private:
  std::string path_;
};

void WriteFile(const std::string& path, const Bytes& data) {
  std::error_code ec;
  fs::create_directories(fs::path(path).parent_path(), ec);
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

void WriteText(const std::string& path, const std::string& text) {
  WriteFile(path, Bytes(text.begin(), text.end()));
}

Bytes ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::string ReadText(const std::string& path) {
  Bytes b = ReadFile(path);
  return std::string(b.begin(), b.end());
}

Bytes Text(size_t n) {
  std::string s;
  while (s.size() < n) s += "Tessarin converts documents; the setup installs Tessarin. ";
  s.resize(n);
  return Bytes(s.begin(), s.end());
}

Bytes Noise(size_t n, uint32_t seed) {
  Bytes b(n);
  for (auto& x : b) {
    seed = seed * 1103515245u + 12345u;
    x = static_cast<uint8_t>(seed >> 16);
  }
  return b;
}

struct PackRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs the built tsarin-pack with the given arguments, capturing its output.
PackRun RunPack(const std::vector<std::string>& args) {
  TempDir capture;
  std::string outPath = capture / "stdout", errPath = capture / "stderr";
  pid_t pid = fork();
  if (pid == 0) {
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(out, 1);
    dup2(err, 2);
    std::vector<char*> argv;
    std::string program = TSARIN_PACK_PATH;
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  PackRun r;
  int status = 0;
  waitpid(pid, &status, 0);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = ReadText(outPath);
  r.err = ReadText(errPath);
  return r;
}

bool Contains(const std::string& haystack, const std::string& needle) {
  return haystack.find(needle) != std::string::npos;
}

// An archive read back: entries in order, with the file data as installed.
struct ReadBack {
  size_t markerOffset = 0;
  std::vector<ArchiveEntry> entries;
  std::vector<Bytes> contents;  // parallel to entries; decoded for compressed files
};

ReadBack ReadArchive(const Bytes& file) {
  ReadBack rb;
  ArchiveReader reader(file.data(), file.size());
  std::string error;
  EXPECT_TRUE(reader.FindMarker(&error)) << error;
  rb.markerOffset = reader.MarkerOffset();
  for (;;) {
    ArchiveEntry e;
    if (!reader.Next(&e, &error)) {
      ADD_FAILURE() << error;
      break;
    }
    if (e.kind == ArchiveEntry::Kind::kEnd) break;
    Bytes content;
    if (e.kind == ArchiveEntry::Kind::kFile) {
      const uint8_t* data = file.data() + e.dataOffset;
      if (archive::IsCompressedSize(e.sizeField)) {
        ExplodeRun run = RunExplode(data, e.dataLength, &content);
        EXPECT_EQ(run.result, 0) << e.name;
      } else {
        content.assign(data, data + e.dataLength);
      }
    }
    rb.entries.push_back(e);
    rb.contents.push_back(content);
  }
  return rb;
}

// --- Building, listing and testing a tree ----------------------------------------------------

class PackTree : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(src_ / "Readme.txt", Text(5000));
    WriteFile(src_ / "a.bin", Noise(3000, 1));
    WriteFile(src_ / "empty", {});
    WriteFile(src_ / "z.dat", Text(4000));
    WriteFile(src_ / "Profiles/p1.ini", Text(2000));
    WriteFile(src_ / "Profiles/Sub/deep.txt", Text(3000));
    WriteFile(src_ / "Textures/t.bmp", Bytes(10000, 0));
    fs::create_directories(src_ / "Textures/empty-dir");
    WriteFile(src_ / "Textures/one", {'x'});
  }
  TempDir src_;
  TempDir out_;
};

TEST_F(PackTree, BuildThenReadBackGivesTheTreeInInstallOrderWithStoreRules) {
  Bytes stub = Noise(1000, 7);
  WriteFile(out_ / "stub.exe", stub);
  PackRun r = RunPack({"build", "-o", out_ / "setup.exe", "--stub", out_ / "stub.exe", "--store",
                       "*.dat", "--store", "Profiles/*.ini", src_.path()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Contains(r.out, "8 files")) << r.out;
  EXPECT_TRUE(Contains(r.out, "4 directories")) << r.out;

  Bytes file = ReadFile(out_ / "setup.exe");
  ASSERT_GT(file.size(), 1008u);
  EXPECT_TRUE(std::equal(stub.begin(), stub.end(), file.begin()));
  for (size_t i = 1000; i < 1008; ++i) EXPECT_EQ(file[i], 0) << "padding at " << i;
  ReadBack rb = ReadArchive(file);
  EXPECT_EQ(rb.markerOffset, 1008u);
  EXPECT_EQ(file.back(), 0) << "the end entry is the last byte";

  using K = ArchiveEntry::Kind;
  struct Expected {
    K kind;
    std::string name;
    std::string source;  // for files
    bool compressed;
  };
  const std::vector<Expected> expected = {
      {K::kFile, "Readme.txt", "Readme.txt", true},  // bytewise: capitals first
      {K::kFile, "a.bin", "a.bin", false},           // random: stored
      {K::kFile, "empty", "empty", false},
      {K::kFile, "z.dat", "z.dat", false},  // --store by bare name
      {K::kDirectory, "Profiles", "", false},
      {K::kFile, "p1.ini", "Profiles/p1.ini", false},  // --store by relative path
      {K::kDirectory, "Profiles\\Sub", "", false},
      {K::kFile, "deep.txt", "Profiles/Sub/deep.txt", true},
      {K::kDirectory, "Textures", "", false},
      {K::kFile, "one", "Textures/one", false},
      {K::kFile, "t.bmp", "Textures/t.bmp", true},
      {K::kDirectory, "Textures\\empty-dir", "", false},
  };
  ASSERT_EQ(rb.entries.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    const ArchiveEntry& e = rb.entries[i];
    SCOPED_TRACE("entry " + std::to_string(i) + " " + e.name);
    EXPECT_EQ(e.kind, expected[i].kind);
    EXPECT_EQ(e.name, expected[i].name);
    if (e.kind != K::kFile) continue;
    EXPECT_EQ(archive::IsCompressedSize(e.sizeField), expected[i].compressed);
    EXPECT_TRUE(rb.contents[i] == ReadFile(src_ / expected[i].source));
    if (!expected[i].compressed) {
      EXPECT_EQ(e.dataLength, rb.contents[i].size());
    }
  }

  PackRun list = RunPack({"list", out_ / "setup.exe"});
  EXPECT_EQ(list.status, 0) << list.err;
  EXPECT_TRUE(Contains(list.out, "file\tReadme.txt\tcompressed\t")) << list.out;
  EXPECT_TRUE(Contains(list.out, "file\ta.bin\tstored\t-3000\n")) << list.out;
  EXPECT_TRUE(Contains(list.out, "file\tempty\tstored\t0\n")) << list.out;
  EXPECT_TRUE(Contains(list.out, "dir\t>Profiles\\Sub\n")) << list.out;
  EXPECT_TRUE(Contains(list.out, "8 files")) << list.out;

  PackRun test = RunPack({"test", out_ / "setup.exe"});
  EXPECT_EQ(test.status, 0) << test.err;
  EXPECT_TRUE(Contains(test.out, "OK")) << test.out;
}

TEST_F(PackTree, StreamOptionsReachEveryCompressedEntryAndNoStubPutsTheMarkerFirst) {
  PackRun r = RunPack(
      {"build", "-o", out_ / "setup.exe", "--literal-mode", "1", "--dict-bits", "4", src_.path()});
  ASSERT_EQ(r.status, 0) << r.err;
  Bytes file = ReadFile(out_ / "setup.exe");
  ReadBack rb = ReadArchive(file);
  EXPECT_EQ(rb.markerOffset, 0u);
  int compressed = 0;
  for (const ArchiveEntry& e : rb.entries) {
    if (e.kind != ArchiveEntry::Kind::kFile || !archive::IsCompressedSize(e.sizeField)) continue;
    ++compressed;
    EXPECT_EQ(file[e.dataOffset], 1);
    EXPECT_EQ(file[e.dataOffset + 1], 4);
  }
  EXPECT_GE(compressed, 3);
  EXPECT_EQ(RunPack({"test", out_ / "setup.exe"}).status, 0);
}

TEST_F(PackTree, RebuildReplacesTheOutputAndLeavesNoTemporaryFiles) {
  WriteText(out_ / "setup.exe", "old contents");
  ASSERT_EQ(RunPack({"build", "-o", out_ / "setup.exe", src_.path()}).status, 0);
  EXPECT_EQ(RunPack({"test", out_ / "setup.exe"}).status, 0);
  size_t count = 0;
  for (const auto& entry : fs::directory_iterator(out_.path())) {
    (void)entry;
    ++count;
  }
  EXPECT_EQ(count, 1u);
}

// --- Refusals --------------------------------------------------------------------------------

struct BadTree {
  std::string what;
  std::string offender;  // must appear in the message
  void (*make)(const TempDir& src, const TempDir& out);
};

const std::string kLongDirA(130, 'd');
const std::string kLongDirB(129, 'e');  // '>' + 130 + '\' + 129 = 261

void OneBadName(const TempDir& src, const std::string& name) {
  WriteText(src / "ok.txt", "fine");
  WriteText(src / name, "bad");
}

const BadTree kBadTrees[] = {
    {"device name", "CON", [](const TempDir& s, const TempDir&) { OneBadName(s, "CON"); }},
    {"device name with extension, any case", "con.txt",
     [](const TempDir& s, const TempDir&) { OneBadName(s, "con.txt"); }},
    {"numbered device", "Lpt9.tar.gz",
     [](const TempDir& s, const TempDir&) { OneBadName(s, "Lpt9.tar.gz"); }},
    {"device with blank before extension", "COM1 .log",
     [](const TempDir& s, const TempDir&) { OneBadName(s, "COM1 .log"); }},
    {"device name as directory", "aux",
     [](const TempDir& s, const TempDir&) {
       OneBadName(s, "ok2");
       WriteText(s / "aux/inner.txt", "x");
     }},
    {"colon", "a:b", [](const TempDir& s, const TempDir&) { OneBadName(s, "a:b"); }},
    {"backslash", "a\\b", [](const TempDir& s, const TempDir&) { OneBadName(s, "a\\b"); }},
    {"trailing dot", "trail.", [](const TempDir& s, const TempDir&) { OneBadName(s, "trail."); }},
    {"trailing blank", "trail ", [](const TempDir& s, const TempDir&) { OneBadName(s, "trail "); }},
    {"control character", "ctl",
     [](const TempDir& s, const TempDir&) { OneBadName(s, "ctl\x01"); }},
    {"question mark", "q?", [](const TempDir& s, const TempDir&) { OneBadName(s, "q?"); }},
    {"star", "st*r", [](const TempDir& s, const TempDir&) { OneBadName(s, "st*r"); }},
    {"less than", "l<", [](const TempDir& s, const TempDir&) { OneBadName(s, "l<"); }},
    {"greater than", ">x", [](const TempDir& s, const TempDir&) { OneBadName(s, ">x"); }},
    {"quote", "q\"", [](const TempDir& s, const TempDir&) { OneBadName(s, "q\""); }},
    {"pipe", "p|p", [](const TempDir& s, const TempDir&) { OneBadName(s, "p|p"); }},
    {"bad name deep down", "sub/deeper/nul",
     [](const TempDir& s, const TempDir&) { OneBadName(s, "sub/deeper/nul"); }},
    {"directory entry over 260", kLongDirB,
     [](const TempDir& s, const TempDir&) { OneBadName(s, kLongDirA + "/" + kLongDirB + "/f"); }},
    {"names differing only in case", "a.txt",
     [](const TempDir& s, const TempDir&) {
       WriteText(s / "A.TXT", "1");
       WriteText(s / "a.txt", "2");
     }},
    {"symbolic link", "link",
     [](const TempDir& s, const TempDir&) {
       WriteText(s / "ok.txt", "fine");
       std::error_code ec;
       fs::create_symlink(s / "ok.txt", s / "link", ec);
     }},
    {"tree without files", "no files",
     [](const TempDir& s, const TempDir&) { fs::create_directories(s / "only/dirs"); }},
    {"stub holding the marker on a 16-byte boundary", "offset 32",
     [](const TempDir& s, const TempDir& o) {
       WriteText(s / "ok.txt", "fine");
       Bytes stub(64, 0x90);
       std::memcpy(stub.data() + 32, "TOVQ....____TOVQ", 16);
       WriteFile(o / "stub.exe", stub);
     }},
};

TEST(PackRefusal, BadTreesAndStubsAreRefusedNamingTheOffenderWithNoOutputLeft) {
  for (const BadTree& bad : kBadTrees) {
    SCOPED_TRACE(bad.what);
    TempDir src, out;
    bad.make(src, out);
    std::vector<std::string> args = {"build", "-o", out / "setup.exe"};
    if (fs::exists(out / "stub.exe")) {
      args.push_back("--stub");
      args.push_back(out / "stub.exe");
    }
    args.push_back(src.path());
    PackRun r = RunPack(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, bad.offender)) << r.err;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(out.path(), ec))
      EXPECT_EQ(entry.path().filename(), "stub.exe") << "left behind: " << entry.path();
  }
}

TEST(PackRefusal, RefusedBuildLeavesAnExistingOutputAlone) {
  TempDir src, out;
  OneBadName(src, "PRN");
  WriteText(out / "setup.exe", "previous build");
  EXPECT_EQ(RunPack({"build", "-o", out / "setup.exe", src.path()}).status, 1);
  EXPECT_EQ(ReadText(out / "setup.exe"), "previous build");
}

TEST(PackRefusal, AnEarlierOutputInsideTheSourceTreeIsNotPackedIntoTheNextOne) {
  TempDir src;
  WriteText(src / "ok.txt", "fine");
  ASSERT_EQ(RunPack({"build", "-o", src / "setup.exe", src.path()}).status, 0);
  Bytes first = ReadFile(src / "setup.exe");
  PackRun r = RunPack({"build", "-o", src / "setup.exe", src.path()});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Contains(r.err, "setup.exe")) << r.err;
  EXPECT_TRUE(ReadFile(src / "setup.exe") == first);
}

TEST(PackRefusal, LimitsAreInclusiveAndMarkerWordsOffTheGridAreHarmless) {
  TempDir src, out;
  WriteText(src / std::string(255, 'f'), "longest name Linux allows");
  // '>' + 130 + '\' + 128 = 260 characters.
  WriteText(src / (kLongDirA + "/" + std::string(128, 'e') + "/g"), "deepest");
  Bytes stub(64, 0x90);
  std::memcpy(stub.data() + 33, "TOVQ....____TOVQ", 16);  // not on a 16-byte boundary
  WriteFile(out / "stub.exe", stub);
  PackRun r = RunPack({"build", "-o", out / "setup.exe", "--stub", out / "stub.exe", src.path()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(RunPack({"test", out / "setup.exe"}).status, 0);
  EXPECT_EQ(ReadArchive(ReadFile(out / "setup.exe")).markerOffset, 64u);
}

TEST(PackNames, NamesTheSetupCannotInstallSafelyAreRefused) {
  std::string why;
  for (const char* bad : {"", ".", "..", "NUL", "nul.txt", "Com9", "lpt1.", "AUX .x", "a/b",
                          "C:", "x\x7f", "tab\t"}) {
    EXPECT_FALSE(CheckNameComponent(bad, &why)) << bad;
  }
  for (const char* good : {"CONSOLE", "con1", "COM0", "LPT10", ".hidden", "a..b", "x.y.z",
                           "Tessarin Readme.txt", "nulx.txt"}) {
    EXPECT_TRUE(CheckNameComponent(good, &why)) << good << ": " << why;
  }
  for (const char* bad : {"..\\evil", "a\\..", "a\\\\b", "\\a", "a\\", "C:\\x", "a\\con"}) {
    EXPECT_FALSE(CheckDirectoryPath(bad, &why)) << bad;
  }
  for (const char* good : {"", "Profiles", "Textures\\Big Ones"}) {
    EXPECT_TRUE(CheckDirectoryPath(good, &why)) << good;
  }
  // Names and directory entries (with their '>') end at 260 characters.
  EXPECT_TRUE(CheckFileEntryName(std::string(260, 'n'), &why));
  EXPECT_FALSE(CheckFileEntryName(std::string(261, 'n'), &why));
  EXPECT_TRUE(CheckDirectoryEntryPath(std::string(259, 'd'), &why));
  EXPECT_FALSE(CheckDirectoryEntryPath(std::string(260, 'd'), &why));
}

TEST(PackNames, MarkerCountsOnlyOnTheSixteenByteGrid) {
  Bytes stub(80, 0);
  size_t at = 0;
  EXPECT_FALSE(StubHoldsMarker(stub, &at));
  std::memcpy(stub.data() + 17, "TOVQTOVQTOVQTOVQ", 16);
  EXPECT_FALSE(StubHoldsMarker(stub, &at));
  std::memcpy(stub.data() + 48, "TOVQ\1\2\3\4\5\6\7\10TOVQ", 16);  // middle bytes do not matter
  EXPECT_TRUE(StubHoldsMarker(stub, &at));
  EXPECT_EQ(at, 48u);
}

TEST(PackNames, TinyAndIncompressibleFilesAreStoredNeverAsShortStreams) {
  ImplodeOptions options;
  for (size_t n : {0u, 1u, 2u, 3u, 4u, 5u, 8u}) {
    Bytes entry;
    ASSERT_TRUE(AppendFileEntry("f", Bytes(n, 'a'), false, options, &entry));
    int32_t field = archive::GetLE32(entry.data() + 2);
    // A compressed entry of 4 bytes or fewer is refused by the decoder.
    EXPECT_TRUE(field <= 0 || field >= 5) << n;
    EXPECT_EQ(entry.size(), 2 + 4 + archive::DataLength(field));
  }
  Bytes entry;
  ASSERT_TRUE(AppendFileEntry("f", Bytes(600, 'a'), false, options, &entry));
  EXPECT_GT(archive::GetLE32(entry.data() + 2), 0);
}

// --- Damage found by the test command --------------------------------------------------------

class PackDamage : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(src_ / "first.txt", Text(3000));
    WriteFile(src_ / "raw.bin", Noise(100, 3));
    WriteFile(src_ / "Sub/second.txt", Text(2500));
    Bytes stub(40, 0x4D);
    WriteFile(out_ / "stub", stub);
    PackRun r = RunPack({"build", "-o", out_ / "setup.exe", "--stub", out_ / "stub", src_.path()});
    ASSERT_EQ(r.status, 0) << r.err;
    file_ = ReadFile(out_ / "setup.exe");
    rb_ = ReadArchive(file_);
    ASSERT_EQ(rb_.entries.size(), 4u);
    ASSERT_TRUE(archive::IsCompressedSize(rb_.entries[3].sizeField));
  }

  // Runs the test command on damaged bytes.
  PackRun TestBytes(const Bytes& damaged) {
    WriteFile(out_ / "damaged.exe", damaged);
    return RunPack({"test", out_ / "damaged.exe"});
  }

  TempDir src_, out_;
  Bytes file_;
  ReadBack rb_;
};

TEST_F(PackDamage, EveryTruncationIsFoundAndNamesAnEntry) {
  for (size_t cut = rb_.markerOffset + 16; cut < file_.size(); ++cut) {
    ArchiveTotals totals;
    std::string error;
    EXPECT_FALSE(TestSetupFile(file_.data(), cut, &totals, &error)) << "cut at " << cut;
    EXPECT_TRUE(Contains(error, "entry ")) << error;
  }
  // Through the command line, at a few telling points.
  const ArchiveEntry& second = rb_.entries[3];
  struct Cut {
    size_t at;
    std::string message;
  };
  for (const Cut& c : {Cut{second.dataOffset - 6, "file ends inside the name"},
                       Cut{second.dataOffset - 2, "file ends inside the size field"},
                       Cut{second.dataOffset + second.dataLength / 2, "file ends inside the data"},
                       Cut{file_.size() - 1, "entry 5"}, Cut{rb_.markerOffset + 8, "no marker"}}) {
    SCOPED_TRACE("cut at " + std::to_string(c.at) + " of " + std::to_string(file_.size()));
    PackRun r = TestBytes(Bytes(file_.begin(), file_.begin() + static_cast<long>(c.at)));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, c.message)) << r.err;
    if (c.at > second.dataOffset - 15 && c.at < file_.size() - 1) {
      EXPECT_TRUE(Contains(r.err, "entry 4 \"second")) << r.err;
    }
    if (c.at >= second.dataOffset - 4 && c.at < file_.size() - 1) {
      EXPECT_TRUE(Contains(r.err, "\"second.txt\" in \"Sub\"")) << r.err;
    }
  }
}

TEST_F(PackDamage, MarkerOffTheSixteenByteGridIsNotFound) {
  Bytes shifted = file_;
  shifted.insert(shifted.begin(), 0x00);
  PackRun r = TestBytes(shifted);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Contains(r.err, "no marker")) << r.err;
}

// Rebuilds the archive with the data of entry i replaced.
Bytes ReplaceData(const Bytes& file, const ArchiveEntry& e, const Bytes& data) {
  Bytes out(file.begin(), file.begin() + static_cast<long>(e.dataOffset - 4));
  uint8_t size[4];
  archive::PutLE32(size, static_cast<int32_t>(data.size()));
  out.insert(out.end(), size, size + 4);
  out.insert(out.end(), data.begin(), data.end());
  out.insert(out.end(), file.begin() + static_cast<long>(e.dataOffset + e.dataLength), file.end());
  return out;
}

TEST_F(PackDamage, CorruptStreamsAreFoundAndNameTheirEntry) {
  const ArchiveEntry& e = rb_.entries[3];
  Bytes stream(file_.begin() + static_cast<long>(e.dataOffset),
               file_.begin() + static_cast<long>(e.dataOffset + e.dataLength));
  struct Damage {
    std::string what;
    Bytes data;
    std::string message;
  };
  std::vector<Damage> damages;
  Bytes d = stream;
  d[1] = 7;
  damages.push_back({"dictionary byte", d, "decoder result 1"});
  d = stream;
  d[0] = 2;
  damages.push_back({"literal mode", d, "decoder result 2"});
  damages.push_back({"four bytes", Bytes(stream.begin(), stream.begin() + 4), "decoder result 3"});
  damages.push_back(
      {"last byte missing", Bytes(stream.begin(), stream.end() - 1), "decoder result 4"});
  d = stream;
  d.push_back(0);
  damages.push_back({"a byte beyond the stream", d, "ends before the entry's last byte"});
  d = stream;
  for (size_t i = 20; i < 30; ++i) d[i] ^= 0x5A;
  damages.push_back({"flipped bits inside", d, "decoder result"});
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.what);
    PackRun r = TestBytes(ReplaceData(file_, e, damage.data));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, damage.message)) << r.err;
    EXPECT_TRUE(Contains(r.err, "entry 4 \"second.txt\" in \"Sub\"")) << r.err;
  }
}

TEST(PackCraftedArchive, UnsafeNamesAndStreamsTheDecoderWouldPassAreReported) {
  struct Crafted {
    std::string entries;  // after the marker, without the end entry
    std::string message;
  };
  const std::string stored = std::string("\0\0\0\0\0", 5);  // zero byte, size field 0
  for (const Crafted& c : {Crafted{">..\\escape" + std::string(1, '\0'), "unsafe path"},
                           Crafted{"CON" + stored, "unsafe name"},
                           Crafted{std::string(261, 'x') + stored, "longer than 260"},
                           Crafted{std::string(260, 'x') + stored, ""},
                           // 'a', then 3 bytes from distance 2: decodes "successfully".
                           Crafted{std::string("f\0\7\0\0\0\0\6\xC2\x7E\x10\xF0\x0F", 13),
                                   "reaches before the first byte"}}) {
    Bytes file(16, 0);
    archive::WriteMarkerRecord(file.data());
    file.insert(file.end(), c.entries.begin(), c.entries.end());
    file.push_back(0);
    ArchiveTotals totals;
    std::string error;
    EXPECT_EQ(TestSetupFile(file.data(), file.size(), &totals, &error), c.message.empty());
    EXPECT_TRUE(Contains(error, c.message)) << error;
  }
}

// --- Single streams --------------------------------------------------------------------------

TEST(PackStreams, ImplodeCommandUsesTheOptimalParserUnlessToldLazy) {
  TempDir dir;
  Bytes text = Text(20000);
  WriteFile(dir / "in", text);
  for (bool lazy : {false, true}) {
    std::vector<std::string> args = {"implode", dir / "in", dir / "stream"};
    if (lazy) args.insert(args.begin() + 1, "--lazy");
    ASSERT_EQ(RunPack(args).status, 0);
    ImplodeOptions options;
    options.parser = lazy ? ImplodeParser::kLazy : ImplodeParser::kOptimal;
    Bytes expected;
    ASSERT_TRUE(ImplodeBuffer(text.data(), text.size(), options, &expected));
    EXPECT_TRUE(ReadFile(dir / "stream") == expected) << (lazy ? "--lazy" : "default");
  }
}

TEST(PackStreams, ImplodeAndExplodeCommandsRoundTripAndReportDecoderResults) {
  TempDir dir;
  Bytes text = Text(9000);
  WriteFile(dir / "in", text);
  PackRun r = RunPack({"implode", "--literal-mode", "1", "--dict-bits", "5", "--optimal",
                       dir / "in", dir / "stream"});
  ASSERT_EQ(r.status, 0) << r.err;
  Bytes stream = ReadFile(dir / "stream");
  ASSERT_GT(stream.size(), 4u);
  EXPECT_EQ(stream[0], 1);
  EXPECT_EQ(stream[1], 5);
  EXPECT_EQ(RunPack({"explode", dir / "stream", dir / "out"}).status, 0);
  EXPECT_TRUE(ReadFile(dir / "out") == text);

  WriteFile(dir / "cut", Bytes(stream.begin(), stream.begin() + 100));
  EXPECT_EQ(RunPack({"explode", dir / "cut", dir / "partial"}).status, 4);
  Bytes partial = ReadFile(dir / "partial");
  EXPECT_GT(partial.size(), 0u);
  EXPECT_TRUE(std::equal(partial.begin(), partial.end(), text.begin()));

  stream[1] = 9;
  WriteFile(dir / "bad", stream);
  EXPECT_EQ(RunPack({"explode", dir / "bad", dir / "none"}).status, 1);

  EXPECT_EQ(RunPack({"implode", "--dict-bits", "7", dir / "in", dir / "x"}).status, 2);
  EXPECT_FALSE(fs::exists(dir / "x"));
}

}  // namespace
