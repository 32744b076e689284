// The uninstaller on a real tree that stands in for drive C: which values it trusts, what it
// removes and in which order, and how Retry and Cancel go on.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "setup/recording_seams.h"
#include "shell/fs_platform.h"
#include "uninstall/uninstall_plan.h"

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

const std::string kKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tessarin";
const std::string kInstall = "C:\\Program Files\\TSarin\\";
const std::string kPrograms = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";
const std::string kStartMenu = kPrograms + "\\Tessarin";
const std::string kDesktopLink = "C:\\Users\\Public\\Desktop\\Tessarin.Lnk";
const std::string kSendToLink =
    "C:\\Users\\Setup\\AppData\\Roaming\\Microsoft\\Windows\\SendTo\\Tessarin.Lnk";
const std::string kDocuments = "C:\\Users\\Setup\\Documents";
// The temporary copy that does the work.
const char kRunning[] = "C:\\Users\\Setup\\AppData\\Local\\Temp\\Tessarin-uninstall-1\\uninst.exe";

// Files the product does not own; each must outlive every uninstall.
const Lines kOthers = {"C:\\Windows\\win.ini",
                       kDocuments + "\\letter.txt",
                       kDocuments + "\\Tessarin\\notes.txt",
                       "C:\\Program Files\\Other\\keep.txt",
                       kPrograms + "\\Other\\Other.Lnk",
                       "C:\\Apps\\Other\\tsn.exe",
                       "C:\\Apps\\Copy\\uninst.exe",
                       "C:\\Users\\Public\\Desktop\\Other.Lnk",
                       "C:\\Users\\Setup\\AppData\\Roaming\\Microsoft\\Windows\\SendTo\\x.txt"};
const Lines kProduct = {kInstall + "uninst.exe",
                        kInstall + "tsn.exe",
                        kInstall + "ReadMe.htm",
                        kInstall + "Profiles\\default.prf",
                        kInstall + "Textures\\wood.tex",
                        kStartMenu + "\\Tessarin Program.Lnk",
                        kStartMenu + "\\UnInstall Tessarin.Lnk",
                        kDesktopLink,
                        kSendToLink};

// The registry, the questions and the program file's removal, recorded.
struct FakeHost final : UninstallHost {
  std::map<std::string, std::string> values = {{"InstallLocation", kInstall},
                                               {"D_start", kStartMenu + "\\"},
                                               {"F_dtop", kDesktopLink},
                                               {"F_sendto", kSendToLink}};
  bool keyExists = true;
  bool yes = true;
  std::function<bool()> retry = [] { return false; };
  std::function<void(const std::string&)> onStep = [](const std::string&) {};
  Lines calls;

  bool ReadValue(const char* subKey, const char* name, char* buffer) override {
    auto found = values.find(name);
    if (subKey != kKey || !keyExists || found == values.end()) return false;
    std::snprintf(buffer, kUninstallPathSize, "%s", found->second.c_str());
    return true;
  }
  bool DeleteKey(const char* subKey) override {
    calls.push_back(std::string("DeleteKey ") + subKey);
    onStep("DeleteKey");
    keyExists = false;
    return true;
  }
  bool AskYesNo(const char* text) override {
    calls.push_back(std::string("YesNo ") + text);
    return yes;
  }
  bool AskRetry(const char* text) override {
    calls.push_back(std::string("Retry ") + text);
    return retry();
  }
  void Tell(const char* text, bool problem) override {
    calls.push_back(std::string(problem ? "Warn " : "Tell ") + text);
  }
  ProgramRemoval RemoveProgram(const char* path) override {
    calls.push_back(std::string("RemoveProgram ") + path);
    onStep("RemoveProgram");
    return FsDeleteFile(path) ? ProgramRemoval::kRemoved : ProgramRemoval::kFailed;
  }
  void RemoveAtRestart(const char* path) override {
    calls.push_back(std::string("RemoveAtRestart ") + path);
  }
};

class UninstallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char host[] = "/tmp/tsarin-uninst-XXXXXX";
    ASSERT_NE(mkdtemp(host), nullptr);
    top_ = host;
    ASSERT_TRUE(FsSetDriveRoot('C', host));
    ASSERT_TRUE(FsAllowChangesIn(host));
  }
  void TearDown() override {
    Wipe();
    fs::remove(top_);
    FsSetDriveRoot('C', "/");
    FsForgetAllowedFolders();
  }
  void Wipe() {
    std::error_code ec;
    for (fs::recursive_directory_iterator it(top_, ec), end; !ec && it != end; it.increment(ec)) {
      if (!it->is_symlink()) fs::permissions(it->path(), fs::perms::owner_all, ec);
    }
    for (const fs::path& entry : fs::directory_iterator(top_)) fs::remove_all(entry);
  }

  static fs::path Host(const std::string& path) {
    char host[4096];
    EXPECT_TRUE(FsNativePath(path.c_str(), host, sizeof host));
    return host;
  }
  static void Write(const std::string& path) {
    fs::create_directories(Host(path).parent_path());
    std::ofstream(Host(path)) << path;
  }
  static bool Exists(const std::string& path) { return fs::exists(fs::symlink_status(Host(path))); }
  // Every entry below the drive, links as links.
  std::set<std::string> Tree() const {
    std::set<std::string> out;
    for (const auto& entry : fs::recursive_directory_iterator(top_))
      out.insert(entry.path().lexically_relative(top_).string());
    return out;
  }

  // The product as the setup leaves it, among files of others and two directory links: one
  // inside the product's folder to the user's documents, and C:\Apps\Linked to the folder.
  void MakeDrive() {
    Wipe();
    for (const std::string& path : kOthers) Write(path);
    others_ = Tree();
    for (const std::string& path : kProduct) Write(path);
    fs::create_directory_symlink(Host(kDocuments), Host(kInstall + "Docs"));
    fs::create_directory_symlink(Host(kInstall), Host("C:\\Apps\\Linked"));
    others_.insert("Apps/Linked");
  }

  int Run(FakeHost& host, const std::string& startedFrom = kInstall + "uninst.exe") {
    return RunUninstall("Tessarin", startedFrom.c_str(), kRunning, host, desktop_);
  }

  fs::path top_;
  std::set<std::string> others_;  // the tree without the product
  RecordingDesktop desktop_;      // the shell's folders of a current Windows
};

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST_F(UninstallTest, TamperedValuesAreRefusedOrLeftAloneAndNeverWidenTheRemoval) {
  enum Outcome { kRefused, kNotInstalled, kLeftAlone, kRemoved };
  struct Row {
    const char* value;        // the value changed; "" for the whole key
    const char* text;         // its new text; null removes it
    const char* startedFrom;  // null: the product's own uninstaller
    Outcome outcome;
  } rows[] = {
      {"InstallLocation", "C:\\", nullptr, kRefused},
      {"InstallLocation", "C:\\Windows\\", nullptr, kRefused},
      {"InstallLocation", "C:\\Users\\", nullptr, kRefused},
      {"InstallLocation", "C:\\Program Files\\", nullptr, kRefused},
      {"InstallLocation", "Program Files\\TSarin\\", nullptr, kRefused},
      {"InstallLocation", "C:\\PROGRA~1\\TSarin\\", nullptr, kRefused},
      {"InstallLocation", "C:\\Apps\\Other\\", "C:\\Apps\\Other\\uninst.exe", kRefused},
      {"InstallLocation", "C:\\Apps\\Linked\\", "C:\\Apps\\Linked\\uninst.exe", kRefused},
      {"InstallLocation", "C:\\Program Files\\TSarin\\", "C:\\Apps\\Copy\\uninst.exe", kRefused},
      // Spelled differently, as the setup accepts a typed directory: the same folder.
      {"InstallLocation", "C:/Program Files//TSarin\\", nullptr, kRemoved},
      {"InstallLocation", nullptr, nullptr, kNotInstalled},
      {"D_start", nullptr, nullptr, kNotInstalled},
      {"", nullptr, nullptr, kNotInstalled},
      {"D_start", "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\", nullptr,
       kLeftAlone},
      {"D_start", "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Other\\", nullptr,
       kLeftAlone},
      {"D_start", "C:\\Users\\Setup\\Documents\\Tessarin\\", nullptr, kLeftAlone},
      {"F_dtop", "C:\\Users\\Setup\\Documents\\letter.txt", nullptr, kLeftAlone},
      {"F_sendto", "C:\\Users\\Setup\\Documents", nullptr, kLeftAlone},
      {"F_dtop", "C:\\Users\\Public\\Desktop\\..\\Tessarin.Lnk", nullptr, kLeftAlone},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.value) + " = " + (row.text ? row.text : "(none)"));
    MakeDrive();
    const std::set<std::string> before = Tree();
    FakeHost host;
    if (row.value[0] == '\0') host.keyExists = false;
    if (row.text)
      host.values[row.value] = row.text;
    else
      host.values.erase(row.value);
    int result = Run(host, row.startedFrom ? row.startedFrom : kInstall + "uninst.exe");

    for (const std::string& path : kOthers) EXPECT_TRUE(Exists(path)) << path;
    if (row.outcome == kLeftAlone || row.outcome == kRemoved) {
      EXPECT_EQ(result, kUninstallRemoved);
      EXPECT_FALSE(Exists(kInstall));
      EXPECT_FALSE(host.keyExists);
      EXPECT_EQ(Contains(host.calls.back(), "left alone") &&
                    Contains(host.calls.back(), std::string(row.value) + ": " + row.text),
                row.outcome == kLeftAlone)
          << host.calls.back();
      continue;
    }
    // Nothing at all is removed, not even what the other values name.
    EXPECT_EQ(result, kUninstallUnchanged);
    EXPECT_EQ(Tree(), before);
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(host.calls[0].rfind("Warn ", 0), 0u);
    EXPECT_TRUE(row.outcome == kNotInstalled
                    ? Contains(host.calls[0], "Tessarin is not installed on this computer.")
                    : Contains(host.calls[0], std::string("\n") + row.text + "\n"))
        << host.calls[0];
  }
}

// No: nothing changes. Yes: the product's files, then its shortcuts, then the uninstaller and
// its folder, the key last; the folder link inside is removed as a link.
TEST_F(UninstallTest, RemovesInOrderOnlyWhatTheProductOwns) {
  MakeDrive();
  const std::set<std::string> before = Tree();
  FakeHost declined;
  declined.yes = false;
  EXPECT_EQ(Run(declined), kUninstallUnchanged);
  EXPECT_EQ(Tree(), before);
  ASSERT_EQ(declined.calls.size(), 1u);
  EXPECT_TRUE(Contains(declined.calls[0], "remove Tessarin from this computer?") &&
              Contains(declined.calls[0], "\n" + kInstall + "\n"))
      << declined.calls[0];

  FakeHost host;
  host.onStep = [&](const std::string& step) {
    if (step == "RemoveProgram") {
      std::set<std::string> left = others_;
      left.insert({"Program Files/TSarin", "Program Files/TSarin/uninst.exe"});
      EXPECT_EQ(Tree(), left) << "only the uninstaller is left";
    } else {
      EXPECT_EQ(Tree(), others_) << "the folder goes before the key";
    }
  };
  EXPECT_EQ(Run(host), kUninstallRemoved);
  EXPECT_EQ(Tree(), others_);
  EXPECT_EQ(host.calls,
            (Lines{declined.calls[0], "RemoveProgram " + kInstall + "uninst.exe",
                   "DeleteKey " + kKey, "Tell Tessarin was removed from this computer."}));
}

// A file that cannot be removed is named; Retry goes on from there, Cancel keeps the key and
// the uninstaller.
TEST_F(UninstallTest, RetryGoesOnFromTheBlockedFileAndCancelKeepsTheUninstaller) {
  struct Row {
    std::string blocked;
    bool freedOnRetry;  // otherwise Retry meets it again, and the second answer is Cancel
    int result;
  } rows[] = {
      {kInstall + "Textures\\wood.tex", true, kUninstallRemoved},
      {kStartMenu + "\\Tessarin Program.Lnk", false, kUninstallStopped},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.blocked);
    MakeDrive();
    ASSERT_TRUE(FsSetReadOnly(row.blocked.c_str(), true));
    FakeHost host;
    int questions = 0;
    host.retry = [&] {
      if (row.freedOnRetry) FsSetReadOnly(row.blocked.c_str(), false);
      return ++questions == 1;
    };
    EXPECT_EQ(Run(host), row.result);
    Lines asked;
    for (const std::string& call : host.calls)
      if (call.rfind("Retry ", 0) == 0) asked.push_back(call);
    ASSERT_EQ(asked.size(), row.freedOnRetry ? 1u : 2u);
    for (const std::string& question : asked)
      EXPECT_TRUE(Contains(question, "\n" + row.blocked + "\n")) << question;
    if (row.result == kUninstallRemoved) {
      EXPECT_EQ(Tree(), others_);
      continue;
    }
    // The product's files went before the shortcuts were reached; the rest stays.
    EXPECT_FALSE(Exists(kInstall + "tsn.exe"));
    EXPECT_TRUE(Exists(row.blocked) && Exists(kDesktopLink) && Exists(kInstall + "uninst.exe"));
    EXPECT_TRUE(host.keyExists);
    EXPECT_TRUE(Contains(host.calls.back(), "Its uninstaller and its uninstall entry are kept"));
  }
}

// The registered command line, and the one the first process gives its temporary copy.
TEST(UninstallCommandLine, GivesTheProductWithItsBlanksAndWhereTheUserStartedIt) {
  struct Row {
    const char* line;
    bool ok;
    const char* product;
    const char* startedFrom;
  } rows[] = {
      {"\"C:\\Program Files\\TSarin\\uninst.exe\" Tessarin", true, "Tessarin", ""},
      {"\"C:\\Temp\\T 1\\uninst.exe\" Tessarin \"C:\\Program Files\\TSarin\\uninst.exe\"", true,
       "Tessarin", "C:\\Program Files\\TSarin\\uninst.exe"},
      {"uninst.exe", true, "Tessarin", ""},
      {"uninst.exe  My~Own~Product ", true, "My Own Product", ""},
      {"uninst.exe Tessarin C:\\a\\uninst.exe more", false, "", ""},
  };
  for (const Row& row : rows) {
    UninstallArguments args;
    ASSERT_EQ(ParseUninstallCommandLine(row.line, &args), row.ok) << row.line;
    if (!row.ok) continue;
    EXPECT_STREQ(args.product, row.product) << row.line;
    EXPECT_STREQ(args.startedFrom, row.startedFrom) << row.line;
  }
}

}  // namespace
