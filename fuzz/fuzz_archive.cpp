// libFuzzer target for the archive reader and entry extraction: every input becomes a setup
// file that the install engine (OnInstall, through the recording stand-ins of the dialog and
// the desktop) installs into a scratch directory reached as drive F:.
//
// Input: byte 0 holds options (bit 0: the developer box is checked; bit 1: the rest is the
// whole setup file, marker search included; otherwise a small stub and the marker are put in
// front of it); the rest is the archive. Besides the sanitizers it checks that nothing is
// created, changed or removed outside the scratch directory, that every stream and directory
// enumeration is closed when the attempt ends, and that a failed attempt has told the user
// (or stopped silently on an over-long name only).
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "payload/archive_format.h"
#include "setup/install_context.h"
#include "setup/install_engine.h"
#include "setup/recording_seams.h"
#include "shell/fs_platform.h"

namespace {

namespace fs = std::filesystem;

#define FUZZ_CHECK(condition)                                                                   \
  do {                                                                                          \
    if (!(condition)) {                                                                         \
      std::fprintf(stderr, "fuzz_archive: check failed: %s (line %d)\n", #condition, __LINE__); \
      std::abort();                                                                             \
    }                                                                                           \
  } while (0)

constexpr size_t kStubSize = 48;

// The working tree, made once per process in a fresh temporary directory (in memory where
// the system offers it, since it is rewritten for every input):
//   TOP/dist/setup.exe           the setup file, drive S:
//   TOP/a/b/c/drive/scratch/     the target directory F:\scratch (TOP/a/b/c/drive is F:)
// Everything under TOP except the scratch directory must look the same after every install;
// the scratch directory is removed after each one. The levels between TOP and the drive's
// root make an escape by a few ".." levels land inside TOP, where the listing sees it.
struct Tree {
  fs::path top;
  fs::path setup;
  fs::path scratch;
  std::vector<std::string> listing;  // everything under TOP but the scratch, with kinds
};

std::vector<std::string> ListOutsideScratch(const Tree& tree) {
  std::vector<std::string> out;
  std::error_code ec;
  fs::recursive_directory_iterator it(tree.top, fs::directory_options::none, ec);
  FUZZ_CHECK(!ec);
  for (fs::recursive_directory_iterator end; it != end; it.increment(ec)) {
    FUZZ_CHECK(!ec);
    const fs::path& path = it->path();
    if (path == tree.scratch) {
      it.disable_recursion_pending();
      continue;
    }
    std::string line = fs::relative(path, tree.top).string();
    fs::file_status status = it->symlink_status();
    line += status.type() == fs::file_type::directory ? "/" : "";
    if (status.type() == fs::file_type::regular && path != tree.setup) {
      line += " " + std::to_string(it->file_size());
    }
    out.push_back(line);
  }
  std::sort(out.begin(), out.end());
  return out;
}

void RemoveTree(const Tree& tree) {
  std::error_code ec;
  fs::remove_all(tree.top, ec);
}

Tree& TheTree() {
  static Tree* tree = nullptr;
  if (tree != nullptr) return *tree;
  tree = new Tree;
  std::string pattern = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  pattern += "/tsarin-fuzz-archive-XXXXXX";
  FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr);
  tree->top = pattern;
  tree->setup = tree->top / "dist" / "setup.exe";
  fs::path drive = tree->top / "a" / "b" / "c" / "drive";
  tree->scratch = drive / "scratch";
  fs::create_directories(tree->top / "dist");
  fs::create_directories(drive);
  FILE* file = std::fopen(tree->setup.c_str(), "wb");
  FUZZ_CHECK(file != nullptr && std::fclose(file) == 0);
  FUZZ_CHECK(FsSetDriveRoot('S', (tree->top / "dist").c_str()));
  FUZZ_CHECK(FsSetDriveRoot('F', drive.c_str()));
  // The stand-in desktop's folders are on C:; unmapped, they name nothing on this machine.
  FUZZ_CHECK(FsSetDriveRoot('C', nullptr));
  // The file layer itself refuses any change outside the scratch directory.
  FUZZ_CHECK(FsAllowChangesIn(tree->scratch.c_str()));
  tree->listing = ListOutsideScratch(*tree);
  std::atexit([] { RemoveTree(TheTree()); });
  return *tree;
}

void WriteSetup(const Tree& tree, const uint8_t* data, size_t size, bool whole) {
  FILE* file = std::fopen(tree.setup.c_str(), "wb");
  FUZZ_CHECK(file != nullptr);
  if (!whole) {
    uint8_t head[kStubSize + archive::kRecordSize];
    std::memset(head, 'S', kStubSize);
    archive::WriteMarkerRecord(head + kStubSize);
    FUZZ_CHECK(std::fwrite(head, 1, sizeof head, file) == sizeof head);
  }
  FUZZ_CHECK(size == 0 || std::fwrite(data, 1, size, file) == size);
  FUZZ_CHECK(std::fclose(file) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t options = data[0];
  Tree& tree = TheTree();
  WriteSetup(tree, data + 1, size - 1, (options & 2) != 0);

  RecordingSurface surface;
  RecordingDesktop desktop;
  surface.directory = "F:\\scratch";
  surface.developerChecked = (options & 1) != 0;
  ResetInstallContext(&surface, &desktop, "S:\\setup.exe");
  OnInstall();

  // Nothing of the attempt stays open.
  FUZZ_CHECK(installContext.payloadFile == nullptr);
  FUZZ_CHECK(installContext.outputFile == nullptr);
  FUZZ_CHECK(FsOpenFindCount() == 0);
  // Success, or a failure the user was told about, or the silent stop of an over-long name.
  const bool finished = surface.status == "Installation was successful.";
  FUZZ_CHECK(finished == (installContext.archiveDone != 0));
  if (!finished && surface.messages.empty()) {
    FUZZ_CHECK(surface.status.empty() || surface.status.rfind("Installing:   ", 0) == 0);
  }
  // Nothing outside the scratch directory was touched.
  FUZZ_CHECK(ListOutsideScratch(tree) == tree.listing);

  std::error_code ec;
  fs::remove_all(tree.scratch, ec);
  FUZZ_CHECK(!ec);
  return 0;
}
