#include "uninstall/uninstall_host_win32.h"

#include <windows.h>

#include "setup/path_rules.h"
#include "shell/handles_win32.h"
#include "shell/shell_links.h"
#include "shell/system_services.h"

const char kUninstallCaption[] = "Tessarin Uninstall";

namespace {

HHOOK escapeHook = nullptr;

// The system's Yes/No box ignores Esc. Seen by this thread's dialog loops before the box's
// own keyboard handling: Esc in a box with a No button presses No.
LRESULT CALLBACK EscapeAnswersNo(int code, WPARAM wParam, LPARAM lParam) {
  const MSG* msg = reinterpret_cast<const MSG*>(lParam);
  if (code == MSGF_DIALOGBOX && msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE) {
    HWND box = GetAncestor(msg->hwnd, GA_ROOT);
    HWND no = box != nullptr ? GetDlgItem(box, IDNO) : nullptr;
    if (no != nullptr) {
      PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), reinterpret_cast<LPARAM>(no));
      return 1;
    }
  }
  return CallNextHookEx(escapeHook, code, wParam, lParam);
}

}  // namespace

int AskUser(const char* text, unsigned style) {
  escapeHook = SetWindowsHookExA(WH_MSGFILTER, EscapeAnswersNo, nullptr, GetCurrentThreadId());
  // Without an owner window: in front, as the first thing the user sees of this process.
  int answer = MessageBoxA(nullptr, text, kUninstallCaption, style | MB_SETFOREGROUND);
  if (escapeHook != nullptr) UnhookWindowsHookEx(escapeHook);
  escapeHook = nullptr;
  return answer;
}

bool Win32UninstallHost::ReadValue(const char* subKey, const char* name, char* buffer) {
  KeyRef key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_QUERY_VALUE, key.Out()) != ERROR_SUCCESS) {
    return false;
  }
  DWORD type = 0;
  DWORD size = kUninstallPathSize - 1;
  if (RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ) {
    return false;
  }
  // The setup stores its texts without the terminator.
  buffer[size] = '\0';
  return true;
}

bool Win32UninstallHost::DeleteKey(const char* subKey) {
  LONG result = RegDeleteKeyA(HKEY_LOCAL_MACHINE, subKey);
  return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

bool Win32UninstallHost::AskYesNo(const char* text) {
  return AskUser(text, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON1) == IDYES;
}

bool Win32UninstallHost::AskRetry(const char* text) {
  return AskUser(text, MB_RETRYCANCEL | MB_ICONEXCLAMATION | MB_DEFBUTTON1) == IDRETRY;
}

void Win32UninstallHost::Tell(const char* text, bool problem) {
  AskUser(text, MB_OK | (problem ? MB_ICONEXCLAMATION : MB_ICONINFORMATION));
}

// The uninstaller the user started runs until this process ends, and a running program's file
// cannot be deleted. It can be renamed, though, within its drive: it moves into this process's
// temporary folder, which the first process clears when it ends.
ProgramRemoval Win32UninstallHost::RemoveProgram(const char* path) {
  if (DeleteFileA(path)) return ProgramRemoval::kRemoved;
  char aside[kUninstallPathSize];
  if (JoinPath(aside, asideFolder_, "uninst-started.exe") &&
      MoveFileExA(path, aside, MOVEFILE_REPLACE_EXISTING)) {
    return ProgramRemoval::kRemoved;
  }
  if (MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) return ProgramRemoval::kAtRestart;
  return ProgramRemoval::kFailed;
}

void Win32UninstallHost::RemoveAtRestart(const char* path) {
  MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

bool ShellFolderLookup::GetShellFolder(int csidl, char* buffer) {
  return ::GetShellFolder(csidl, buffer);
}

unsigned ShellFolderLookup::GetWindowsMajorVersion() {
  return ::GetWindowsMajorVersion();
}
