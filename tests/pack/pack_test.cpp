// Tests of tsarin-pack: setup files it builds must read back entry by entry, in the order the
// setup installs them, with every stream decodable by the setup's decoder; bad trees and stubs
// must be refused without leaving an output file; the test command must name damaged entries.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "payload/archive_format.h"
#include "tools/implode.h"
#include "tools/pack_names.h"
#include "tools/pack_read.h"

namespace {

namespace fs = std::filesystem;
using K = ArchiveEntry::Kind;

const uint8_t* U(const std::string& bytes) {
  return reinterpret_cast<const uint8_t*>(bytes.data());
}

std::string Text(size_t n) {
  std::string s;
  while (s.size() < n) s += "Tessarin converts documents; the setup installs Tessarin. ";
  return s.substr(0, n);
}

std::string Noise(size_t n, uint32_t seed) {
  std::string s(n, 0);
  for (char& c : s) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 16);
  return s;
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// An archive read back: its entries up to the end entry, with the file data as installed.
struct ReadBack {
  size_t markerOffset = 0, end = 0;  // end: just after the end entry
  std::vector<ArchiveEntry> entries;
  std::vector<std::string> contents;  // parallel to entries; decoded for compressed files
};

ReadBack ReadArchive(const std::string& file) {
  ReadBack rb;
  ArchiveReader reader(U(file), file.size());
  std::string error;
  EXPECT_TRUE(reader.FindMarker(&error)) << error;
  ArchiveEntry e;
  bool read = false;
  while ((read = reader.Next(&e, &error)) && e.kind != K::kEnd) {
    const uint8_t* data = U(file) + e.dataOffset;
    std::vector<uint8_t> content;
    if (archive::IsCompressedSize(e.sizeField))
      EXPECT_EQ(RunExplode(data, e.dataLength, &content).result, 0) << e.name;
    else
      content.assign(data, data + e.dataLength);
    rb.entries.push_back(e);
    rb.contents.emplace_back(content.begin(), content.end());
  }
  EXPECT_TRUE(read) << error;
  rb.markerOffset = reader.MarkerOffset();
  rb.end = reader.Position();
  return rb;
}

// Every test works in a directory of its own, where it runs the built tsarin-pack.
class PackTest : public ::testing::Test {
 protected:
  struct Run {
    int status;
    std::string out, err;
  };

  void SetUp() override {
    std::string name = (fs::temp_directory_path() / "pack_test.XXXXXX").string();
    ASSERT_NE(mkdtemp(name.data()), nullptr);
    root_ = name;
    fs::create_directory(P(""));
  }
  void TearDown() override {
    std::error_code ec;
    if (!root_.empty()) fs::remove_all(root_, ec);
  }

  // Paths relative to the test's directory.
  std::string P(const std::string& rel) const { return root_ + "/w/" + rel; }
  void Write(const std::string& rel, const std::string& data) {
    fs::create_directories(fs::path(P(rel)).parent_path());
    std::ofstream(P(rel), std::ios::binary) << data;
  }
  std::string Read(const std::string& rel) const {
    std::ostringstream s;
    s << std::ifstream(P(rel), std::ios::binary).rdbuf();
    return s.str();
  }
  // Runs a shell command in the test's directory.
  Run Sh(const std::string& command) const {
    int raw = std::system(("cd '" + P("") + "' && " + command + " >../out 2>../err").c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Read("../out"), Read("../err")};
  }
  Run Pack(const std::string& args) const { return Sh(TSARIN_PACK_PATH " " + args); }
  // What a directory holds, links marked '@' and FIFOs '|'; nothing else may be there,
  // temporary files included.
  std::string List(const std::string& rel) const { return Sh("LC_ALL=C ls -AF " + rel).out; }

  std::string root_;
};

TEST_F(PackTest, TreesReadBackInInstallOrderWithStubAndStoreRulesWhateverTheNumberOfJobs) {
  const std::pair<std::string, std::string> files[] = {{"Readme.txt", Text(5000)},
                                                       {"a.bin", Noise(3000, 1)},
                                                       {"empty", ""},
                                                       {"z.dat", Text(4000)},
                                                       {"Profiles/p1.ini", Text(2000)},
                                                       {"Textures/one", "x"},
                                                       {"Profiles/Sub/deep.txt", Text(3000)},
                                                       {"Textures/t.bmp", std::string(10000, 0)}};
  for (const auto& [path, data] : files) Write("src/" + path, data);
  fs::create_directories(P("src/Textures/empty-dir"));
  fs::create_directories(P("out"));
  std::string stub = Noise(1000, 7).replace(33, 16, "TOVQ....____TOVQ");  // off the 16-byte grid
  Write("stub.exe", stub);
  for (std::string jobs : {"1", "3"}) {
    Run r = Pack("build --jobs " + jobs + " -o out/" + jobs +
                 " --stub stub.exe --store '*.dat' --store 'Profiles/*.ini' src");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "") << "no progress line off a terminal, no warning";
    EXPECT_TRUE(Has(r.out, "8 files") && Has(r.out, "4 directories")) << r.out;
  }
  std::string file = Read("out/1");
  EXPECT_TRUE(file == Read("out/3"));
  EXPECT_TRUE(file.substr(0, 1008) == stub + std::string(8, 0)) << "stub and padding";
  ReadBack rb = ReadArchive(file);
  EXPECT_EQ(rb.markerOffset, 1008u);
  // Bytewise order, files before sub-directories; '*': compressed (random and --store: not).
  std::string layout, directory;
  for (size_t i = 0; i < rb.entries.size(); ++i) {
    const ArchiveEntry& e = rb.entries[i];
    if (e.kind == K::kDirectory) directory = e.name + "/";
    std::replace(directory.begin(), directory.end(), '\\', '/');
    layout += (e.kind == K::kDirectory ? ">" : "") + e.name +
              (archive::IsCompressedSize(e.sizeField) ? "* " : " ");
    if (e.kind == K::kFile) {
      EXPECT_TRUE(rb.contents[i] == Read("src/" + directory + e.name)) << e.name;
    }
  }
  EXPECT_EQ(layout,
            "Readme.txt* a.bin empty z.dat >Profiles p1.ini >Profiles\\Sub deep.txt* >Textures "
            "one t.bmp* >Textures\\empty-dir ");
  // The integrity record (head, 8 file CRC-32s, its own CRC-32) is checked by the test
  // command, whose refusals are tested below.
  Run list = Pack("list out/1");
  EXPECT_EQ(list.status, 0) << list.err;
  for (const char* line :
       {"file\tReadme.txt\t5000\tcompressed\t", "file\ta.bin\t3000\tstored\t3000\t",
        "file\tone\t1\tstored\t1\t8cdc1683\n", "file\tempty\t0\tstored\t0\t00000000\n",
        "dir\t>Profiles\\Sub\n", "8 files", "27001 bytes", "integrity record: yes"})
    EXPECT_TRUE(Has(list.out, line)) << list.out;
  EXPECT_EQ(file.size(), rb.end + 20 + 8 * 4 + 4) << "the record ends the file";
  Run test = Pack("test out/1");
  EXPECT_EQ(test.status, 0) << test.err;
  EXPECT_TRUE(Has(test.out, "OK") && Has(test.out, "CRC-32 match")) << test.out;

  // Names at their limits ('>' + 130 + '\' + 128 = 260 characters in the directory entry), and
  // a rebuild with other stream options over the earlier output.
  Write("src/" + std::string(255, 'f'), "longest name Linux allows");
  Write("src/" + std::string(130, 'd') + "/" + std::string(128, 'e') + "/g", Text(1000));
  ASSERT_EQ(Pack("build -o out/1 --literal-mode 1 --dict-bits 4 src").status, 0);
  file = Read("out/1");
  rb = ReadArchive(file);
  EXPECT_EQ(rb.markerOffset, 0u) << "no stub: the marker comes first";
  ASSERT_TRUE(archive::IsCompressedSize(rb.entries[0].sizeField));
  EXPECT_EQ(file.substr(rb.entries[0].dataOffset, 2), "\1\4") << "the stream header as asked";
  EXPECT_EQ(Pack("test out/1").status, 0);
  EXPECT_EQ(List("out"), "1\n3\n");
}

TEST_F(PackTest, BadTreesAndStubsAreRefusedNamingTheOffenderAndNoOutputIsTouched) {
  struct BadTree {
    std::string offender;            // must appear in the message
    std::vector<std::string> paths;  // a trailing '/' makes a directory, a leading '@' a link
    bool markerInStub = false;       // the stub holds the marker record at offset 32
  };
  std::vector<BadTree> rows = {
      {"aux", {"ok.txt", "aux/inner.txt"}},  // device name as a directory
      {"a.txt", {"A.TXT", "a.txt"}},         // names differing only in case
      {"link", {"ok.txt", "@link"}},
      {"no files", {"only/dirs/"}},
      {"offset 32", {"ok.txt"}, true},
      // '>' + 130 + '\' + 129 = 261 characters in the directory entry.
      {std::string(129, 'e'),
       {"ok.txt", std::string(130, 'd') + "/" + std::string(129, 'e') + "/f"}},
  };
  for (const char* name :
       {"CON", "con.txt", "Lpt9.tar.gz", "COM1 .log", "Com9", "lpt1.", "a:b", "a\\b", "trail.",
        "trail ", "ctl\x01", "x\x7f", "q?", "st*r", "l<", ">x", "q\"", "p|p", "sub/deeper/nul"}) {
    std::string offender = name;
    if (std::iscntrl(static_cast<unsigned char>(offender.back()))) offender.pop_back();  // "?"
    rows.push_back({offender, {"ok.txt", name}});
  }
  for (size_t i = 0; i < rows.size(); ++i) {
    const BadTree& bad = rows[i];
    SCOPED_TRACE(bad.paths.back());
    const std::string row = std::to_string(i) + "/";
    for (const std::string& path : bad.paths) {
      if (path.back() == '/')
        fs::create_directories(P(row + "src/" + path));
      else if (path[0] == '@')
        fs::create_symlink(P(row + "src/ok.txt"), P(row + "src/" + path.substr(1)));
      else
        Write(row + "src/" + path, "x");
    }
    Write(row + "stub", std::string(32, 0x90) + "TOVQ....____TOVQ");  // the outer words count
    // Every other refusal finds an earlier build in place, which it must leave alone.
    const std::string earlier = i % 2 != 0 ? "previous build" : "";
    fs::create_directories(P(row + "out"));
    if (!earlier.empty()) Write(row + "out/setup.exe", earlier);
    Run r = Pack("build -o " + row + "out/setup.exe " +
                 (bad.markerInStub ? "--stub " + row + "stub " : "") + row + "src");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, bad.offender)) << r.err;
    EXPECT_EQ(List(row + "out"), earlier.empty() ? "" : "setup.exe\n");
    EXPECT_EQ(Read(row + "out/setup.exe"), earlier);
  }
  // Names close to refused ones are packed; an earlier output inside the source tree is not.
  for (const char* name : {"CONSOLE", "con1", "COM0", "LPT10", ".hidden", "a..b", "x.y.z",
                           "Tessarin Readme.txt", "nulx.txt"})
    Write("in/" + std::string(name), "fine");
  ASSERT_EQ(Pack("build -o in/setup.exe in").status, 0);
  const std::string first = Read("in/setup.exe");
  Run r = Pack("build -o in/setup.exe in");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.err, "setup.exe")) << r.err;
  EXPECT_TRUE(Read("in/setup.exe") == first);
}

TEST_F(PackTest, TruncatedCorruptAndCraftedArchivesAreFoundNamingTheirEntry) {
  Write("src/first.txt", Text(3000));
  Write("src/raw.bin", Noise(100, 3));
  Write("src/Sub/second.txt", Text(2500));
  Write("stub", std::string(40, 'M'));
  ASSERT_EQ(Pack("build -o setup.exe --stub stub src").status, 0);
  const std::string file = Read("setup.exe");
  const ReadBack rb = ReadArchive(file);
  ASSERT_EQ(rb.entries.size(), 4u);
  const size_t data = rb.entries[3].dataOffset, raw = rb.entries[1].dataOffset;
  auto test = [](const std::string& bytes, std::string* error) {
    ArchiveTotals totals;
    return TestSetupFile(U(bytes), bytes.size(), &totals, error);
  };
  // A cut just after the end entry leaves a sound file without a record (an older one).
  for (size_t cut = rb.markerOffset + 16; cut < file.size(); ++cut) {
    std::string error;
    EXPECT_EQ(test(file.substr(0, cut), &error), cut == rb.end);
    EXPECT_TRUE(Has(error, cut < rb.end ? "entry " : cut > rb.end ? "integrity" : "")) << cut;
  }
  auto flip = [&](size_t at, char bits) {
    std::string b = file;
    b[at] ^= bits;
    return b;
  };
  // A marker, the given entries and the end entry, without a record.
  auto crafted = [](const std::string& entries) {
    return "TOVQTOVQTOVQTOVQ" + entries + std::string(1, '\0');
  };
  std::vector<uint8_t> stream;
  ImplodeBuffer(U(Text(50)), 50, {}, &stream);
  // A file entry "f" of size bytes: the stream, cut or with zeros after it.
  auto entry = [&](size_t size) {
    std::string e("f\0\0\0\0\0", 6);
    archive::PutLE32(reinterpret_cast<uint8_t*>(&e[2]), static_cast<int32_t>(size));
    return (e + std::string(stream.begin(), stream.end())).substr(0, 6 + size) +
           std::string(size - std::min(size, stream.size()), '\0');
  };
  const std::string stored("\0\0\0\0\0", 5);  // zero byte, size field 0
  const std::string second = "entry 4 \"second.txt\" in \"Sub\"";
  struct Damage {
    std::string bytes;
    std::string message, names;  // both in the error; a sound file when message is empty
  };
  for (const Damage& d : {
           Damage{file.substr(0, data - 6), "file ends inside the name", "entry 4 \"second"},
           Damage{file.substr(0, data - 2), "file ends inside the size field", second},
           Damage{file.substr(0, data + 20), "file ends inside the data", second},
           Damage{file.substr(0, rb.end - 1), "entry 5", ""},
           Damage{file.substr(0, file.size() - 1), "ends inside the integrity record", ""},
           Damage{flip(raw + 50, 1), "CRC-32", "entry 2 \"raw.bin\""},
           Damage{flip(file.size() - 6, 1), "record's own CRC-32", ""},
           Damage{flip(rb.entries[0].dataOffset - 7, 1), "a name, size field", ""},  // "first"
           // raw.bin's size field 4 more: ">Sub" read as its data, then the zero as the end.
           Damage{flip(raw - 4, 4), "says they end there", ""},
           Damage{flip(data + 1, 1), "decoder result 1", second},
           Damage{flip(data, 2), "decoder result 2", second},
           Damage{file.substr(0, rb.markerOffset + 8), "no marker", ""},
           Damage{" " + file, "no marker", ""},  // the marker off the 16-byte grid
           Damage{crafted(entry(4)), "decoder result 3", "entry 1 \"f\""},
           Damage{crafted(entry(stream.size() - 1)), "decoder result 4", ""},
           Damage{crafted(entry(stream.size() + 1)), "ends before the entry's last", ""},
           Damage{crafted(entry(stream.size())), "", ""},
           Damage{crafted(">..\\escape" + std::string(1, '\0')), "unsafe path", "entry 1"},
           Damage{crafted("CON" + stored), "unsafe name", "entry 1 \"CON\""},
           Damage{crafted(std::string(261, 'x') + stored), "longer than 260", ""},
           Damage{crafted(std::string(">\0", 2) + std::string(260, 'x') + stored), "", ""},
           // 'a', then 3 bytes from distance 2: the setup's decoder passes it.
           Damage{crafted(std::string("f\0\7\0\0\0\0\6\xC2\x7E\x10\xF0\x0F", 13)),
                  "reaches before the first byte", "entry 1 \"f\""},
       }) {
    SCOPED_TRACE(d.message);
    std::string error;
    EXPECT_EQ(test(d.bytes, &error), d.message.empty()) << error;
    EXPECT_TRUE(Has(error, d.message) && Has(error, d.names)) << error;
  }
  // Names and directory paths no tree on this machine can hold.
  for (std::string name :
       {".", "..", "a/b", ">..\\evil", ">a\\..", ">a\\\\b", ">\\a", ">a\\", ">C:\\x", ">a\\con"}) {
    std::string error;
    EXPECT_FALSE(test(crafted(name + (name[0] == '>' ? std::string(1, '\0') : stored)), &error))
        << name;
  }
  // The command: the file and the entry named on failure, and an older file passed.
  Write("damaged.exe", file.substr(0, data + 10));
  Run damaged = Pack("test damaged.exe");
  EXPECT_EQ(damaged.status, 1);
  EXPECT_TRUE(Has(damaged.err, "damaged.exe: " + second)) << damaged.err;
  Write("older.exe", file.substr(0, rb.end));
  Run older = Pack("test older.exe");
  EXPECT_EQ(older.status, 0) << older.err;
  EXPECT_TRUE(Has(older.out, "no integrity record")) << older.out;
}

TEST_F(PackTest, StreamCommandsRoundTripAndWriteThroughWhatIsNoRegularFile) {
  const std::string text = Text(9000);
  Write("in", text);
  // The optimal parser unless told --lazy; the header as asked.
  for (bool lazy : {false, true}) {
    Pack(std::string("implode ") + (lazy ? "--lazy " : "") + "--literal-mode 1 --dict-bits 5 in s");
    std::vector<uint8_t> expected;
    ImplodeBuffer(U(text), text.size(),
                  {1, 5, lazy ? ImplodeParser::kLazy : ImplodeParser::kOptimal}, &expected);
    EXPECT_TRUE(Read("s") == std::string(expected.begin(), expected.end())) << lazy;
  }
  EXPECT_EQ(Pack("explode s out").status, 0);
  EXPECT_TRUE(Read("out") == text);
  Write("cut", Read("s").substr(0, 100));
  EXPECT_EQ(Pack("explode cut partial").status, 4);
  const std::string partial = Read("partial");
  EXPECT_TRUE(!partial.empty() && text.compare(0, partial.size(), partial) == 0);
  Write("bad", std::string("\0\11\1\2\3\4", 6));
  EXPECT_EQ(Pack("explode bad none").status, 1);
  EXPECT_EQ(Pack("implode --dict-bits 7 in x").status, 2);

  // Standard output, FIFOs and links are written through; a link to nothing is refused.
  EXPECT_TRUE(Pack("explode s -").out == text);
  ASSERT_EQ(mkfifo(P("fifo").c_str(), 0600), 0);
  std::string fromFifo;
  std::thread reader([&] { fromFifo = Read("fifo"); });
  EXPECT_EQ(Pack("explode s fifo").status, 0);
  int unblock = open(P("fifo").c_str(), O_WRONLY | O_NONBLOCK);  // ends the read if nothing came
  if (unblock >= 0) close(unblock);
  reader.join();
  EXPECT_TRUE(fromFifo == text);
  Write("target", "old");
  fs::create_symlink(P("target"), P("link"));
  EXPECT_EQ(Pack("explode s link").status, 0);
  EXPECT_TRUE(Read("target") == text);
  fs::create_symlink(P("missing"), P("dangling"));
  Run r = Pack("explode s dangling");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.err, "symbolic link")) << r.err;
  // A null device of the test's own (making one needs root): written, never replaced, also by
  // a build, which flushes its output to the disk.
  if (mknod(P("dev").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
    fs::create_symlink(P("dev"), P("devlink"));
    Write("src/in", text);
    for (std::string out : {"dev", "devlink"}) {
      EXPECT_EQ(Pack("explode s " + out).status, 0) << out;
      EXPECT_EQ(Pack("build -o " + out + " src").status, 0) << out;
    }
    EXPECT_EQ(fs::symlink_status(P("dev")).type(), fs::file_type::character);
    EXPECT_EQ(fs::symlink_status(P("devlink")).type(), fs::file_type::symlink);
    for (const char* made : {"dev", "devlink", "src"}) fs::remove_all(P(made));
  }
  // Links and the FIFO are still what they were; no x from the refused implode.
  EXPECT_EQ(List(""), "bad\ncut\ndangling@\nfifo|\nin\nlink@\nnone\nout\npartial\ns\ntarget\n");
}

}  // namespace
