// tsarin-pack extract [--developer] SETUP DIR: installs SETUP's payload into DIR by running the
// setup program's own install engine (OnInstall), with the dialog and the desktop recorded
// instead of shown or changed. The engine sees Windows-style paths: drive C: is the host's
// root, so /tmp/out is C:\tmp\out.
//
// stderr: every message box as "CAPTION: TEXT". stdout: the final status line.
// Exit status: 0 "Installation was successful.", 1 a failure was reported, 2 bad usage,
// 3 the attempt stopped silently (an entry name over 260 characters met during extraction,
// which the check before it reports as damage unless the file changed in between).
#include "tools/pack_extract.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "setup/install_context.h"
#include "setup/install_engine.h"
#include "setup/recording_seams.h"
#include "shell/fs_platform.h"

#ifdef _WIN32
#include <cstdlib>
#else
#include <unistd.h>
#endif

namespace {

const char kExtractUsage[] =
    "usage: tsarin-pack extract [--developer] SETUP DIR\n"
    "  Installs SETUP's payload into DIR through the setup program's install engine: DIR's\n"
    "  contents are deleted first, as the setup does. --developer checks the developer box.\n"
    "  Message boxes go to stderr as CAPTION: TEXT, the final status line to stdout.\n"
    "  Exit status: 0 success, 1 a reported failure, 2 bad usage, 3 silent stop (a name over\n"
    "  260 characters found only during extraction: the file changed after its check).\n";

// The host path as the engine's Windows-style absolute path.
bool ToEnginePath(const char* hostPath, std::string* out) {
#ifdef _WIN32
  char full[kPathSize];
  if (_fullpath(full, hostPath, sizeof full) == nullptr) return false;
  *out = full;
  return true;
#else
  std::string path = hostPath;
  if (path.empty()) return false;
  if (path[0] != '/') {
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd) == nullptr) return false;
    path = std::string(cwd) + "/" + path;
  }
  // C: is mapped to the host's root. "." and ".." are resolved here, as a shell user means
  // them: the engine refuses them in a target directory.
  if (!FsSetDriveRoot('C', "/")) return false;
  std::vector<std::string> components;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string component = path.substr(start, end - start);
    if (component == "..") {
      if (!components.empty()) components.pop_back();
    } else if (!component.empty() && component != ".") {
      components.push_back(component);
    }
    start = end + 1;
  }
  std::string windows = "C:";
  for (const std::string& component : components) windows += "\\" + component;
  if (components.empty()) windows += "\\";
  *out = windows;
  return true;
#endif
}

}  // namespace

int RunExtractCommand(int argc, char** argv) {
  bool developer = false;
  const char* operands[2] = {nullptr, nullptr};
  int count = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--developer") == 0) {
      developer = true;
    } else if (argv[i][0] == '-' && argv[i][1] != 0) {
      std::fprintf(stderr, "tsarin-pack: extract: unknown option %s\n%s", argv[i], kExtractUsage);
      return 2;
    } else if (count < 2) {
      operands[count++] = argv[i];
    } else {
      count = 3;
    }
  }
  if (count != 2) {
    std::fputs(kExtractUsage, stderr);
    return 2;
  }
  std::string setupPath;
  std::string directory;
  if (!ToEnginePath(operands[0], &setupPath) || !ToEnginePath(operands[1], &directory) ||
      setupPath.size() >= kPathSize) {
    std::fprintf(stderr, "tsarin-pack: extract: cannot use the path %s\n",
                 setupPath.size() >= kPathSize ? operands[0] : operands[1]);
    return 2;
  }
#ifndef _WIN32
  // The file layer refuses every change outside DIR (which may not exist yet). For a DIR it
  // will not allow, such as "/", nothing at all may change; the engine refuses those anyway.
  char hostDirectory[4096];
  if (FsNativePath(directory.c_str(), hostDirectory, sizeof hostDirectory))
    FsAllowChangesIn(hostDirectory);
#endif

  RecordingSurface surface;
  RecordingDesktop desktop;
  surface.directory = directory;
  surface.developerChecked = developer;
  surface.onMessage = [](const char* caption, const char* text) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
  };
  ResetInstallContext(&surface, &desktop, setupPath.c_str());
  OnInstall();

  std::printf("%s\n", surface.status.c_str());
  if (surface.status == "Installation was successful.") return 0;
  return surface.messages.empty() ? 3 : 1;
}
