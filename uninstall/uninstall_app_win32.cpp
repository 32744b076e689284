// uninst.exe: the entry point and its two processes.
//
// The first process is the one the user (or the system's list of programs) starts from the
// install folder, with the product's name as its one argument. As a running program's file
// cannot be deleted, it copies itself into a new temporary folder, runs the copy with the path
// it was started from as a second argument, and waits for it, so that whoever waits for the
// uninstall command sees its real end. The copy does the uninstall (uninstall_plan.h). The
// first process then clears the temporary folder, or leaves what it cannot remove (its own
// file, when the copy moved it there) to the next restart.
#include <windows.h>

#include <sddl.h>

#include <cstdlib>
#include <cstring>

#include "setup/path_rules.h"
#include "shell/file_helpers.h"
#include "shell/handles_win32.h"
#include "shell/system_services.h"
#include "shell/text_format.h"
#include "uninstall/uninstall_host_win32.h"
#include "uninstall/uninstall_plan.h"

namespace {

// This program's path as the user knows it (long names), with a trailing NUL in any case.
void GetOwnPath(char* path) {
  char module[kUninstallPathSize];
  DWORD length = GetModuleFileNameA(nullptr, module, kUninstallPathSize);
  module[length < kUninstallPathSize ? length : kUninstallPathSize - 1] = '\0';
  DWORD longLength = GetLongPathNameA(module, path, kUninstallPathSize);
  if (longLength == 0 || longLength >= kUninstallPathSize)
    FormatText(path, kUninstallPathSize, "%s", module);
}

// Removes the temporary folder: the copy's file as soon as the system lets go of it, then
// everything else; what stays (this process's own file) goes at the next restart.
void RemoveTemporaryFolder(const char* folder, const char* copy) {
  for (int attempt = 0; attempt < 50 && !DeleteFileA(copy); ++attempt) {
    if (GetFileAttributesA(copy) == INVALID_FILE_ATTRIBUTES) break;
    Sleep(100);
  }
  if (ClearDirectory(folder, true)) return;
  char pattern[kUninstallPathSize];
  char name[kUninstallPathSize];
  char path[kUninstallPathSize];
  if (JoinPath(pattern, folder, "\\*.*")) {
    uint32_t attributes = 0;
    for (int n = 1; FindEntryAsFound(pattern, n, name, &attributes); ++n) {
      if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
      if (FormatText(path, sizeof path, "%s\\%s", folder, name) < static_cast<int>(sizeof path)) {
        MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
      }
    }
  }
  MoveFileExA(folder, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

int RunFirstProcess(const UninstallArguments& args) {
  char self[kUninstallPathSize];
  GetOwnPath(self);
  char temp[kUninstallPathSize];
  DWORD tempLength = GetTempPathA(kUninstallPathSize, temp);
  if (tempLength == 0 || tempLength >= kUninstallPathSize - 40) {
    AskUser("The uninstaller found no temporary folder to work from.\n\nNothing was removed.",
            MB_OK | MB_ICONEXCLAMATION);
    return kUninstallUnchanged;
  }
  // Not the install folder, which the copy is going to remove.
  SetCurrentDirectoryA(temp);

  // A new folder of its own, never one that exists already, which only administrators and the
  // system may change: the copy runs with administrator rights, so no program of the user's
  // may put another file in its place, or a library beside it, before it starts.
  LocalMemory descriptor;
  SECURITY_ATTRIBUTES security = {sizeof security, nullptr, FALSE};
  if (ConvertStringSecurityDescriptorToSecurityDescriptorA(
          "D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)", SDDL_REVISION_1, descriptor.Out(), nullptr)) {
    security.lpSecurityDescriptor = descriptor.get();
  }
  char folder[kUninstallPathSize];
  bool made = false;
  for (unsigned n = 0; n < 100 && !made; ++n) {
    FormatText(folder, sizeof folder, "%sTessarin-uninstall-%lu", temp, GetTickCount() + n);
    made = CreateDirectoryA(folder, &security) != FALSE;
  }
  char copy[kUninstallPathSize];
  FormatText(copy, sizeof copy, "%s\\%s", folder, kUninstallProgramName);
  // The product's name as one word again, and the path the user started.
  char product[kUninstallPathSize];
  FormatText(product, sizeof product, "%s", args.product);
  for (char* c = product; *c != '\0'; ++c) {
    if (*c == ' ') *c = '~';
  }
  char commandLine[3 * kUninstallPathSize + 8];
  FormatText(commandLine, sizeof commandLine, "\"%s\" %s \"%s\"", copy, product, self);

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  // The copy's message boxes may come to the front, as this process's would.
  AllowSetForegroundWindow(ASFW_ANY);
  if (!made || !CopyFileA(self, copy, TRUE) ||
      !CreateProcessA(copy, commandLine, nullptr, nullptr, FALSE, 0, nullptr, temp, &startup,
                      &process)) {
    char text[2 * kUninstallPathSize];
    FormatText(text, sizeof text,
               "The uninstaller could not start its copy in\n%s\n\nNothing was removed.", folder);
    AskUser(text, MB_OK | MB_ICONEXCLAMATION);
    if (made) RemoveTemporaryFolder(folder, copy);
    return kUninstallUnchanged;
  }
  HandleRef thread(process.hThread);
  HandleRef child(process.hProcess);
  DWORD result = kUninstallUnchanged;
  if (WaitForSingleObject(child.get(), INFINITE) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(child.get(), &result)) {
    result = kUninstallUnchanged;
  }
  RemoveTemporaryFolder(folder, copy);
  return static_cast<int>(result);
}

int RunCopy(const UninstallArguments& args) {
  char self[kUninstallPathSize];
  GetOwnPath(self);
  // Its own folder, with the trailing backslash, takes the uninstaller the user started.
  char folder[kUninstallPathSize];
  FormatText(folder, sizeof folder, "%s", self);
  char* slash = std::strrchr(folder, '\\');
  if (slash != nullptr) slash[1] = '\0';
  Win32UninstallHost host(folder);
  ShellFolderLookup folders;
  return RunUninstall(args.product, args.startedFrom, self, host, folders);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // The copy runs from a temporary folder: no library may ever be loaded from there.
  HardenDllSearchPath();
  UninstallArguments args;
  if (!ParseUninstallCommandLine(GetCommandLineA(), &args)) {
    AskUser("Start the uninstaller with the product's name only, as it is registered.",
            MB_OK | MB_ICONEXCLAMATION);
    return kUninstallUnchanged;
  }
  return args.startedFrom[0] == '\0' ? RunFirstProcess(args) : RunCopy(args);
}
