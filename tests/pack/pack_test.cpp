// Tests of tsarin-pack: setup files it builds must read back entry by entry, in the order the
// setup installs them, with every stream decodable by the setup's decoder; bad trees and stubs
// must be refused without leaving an output file; the test command must name damaged entries.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "payload/archive_format.h"
#include "payload/crc32.h"
#include "tools/implode.h"
#include "tools/pack_build.h"
#include "tools/pack_names.h"
#include "tools/pack_read.h"

namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;
using K = ArchiveEntry::Kind;

class TempDir {
 public:
  TempDir() {
    std::string name = (fs::temp_directory_path() / "pack_test.XXXXXX").string();
    path_ = mkdtemp(name.data()) != nullptr ? name : "";
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

template <typename Data>
void WriteFile(const std::string& path, const Data& data) {
  std::error_code ec;
  fs::create_directories(fs::path(path).parent_path(), ec);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
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
  return Bytes(s.begin(), s.begin() + static_cast<long>(n));
}

Bytes Noise(size_t n, uint32_t seed) {
  Bytes b(n);
  for (auto& x : b) x = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16);
  return b;
}

struct PackRun {
  int status;
  std::string out, err;
};

// Runs the built tsarin-pack with the given arguments, capturing its output.
PackRun RunPack(const std::vector<std::string>& args) {
  TempDir capture;
  std::string command = TSARIN_PACK_PATH;
  for (const std::string& a : args) command += " '" + a + "'";
  int raw = std::system((command + " >" + (capture / "out") + " 2>" + (capture / "err")).c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadText(capture / "out"),
          ReadText(capture / "err")};
}

bool Contains(const std::string& haystack, const std::string& needle) {
  return haystack.find(needle) != std::string::npos;
}

// An archive read back: entries in order, with the file data as installed.
struct ReadBack {
  size_t markerOffset = 0;
  size_t end = 0;  // just after the end entry
  std::vector<ArchiveEntry> entries;
  std::vector<Bytes> contents;  // parallel to entries; decoded for compressed files
};

ReadBack ReadArchive(const Bytes& file) {
  ReadBack rb;
  ArchiveReader reader(file.data(), file.size());
  std::string error;
  EXPECT_TRUE(reader.FindMarker(&error)) << error;
  rb.markerOffset = reader.MarkerOffset();
  ArchiveEntry e;
  bool read = false;
  while ((read = reader.Next(&e, &error)) && e.kind != K::kEnd) {
    Bytes content;
    const uint8_t* data = file.data() + e.dataOffset;
    if (e.kind == K::kFile && archive::IsCompressedSize(e.sizeField)) {
      EXPECT_EQ(RunExplode(data, e.dataLength, &content).result, 0) << e.name;
    } else if (e.kind == K::kFile) {
      content.assign(data, data + e.dataLength);
    }
    rb.entries.push_back(e);
    rb.contents.push_back(content);
  }
  EXPECT_TRUE(read) << error;
  rb.end = reader.Position();
  return rb;
}

// --- Building, listing and testing a tree ----------------------------------------------------

class PackTree : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(src_ / "Readme.txt", Text(5000));
    WriteFile(src_ / "a.bin", Noise(3000, 1));
    WriteFile(src_ / "empty", Bytes{});
    WriteFile(src_ / "z.dat", Text(4000));
    WriteFile(src_ / "Profiles/p1.ini", Text(2000));
    WriteFile(src_ / "Profiles/Sub/deep.txt", Text(3000));
    WriteFile(src_ / "Textures/t.bmp", Bytes(10000, 0));
    fs::create_directories(src_ / "Textures/empty-dir");
    WriteFile(src_ / "Textures/one", Bytes{'x'});
  }
  TempDir src_, out_;
};

TEST_F(PackTree, BuildThenReadBackGivesTheTreeInInstallOrderWithStoreRules) {
  Bytes stub = Noise(1000, 7);
  std::memcpy(stub.data() + 33, "TOVQ....____TOVQ", 16);  // harmless off the 16-byte grid
  WriteFile(out_ / "stub.exe", stub);
  PackRun r = RunPack({"build", "-o", out_ / "setup.exe", "--stub", out_ / "stub.exe", "--store",
                       "*.dat", "--store", "Profiles/*.ini", src_.path()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Contains(r.out, "8 files") && Contains(r.out, "4 directories")) << r.out;

  Bytes file = ReadFile(out_ / "setup.exe");
  ASSERT_GT(file.size(), 1008u);
  EXPECT_TRUE(std::equal(stub.begin(), stub.end(), file.begin()));
  EXPECT_EQ(Bytes(file.begin() + 1000, file.begin() + 1008), Bytes(8, 0)) << "padding";
  ReadBack rb = ReadArchive(file);
  EXPECT_EQ(rb.markerOffset, 1008u);
  // The integrity record ends the file: the span from the marker to the end entry, then every
  // file's CRC-32 in archive order.
  IntegrityRecord record;
  std::string why;
  ASSERT_EQ(ReadIntegrityRecord(file.data() + rb.end, file.size() - rb.end, &record, &why),
            RecordState::kPresent)
      << why;
  EXPECT_EQ(rb.end + record.size, file.size());
  EXPECT_EQ(record.spanLength, rb.end - rb.markerOffset);
  EXPECT_EQ(record.spanCrc, Crc32Update(0, file.data() + rb.markerOffset, record.spanLength));
  std::vector<uint32_t> crcs;
  for (size_t i = 0; i < rb.entries.size(); ++i) {
    if (rb.entries[i].kind == K::kFile)
      crcs.push_back(Crc32Update(0, rb.contents[i].data(), rb.contents[i].size()));
  }
  EXPECT_EQ(record.fileCrcs, crcs);

  struct Expected {
    K kind;
    std::string name, source;  // source: for files
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
  for (const char* line :
       {"file\tReadme.txt\t5000\tcompressed\t", "file\ta.bin\t3000\tstored\t3000\t",
        "file\tone\t1\tstored\t1\t8cdc1683\n", "file\tempty\t0\tstored\t0\t00000000\n",
        "dir\t>Profiles\\Sub\n", "8 files", "27001 bytes", "integrity record: yes"}) {
    EXPECT_TRUE(Contains(list.out, line)) << list.out;
  }
  PackRun test = RunPack({"test", out_ / "setup.exe"});
  EXPECT_EQ(test.status, 0) << test.err;
  EXPECT_TRUE(Contains(test.out, "OK") && Contains(test.out, "CRC-32 match")) << test.out;
}

TEST_F(PackTree, StreamOptionsReachEveryStreamLimitsAreInclusiveAndARebuildLeavesOnlyTheOutput) {
  WriteFile(src_ / std::string(255, 'f'), std::string("longest name Linux allows"));
  // '>' + 130 + '\' + 128 = 260 characters.
  WriteFile(src_ / (std::string(130, 'd') + "/" + std::string(128, 'e') + "/g"), Text(1000));
  WriteFile(out_ / "setup.exe", std::string("old contents"));
  PackRun r = RunPack(
      {"build", "-o", out_ / "setup.exe", "--literal-mode", "1", "--dict-bits", "4", src_.path()});
  ASSERT_EQ(r.status, 0) << r.err;
  Bytes file = ReadFile(out_ / "setup.exe");
  ReadBack rb = ReadArchive(file);
  EXPECT_EQ(rb.markerOffset, 0u) << "no stub: the marker comes first";
  int compressed = 0;
  for (const ArchiveEntry& e : rb.entries) {
    if (e.kind != K::kFile || !archive::IsCompressedSize(e.sizeField)) continue;
    ++compressed;
    EXPECT_EQ(file[e.dataOffset], 1);
    EXPECT_EQ(file[e.dataOffset + 1], 4);
  }
  EXPECT_GE(compressed, 3);
  EXPECT_EQ(RunPack({"test", out_ / "setup.exe"}).status, 0);
  EXPECT_EQ(std::distance(fs::directory_iterator(out_.path()), {}), 1) << "temporary files left";
}

TEST_F(PackTree, EveryNumberOfJobsWritesTheSameBytes) {
  for (const char* jobs : {"1", "3"}) {
    PackRun r = RunPack({"build", "--jobs", jobs, "-o", out_ / jobs, src_.path()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "") << "no progress line off a terminal";
  }
  EXPECT_TRUE(ReadFile(out_ / "1") == ReadFile(out_ / "3"));
}

// --- Refusals --------------------------------------------------------------------------------

struct BadTree {
  std::string offender;            // must appear in the message
  std::vector<std::string> paths;  // a trailing '/' makes a directory, a leading '@' a link
  bool markerInStub;               // the stub holds the marker record at offset 32
};

TEST(PackRefusal, BadTreesAndStubsAreRefusedNamingTheOffenderAndNoOutputIsTouched) {
  std::vector<BadTree> rows = {
      {"aux", {"ok.txt", "aux/inner.txt"}, false},  // device name as a directory
      {"a.txt", {"A.TXT", "a.txt"}, false},         // names differing only in case
      {"link", {"ok.txt", "@link"}, false},
      {"no files", {"only/dirs/"}, false},
      {"offset 32", {"ok.txt"}, true},
      // '>' + 130 + '\' + 129 = 261 characters in the directory entry.
      {std::string(129, 'e'),
       {"ok.txt", std::string(130, 'd') + "/" + std::string(129, 'e') + "/f"},
       false},
  };
  for (const char* name :
       {"CON", "con.txt", "Lpt9.tar.gz", "COM1 .log", "Com9", "lpt1.", "a:b", "a\\b", "trail.",
        "trail ", "ctl\x01", "x\x7f", "q?", "st*r", "l<", ">x", "q\"", "p|p", "sub/deeper/nul"}) {
    std::string offender = name;
    if (!offender.empty() && std::iscntrl(static_cast<unsigned char>(offender.back())))
      offender.pop_back();  // printed escaped
    rows.push_back({offender, {"ok.txt", name}, false});
  }
  for (size_t i = 0; i < rows.size(); ++i) {
    const BadTree& bad = rows[i];
    SCOPED_TRACE(bad.paths.back());
    TempDir src, out;
    for (const std::string& path : bad.paths) {
      std::error_code ec;
      if (path.back() == '/')
        fs::create_directories(src / path, ec);
      else if (path[0] == '@')
        fs::create_symlink(src / "ok.txt", src / path.substr(1), ec);
      else
        WriteFile(src / path, std::string("x"));
    }
    std::vector<std::string> args = {"build", "-o", out / "setup.exe", src.path()};
    if (bad.markerInStub) {
      Bytes stub(64, 0x90);
      std::memcpy(stub.data() + 32, "TOVQ....____TOVQ", 16);  // only the outer words count
      WriteFile(out / "stub.exe", stub);
      args.insert(args.begin() + 3, {"--stub", out / "stub.exe"});
    }
    // Every other refusal finds an earlier build in place, which it must leave alone.
    const bool earlier = i % 2 != 0;
    if (earlier) WriteFile(out / "setup.exe", std::string("previous build"));
    PackRun r = RunPack(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, bad.offender)) << r.err;
    if (earlier) {
      EXPECT_EQ(ReadText(out / "setup.exe"), "previous build");
    }
    for (const auto& entry : fs::directory_iterator(out.path())) {
      std::string left = entry.path().filename();
      EXPECT_TRUE(left == "stub.exe" || (earlier && left == "setup.exe")) << "left: " << left;
    }
  }
}

TEST(PackRefusal, AnEarlierOutputInsideTheSourceTreeIsNotPackedIntoTheNextOne) {
  TempDir src;
  WriteFile(src / "ok.txt", std::string("fine"));
  ASSERT_EQ(RunPack({"build", "-o", src / "setup.exe", src.path()}).status, 0);
  Bytes first = ReadFile(src / "setup.exe");
  PackRun r = RunPack({"build", "-o", src / "setup.exe", src.path()});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Contains(r.err, "setup.exe")) << r.err;
  EXPECT_TRUE(ReadFile(src / "setup.exe") == first);
}

// Names no tree on this machine can hold, and names close to the refused ones.
TEST(PackNames, NamesTheSetupCannotInstallSafelyAreRefusedAndTheirNeighboursAccepted) {
  std::string why;
  for (const char* bad : {"", ".", "..", "a/b", "tab\t"}) {
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
}

// --- Damage found by the test command --------------------------------------------------------

class PackDamage : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(src_ / "first.txt", Text(3000));
    WriteFile(src_ / "raw.bin", Noise(100, 3));
    WriteFile(src_ / "Sub/second.txt", Text(2500));
    WriteFile(out_ / "stub", Bytes(40, 0x4D));
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
  Bytes Cut(size_t at) const { return Bytes(file_.begin(), file_.begin() + static_cast<long>(at)); }
  Bytes Flip(size_t at) const {
    Bytes b = file_;
    b[at] ^= 0x01;
    return b;
  }

  TempDir src_, out_;
  Bytes file_;
  ReadBack rb_;
};

TEST_F(PackDamage, TruncationsAndCorruptStreamsAreFoundAndNameTheirEntry) {
  // A cut just after the end entry leaves a sound file without a record (an older one).
  for (size_t cut = rb_.markerOffset + 16; cut < file_.size(); ++cut) {
    ArchiveTotals totals;
    std::string error;
    EXPECT_EQ(TestSetupFile(file_.data(), cut, &totals, &error), cut == rb_.end) << cut;
    EXPECT_TRUE(Contains(error, cut < rb_.end   ? "entry "
                                : cut > rb_.end ? "integrity"
                                                : ""))
        << error;
  }
  // Through the command line, at a few telling points and with the last stream damaged.
  const ArchiveEntry& e = rb_.entries[3];
  auto withStream = [&](void (*change)(Bytes&)) {
    Bytes stream(file_.begin() + static_cast<long>(e.dataOffset),
                 file_.begin() + static_cast<long>(e.dataOffset + e.dataLength));
    change(stream);
    Bytes file = Cut(e.dataOffset);
    archive::PutLE32(file.data() + file.size() - 4, static_cast<int32_t>(stream.size()));
    file.insert(file.end(), stream.begin(), stream.end());
    file.insert(file.end(), file_.begin() + static_cast<long>(e.dataOffset + e.dataLength),
                file_.end());
    return file;
  };
  Bytes shifted = file_;
  shifted.insert(shifted.begin(), 0x00);  // the marker off the 16-byte grid
  const std::string second = "entry 4 \"second.txt\" in \"Sub\"";
  struct Damage {
    Bytes bytes;
    std::string message, names;
  };
  for (const Damage& d : {
           Damage{Cut(e.dataOffset - 6), "file ends inside the name", "entry 4 \"second"},
           Damage{Cut(e.dataOffset - 2), "file ends inside the size field", second},
           Damage{Cut(e.dataOffset + e.dataLength / 2), "file ends inside the data", second},
           Damage{Cut(rb_.end - 1), "entry 5", ""},
           Damage{Cut(file_.size() - 1), "ends inside the integrity record", ""},
           Damage{Flip(rb_.entries[1].dataOffset + 50), "CRC-32", "entry 2 \"raw.bin\""},
           Damage{Flip(file_.size() - 6), "record's own CRC-32", ""},
           Damage{Flip(rb_.entries[0].dataOffset - 7), "a name, size field", ""},  // "first"
           Damage{Flip(rb_.entries[1].dataOffset - 1), "", ""},  // raw.bin's size field
           Damage{withStream([](Bytes& d) {
                    ImplodeBuffer(Text(2600).data(), 2600, ImplodeOptions(), &d);
                  }),
                  "CRC-32", second},
           Damage{Cut(rb_.markerOffset + 8), "no marker", ""},
           Damage{shifted, "no marker", ""},
           Damage{withStream([](Bytes& d) { d[1] = 7; }), "decoder result 1", second},
           Damage{withStream([](Bytes& d) { d[0] = 2; }), "decoder result 2", second},
           Damage{withStream([](Bytes& d) { d.resize(4); }), "decoder result 3", second},
           Damage{withStream([](Bytes& d) { d.pop_back(); }), "decoder result 4", second},
           Damage{withStream([](Bytes& d) { d.push_back(0); }), "ends before the entry's last",
                  second},
           Damage{withStream([](Bytes& d) {
                    for (size_t i = 20; i < 30; ++i) d[i] ^= 0x5A;
                  }),
                  "decoder result", second},
       }) {
    SCOPED_TRACE(d.message);
    PackRun r = TestBytes(d.bytes);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, d.message) && Contains(r.err, d.names)) << r.err;
  }
  PackRun older = TestBytes(Cut(rb_.end));
  EXPECT_EQ(older.status, 0) << older.err;
  EXPECT_TRUE(Contains(older.out, "no integrity record")) << older.out;
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

TEST(PackStreams, ImplodeAndExplodeCommandsRoundTripAndReportDecoderResults) {
  TempDir dir;
  Bytes text = Text(9000);
  WriteFile(dir / "in", text);
  // The optimal parser unless told --lazy; the header as asked.
  for (bool lazy : {false, true}) {
    std::vector<std::string> args = {"implode", "--literal-mode", "1",           "--dict-bits",
                                     "5",       dir / "in",       dir / "stream"};
    if (lazy) args.insert(args.begin() + 1, "--lazy");
    ASSERT_EQ(RunPack(args).status, 0);
    ImplodeOptions options;
    options.literalMode = 1;
    options.dictBits = 5;
    options.parser = lazy ? ImplodeParser::kLazy : ImplodeParser::kOptimal;
    Bytes expected;
    ASSERT_TRUE(ImplodeBuffer(text.data(), text.size(), options, &expected));
    EXPECT_TRUE(ReadFile(dir / "stream") == expected) << (lazy ? "--lazy" : "default");
  }
  Bytes stream = ReadFile(dir / "stream");
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

// --- Outputs that are not regular files ------------------------------------------------------

mode_t Kind(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 ? st.st_mode & S_IFMT : 0;
}

class PackOutputs : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(dir_ / "src/in", text_);
    ASSERT_EQ(RunPack({"implode", dir_ / "src/in", dir_ / "stream"}).status, 0);
  }
  Bytes text_ = Text(9000);
  TempDir dir_;
};

TEST_F(PackOutputs, DevicesAreWrittenAsTheyAreAndNeverReplaced) {
  // A null device of the test's own, in its own directory.
  if (geteuid() != 0 || mknod((dir_ / "dev").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
    GTEST_SKIP() << "making a device node needs root";
  fs::create_symlink(dir_ / "dev", dir_ / "link");
  for (const std::string& out : {dir_ / "dev", dir_ / "link"}) {
    EXPECT_EQ(RunPack({"explode", dir_ / "stream", out}).status, 0) << out;
    EXPECT_EQ(RunPack({"build", "-o", out, dir_ / "src"}).status, 0) << out;  // flushed to disk
  }
  EXPECT_EQ(Kind(dir_ / "dev"), S_IFCHR);
  EXPECT_EQ(Kind(dir_ / "link"), S_IFLNK);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), {}), 4) << "temporary files left";
}

TEST_F(PackOutputs, FifosStandardOutputAndLinksAreWrittenThroughAndALinkToNothingIsRefused) {
  const std::string fifo = dir_ / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  Bytes fromFifo;
  std::thread reader([&] { fromFifo = ReadFile(fifo); });
  EXPECT_EQ(RunPack({"explode", dir_ / "stream", fifo}).status, 0);
  int unblock = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);  // ends the read if nothing came
  if (unblock >= 0) close(unblock);
  reader.join();
  EXPECT_TRUE(fromFifo == text_);
  EXPECT_EQ(Kind(fifo), S_IFIFO);

  EXPECT_TRUE(RunPack({"explode", dir_ / "stream", "-"}).out ==
              std::string(text_.begin(), text_.end()));

  WriteFile(dir_ / "target", std::string("old"));
  fs::create_symlink(dir_ / "target", dir_ / "link");
  EXPECT_EQ(RunPack({"explode", dir_ / "stream", dir_ / "link"}).status, 0);
  EXPECT_EQ(Kind(dir_ / "link"), S_IFLNK);
  EXPECT_TRUE(ReadFile(dir_ / "target") == text_);

  fs::create_symlink(dir_ / "missing", dir_ / "dangling");
  PackRun r = RunPack({"explode", dir_ / "stream", dir_ / "dangling"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Contains(r.err, "symbolic link")) << r.err;
  EXPECT_EQ(Kind(dir_ / "dangling"), S_IFLNK);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), {}), 6) << "files left";
}

}  // namespace
