// A damaged or cut setup file, with or without its integrity record, never changes the
// installation it would replace: the check reads the whole file before anything is touched.
#include <map>

#include "engine_fixture.h"

namespace {

const Lines kDamaged = {"Tessarin Setup Error: Incomplete or damaged installation file!"};

// Every file below the target, with its content.
std::map<std::string, Bytes> Tree(const fs::path& top) {
  std::map<std::string, Bytes> tree;
  for (const auto& entry : fs::recursive_directory_iterator(top)) {
    if (entry.is_directory()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    tree[fs::relative(entry.path(), top).string()] =
        Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return tree;
}

TEST_F(EngineTest, DamagedOrCutSetupFileLeavesTheInstallationAndTheRegistryAsTheyWere) {
  // The offsets where each piece ends: marker, entries, end entry, record.
  SetupWriter writer;
  std::vector<size_t> ends = {writer.bytes().size()};
  writer.Stored("a.txt", Content(3000, 1));
  ends.push_back(writer.bytes().size());
  writer.Compressed("b.txt", Content(20000, 2));
  ends.push_back(writer.bytes().size());
  writer.Dir("Sub").Stored("c.txt", Text("C"));
  ends.push_back(writer.bytes().size());
  const size_t endEntry = writer.bytes().size();
  const Bytes good = writer.End().bytes();
  const size_t record = endEntry + 1;
  const size_t b = ends[1] + 6 + 4;  // b.txt's first data byte

  WriteSetup(good);
  InstallRun first;
  Install(first);
  ASSERT_EQ(first.surface.status, "Installation was successful.");
  const auto installed = Tree(Host("out"));

  auto flip = [&](const Bytes& bytes, size_t at) {
    Bytes out = bytes;
    out[at] ^= 0x10;
    return out;
  };
  auto cut = [](const Bytes& bytes, size_t at) { return Bytes(bytes.begin(), bytes.begin() + at); };
  const Bytes bare = SetupWriter().Stored("a.txt", Content(3000, 1)).End(false).bytes();
  std::vector<std::pair<std::string, Bytes>> rows = {
      {"stored data", flip(good, ends[0] + 6 + 4 + 100)},
      {"compressed data", flip(good, b + 200)},
      {"a name", flip(good, ends[0] + 1)},
      {"a size", flip(good, ends[0] + 6 + 1)},
      {"the record's span CRC", flip(good, record + 12)},
      {"a file's CRC in the record", flip(good, record + 20 + 4)},
      {"the record's own CRC", flip(good, good.size() - 9)},
      {"no record, cut", cut(bare, bare.size() - 100)},
  };
  ends.pop_back();  // the end entry follows: cut just after it, see below
  for (size_t end : ends) {
    rows.push_back({"cut after piece at " + std::to_string(end), cut(good, end)});
    rows.push_back({"cut inside the next piece", cut(good, end + 3)});
  }
  // Cut before the record's fourth byte, a file looks like one without a record, and the check
  // decodes it; its data is whole then.
  rows.push_back({"cut before the end entry", cut(good, endEntry)});
  rows.push_back({"cut inside the record's magic", cut(good, record + 5)});
  rows.push_back({"cut inside the record", cut(good, record + 10)});
  // A size field cut short so that the next name starts on a 0 byte of a.txt's data: the walk
  // ends there, and no record follows that early end, yet one further on says where it is.
  Bytes early = good;
  early[ends[0] + 6 + 4 + 10] = 0;
  archive::PutLE32(&early[ends[0] + 6], archive::StoredSizeField(10));
  rows.push_back({"a size that ends the entries early", early});
  for (const auto& [what, bytes] : rows) {
    SCOPED_TRACE(what);
    WriteSetup(bytes);
    InstallRun run;
    Install(run);
    EXPECT_EQ(run.surface.messages, kDamaged);
    EXPECT_EQ(Tree(Host("out")), installed);
    EXPECT_TRUE(run.DesktopCallsFromKey().empty());  // not even the key was opened
  }

  // Without a record a sound file is checked by decoding it, and installs.
  WriteSetup(SetupWriter().Compressed("new.txt", Content(5000, 3)).End(false).bytes());
  InstallRun older;
  Install(older);
  EXPECT_EQ(older.surface.status, "Installation was successful.");
  EXPECT_EQ(ReadHost("out/new.txt"), Content(5000, 3));
}

// The record vouches for every file: a file whose content comes out other than recorded (the
// setup file changed after the check, or the decoder erred) ends the install as damage.
TEST_F(EngineTest, FileWhoseContentDiffersFromItsRecordedCrcIsDamage) {
  SetupWriter writer;
  writer.Stored("a.txt", Text("A")).Compressed("b.txt", Content(9000, 4));
  writer.crcs_[1] ^= 1;
  WriteSetup(writer.End().bytes());
  InstallRun run;
  Install(run);
  EXPECT_EQ(run.surface.messages, kDamaged);
  EXPECT_EQ(run.surface.status, "Installation not successful.");
}

}  // namespace
