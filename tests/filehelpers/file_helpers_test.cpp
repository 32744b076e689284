#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "shell/file_helpers.h"
#include "shell/fs_platform.h"

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

// A fresh, real directory per test. Natively it is reached through drive T:, so the helpers see
// the Windows-style paths they get in the product.
class TempTree : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    static int counter = 0;
    const char* temp = getenv("TEMP");
    root_ = std::string(temp ? temp : "C:\\windows\\temp") + "\\tsarin-fh-" +
            std::to_string(_getpid()) + "-" + std::to_string(++counter);
    ASSERT_EQ(FsCreateDirectory(root_.c_str()), 0);
#else
    char host[] = "/tmp/tsarin-fh-XXXXXX";
    ASSERT_NE(mkdtemp(host), nullptr);
    ASSERT_TRUE(FsSetDriveRoot('T', host));
    root_ = "T:";
#endif
    host_ = Host(root_);
  }

  void TearDown() override {
    std::error_code ec;
    for (fs::recursive_directory_iterator it(host_, ec), end; !ec && it != end; it.increment(ec)) {
      if (!it->is_symlink())
        fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ec);
    }
    fs::remove_all(host_, ec);
#ifndef _WIN32
    FsSetDriveRoot('T', nullptr);
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
  void MakeDir(const std::string& relative) {
    ASSERT_EQ(FsCreateDirectory(Path(relative).c_str()), 0) << relative;
  }
  void MakeFile(const std::string& relative, const char* text = "x") {
    FILE* file = FsOpenWrite(Path(relative).c_str());
    ASSERT_NE(file, nullptr) << relative;
    fputs(text, file);
    fclose(file);
  }
  bool Exists(const std::string& relative) const {
    std::error_code ec;
    return fs::exists(fs::symlink_status(Host(Path(relative)), ec));
  }
  bool IsDir(const std::string& relative) const {
    std::error_code ec;
    return fs::is_directory(fs::symlink_status(Host(Path(relative)), ec));
  }

  std::string root_;  // Windows-style, without a trailing backslash
  fs::path host_;
};

// A 260-byte path buffer followed by a guard, to see writes past its end.
struct PathBuffer {
  char text[kFsPathSize];
  char guard[8];
  explicit PathBuffer(const std::string& value) {
    memset(guard, 'G', sizeof guard);
    snprintf(text, sizeof text, "%s", value.c_str());
  }
  bool GuardIntact() const {
    return std::all_of(guard, guard + 8, [](char c) { return c == 'G'; });
  }
};

TEST(Backslash, AppendLeavesEmptyBareDriveAndTerminatedPathsAlone) {
  for (const char* unchanged : {"", "D:", "C:\\Apps\\"}) {
    PathBuffer path(unchanged);
    AppendBackslash(path.text);
    EXPECT_STREQ(path.text, unchanged);
  }
  PathBuffer path("C:\\Apps");
  AppendBackslash(path.text);
  EXPECT_STREQ(path.text, "C:\\Apps\\");
}

TEST(Backslash, AppendNeverWritesPastAFullPathBuffer) {
  PathBuffer full(std::string(kFsPathSize - 1, 'a'));
  AppendBackslash(full.text);
  EXPECT_EQ(strlen(full.text), kFsPathSize - 1);
  EXPECT_TRUE(full.GuardIntact());
  PathBuffer roomForOne(std::string(kFsPathSize - 2, 'a'));
  AppendBackslash(roomForOne.text);
  EXPECT_EQ(roomForOne.text[kFsPathSize - 2], '\\');
}

TEST(Backslash, StripRemovesExactlyOne) {
  PathBuffer two("C:\\Apps\\\\");
  StripBackslash(two.text);
  EXPECT_STREQ(two.text, "C:\\Apps\\");
  PathBuffer root("C:\\");
  StripBackslash(root.text);
  EXPECT_STREQ(root.text, "C:");
  PathBuffer empty("");
  StripBackslash(empty.text);
  EXPECT_STREQ(empty.text, "");
}

TEST(MatchWildcard, ReadmePatternNeedsTheDotButIgnoresCase) {
  EXPECT_FALSE(MatchWildcard("readme", "readme.*"));
  EXPECT_TRUE(MatchWildcard("Readme.HTM", "readme.*"));
  EXPECT_TRUE(MatchWildcard("README.", "readme.*"));
  EXPECT_TRUE(MatchWildcard("Proto_Lib.dll", "proto_*"));
  EXPECT_TRUE(MatchWildcard("anything", "*ignored"));
}

TEST(MatchWildcard, WithoutStarTheWholeNameMustMatch) {
  EXPECT_FALSE(MatchWildcard("ab", "abc"));
  EXPECT_FALSE(MatchWildcard("abc", "ab"));
  EXPECT_TRUE(MatchWildcard("", ""));
  // Only A-Z fold: bytes of the code page's upper half are compared as they are.
  EXPECT_FALSE(MatchWildcard("\xC4", "\xE4"));
}

TEST(MatchWildcard, QuestionMarkNeverMatchesTheEndOfTheName) {
  EXPECT_TRUE(MatchWildcard("abc", "a?c"));
  EXPECT_FALSE(MatchWildcard("ab", "ab?"));
  EXPECT_FALSE(MatchWildcard("", "?"));
}

using CreatePathTest = TempTree;

TEST_F(CreatePathTest, CreatesEveryMissingLevelAndRestoresThePath) {
  MakeDir("Data");
  PathBuffer path(Path("Data\\One\\Two\\"));
  const std::string before = path.text;
  EXPECT_TRUE(CreatePath(path.text));
  EXPECT_EQ(before, path.text);
  EXPECT_TRUE(IsDir("Data\\One\\Two"));
  PathBuffer noBackslash(Path("Data\\Three\\Four"));
  EXPECT_TRUE(CreatePath(noBackslash.text));
  EXPECT_TRUE(IsDir("Data\\Three\\Four"));
}

TEST_F(CreatePathTest, FailsOnAMissingDrive) {
#ifndef _WIN32
  FsSetDriveRoot('Q', nullptr);
#endif
  if (DirectoryExists("Q:\\")) GTEST_SKIP() << "drive Q: exists here";
  PathBuffer path("Q:\\Tsarin\\Sub\\");
  EXPECT_FALSE(CreatePath(path.text));
  EXPECT_STREQ(path.text, "Q:\\Tsarin\\Sub\\");
}

TEST_F(CreatePathTest, AFileInTheWayIsNotAMissingParentButAFileAsParentIs) {
  MakeDir("Data");
  MakeFile("Data\\file");
  PathBuffer onFile(Path("Data\\file\\"));
  EXPECT_TRUE(CreatePath(onFile.text));
  EXPECT_FALSE(IsDir("Data\\file"));
  PathBuffer below(Path("Data\\file\\Sub\\"));
  EXPECT_FALSE(CreatePath(below.text));
}

TEST_F(CreatePathTest, RefusesAPathTooLongForItsBuffer) {
  std::string longPath = Path(std::string(300, 'a'));
  std::vector<char> text(longPath.begin(), longPath.end());
  text.push_back('\0');
  EXPECT_FALSE(CreatePath(text.data()));
  EXPECT_EQ(longPath, text.data());
}

using DirectoryExistsTest = TempTree;

TEST_F(DirectoryExistsTest, FalseForAFileTrueWhateverTheTrailingBackslashes) {
  MakeDir("Apps");
  MakeFile("file.txt");
  EXPECT_TRUE(DirectoryExists(Path("Apps").c_str()));
  EXPECT_TRUE(DirectoryExists(Path("Apps\\\\\\").c_str()));
  EXPECT_FALSE(DirectoryExists(Path("file.txt").c_str()));
  EXPECT_FALSE(DirectoryExists(Path("missing").c_str()));
  EXPECT_TRUE(DirectoryExists((root_ + "\\").c_str()));
}

TEST_F(DirectoryExistsTest, RefusesAPathTooLongForItsBufferEvenIfOnlyBackslashesOverhang) {
  MakeDir("Apps");
  EXPECT_FALSE(DirectoryExists((Path("Apps") + std::string(300, '\\')).c_str()));
}

using FindEntryTest = TempTree;

TEST_F(FindEntryTest, DeliversTheThirdOfThreeNoFourthAndLeavesNoSearchOpen) {
  MakeDir("F");
  for (const char* name : {"F\\Alpha.txt", "F\\BETA.txt", "F\\gamma.txt", "F\\other.dat"}) {
    MakeFile(name);
  }
  const std::string pattern = Path("F\\*.txt");
  std::vector<std::string> names;
  for (int n = 1; n <= 3; ++n) {
    char name[kFsPathSize];
    uint32_t attributes = 0;
    ASSERT_TRUE(FindEntry(pattern.c_str(), n, name, &attributes)) << n;
    EXPECT_EQ(attributes & kFsAttrDirectory, 0u);
    EXPECT_EQ(FsOpenFindCount(), 0);
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"alpha.txt", "beta.txt", "gamma.txt"}));
  EXPECT_FALSE(FindEntry(pattern.c_str(), 4, nullptr, nullptr));
  EXPECT_FALSE(FindEntry(Path("F\\*.none").c_str(), 1, nullptr, nullptr));
  EXPECT_EQ(FsOpenFindCount(), 0);
}

TEST_F(FindEntryTest, AsFoundKeepsTheFileSystemsSpelling) {
  MakeFile("MixedCase.TXT");
  char name[kFsPathSize];
  ASSERT_TRUE(FindEntryAsFound(Path("MixedCase.TXT").c_str(), 1, name, nullptr));
  EXPECT_STREQ(name, "MixedCase.TXT");
}

using ClearDirectoryTest = TempTree;

// Upper-case names make a native run fail if entries were addressed by their lower-cased names.
TEST_F(ClearDirectoryTest, KeepsAReadOnlyFileWithItsParentsAndRemovesEverythingElse) {
  for (const char* dir : {"Top", "Top\\Sub1", "Top\\Sub1\\Deep", "Top\\Sub1\\Deep\\Other",
                          "Top\\Sub2", "Top\\Sub2\\Inner"}) {
    MakeDir(dir);
  }
  for (const char* file : {"Top\\a.txt", "Top\\B.TXT", "Top\\.profile", "Top\\noext",
                           "Top\\Sub1\\x.txt", "Top\\Sub1\\Deep\\RO.txt", "Top\\Sub1\\Deep\\y",
                           "Top\\Sub1\\Deep\\Other\\z.txt", "Top\\Sub2\\Inner\\W.txt"}) {
    MakeFile(file);
  }
  ASSERT_TRUE(FsSetReadOnly(Path("Top\\Sub1\\Deep\\RO.txt").c_str(), true));

  EXPECT_FALSE(ClearDirectory(Path("Top").c_str(), false));

  EXPECT_TRUE(Exists("Top\\Sub1\\Deep\\RO.txt"));
  std::vector<std::string> left;
  for (const auto& entry : fs::recursive_directory_iterator(Host(Path("Top")))) {
    left.push_back(entry.path().lexically_relative(Host(Path("Top"))).generic_string());
  }
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"Sub1", "Sub1/Deep", "Sub1/Deep/RO.txt"}));
  EXPECT_EQ(FsOpenFindCount(), 0);
}

TEST_F(ClearDirectoryTest, RemoveItselfReportsWhetherTheDirectoryWentAway) {
  MakeDir("Gone");
  MakeDir("Gone\\Child");
  MakeFile("Gone\\Child\\f.txt");
  EXPECT_TRUE(ClearDirectory(Path("Gone").c_str(), true));
  EXPECT_FALSE(Exists("Gone"));
  MakeDir("Stays");
  MakeFile("Stays\\ro.txt");
  ASSERT_TRUE(FsSetReadOnly(Path("Stays\\ro.txt").c_str(), true));
  EXPECT_FALSE(ClearDirectory(Path("Stays").c_str(), true));
  EXPECT_TRUE(Exists("Stays\\ro.txt"));
}

TEST_F(ClearDirectoryTest, NeitherEntersNorRemovesDotDirectories) {
  MakeDir("Top");
  MakeDir("Top\\.cache");
  MakeFile("Top\\.cache\\keep.bin");
  EXPECT_FALSE(ClearDirectory(Path("Top").c_str(), false));
  EXPECT_TRUE(Exists("Top\\.cache\\keep.bin"));
}

TEST_F(ClearDirectoryTest, LeavesAnEntryWhosePathWouldNotFitAlone) {
  // A directory whose own path fits, holding a short name (removed) and a name that would push
  // the full path past 259 characters (left alone, so the directory stays).
  std::string dir = "Long";
  MakeDir(dir);
  while (Path(dir).size() < 230) {
    dir += "\\" + std::string(20, 'd');
    MakeDir(dir);
  }
  const std::string longName(kFsPathSize - Path(dir).size(), 'n');
  std::error_code ec;
  fs::create_directories(Host(Path(dir)), ec);
  std::FILE* file = std::fopen((Host(Path(dir)) / longName).string().c_str(), "wb");
  if (file == nullptr) GTEST_SKIP() << "this host refuses paths that long";
  std::fclose(file);
  MakeFile(dir + "\\s.txt");

  EXPECT_FALSE(ClearDirectory(Path("Long").c_str(), false));
  EXPECT_FALSE(Exists(dir + "\\s.txt"));
  EXPECT_TRUE(fs::exists(Host(Path(dir)) / longName));
}

#ifndef _WIN32
TEST_F(ClearDirectoryTest, RemovesADirectoryLinkButNeverWhatItPointsAt) {
  MakeDir("Target");
  MakeFile("Target\\precious.txt");
  MakeDir("Top");
  ASSERT_EQ(symlink(Host(Path("Target")).c_str(), Host(Path("Top\\Link")).c_str()), 0);
  uint32_t attributes = 0;
  ASSERT_TRUE(FindEntry(Path("Top\\Link").c_str(), 1, nullptr, &attributes));
  EXPECT_EQ(attributes & (kFsAttrDirectory | kFsAttrReparsePoint),
            kFsAttrDirectory | kFsAttrReparsePoint);

  EXPECT_FALSE(ClearDirectory(Path("Top").c_str(), false));
  EXPECT_TRUE(Exists("Target\\precious.txt"));
  EXPECT_FALSE(Exists("Top\\Link"));
}

TEST(FsPath, DriveLettersMapToConfiguredRoots) {
  char host[64];
  ASSERT_TRUE(FsNativePath("C:\\tmp\\x", host, sizeof host));
  EXPECT_STREQ(host, "/tmp/x");
  ASSERT_TRUE(FsNativePath("c:", host, sizeof host));
  EXPECT_STREQ(host, "/");
  ASSERT_TRUE(FsNativePath("rel\\sub", host, sizeof host));
  EXPECT_STREQ(host, "rel/sub");
  ASSERT_TRUE(FsSetDriveRoot('s', "/srv/s/"));
  ASSERT_TRUE(FsNativePath("S:\\a", host, sizeof host));
  EXPECT_STREQ(host, "/srv/s/a");
  ASSERT_TRUE(FsSetDriveRoot('S', nullptr));
  EXPECT_FALSE(FsNativePath("S:\\a", host, sizeof host));
  EXPECT_EQ(FsCreateDirectory("S:\\a"), kFsMissingComponent);
  EXPECT_FALSE(FsNativePath(("C:\\" + std::string(sizeof host, 'a')).c_str(), host, sizeof host));
}
#endif

using FsLayerTest = TempTree;

TEST_F(FsLayerTest, ReadOnlyFileCanBeNeitherDeletedNorOverwritten) {
  MakeFile("ro.txt", "keep");
  ASSERT_TRUE(FsSetReadOnly(Path("ro.txt").c_str(), true));
  EXPECT_FALSE(FsDeleteFile(Path("ro.txt").c_str()));
  FILE* overwrite = FsOpenWrite(Path("ro.txt").c_str());
  EXPECT_EQ(overwrite, nullptr);
  if (overwrite != nullptr) fclose(overwrite);
  ASSERT_TRUE(FsSetReadOnly(Path("ro.txt").c_str(), false));
  EXPECT_TRUE(FsDeleteFile(Path("ro.txt").c_str()));
  EXPECT_FALSE(Exists("ro.txt"));
}

TEST_F(FsLayerTest, OpenWriteTruncatesAndOpenReadReadsBack) {
  MakeFile("f.bin", "longer text");
  MakeFile("f.bin", "hi");
  FILE* file = FsOpenRead(Path("f.bin").c_str());
  ASSERT_NE(file, nullptr);
  char text[32] = {};
  EXPECT_EQ(fread(text, 1, sizeof text, file), 2u);
  fclose(file);
  EXPECT_STREQ(text, "hi");
}

TEST_F(FsLayerTest, StarDotStarListsEveryNameIncludingDotEntries) {
  MakeDir("E");
  MakeFile("E\\noext");
  MakeFile("E\\a.b");
  MakeDir("E\\Dir");
  std::vector<std::string> names;
  FsFindData data;
  FsFind* find = FsFindFirst(Path("E\\*.*").c_str(), &data);
  ASSERT_NE(find, nullptr);
  do {
    names.push_back(data.name);
    EXPECT_EQ((data.attributes & kFsAttrDirectory) != 0,
              names.back() != "noext" && names.back() != "a.b");
  } while (FsFindNext(find, &data));
  FsFindClose(find);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{".", "..", "Dir", "a.b", "noext"}));
}

TEST_F(FsLayerTest, CreateDirectoryReportsAMissingParentAsEnoent) {
  EXPECT_EQ(FsCreateDirectory(Path("none\\sub").c_str()), kFsMissingComponent);
  MakeDir("here");
  EXPECT_EQ(FsCreateDirectory(Path("here").c_str()), EEXIST);
  EXPECT_FALSE(FsDeleteFile(Path("here").c_str()));
  EXPECT_TRUE(FsRemoveDirectory(Path("here").c_str()));
  EXPECT_FALSE(FsRemoveDirectoryLink(Path("here").c_str()));
}

}  // namespace
