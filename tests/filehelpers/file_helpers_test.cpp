#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "shell/file_helpers.h"
#include "shell/fs_platform.h"
#include "tests/filehelpers/restart_walk.h"

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

// A fresh, real directory per test. Natively it is reached through drive T:, so the helpers see
// the Windows-style paths they get in the product.
class TempTree : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    // Wine hands out the same process ids again, and a crashed run leaves its tree behind.
    static int counter = 0;
    const char* temp = getenv("TEMP");
    int error = EEXIST;
    while (error == EEXIST && counter < 10000) {
      root_ = std::string(temp ? temp : "C:\\windows\\temp") + "\\tsarin-fh-" +
              std::to_string(_getpid()) + "-" + std::to_string(++counter);
      error = FsCreateDirectory(root_.c_str());
    }
    ASSERT_EQ(error, 0);
#else
    char host[] = "/tmp/tsarin-fh-XXXXXX";
    ASSERT_NE(mkdtemp(host), nullptr);
    ASSERT_TRUE(FsSetDriveRoot('T', host));
    ASSERT_TRUE(FsAllowChangesIn(host));
    root_ = "T:";
#endif
  }
  void TearDown() override {
    std::error_code ec;
    const fs::path top = Host(root_);
    for (fs::recursive_directory_iterator it(top, ec), end; !ec && it != end; it.increment(ec)) {
      if (!it->is_symlink())
        fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ec);
    }
    fs::remove_all(top, ec);
#ifndef _WIN32
    FsSetDriveRoot('T', nullptr);
    FsForgetAllowedFolders();
#endif
  }

  static fs::path Host(const std::string& path) {
    char host[4096];
    EXPECT_TRUE(FsNativePath(path.c_str(), host, sizeof host));
    return fs::path(host);
  }
  std::string Path(const std::string& relative) const {
    return root_ + "\\" + relative;
  }
  // Creates the entries in order: a name ending in a backslash is a directory, others are files.
  void Make(const Names& entries) {
    for (std::string entry : entries) {
      if (entry.back() == '\\') {
        entry.pop_back();
        ASSERT_EQ(FsCreateDirectory(Path(entry).c_str()), 0) << entry;
        continue;
      }
      FILE* file = FsOpenWrite(Path(entry).c_str());
      ASSERT_NE(file, nullptr) << entry;
      fputs(entry.c_str(), file);
      fclose(file);
    }
  }
  fs::file_status Status(const std::string& relative) const {
    std::error_code ec;
    return fs::symlink_status(Host(Path(relative)), ec);
  }
  bool Exists(const std::string& relative) const {
    return fs::exists(Status(relative));
  }
  bool IsDir(const std::string& relative) const {
    return fs::is_directory(Status(relative));
  }
  // Everything below a directory, '/'-separated and sorted.
  Names Below(const std::string& relative) const {
    Names names;
    const fs::path top = Host(Path(relative));
    for (const auto& entry : fs::recursive_directory_iterator(top)) {
      names.push_back(entry.path().lexically_relative(top).generic_string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string root_;  // Windows-style, without a trailing backslash
};

// A 260-byte path buffer followed by a guard, to see writes past its end.
struct PathBuffer {
  char text[kFsPathSize];
  char guard[8] = {'G', 'G', 'G', 'G', 'G', 'G', 'G', 'G'};
  explicit PathBuffer(const std::string& value) {
    snprintf(text, sizeof text, "%s", value.c_str());
  }
};

std::string Applied(void (*operation)(char*), const std::string& text) {
  PathBuffer buffer(text);
  operation(buffer.text);
  EXPECT_EQ(std::string(buffer.guard, 8), "GGGGGGGG");
  return buffer.text;
}

TEST(Backslash, AppendAndStripChangeOnlyWhatTheyShouldAndNeverWritePastTheBuffer) {
  const std::string full(kFsPathSize - 1, 'a'), roomForOne(kFsPathSize - 2, 'a');
  struct Row {
    void (*operation)(char*);
    std::string text, expected;
  };
  for (const Row& row :
       {Row{AppendBackslash, "", ""}, Row{AppendBackslash, "D:", "D:"},
        Row{AppendBackslash, "C:\\Apps\\", "C:\\Apps\\"},
        Row{AppendBackslash, "C:\\Apps", "C:\\Apps\\"}, Row{AppendBackslash, full, full},
        Row{AppendBackslash, roomForOne, roomForOne + "\\"},
        Row{StripBackslash, "C:\\Apps\\\\", "C:\\Apps\\"}, Row{StripBackslash, "C:\\", "C:"},
        Row{StripBackslash, "", ""}}) {
    EXPECT_EQ(Applied(row.operation, row.text), row.expected) << row.text;
  }
}

TEST(MatchWildcard, StarEndsTheComparisonLettersIgnoreCaseAndQuestionMarkNeedsACharacter) {
  struct Row {
    const char* name;
    const char* pattern;
    bool matches;
  };
  for (const Row& row : {Row{"readme", "readme.*", false}, Row{"Readme.HTM", "readme.*", true},
                         Row{"README.", "readme.*", true}, Row{"Proto_Lib.dll", "proto_*", true},
                         Row{"anything", "*ignored", true},
                         // Only A-Z fold: bytes of the code page's upper half stay as they are.
                         Row{"\xC4", "\xE4", false},
                         // Without a star the whole name must match.
                         Row{"ab", "abc", false}, Row{"abc", "ab", false}, Row{"", "", true},
                         Row{"abc", "a?c", true},
                         // A question mark never matches the end of the name.
                         Row{"ab", "ab?", false}, Row{"", "?", false}}) {
    EXPECT_EQ(MatchWildcard(row.name, row.pattern), row.matches) << row.name << " " << row.pattern;
  }
}

using CreatePathTest = TempTree;

TEST_F(CreatePathTest, CreatesEveryMissingLevelAndRestoresThePathOrFailsLeavingItAlone) {
  Make({"Data\\", "Data\\file"});
  PathBuffer path(Path("Data\\One\\Two\\"));
  const std::string before = path.text;
  EXPECT_TRUE(CreatePath(path.text));
  EXPECT_EQ(before, path.text);
  EXPECT_TRUE(IsDir("Data\\One\\Two"));
  PathBuffer noBackslash(Path("Data\\Three\\Four"));
  EXPECT_TRUE(CreatePath(noBackslash.text));
  EXPECT_TRUE(IsDir("Data\\Three\\Four"));
  // A file in the way is not a missing parent, but a file as parent is.
  PathBuffer onFile(Path("Data\\file\\"));
  EXPECT_TRUE(CreatePath(onFile.text));
  EXPECT_FALSE(IsDir("Data\\file"));
  PathBuffer below(Path("Data\\file\\Sub\\"));
  EXPECT_FALSE(CreatePath(below.text));
  // Too long for its buffer, or on a drive that does not exist.
  std::string longPath = Path(std::string(300, 'a'));
  std::vector<char> text(longPath.c_str(), longPath.c_str() + longPath.size() + 1);
  EXPECT_FALSE(CreatePath(text.data()));
  EXPECT_EQ(longPath, text.data());
#ifndef _WIN32
  FsSetDriveRoot('Q', nullptr);
#endif
  PathBuffer missing("Q:\\Tsarin\\Sub\\");
  if (!DirectoryExists("Q:\\")) {
    EXPECT_FALSE(CreatePath(missing.text));
  }
  EXPECT_STREQ(missing.text, "Q:\\Tsarin\\Sub\\");
}

TEST_F(TempTree, DirectoryExistsIsFalseForAFileAndForAPathTooLongForItsBuffer) {
  Make({"Apps\\", "file.txt"});
  EXPECT_TRUE(DirectoryExists(Path("Apps").c_str()));
  EXPECT_TRUE(DirectoryExists(Path("Apps\\\\\\").c_str()));
  EXPECT_TRUE(DirectoryExists((root_ + "\\").c_str()));
  EXPECT_FALSE(DirectoryExists(Path("file.txt").c_str()));
  EXPECT_FALSE(DirectoryExists(Path("missing").c_str()));
  // Even if only backslashes overhang.
  EXPECT_FALSE(DirectoryExists((Path("Apps") + std::string(300, '\\')).c_str()));
}

using FindEntryTest = TempTree;

TEST_F(FindEntryTest, DeliversTheThirdOfThreeNoFourthAndLeavesNoSearchOpen) {
  Make({"F\\", "F\\Alpha.txt", "F\\BETA.txt", "F\\gamma.txt", "F\\other.dat"});
  const std::string pattern = Path("F\\*.txt");
  Names names;
  for (int n = 1; n <= 3; ++n) {
    char name[kFsPathSize];
    uint32_t attributes = 0;
    ASSERT_TRUE(FindEntry(pattern.c_str(), n, name, &attributes)) << n;
    EXPECT_EQ(attributes & kFsAttrDirectory, 0u);
    EXPECT_EQ(FsOpenFindCount(), 0);
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (Names{"alpha.txt", "beta.txt", "gamma.txt"}));
  EXPECT_FALSE(FindEntry(pattern.c_str(), 4, nullptr, nullptr));
  EXPECT_FALSE(FindEntry(Path("F\\*.none").c_str(), 1, nullptr, nullptr));
  EXPECT_EQ(FsOpenFindCount(), 0);

  char asFound[kFsPathSize];
  ASSERT_TRUE(FindEntryAsFound(Path("F\\BETA.txt").c_str(), 1, asFound, nullptr));
  EXPECT_STREQ(asFound, "BETA.txt");
}

using ClearDirectoryTest = TempTree;

// Upper-case names make a native run fail if entries were addressed by their lower-cased names.
TEST_F(ClearDirectoryTest, KeepsReadOnlyFileWithItsParentsAndDotDirectoriesRemovesTheRest) {
  Make({"Top\\",
        "Top\\a.txt",
        "Top\\B.TXT",
        "Top\\.profile",
        "Top\\noext",
        "Top\\.cache\\",
        "Top\\.cache\\keep.bin",
        "Top\\Sub1\\",
        "Top\\Sub1\\x.txt",
        "Top\\Sub1\\Deep\\",
        "Top\\Sub1\\Deep\\RO.txt",
        "Top\\Sub1\\Deep\\y",
        "Top\\Sub1\\Deep\\Other\\",
        "Top\\Sub1\\Deep\\Other\\z.txt",
        "Top\\Sub2\\",
        "Top\\Sub2\\Inner\\",
        "Top\\Sub2\\Inner\\W.txt",
        "Gone\\",
        "Gone\\Child\\",
        "Gone\\Child\\f.txt"});
  ASSERT_TRUE(FsSetReadOnly(Path("Top\\Sub1\\Deep\\RO.txt").c_str(), true));

  EXPECT_FALSE(ClearDirectory(Path("Top").c_str(), true));
  EXPECT_EQ(Below("Top"),
            (Names{".cache", ".cache/keep.bin", "Sub1", "Sub1/Deep", "Sub1/Deep/RO.txt"}));
  EXPECT_EQ(FsOpenFindCount(), 0);
  // Asked to remove itself too, it reports whether the directory went away.
  EXPECT_TRUE(ClearDirectory(Path("Gone").c_str(), true));
  EXPECT_FALSE(Exists("Gone"));
}

TEST_F(ClearDirectoryTest, LeavesAnEntryWhosePathWouldNotFitAlone) {
  // A directory whose own path fits, holding a short name (removed) and a name that would push
  // the full path past 259 characters (left alone, so the directory stays).
  std::string dir = "Long";
  Make({dir + "\\"});
  while (Path(dir).size() < 230) {
    dir += "\\" + std::string(20, 'd');
    Make({dir + "\\"});
  }
  const fs::path longFile = Host(Path(dir)) / std::string(kFsPathSize - Path(dir).size(), 'n');
  std::FILE* file = std::fopen(longFile.string().c_str(), "wb");
  if (file == nullptr) GTEST_SKIP() << "this host refuses paths that long";
  std::fclose(file);
  Make({dir + "\\s.txt"});

  EXPECT_FALSE(ClearDirectory(Path("Long").c_str(), false));
  EXPECT_FALSE(Exists(dir + "\\s.txt"));
  EXPECT_TRUE(fs::exists(longFile));
}

// A random tree below "T": files (some read-only), directories (some empty, some deep), names
// in mixed case, dot-files and dot-directories. Returns the entries in creation order and the
// read-only files.
void RandomTree(unsigned seed, Names* entries, Names* readOnly) {
  std::mt19937 random(seed);
  int serial = 0;
  auto name = [&](bool dot) {
    std::string text =
        (dot ? "." : "") + std::to_string(++serial) + std::string("abcxyz").substr(random() % 6);
    for (char& c : text) {
      if (random() % 3 == 0) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    }
    return text;
  };
  entries->push_back("T\\");
  Names directories{"T"};
  for (size_t i = 0; i < directories.size(); ++i) {
    const std::string dir = directories[i];
    const int depth = static_cast<int>(std::count(dir.begin(), dir.end(), '\\'));
    for (int n = static_cast<int>(random() % 6) + (depth == 0 ? 8 : 0); n > 0; --n) {
      const unsigned kind = random() % 20;
      const std::string path = dir + "\\" + name(kind % 5 == 0);
      if (kind < 5 && depth < 4) {
        entries->push_back(path + "\\");
        directories.push_back(path);
      } else {
        entries->push_back(path);
        if (kind == 19) readOnly->push_back(path);
      }
    }
  }
}

// Catches a walk that loses or revisits entries while it deletes during the enumeration, or
// that treats read-only files, dot-names or names in mixed case differently from the plain
// walk that restarts for every entry.
TEST_F(ClearDirectoryTest, StreamingWalkLeavesExactlyWhatTheRestartingWalkLeaves) {
#ifndef _WIN32
  Make({"Outside\\", "Outside\\keep.txt"});
#endif
  size_t readOnlyFiles = 0, created = 0, kept = 0;
  for (unsigned seed = 1; seed <= 12; ++seed) {
    SCOPED_TRACE(seed);
    Names tree, readOnly;
    RandomTree(seed, &tree, &readOnly);
    const std::string a = "A" + std::to_string(seed), b = "B" + std::to_string(seed);
    Make({a + "\\", b + "\\"});
    for (const std::string& top : {a, b}) {
      for (const std::string& entry : tree) Make({top + "\\" + entry});
      for (const std::string& file : readOnly) {
        ASSERT_TRUE(FsSetReadOnly(Path(top + "\\" + file).c_str(), true));
      }
#ifndef _WIN32
      // Links to a directory outside, one of them dangling: removed, never followed.
      ASSERT_EQ(symlink(Host(Path("Outside")).c_str(), Host(Path(top + "\\T\\Link")).c_str()), 0);
      ASSERT_EQ(symlink("/nonexistent-tsarin", Host(Path(top + "\\T\\Dangling")).c_str()), 0);
#endif
    }
    const bool removeItself = seed % 2 == 0;
    EXPECT_EQ(ClearDirectory(Path(a + "\\T").c_str(), removeItself),
              ClearDirectoryByRestart(Path(b + "\\T").c_str(), removeItself));
    EXPECT_EQ(Below(a), Below(b));
    EXPECT_EQ(FsOpenFindCount(), 0);
    // Not vacuous: the read-only files are there to stay, and plenty of the rest went away.
    for (const std::string& file : readOnly) EXPECT_TRUE(Exists(a + "\\" + file)) << file;
    readOnlyFiles += readOnly.size();
    created += tree.size();
    kept += Below(a).size();
  }
#ifndef _WIN32
  EXPECT_EQ(Below("Outside"), (Names{"keep.txt"}));
#endif
  EXPECT_GT(readOnlyFiles, 3u);
  EXPECT_LT(kept * 2, created);
}

// Catches entries skipped or lost when the deletions cross the boundary of the batches in which
// the system hands out a large directory's names.
TEST_F(ClearDirectoryTest, DeletesEveryEntryOfADirectoryFarLargerThanOneEnumerationBatch) {
  Make({"Big\\"});
  Names kept;
  for (int i = 0; i < 2000; ++i) {
    const std::string name = "entry-with-a-fairly-long-name-" + std::to_string(i);
    Make({"Big\\" + name});
    if (i % 97 == 0) {
      ASSERT_TRUE(FsSetReadOnly(Path("Big\\" + name).c_str(), true));
      kept.push_back(name);
    }
  }
  std::sort(kept.begin(), kept.end());
  EXPECT_FALSE(ClearDirectory(Path("Big").c_str(), true));
  EXPECT_EQ(Below("Big"), kept);
}

#ifndef _WIN32
TEST(FsPath, DriveLettersMapToConfiguredRootsAndUnmappedDrivesDoNotExist) {
  char host[64];
  ASSERT_TRUE(FsSetDriveRoot('s', "/srv/s/"));
  ASSERT_TRUE(FsNativePath("S:\\a\\b", host, sizeof host));
  EXPECT_STREQ(host, "/srv/s/a/b");
  ASSERT_TRUE(FsSetDriveRoot('S', nullptr));
  EXPECT_FALSE(FsNativePath("S:\\a", host, sizeof host));
  EXPECT_EQ(FsCreateDirectory("S:\\a"), kFsMissingComponent);
  EXPECT_FALSE(FsNativePath(("C:\\" + std::string(sizeof host, 'a')).c_str(), host, sizeof host));
}

// The guard under the translation: whatever path a fault makes, nothing outside the allowed
// folder changes; the process ends instead. Reached here through "..", a link to a folder
// outside, a link to a file outside, and the host's root (what a translation that turns every
// character into '/' gives).
TEST_F(TempTree, ChangesOutsideTheAllowedFolderEndTheProcessAndTouchNothing) {
  char outside[] = "/tmp/tsarin-outside-XXXXXX";
  ASSERT_NE(mkdtemp(outside), nullptr);
  const fs::path victim = fs::path(outside) / "victim.txt";
  {
    FILE* file = fopen(victim.c_str(), "w");
    ASSERT_NE(file, nullptr);
    fputs("keep", file);
    fclose(file);
  }
  fs::create_directory_symlink(outside, Host(Path("out-dir")));
  fs::create_symlink(victim, Host(Path("out-file")));
  const std::string up = "..\\" + fs::path(outside).filename().string();
  const char* refused = "refused to .* outside the folders this process may change";
  EXPECT_DEATH(FsDeleteFile(Path(up + "\\victim.txt").c_str()), refused);
  EXPECT_DEATH(FsDeleteFile(Path("out-dir\\victim.txt").c_str()), refused);
  EXPECT_DEATH(FsOpenWrite(Path("out-file").c_str()), refused);
  EXPECT_DEATH(FsSetReadOnly(Path("out-file").c_str(), true), refused);
  EXPECT_DEATH(FsCreateDirectory(Path("out-dir\\new").c_str()), refused);
  EXPECT_DEATH(FsRemoveDirectory(Path(up).c_str()), refused);
  EXPECT_DEATH(FsRemoveDirectory("C:\\"), refused);
  // The links themselves lie inside: removing them is allowed, and leaves the targets.
  EXPECT_TRUE(FsDeleteFile(Path("out-file").c_str()));
  EXPECT_TRUE(FsRemoveDirectoryLink(Path("out-dir").c_str()));
  std::error_code ec;
  EXPECT_EQ(fs::file_size(victim, ec), 4u);
  EXPECT_FALSE(fs::exists(fs::path(outside) / "new"));
  fs::remove_all(outside, ec);
}
#endif

TEST_F(TempTree, FsLayerKeepsReadOnlyFilesAndRealDirectoriesAndReportsMissingParents) {
  Make({"ro.txt", "E\\"});
  ASSERT_TRUE(FsSetReadOnly(Path("ro.txt").c_str(), true));
  EXPECT_FALSE(FsDeleteFile(Path("ro.txt").c_str()));
  FILE* overwrite = FsOpenWrite(Path("ro.txt").c_str());
  EXPECT_EQ(overwrite, nullptr);
  if (overwrite != nullptr) fclose(overwrite);
  ASSERT_TRUE(FsSetReadOnly(Path("ro.txt").c_str(), false));
  EXPECT_TRUE(FsDeleteFile(Path("ro.txt").c_str()));
  EXPECT_FALSE(Exists("ro.txt"));

  EXPECT_EQ(FsCreateDirectory(Path("none\\sub").c_str()), kFsMissingComponent);
  EXPECT_EQ(FsCreateDirectory(Path("E").c_str()), EEXIST);
  EXPECT_FALSE(FsDeleteFile(Path("E").c_str()));
  EXPECT_FALSE(FsRemoveDirectoryLink(Path("E").c_str()));
}

}  // namespace
