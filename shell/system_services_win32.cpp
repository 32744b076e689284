#include <windows.h>

#include <mmsystem.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "shell/handles_win32.h"
#include "shell/shell_links.h"
#include "shell/system_services.h"
#include "shell/text_format.h"

namespace {

constexpr int kCsidlProgramFilesFolder = 38;
constexpr const char kFallbackFolder[] = "c:\\";
static_assert(sizeof kFallbackFolder <= kShellFolderSize, "the fallback fits every buffer");

constexpr unsigned kBeepFrequency = 256;
constexpr unsigned kBeepMilliseconds = 500;

// FormatMessageA: allocate the buffer, system texts, inserts from an array.
constexpr DWORD kSystemTextFlags =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY;
static_assert(kSystemTextFlags == 0x3100, "");
constexpr DWORD kNeutralLanguage = 0x400;  // neutral language, default sublanguage
// A system text may use inserts up to %99; every one past the first gets an empty text, so
// none reads past the array.
constexpr size_t kInsertCount = 99;

STARTUPINFOA SizedStartupInfo() {
  STARTUPINFOA info = {};
  info.cb = sizeof info;
  return info;
}
// Passed to every program start: size 68, everything else 0.
STARTUPINFOA startupInfo = SizedStartupInfo();
static_assert(sizeof(void*) != 4 || sizeof(STARTUPINFOA) == 68, "");

typedef HRESULT(WINAPI* GetFolderPathFn)(HWND, int, HANDLE, DWORD, LPSTR);
typedef BOOL(WINAPI* PlaySoundFn)(LPCSTR, HMODULE, DWORD);
typedef BOOL(WINAPI* SetDefaultDllDirectoriesFn)(DWORD);

int SystemMessageBox(const char* text, const char* caption) {
  return MessageBoxA(nullptr, text, caption, MB_ICONEXCLAMATION | MB_OK);
}
int SystemPlaySound(const char* name) {
  // winmm.dll is no known DLL: imported statically, a file of that name beside the setup would
  // be loaded, with the setup's rights, before its first instruction. It is loaded here from
  // the system directory, after start-up has restricted the search path, and kept for the
  // sounds still playing.
  static HMODULE winmm = static_cast<HMODULE>(LoadSystemLibrary("winmm.dll"));
  PlaySoundFn playSound = winmm ? GetExport<PlaySoundFn>(winmm, "PlaySoundA") : nullptr;
  return playSound ? playSound(name, nullptr, SND_ASYNC) : 0;
}
int SystemBeep(unsigned frequency, unsigned milliseconds) {
  return Beep(frequency, milliseconds);
}
void* SystemLoadLibrary(const char* fullPath) {
  // The library's own imports are looked for beside it, in the system directory.
  return LoadLibraryExA(fullPath, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// Route 1: SHGetFolderPathA of "shfolder.dll", which exists where the shell lacks it.
bool FolderFromLibrary(int csidl, char* buffer) {
  LibraryRef library(static_cast<HMODULE>(LoadSystemLibrary("shfolder.dll")));
  if (!library.get()) return false;
  GetFolderPathFn getFolderPath = GetExport<GetFolderPathFn>(library.get(), "SHGetFolderPathA");
  return getFolderPath && getFolderPath(nullptr, csidl, nullptr, 0, buffer) == S_OK;
}

// Route 2: the folder's item-id list, turned into a path.
bool FolderFromItemList(int csidl, char* buffer) {
  ComRef<IMalloc> allocator;
  if (FAILED(SHGetMalloc(allocator.Out()))) return false;
  LPITEMIDLIST itemList = nullptr;
  bool found = false;
  if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, csidl, &itemList))) {
    found = SHGetPathFromIDListA(itemList, buffer) != FALSE;
  }
  if (itemList) allocator->Free(itemList);
  return found;
}

// Shows the wait cursor while it lives, then the cursor that was there before.
class WaitCursor {
 public:
  WaitCursor() : previous_(SetCursor(LoadCursorA(nullptr, IDC_WAIT))) {}
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
  ~WaitCursor() { SetCursor(previous_); }

 private:
  HCURSOR previous_;
};

}  // namespace

SystemServiceCalls systemServiceCalls = {SystemMessageBox, SystemPlaySound, SystemBeep,
                                         SystemLoadLibrary};

void* LoadSystemLibrary(const char* name) {
  char path[MAX_PATH];
  UINT length = GetSystemDirectoryA(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  int written = FormatText(path + length, MAX_PATH - length, "\\%s", name);
  if (written < 0 || static_cast<UINT>(written) >= MAX_PATH - length) return nullptr;
  return systemServiceCalls.loadLibrary(path);
}

bool HardenDllSearchPath() {
  if (!WindowsVersionAtLeast(6, 1)) return false;
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (!kernel) return false;
  SetDefaultDllDirectoriesFn setDirectories =
      GetExport<SetDefaultDllDirectoriesFn>(kernel, "SetDefaultDllDirectories");
  return setDirectories && setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE;
}

bool GetShellFolder(int csidl, char* buffer) {
  if (FolderFromLibrary(csidl, buffer) || FolderFromItemList(csidl, buffer)) return true;
  std::memcpy(buffer, kFallbackFolder, sizeof kFallbackFolder);
  return false;
}

bool GetProgramFilesFolder(char* buffer) {
  return GetShellFolder(kCsidlProgramFilesFolder, buffer);
}

int ShowMessage(const char* text, const char* caption) {
  return systemServiceCalls.messageBox(text, caption);
}

int PlaySystemSound(const char* name, bool beepFallback) {
  int played = systemServiceCalls.playSound(name);
  if (played) return played;
  return beepFallback ? systemServiceCalls.beep(kBeepFrequency, kBeepMilliseconds) : 0;
}

int GetColourDepth() {
  HDC screen = GetDC(nullptr);
  if (!screen) return 0;
  int bits = GetDeviceCaps(screen, BITSPIXEL);
  ReleaseDC(nullptr, screen);
  return bits;
}

bool LaunchProgram(const char* programPath, const char* caption) {
  WaitCursor wait;
  // The program is named by its full path as the application name, so the system never tries
  // the shorter paths that end at a blank; the command line repeats it quoted, as the started
  // program expects its own name. A text that is already quoted is a complete command line.
  const char* applicationName = nullptr;
  char commandLine[MAX_PATH + 2];
  int written;
  if (programPath[0] == '"') {
    written = FormatText(commandLine, sizeof commandLine, "%s", programPath);
  } else {
    applicationName = programPath;
    written = FormatText(commandLine, sizeof commandLine, "\"%s\"", programPath);
  }
  PROCESS_INFORMATION process = {};
  if (written < 0 || static_cast<size_t>(written) >= sizeof commandLine) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
  } else if (CreateProcessA(applicationName, commandLine, nullptr, nullptr, FALSE, 0, nullptr,
                            nullptr, &startupInfo, &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
  }
  ShowLastError(caption, programPath);
  return false;
}

void ShowLastError(const char* caption, const char* commandLine) {
  DWORD error = GetLastError();
  DWORD_PTR inserts[kInsertCount];
  inserts[0] = reinterpret_cast<DWORD_PTR>(commandLine);
  for (size_t i = 1; i < kInsertCount; ++i) inserts[i] = reinterpret_cast<DWORD_PTR>("");
  LocalText text;
  DWORD length =
      FormatMessageA(kSystemTextFlags, nullptr, error, kNeutralLanguage,
                     reinterpret_cast<char*>(text.Out()), 0, reinterpret_cast<va_list*>(inserts));
  if (length != 0 && text.get()) {
    ShowMessage(text.get(), caption);
  } else {
    char number[16];
    FormatText(number, sizeof number, "%lu", static_cast<unsigned long>(error));
    ShowMessage(number, caption);
  }
}
