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

#include <filesystem>
#include <fstream>
#include <vector>

#include "fuzz_support.h"
#include "setup/install_context.h"
#include "setup/install_engine.h"
#include "setup/recording_seams.h"
#include "shell/fs_platform.h"

namespace {

namespace fs = std::filesystem;

// The working tree, made once per process in a fresh temporary directory (in memory where
// the system offers it, since it is rewritten for every input):
//   TOP/dist/setup.exe           the setup file, drive S:
//   TOP/a/b/c/drive/scratch/     the target directory F:\scratch (TOP/a/b/c/drive is F:)
// Everything under TOP except the scratch directory must look the same after every install;
// the scratch directory is removed after each one. The levels between TOP and the drive's
// root make an escape by a few ".." levels land inside TOP, where the listing sees it.
fs::path top, setup, scratch;
std::vector<std::string> listing;  // everything under TOP but the scratch: kinds and sizes

std::vector<std::string> ListOutsideScratch() {
  std::vector<std::string> out;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(top, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::file_type type = it->symlink_status().type();
    if (it->path() == scratch) {
      it.disable_recursion_pending();
      continue;
    }
    out.push_back(fs::relative(it->path(), top).string() +
                  (type == fs::file_type::directory ? "/" : "") +
                  (type == fs::file_type::regular && it->path() != setup
                       ? " " + std::to_string(it->file_size())
                       : ""));
  }
  FUZZ_CHECK(!ec);
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::string dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  dir += "/tsarin-fuzz-archive-XXXXXX";
  FUZZ_CHECK(mkdtemp(dir.data()) != nullptr);
  top = dir;
  setup = top / "dist" / "setup.exe";
  scratch = top / "a" / "b" / "c" / "drive" / "scratch";
  fs::create_directories(setup.parent_path());
  fs::create_directories(scratch.parent_path());
  FUZZ_CHECK(std::ofstream(setup).good());
  FUZZ_CHECK(FsSetDriveRoot('S', setup.parent_path().c_str()) &&
             FsSetDriveRoot('F', scratch.parent_path().c_str()));
  // The stand-in desktop's folders are on C:; unmapped, they name nothing on this machine. The
  // file layer itself refuses any change outside the scratch directory.
  FUZZ_CHECK(FsSetDriveRoot('C', nullptr) && FsAllowChangesIn(scratch.c_str()));
  listing = ListOutsideScratch();
  std::atexit([] {
    std::error_code ec;
    fs::remove_all(top, ec);
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  {
    std::ofstream file(setup, std::ios::binary);
    if ((data[0] & 2) == 0) file << std::string(48, 'S') << "TOVQTOVQTOVQTOVQ";  // stub, marker
    file.write(reinterpret_cast<const char*>(data) + 1, static_cast<std::streamsize>(size - 1));
    FUZZ_CHECK(file.flush().good());
  }
  RecordingSurface surface;
  RecordingDesktop desktop;
  surface.directory = "F:\\scratch";
  surface.developerChecked = (data[0] & 1) != 0;
  ResetInstallContext(&surface, &desktop, "S:\\setup.exe");
  OnInstall();

  // Nothing of the attempt stays open.
  FUZZ_CHECK(installContext.payloadFile == nullptr && installContext.outputFile == nullptr &&
             FsOpenFindCount() == 0);
  // Success, or a failure the user was told about, or the silent stop of an over-long name.
  const bool finished = surface.status == "Installation was successful.";
  FUZZ_CHECK(finished == (installContext.archiveDone != 0));
  FUZZ_CHECK(finished || !surface.messages.empty() || surface.status.empty() ||
             surface.status.rfind("Installing:   ", 0) == 0);
  // Nothing outside the scratch directory was touched.
  FUZZ_CHECK(ListOutsideScratch() == listing);
  std::error_code ec;
  fs::remove_all(scratch, ec);
  FUZZ_CHECK(!ec);
  return 0;
}
