// The end-to-end robot: drives the real TSARIN.EXE, and the uninstaller it installs, through
// their windows from another process as a person would (by control id and window text, every
// point taken from a window's rectangle), and checks what a person would see and what the
// install and the uninstall leave behind.
//
//   tsarin-robot SCENARIO SETUP_EXE PRODUCT_DIR WORK_DIR
//
// SETUP_EXE is the packed setup file, PRODUCT_DIR the tree it was packed from, WORK_DIR a
// folder the test script shares with the robot (screenshot requests). Each scenario runs in a
// Wine prefix of its own. Every check prints one line; exit code 0 when all passed.
#include <windows.h>
// after windows.h, which they need
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "payload/archive_format.h"

namespace {

// ---- the robot's hands and eyes -----------------------------------------------------------

int failures = 0;

__attribute__((format(gnu_printf, 2, 3))) bool Check(bool ok, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::printf(ok ? "  ok   " : "  FAIL ");
  std::vprintf(fmt, ap);
  va_end(ap);
  std::printf("\n");
  failures += ok ? 0 : 1;
  return ok;
}

// Shows line breaks, so that message texts print on one line.
std::string Visible(std::string s) {
  for (size_t i; (i = s.find('\n')) != std::string::npos;) s.replace(i, 1, "\\n");
  return s;
}

bool Equal(const std::string& got, const std::string& want, const char* what) {
  const std::string also = got == want ? "" : " (want \"" + Visible(want) + "\")";
  return Check(got == want, "%s: \"%s\"%s", what, Visible(got).c_str(), also.c_str());
}

// Polls every 100 ms until done() holds, for at most ms.
template <typename Done>
bool WaitFor(int ms, Done done) {
  for (int t = 0; !done(); t += 100, Sleep(100))
    if (t >= ms) return false;
  return true;
}

// A window's text, asked from the window itself (edit fields keep their own).
std::string TextOf(HWND w) {
  char buf[4096] = "";
  SendMessageTimeoutA(w, WM_GETTEXT, sizeof buf, (LPARAM)buf, SMTO_ABORTIFHUNG, 3000, nullptr);
  return buf;
}

DWORD PidOf(HWND w) {
  DWORD pid = 0;
  return GetWindowThreadProcessId(w, &pid), pid;
}

// The visible dialog windows of a process (of any when pid is 0): its dialog, message boxes,
// QuickHelp panels.
std::vector<HWND> Dialogs(DWORD pid) {
  std::vector<HWND> out;
  for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, "#32770", nullptr));)
    if (IsWindowVisible(w) && (!pid || PidOf(w) == pid)) out.push_back(w);
  return out;
}

GUITHREADINFO GuiOf(HWND w) {
  GUITHREADINFO gi = {};
  gi.cbSize = sizeof gi;
  return GetGUIThreadInfo(GetWindowThreadProcessId(w, nullptr), &gi), gi;
}

POINT Centre(HWND w) {
  RECT r = {};
  GetWindowRect(w, &r);
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

bool CursorOn(HWND w) {
  POINT p = {}, c = Centre(w);
  return GetCursorPos(&p) && p.x == c.x && p.y == c.y;
}

void PostKey(HWND target, UINT vk) {  // to the window with the focus
  const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(vk, 0)) << 16;
  PostMessageA(target, WM_KEYDOWN, vk, 1 | scan);
  PostMessageA(target, WM_KEYUP, vk, 1 | scan | 0xC0000000u);
  Sleep(300);
}

struct Box {
  HWND hwnd = nullptr;
  std::string caption, text;  // the text: its longest static text
};

// A box of process pid (of any when 0) but `except`, with this caption, or with any caption
// and an OK button that shows (QuickHelp panels have none); waits ms at most.
bool WaitBox(DWORD pid, const std::string& caption, int ms, Box* box, HWND except = nullptr) {
  const bool shown = WaitFor(ms, [&] {
    for (HWND w : Dialogs(pid)) {
      if (w == except ||
          (caption.empty() ? !IsWindowVisible(GetDlgItem(w, IDOK)) : TextOf(w) != caption))
        continue;
      *box = {w, TextOf(w), ""};
      for (HWND c = nullptr; (c = FindWindowExA(w, c, "Static", nullptr));)
        if (TextOf(c).size() > box->text.size()) box->text = TextOf(c);
      return true;
    }
    return false;
  });
  if (shown && ms) Sleep(300);  // its focus is set once it shows
  return shown;
}

// Answers a box as a person would, with a key pressed in it or (vk 0) a click on OK; true once
// it has closed and `then` (the window it came up over) handles messages again.
bool Answer(const Box& box, UINT vk = 0, HWND then = nullptr) {
  HWND focus = GuiOf(box.hwnd).hwndFocus;
  if (vk) PostKey(focus ? focus : box.hwnd, vk);
  if (!vk) PostMessageA(box.hwnd, WM_COMMAND, IDOK, (LPARAM)GetDlgItem(box.hwnd, IDOK));
  const bool closed = WaitFor(10000, [&] { return !IsWindowVisible(box.hwnd); });
  if (then) SendMessageTimeoutA(then, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, nullptr), Sleep(200);
  return closed;
}

// A program started with a whole command line from a folder, as Explorer or the system's list
// of programs starts one; ended if it still runs when the robot is done with it.
struct Process {
  PROCESS_INFORMATION pi = {};
  ~Process() {
    if (pi.hProcess && !Ended(0)) TerminateProcess(pi.hProcess, 99), Ended(5000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
  }
  bool Start(std::string command, const std::string& folder) {
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, 0, 0, nullptr, folder.c_str(), &si,
                        &pi))
      pi = {};
    return pi.hProcess;
  }
  bool Ended(int ms, DWORD* code = nullptr) {
    return pi.hProcess && WaitForSingleObject(pi.hProcess, ms) == WAIT_OBJECT_0 &&
           (!code || GetExitCodeProcess(pi.hProcess, code));
  }
};

const char kDialogTitle[] = "Tessarin - Installation";
const char kSuccess[] = "Installation was successful.";
const int kInstall = 1, kAbort = 2, kStatus = 102, kDirectory = 104, kDirLabel = 105,
          kDeveloper = 114;

struct SetupRun : Process {
  HWND dlg = nullptr;
  // Started from the folder it lies in, as Explorer starts it; a person then clicks into it.
  bool Open(const std::string& exe) {
    if (Start("\"" + exe + "\"", exe.substr(0, exe.rfind('\\'))))
      WaitFor(60000, [&] {
        for (HWND w : Dialogs(pi.dwProcessId))
          if (TextOf(w) == kDialogTitle) dlg = w;
        return dlg || Ended(0);
      });
    Responsive(5000);
    SetForegroundWindow(dlg);
    Sleep(300);
    return dlg && Responsive(3000);
  }
  HWND Item(int id) const { return GetDlgItem(dlg, id); }
  std::string Text(int id) const { return TextOf(Item(id)); }
  bool Enabled(int id) const { return IsWindowEnabled(Item(id)); }
  bool Checked(int id) const { return IsDlgButtonChecked(dlg, id) == BST_CHECKED; }
  HWND Focus() const { return GuiOf(dlg).hwndFocus; }
  // The setup's thread handles messages again (an install has returned, or a box is up).
  bool Responsive(UINT ms) const {
    return SendMessageTimeoutA(dlg, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, ms, nullptr);
  }
  void TypeDirectory(const std::string& dir) { SetDlgItemTextA(dlg, kDirectory, dir.c_str()); }
  void PressInstall() { PostMessageA(dlg, WM_COMMAND, kInstall, (LPARAM)Item(kInstall)); }
  void PressAbort() { PostMessageA(Item(kAbort), BM_CLICK, 0, 0); }
  void PressEsc() { PostKey(Focus() ? Focus() : dlg, VK_ESCAPE); }
  void CloseBox() { PostMessageA(dlg, WM_SYSCOMMAND, SC_CLOSE, 0); }
  bool WaitBox(int ms, Box* box) const { return ::WaitBox(pi.dwProcessId, "", ms, box, dlg); }
  // Waits for the install's end: true on the success text in the status line, false on a
  // message box (in box) or when the time is up.
  bool WaitInstall(int ms, Box* box) {
    WaitFor(ms, [&] {
      return WaitBox(0, box) ||
             (Responsive(100) && Text(kStatus) == kSuccess && !Enabled(kInstall));
    });
    Sleep(300);
    return !box->hwnd && Text(kStatus) == kSuccess;
  }
  std::vector<HWND> Panels() const {  // QuickHelp panels: its pop-ups without an OK button
    std::vector<HWND> out;
    for (HWND w : Dialogs(pi.dwProcessId))
      if (w != dlg && !IsWindowVisible(GetDlgItem(w, IDOK))) out.push_back(w);
    return out;
  }
};

std::string ShellFolder(int csidl) {  // without a trailing backslash
  char buf[MAX_PATH] = "";
  SHGetFolderPathA(nullptr, csidl, nullptr, 0, buf);
  return buf;
}

std::string ReadAll(const std::string& path) {  // "" when it cannot be read
  std::ostringstream s;
  s << std::ifstream(path, std::ios::binary).rdbuf();
  return s.str();
}

void WriteAll(const std::string& path, const std::string& data) {  // its folder made first
  SHCreateDirectoryExA(nullptr, path.substr(0, path.rfind('\\')).c_str(), nullptr);
  std::ofstream(path, std::ios::binary) << data;
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Every entry below dir by relative path, sorted; directories end in a backslash. A directory
// link is an entry; what it leads to is not walked (in a Wine prefix, the user's Desktop and
// Documents lead into the home folder of the machine).
std::vector<std::string> ListTree(const std::string& dir, const std::string& rel = "") {
  std::vector<std::string> out;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((dir + "\\" + rel + "*").c_str(), &fd);
  for (bool more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileA(h, &fd)) {
    const std::string name = rel + fd.cFileName;
    const DWORD kind =
        fd.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
    if (name == rel + "." || name == rel + "..") continue;
    out.push_back(kind ? name + "\\" : name);
    const std::vector<std::string> below =
        kind == FILE_ATTRIBUTE_DIRECTORY ? ListTree(dir, out.back()) : std::vector<std::string>();
    out.insert(out.end(), below.begin(), below.end());
  }
  FindClose(h);
  std::sort(out.begin(), out.end());
  return out;
}

// A link's target and arguments as "TARGET" "ARGUMENTS"; COM must be initialised.
std::string ReadLink(const std::string& path) {
  IShellLinkA* shell = nullptr;
  IPersistFile* file = nullptr;
  wchar_t wide[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
  char target[MAX_PATH] = "", arguments[1024] = "";
  WIN32_FIND_DATAA fd;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 reinterpret_cast<void**>(&shell))) &&
      SUCCEEDED(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
      SUCCEEDED(file->Load(wide, STGM_READ)))
    shell->GetPath(target, MAX_PATH, &fd, SLGP_RAWPATH), shell->GetArguments(arguments, 1024);
  if (file) file->Release();
  if (shell) shell->Release();
  return "\"" + std::string(target) + "\" \"" + arguments + "\"";
}

const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tessarin";

// The values of the uninstall key: texts as they are, numbers as "dword:N", others as
// "<type N>". False when the key does not exist.
bool ReadUninstallKey(std::map<std::string, std::string>* values = nullptr) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ, &key)) return false;
  char name[256], data[2048];
  DWORD n = sizeof name, size = sizeof data, type = 0;
  for (DWORD i = 0;
       values && !RegEnumValueA(key, i++, name, &n, nullptr, &type, (BYTE*)data, &size);
       n = sizeof name, size = sizeof data)
    (*values)[name] = type == REG_SZ      ? std::string(data, strnlen(data, size))
                      : type == REG_DWORD ? "dword:" + std::to_string(*(DWORD*)data)
                                          : "<type " + std::to_string(type) + ">";
  RegCloseKey(key);
  return true;
}

// ---- the product and what it leaves ------------------------------------------------------

const char kUninstallCaption[] = "Tessarin Uninstall";
const char kNotInstalled[] = "Tessarin is not installed on this computer.\n\nNothing was removed.";
const char kStandinLog[] = "tessarin-standin.log", kViewerLog[] = "tessarin-viewer.log";

// Files of the sample product that only the developer install extracts.
const char* const kDeveloperFiles[] = {"apiref.htm", "proto_vb.txt", "proto_c.txt", "apidemo.exe",
                                       "pbar.dll",   "tscv.dll",     "tscv.lib",    "ksniff.lib",
                                       "pbar.lib",   "sample.frm",   "sample.vbp"};

// The Start-menu links: link, target, arguments. Those to developer files come with the
// developer install only.
const char* const kLinks[][3] = {{"Tessarin Program.Lnk", "tsn.exe", ""},
                                 {"Online Help.Lnk", "tsn.hlp", ""},
                                 {"User Manual.Lnk", "tsn.htm", ""},
                                 {"Network Administrator's Guide.Lnk", "tsnnet_a.htm", ""},
                                 {"Network User's Guide.Lnk", "tsnnet_u.htm", ""},
                                 {"Pelicode Language Reference.Lnk", "plc.htm", ""},
                                 {"Developer's Reference.Lnk", "apiref.htm", ""},
                                 {"Developer's Test Program.Lnk", "apidemo.exe", ""},
                                 {"Read Me.Lnk", "ReadMe.htm", ""},
                                 {"UnInstall Tessarin.Lnk", "uninst.exe", "Tessarin"}};

struct {
  std::string setupExe, productDir, workDir, robotDir, temp, links, programFiles;
} env;

bool IsDeveloperFile(const std::string& name) {
  return std::count(std::begin(kDeveloperFiles), std::end(kDeveloperFiles), name) > 0;
}

// Asks the test script for a screenshot of the whole screen (it answers the request file
// NAME.shot in WORK_DIR's requests folder with NAME.done) and waits for it.
void Shot(const std::string& name) {
  const std::string request = env.workDir + "\\requests\\" + name;
  Sleep(300);  // let the screen settle
  WriteAll(request + ".shot", "");
  if (!WaitFor(20000, [&] { return Exists(request + ".done"); }))
    std::printf("  ..   no screenshot %s\n", name.c_str());
}

// A log in the temporary folder, once it has something (waits ms at most).
std::string WaitLog(const char* name, int ms) {
  std::string log;
  WaitFor(ms, [&] { return !(log = ReadAll(env.temp + name)).empty(); });
  return log;
}

// The built setup file (or other bytes) where a person would have downloaded it, started.
bool Open(SetupRun& run, const std::string& folder, const std::string& bytes = "") {
  WriteAll(folder + "\\TSARIN.EXE", bytes.empty() ? ReadAll(env.setupExe) : bytes);
  // Nothing recorded yet of what it starts.
  for (const char* log : {kStandinLog, kViewerLog}) DeleteFileA((env.temp + log).c_str());
  return Check(run.Open(folder + "\\TSARIN.EXE"), "the window \"%s\" appears", kDialogTitle);
}

// Installs into dir; returns the target with its backslash.
std::string Install(SetupRun& run, bool developer, const std::string& dir) {
  run.TypeDirectory(dir);
  if (run.Checked(kDeveloper) != developer) PostMessageA(run.Item(kDeveloper), BM_CLICK, 0, 0);
  Check((Sleep(300), run.Checked(kDeveloper) == developer), "developer box: %d", developer);
  run.PressInstall();
  Box box;
  Check(run.WaitInstall(120000, &box), "the install finishes (%s)", Visible(box.text).c_str());
  if (box.hwnd) Answer(box, 0, run.dlg);
  return dir + "\\";
}

std::vector<std::string> Packed(bool developer) {  // the product's entries an install extracts
  std::vector<std::string> out = ListTree(env.productDir);
  if (!developer) out.erase(std::remove_if(out.begin(), out.end(), IsDeveloperFile), out.end());
  return out;
}

// The target holds what was packed, byte for byte, and nothing else but `extra`.
void CheckTree(const std::string& target, bool developer, const std::string& extra) {
  std::vector<std::string> want = Packed(developer), got = ListTree(target), odd;
  if (!extra.empty()) want.insert(std::upper_bound(want.begin(), want.end(), extra), extra);
  std::set_symmetric_difference(got.begin(), got.end(), want.begin(), want.end(),
                                std::back_inserter(odd));
  for (const std::string& f : want)
    if (f != extra && ReadAll(env.productDir + "\\" + f) != ReadAll(target + f)) odd.push_back(f);
  Check(odd.empty(), "%s holds the %zu packed entries as packed (%zu differ: %s)", target.c_str(),
        want.size(), odd.size(), odd.empty() ? "" : odd[0].c_str());
}

// A finished install: the read-me shown once, the dialog saying so with the focus and the
// pointer on Exit, and the target in place.
void Finished(SetupRun& run, const std::string& target, bool developer,
              const std::string& extra = "") {
  Equal(WaitLog(kViewerLog, 20000), target + "ReadMe.htm\r\n", "the read-me opens once");
  Equal(run.Text(kStatus) + "|" + TextOf(run.Item(kAbort)), std::string(kSuccess) + "|E&xit",
        "status line|Abort relabelled");
  Box box;
  // The recording viewer has no window, so the dialog stays the active window.
  Check(!run.Enabled(kInstall) && !run.Enabled(kDirectory) && !run.WaitBox(0, &box) &&
            WaitFor(3000, [&] { return run.Focus() == run.Item(kAbort); }) &&
            CursorOn(run.Item(kAbort)),
        "Install and the directory disabled, no message up, focus and pointer on Exit");
  CheckTree(target, developer, extra);
}

// Ends the setup (by Abort unless told otherwise) with exit code 0. Then the product in
// `started` has been started once, and is closed again, or nothing was started.
void Leave(SetupRun& run, const std::string& started,
           void (SetupRun::*how)() = &SetupRun::PressAbort) {
  (run.*how)();
  DWORD code = 1234;
  const bool ended = run.Ended(15000, &code);
  Check(ended && code == 0, "the setup ends with exit code 0 (%lu)", code);
  const std::string log = WaitLog(kStandinLog, started.empty() ? 1500 : 20000);
  const std::string want = started.empty() ? "" : "tsn.exe\t" + started + "tsn.exe\t";
  Check(log.rfind(want, 0) == 0 && std::count(log.begin(), log.end(), '\n') == !want.empty(),
        "started once: %s (%s)", want.empty() ? "nothing" : want.c_str(), log.c_str());
  HWND w = nullptr;
  if (want.empty() ||
      !Check(WaitFor(15000, [&] { return (w = FindWindowA("TessarinStandIn", 0)); }),
             "the product's window shows"))
    return;
  HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, PidOf(w));
  PostMessageA(w, WM_CLOSE, 0, 0);
  WaitForSingleObject(h, 10000);
  CloseHandle(h);
}

// Types dir, presses Install and expects `message` under the setup's error caption (and the
// status line `during` while it shows). After OK the dialog is ready for another attempt: a
// refused target leaves the status line as it was and no uninstall key, and puts the focus, the
// caret (at the end) and the pointer in the directory field; a failed install says so in the
// status line and puts the focus and the pointer on Abort.
void ExpectError(SetupRun& run, const std::string& dir, const std::string& message, bool refused,
                 const char* during = nullptr, const char* shot = nullptr) {
  run.TypeDirectory(dir);
  run.PressInstall();
  Box box;
  if (!Check(run.WaitBox(60000, &box), "a message box appears for \"%s\"", dir.c_str())) return;
  const std::string status = run.Text(kStatus);
  Equal(box.caption + ": " + box.text + " [" + status + "]",
        "Tessarin Setup Error: " + message + " [" + (during ? during : status) + "]",
        "the message [the status line while it shows]");
  if (shot) Shot(shot);
  const bool closed = Answer(box, 0, run.dlg);
  Equal(run.Text(kStatus), refused ? "" : "Installation not successful.", "then the status line");
  HWND focus = run.Item(refused ? kDirectory : kAbort);
  DWORD_PTR sel = 0;
  SendMessageTimeoutA(focus, EM_GETSEL, 0, 0, SMTO_ABORTIFHUNG, 3000, &sel);
  Check(closed && run.Focus() == focus && CursorOn(focus) && run.Enabled(kInstall) &&
            TextOf(run.Item(kAbort)) == "&Abort" &&
            (!refused || (LOWORD(sel) == dir.size() && HIWORD(sel) == dir.size())) &&
            (!refused || !ReadUninstallKey()),
        "OK closes it; focus and pointer on %s (caret %u-%u), Install enabled, Abort its label",
        refused ? "the directory field, no uninstall key" : "Abort", LOWORD(sel), HIWORD(sel));
}

void CheckLinksAndRegistry(const std::string& target, bool developer) {
  std::vector<std::string> names;
  for (const auto& link : kLinks) {
    if (!developer && IsDeveloperFile(link[1])) continue;
    names.push_back(link[0]);
    Equal(ReadLink(env.links + "\\" + link[0]), "\"" + target + link[1] + "\" \"" + link[2] + "\"",
          link[0]);
  }
  std::sort(names.begin(), names.end());
  Check(ListTree(env.links) == names, "the Start-menu folder holds just these %zu links",
        names.size());
  std::map<std::string, std::string> got;
  ReadUninstallKey(&got);
  // The installed size in KB as the setup counts it: the bytes of the files it wrote.
  unsigned long long bytes = 0;
  for (const std::string& f : Packed(developer)) bytes += ReadAll(env.productDir + "\\" + f).size();
  const std::map<std::string, std::string> want = {
      {"DisplayName", "Tessarin"},
      {"Publisher", "Halvorsk"},
      {"InstallLocation", target},
      {"D_start", env.links + "\\"},
      // Quoted, so that Windows cannot take "C:\Program" for the program to run.
      {"UninstallString", "\"" + target + "uninst.exe\" Tessarin"},
      {"F_dtop", ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + "\\Tessarin.Lnk"},
      {"F_sendto", ShellFolder(CSIDL_SENDTO) + "\\Tessarin.Lnk"},
      // What the system's list of programs shows.
      {"DisplayIcon", target + "tsn.exe"},
      {"EstimatedSize", "dword:" + std::to_string((bytes + 1023) / 1024)},
      {"NoModify", "dword:1"},
      {"NoRepair", "dword:1"}};
  std::string gotText, wantText;
  for (const auto& v : got) gotText += v.first + "=" + v.second + "\n";
  for (const auto& v : want) wantText += v.first + "=" + v.second + "\n";
  Equal(gotText, wantText, "the uninstall key's values");
  Check(!Exists(want.at("F_dtop")) && !Exists(want.at("F_sendto")), "no desktop or SendTo link");
}

// ---- the setup --------------------------------------------------------------------------

// A standard install from the fresh dialog to the product that Exit starts; first, a target on
// a drive that does not exist is refused with its path and the same dialog takes the default.
void Standard() {
  SetupRun run;
  if (!Open(run, "C:\\Downloads\\std")) return;
  const std::string def = env.programFiles + "\\TSarin";
  Check(run.Text(kStatus).empty() && run.Text(kDirectory) == def && run.Enabled(kInstall) &&
            run.Enabled(kAbort) && run.Enabled(kDirectory) && !run.Checked(kDeveloper) &&
            run.Focus() == run.Item(kInstall),
        "ready: status line empty, %s, all enabled, developer clear, the focus on Install",
        run.Text(kDirectory).c_str());
  Shot("ready");
  char letter = 'Q';
  while (letter < 'Y' && (GetLogicalDrives() >> (letter - 'A') & 1)) ++letter;
  const std::string nowhere = letter + std::string(":\\Nowhere\\TSarin");
  ExpectError(run, nowhere, "Could not create the path\n" + nowhere + "\\", true);
  const std::string target = Install(run, false, def);
  Finished(run, target, false);
  Shot("finished");
  CheckLinksAndRegistry(target, false);
  Leave(run, target);
}

// Leaving before an install by Esc, the close box or Abort; targets whose clearing would
// destroy what is not ours; a read-only file where an entry must be written. None of them
// starts anything or writes what is not the product's, and nothing is deleted.
void Refused() {
  const std::string windows = ShellFolder(CSIDL_WINDOWS), blocked = "C:\\RO\\Textures\\tex07.bmp";
  const std::string kept[] = {"C:\\sentinel.txt", "C:\\Saved\\sentinel.txt",
                              "C:\\Saved\\Setup\\sentinel.txt", windows + "\\win.ini",
                              "C:\\Saved\\Setup\\TSARIN.EXE"};
  for (int i = 0; i < 3; ++i) WriteAll(kept[i], "s");
  WriteAll(blocked, "old");
  SetFileAttributesA(blocked.c_str(), FILE_ATTRIBUTE_READONLY);
  const std::string unsafe[] = {
      "C:\\", "C:", windows, env.programFiles, "C:\\Saved\\Setup", "C:\\Saved", "relative\\dir"};
  void (SetupRun::*const ways[])() = {&SetupRun::PressEsc, &SetupRun::CloseBox,
                                      &SetupRun::PressAbort, &SetupRun::PressAbort};
  for (int way = 0; way < 4; ++way) {
    std::printf("  ..   leaving by %s\n", way ? way == 1 ? "the close box" : "Abort" : "Esc");
    SetupRun run;
    if (!Open(run, "C:\\Saved\\Setup")) return;
    for (int i = 0; way == 2 && i < 7; ++i)  // a backslash is added unless at the end or after ':'
      ExpectError(run, unsafe[i],
                  "The directory\n" + unsafe[i] + (i < 2 ? "" : "\\") +
                      "\nis not a safe place to install Tessarin.\n\nPlease choose a new, empty "
                      "directory.",
                  true, nullptr, i == 4 ? "refused-target" : nullptr);
    if (way == 3)
      ExpectError(run, "C:\\RO",
                  "Could not create file\n" + blocked +
                      "\n\nThis may be because\nTessarin is already running,\nor you may be out "
                      "of disk space.",
                  false);
    run.TypeDirectory("C:\\NotInstalled");
    Leave(run, "", ways[way]);
    Check(!Exists("C:\\NotInstalled") && !Exists(env.programFiles + "\\TSarin") &&
              (way == 3 || !ReadUninstallKey()),
          "no target directory and no uninstall key were made");
  }
  Check(ReadAll(blocked) == "old" && Exists("C:\\RO\\Textures\\tex06.bmp"),
        "the read-only file is unchanged, the entries before it were extracted");
  Check(std::all_of(std::begin(kept), std::end(kept), Exists), "nothing was deleted");
}

// A standard install over an existing directory: its old files and sub-directories go, a
// read-only file stays. Damaged or forged setup files run over it: the damage message, the
// failed state, the installation as it was. Made whole while the setup runs, the file installs
// again, as a developer install over the standard one.
void Damaged() {
  const std::string good = ReadAll(env.setupExe), target = "C:\\Apps\\Tessarin\\";
  for (const char* f : {"old.txt", "old\\deeper\\notes.txt", "tsn.htm", "keep.txt"})
    WriteAll(target + f, "stale");
  SetFileAttributesA((target + "keep.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  auto reinstall = [&](SetupRun& run, bool developer) {
    Finished(run, Install(run, developer, "C:\\Apps\\Tessarin"), developer, "keep.txt");
    CheckLinksAndRegistry(target, developer);
    Leave(run, target);  // and closes the product: a running tsn.exe is locked
  };
  SetupRun first;
  if (!Open(first, "C:\\Downloads\\first")) return;
  reinstall(first, false);
  size_t marker = 0;  // the first record of the archive, on the 16-byte grid
  while (marker + archive::kRecordSize < good.size() && !archive::IsMarkerRecord(&good[marker]))
    marker += archive::kRecordSize;
  // An archive the packer would refuse to make, built by hand behind the same program image.
  std::string forged = good.substr(0, marker) + std::string(archive::kRecordSize, '\0');
  archive::WriteMarkerRecord(&forged[marker]);
  uint8_t size[4];
  archive::PutLE32(size, archive::StoredSizeField(3));
  forged += std::string("..\\escaped.txt\0", 15) + std::string(reinterpret_cast<char*>(size), 4);
  // What the setup finds wrong in a file, case by case, the engine's tests tell; here, one file
  // of each kind runs for real: no archive at all, an entry that would land outside the target,
  // and data cut short (the last files, compressed textures, end the archive).
  const std::pair<const char*, std::string> files[] = {
      {"cut before the marker", good.substr(0, marker)},
      {"with an entry named ..\\escaped.txt", forged + std::string("bad\0", 4)},
      {"cut inside compressed data, then made whole", good.substr(0, good.size() - 20000)},
  };
  for (const auto& file : files) {
    std::printf("  ..   setup file %s\n", file.first);
    const bool last = &file == std::end(files) - 1;
    const std::string folder = "C:\\Downloads\\damaged" + std::to_string(&file - files);
    SetupRun run;
    if (!Open(run, folder, file.second)) return;
    // Every damage is found by the check that reads the whole file before anything changes.
    ExpectError(run, "C:\\Apps\\Tessarin", "Incomplete or damaged installation file!", false,
                "Checking the installation file ...", last ? "damaged-message" : nullptr);
    CheckTree(target, false, "keep.txt");  // the installation as it was
    CheckLinksAndRegistry(target, false);
    if (!last) Leave(run, "");
    if (!last) continue;
    // Its image is mapped while it runs: the file can be appended to, not written.
    HANDLE h = CreateFileA((folder + "\\TSARIN.EXE").c_str(), FILE_APPEND_DATA,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD written = 0;
    WriteFile(h, &good[file.second.size()], good.size() - file.second.size(), &written, nullptr);
    CloseHandle(h);
    reinstall(run, true);
  }
  Check(!Exists("C:\\Apps\\escaped.txt") && !Exists("C:\\escaped.txt"),
        "nothing was written outside the target directory");
}

// QuickHelp: panels open next to the pointer, close on clicks, swallow the click that closes
// them, ignore Enter and Esc, and give the focus back. All the while DLLs lie beside the setup
// file under the names of system DLLs that are not known DLLs, with Wine told to prefer such
// files to its own (as Windows searches the program's folder first for them; the test starts
// the robot so, and every process it starts inherits that): the setup loads none.
void QuickHelp() {
  const std::string folder = "C:\\Downloads\\planted\\", planted = env.robotDir + "planted\\";
  for (const std::string& f : ListTree(planted)) WriteAll(folder + f, ReadAll(planted + f));
  SetupRun run;
  if (!Check(ListTree(folder).size() == 10, "9 DLLs and the control program planted") ||
      !Open(run, "C:\\Downloads\\planted"))
    return;
  // Panels told apart by a phrase of theirs (their wording is the dialog resources' business).
  const char* const kPhrases[] = {"install the software", "abort installation", "exit installation",
                                  "enter the drive", "close a QuickHelp"};
  const int kIds[] = {106, 107, 108, 109, 113};
  auto id = [&](HWND panel) {
    for (HWND c = nullptr; panel && (c = FindWindowExA(panel, c, nullptr, nullptr));)
      for (int i = 0; i < 5; ++i)
        if (TextOf(c).find(kPhrases[i]) != std::string::npos) return kIds[i];
    return 0;
  };
  enum How { kMenu, kRight, kLeft, kKeys, kFocus, kInstallNow };
  const int kSurface = -1, kOutside = -2, kPanel = -3;  // where, besides controls
  // After each step: the panel open (0: none), and the control with the focus (0: unchecked).
  const std::tuple<const char*, How, int, int, int> steps[] = {
      {"right click on Install", kMenu, kInstall, 106, 0},
      {"Enter and Esc in the panel", kKeys, kPanel, 106, 0},
      {"right click on Abort with 106 open", kRight, kAbort, 107, 0},
      {"right click on the check box with 107 open", kRight, kDeveloper, 0, kInstall},
      {"right click on the directory label", kMenu, kDirLabel, 109, 0},
      {"right click inside the panel", kRight, kPanel, 0, kInstall},
      {"right click on the check box", kMenu, kDeveloper, 113, 0},
      {"left click on Install with 113 open", kLeft, kInstall, 0, kInstall},
      {"right click on Install", kMenu, kInstall, 106, 0},
      {"left click on Abort with 106 open", kLeft, kAbort, 0, kInstall},
      {"right click on the dialog's surface", kMenu, kSurface, 113, 0},
      {"left click inside the panel", kLeft, kPanel, 0, kInstall},
      {"context menu outside the dialog", kMenu, kOutside, 0, kInstall},
      {"focus on the check box", kFocus, kDeveloper, 0, kDeveloper},
      {"right click on the directory label", kMenu, kDirLabel, 109, 0},
      {"left click on the label", kLeft, kDirLabel, 0, kDeveloper},
      {"install", kInstallNow, kInstall, 0, kAbort},
      {"right click on Exit", kMenu, kAbort, 108, 0},
      {"left click on Exit", kLeft, kAbort, 0, kAbort},
      {"right click on the disabled Install", kMenu, kInstall, 106, 0},
      {"left click on the disabled Install", kLeft, kInstall, 0, kAbort},
  };
  std::string target, status;
  HWND open = nullptr;  // the panel open now
  for (const auto& step : steps) {
    const auto& [what, how, where, panel, focus] = step;
    RECT dr = {}, cr = {}, pr = {};
    GetWindowRect(run.dlg, &dr);
    GetClientRect(run.dlg, &cr);
    POINT at = Centre(where == kPanel ? open : run.Item(where)), client = {3, cr.bottom - 3};
    if (where == kSurface) ClientToScreen(run.dlg, &(at = client));  // near its lower left
    if (where == kOutside) at = POINT{dr.right + 20, dr.bottom + 20};
    SetCursorPos(at.x, at.y);
    Sleep(100);
    ScreenToClient(run.dlg, &(client = at));
    HWND child = ChildWindowFromPoint(run.dlg, client);
    if (how == kMenu)
      PostMessageA(run.dlg, WM_CONTEXTMENU, (WPARAM)(child ? child : run.dlg),
                   MAKELPARAM(at.x, at.y));
    // Mouse buttons go through the system's input queue, so that mouse capture decides who gets
    // them; a button's up flag is the bit above its down flag.
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = how == kRight ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
    for (int i = 0; i < 2 && (how == kRight || how == kLeft); ++i, in.mi.dwFlags <<= 1)
      SendInput(1, &in, sizeof in), Sleep(80);
    Sleep(320);
    for (UINT key : {VK_RETURN, VK_ESCAPE})
      if (how == kKeys) PostKey(run.Focus() ? run.Focus() : GuiOf(run.dlg).hwndActive, key);
    if (how == kFocus)
      SendMessageTimeoutA(run.dlg, WM_NEXTDLGCTL, (WPARAM)run.Item(where), TRUE, SMTO_ABORTIFHUNG,
                          3000, nullptr);
    if (how == kInstallNow)
      status = kSuccess, Finished(run, target = Install(run, false, "C:\\QH\\Tessarin"), false);
    std::vector<HWND> panels;
    const size_t opened = panel ? 1 : 0;
    WaitFor(3000, [&] { return (panels = run.Panels()).size() == opened; });
    if (!panel) Sleep(300), panels = run.Panels();  // and none opens late
    open = panels.size() == 1 ? panels[0] : nullptr;
    GetWindowRect(open, &pr);
    // The first panel opens at the pointer (unless it would reach the dialog's edge), active.
    Check(panels.size() == (panel ? 1u : 0u) && id(open) == panel && IsWindow(run.dlg) &&
              !run.Ended(0) && run.Text(kStatus) == status &&
              (!focus || run.Focus() == run.Item(focus)) &&
              (&step != steps || ((at.x + pr.right - pr.left >= dr.right || pr.left == at.x - 1) &&
                                  (at.y + pr.bottom - pr.top >= dr.bottom || pr.top == at.y - 1) &&
                                  GuiOf(run.dlg).hwndActive == open)),
          "%s: panel %d (%zu open, at %ld,%ld), focus on %d; the setup neither installed nor "
          "closed",
          what, panel, panels.size(), pr.left, pr.top, focus);
    if (&step == steps) Shot("panel");
  }
  Leave(run, target);
  const std::string loads = ReadAll("C:\\planted-dlls.log");
  // The control, a program importing winmm.dll statically, started from the same folder the
  // same way, does load the planted one.
  Process control;
  const bool ran =
      control.Start("\"" + folder + "planted-control.exe\"", folder) && control.Ended(30000);
  const std::string controlLoads = ReadAll("C:\\planted-dlls.log");
  Check(loads.empty() && ran && controlLoads.rfind("winmm loaded into", 0) == 0 &&
            std::count(controlLoads.begin(), controlLoads.end(), '\n') == 1,
        "no planted DLL was loaded (%s); the control loads winmm.dll (%s)", Visible(loads).c_str(),
        Visible(controlLoads).c_str());
}

// For the benchmarks: times the check of the setup file, as an install into a drive that does
// not exist (refused at the first folder it makes, just after the check), then an install
// into C:\Timed, each from the press of Install to its message box or success text.
void Timed() {
  SetupRun run;
  double seconds[2] = {0, 0};
  for (int attempt = 0; attempt < 2 && (attempt || run.Open(env.setupExe)); ++attempt) {
    run.TypeDirectory(attempt == 0 ? "Q:\\Timed" : "C:\\Timed");
    const ULONGLONG start = GetTickCount64();
    Box box;
    for (run.PressInstall(); GetTickCount64() - start < 600000 && !run.WaitBox(0, &box) &&
                             !(attempt == 1 && run.Text(kStatus) == kSuccess);)
      Sleep(2);
    seconds[attempt] = (GetTickCount64() - start) / 1000.0;
    if (!Check(!box.hwnd == (attempt == 1) && seconds[attempt] < 600,
               "attempt %d ends as it should (%s)", attempt, Visible(box.text).c_str()))
      return;
    if (box.hwnd) Answer(box, 0, run.dlg);
  }
  if (seconds[1] > 0)
    std::printf("timed: check %.2f s, install %.2f s (from Install to success)\n", seconds[0],
                seconds[1]);
}

// ---- the uninstaller --------------------------------------------------------------------

bool NextBox(const std::string& head, Box* box) {  // the uninstaller's next box
  const bool shown = WaitBox(0, kUninstallCaption, 60000, box);
  return Check(shown && box->text.rfind(head, 0) == 0, "a box \"%s\" begins \"%s\" (\"%s\")",
               kUninstallCaption, Visible(head).c_str(), Visible(box->text).c_str());
}

// Starts the command registered for the system's list of programs (or `command`) from C:\ as
// that list does; the uninstaller's first box must begin with `head`.
bool StartUninstall(Process& run, const std::string& head, Box* box, std::string command = "") {
  std::map<std::string, std::string> values;
  ReadUninstallKey(&values);
  command = command.empty() ? values["UninstallString"] : command;
  return Check(run.Start(command, "C:\\"), "%s starts", command.c_str()) && NextBox(head, box);
}

void ExpectEnd(Process& run, DWORD want) {
  DWORD code = 1234;
  const bool ended = run.Ended(60000, &code);
  Check(ended && code == want, "the command ends with exit code %lu (%lu)", want, code);
}

// The whole uninstall, Return answering each box: nothing of the product is left, and the
// uninstaller's temporary copy is gone or left to the next restart. With a file held open (as
// a program working on it would: others may read it, not delete it), the first attempt names
// it, and Retry once it is closed finishes.
void Uninstall(const std::string& target, const std::string& held = "") {
  HANDLE h = held.empty() ? nullptr
                          : CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
  Process run;
  Box box;
  const bool asked =
      (held.empty() || Check(h != INVALID_HANDLE_VALUE, "%s is held open", held.c_str())) &&
      StartUninstall(run, "Do you want to remove Tessarin from this computer?", &box);
  if (asked) {
    Check(box.text.find("\n" + target + "\n") != std::string::npos,
          "the question names the folder %s", target.c_str());
    Shot("uninstall-confirm");
    Check(Answer(box, VK_RETURN), "Return answers the question");
  }
  const bool named = asked && h && NextBox("Could not remove\n" + held + "\n", &box);
  if (named) Shot("uninstall-in-use");
  if (h) CloseHandle(h);
  if (named) Answer(box, VK_RETURN);  // Retry
  if (!asked || (h && !named) || !NextBox("Tessarin was removed from this computer.", &box)) return;
  Check(!run.Ended(0), "the command still runs while the final message shows");
  Shot("uninstall-finished");
  Answer(box, VK_RETURN);
  ExpectEnd(run, 0);
  Check(!Exists(target) && !Exists(env.links) && !ReadUninstallKey(),
        "the install folder, the Start-menu folder and the uninstall key are gone");
  char pending[65536] = {};  // pairs of texts: a path ("\??\C:\..."), then "" when it goes
  DWORD size = sizeof pending;
  RegGetValueA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager",
               "PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, pending, &size);
  const std::string pairs = '\0' + std::string(pending, sizeof pending);
  for (const std::string& e : ListTree(env.temp))
    if (e.rfind("Tessarin-uninstall-", 0) == 0)
      Check(pairs.find('\0' + ("\\??\\" + env.temp + e.substr(0, e.size() - (e.back() == '\\'))) +
                       std::string(2, '\0')) != std::string::npos,
            "%s is left only until the next restart", e.c_str());
}

void Registered() {  // for the main command: the registered uninstall of what is there
  std::map<std::string, std::string> values;
  if (Check(ReadUninstallKey(&values), "Tessarin is registered"))
    Uninstall(values["InstallLocation"]);
}

// A developer install removed through the registered command. No (Esc), and uninstall entries
// naming other folders, change nothing anywhere; a file in use is named and Retry finishes; a
// second uninstall (from a copy kept elsewhere, the registered one being gone) only says that
// the product is not installed. What is not the product's but lies next to it stays: a file of
// the user's in a sibling folder, another Start-menu folder.
void Removal() {
  SetupRun setup;
  if (!Open(setup, "C:\\Downloads\\un")) return;
  const std::string target = Install(setup, true, env.programFiles + "\\TSarin");
  const std::string registered = "\"" + target + "uninst.exe\" Tessarin";
  Leave(setup, target);
  const std::string mine[] = {env.programFiles + "\\Notes\\mine.txt",
                              ShellFolder(CSIDL_COMMON_PROGRAMS) + "\\Other\\Other.Lnk",
                              "C:\\Saved\\uninst.exe"};
  for (int i = 0; i < 3; ++i) WriteAll(mine[i], i < 2 ? "mine" : ReadAll(target + "uninst.exe"));
  auto driveC = [] {  // but the temporary folder, where the uninstaller's copies come and go
    std::vector<std::string> out;
    for (const std::string& e : ListTree("C:"))
      if (_strnicmp(("C:\\" + e).c_str(), env.temp.c_str(), env.temp.size())) out.push_back(e);
    return out;
  };
  const std::vector<std::string> before = driveC();
  const std::string locations[] = {
      "",    "C:\\", ShellFolder(CSIDL_WINDOWS) + "\\", "C:\\users\\", env.programFiles + "\\",
      target};
  for (const std::string& t : locations) {
    if (!t.empty())  // bare, as the setup writes it
      RegSetKeyValueA(HKEY_LOCAL_MACHINE, kUninstallKey, "InstallLocation", REG_SZ, t.c_str(),
                      t.size());
    Process run;
    Box box;
    if (t == target ||
        !StartUninstall(run,
                        t.empty() ? "Do you want to remove Tessarin from this computer?"
                                  : "The uninstall entry of Tessarin names the folder\n" + t + "\n",
                        &box))
      break;
    if (t == "C:\\") Shot("uninstall-refused");
    Check(Answer(box, t.empty() ? VK_ESCAPE : VK_RETURN), "%s closes the box",
          t.empty() ? "Esc" : "Return");
    ExpectEnd(run, 1);
  }
  const std::vector<std::string> after = driveC();
  std::vector<std::string> gone;
  std::set_difference(before.begin(), before.end(), after.begin(), after.end(),
                      std::back_inserter(gone));
  Check(gone.empty() && ReadUninstallKey(),
        "not one file was removed anywhere (%zu gone: %s); the uninstall key stays", gone.size(),
        gone.empty() ? "" : gone[0].c_str());
  Uninstall(target, target + "Textures\\tex01.bmp");
  Process again, copy;
  Box box;
  Check(!again.Start(registered, "C:\\"), "the registered command no longer starts");
  if (StartUninstall(copy, kNotInstalled, &box, "\"C:\\Saved\\uninst.exe\" Tessarin"))
    Equal(box.text, kNotInstalled, "message"), Answer(box, VK_RETURN);
  ExpectEnd(copy, 1);
  Check(!WaitBox(0, kUninstallCaption, 0, &box) &&
            std::all_of(std::begin(mine), std::end(mine), Exists),
        "nothing else shows; the kept copy and the user's files stay");
}

}  // namespace

int main(int argc, char** argv) {
  const std::map<std::string, void (*)()> scenarios = {
      {"standard", Standard},   {"signed", Standard},
      {"refused", Refused},     {"damaged", Damaged},
      {"quickhelp", QuickHelp}, {"timed", Timed},
      {"uninstall", Removal},   {"uninstall-registered", Registered}};
  if (argc != 5 || !scenarios.count(argv[1]))
    return std::fprintf(stderr, "usage: tsarin-robot SCENARIO SETUP_EXE PRODUCT_DIR WORK_DIR\n"), 2;
  char self[MAX_PATH] = "", temp[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  GetTempPathA(MAX_PATH, temp);
  env.setupExe = argv[2], env.productDir = argv[3], env.workDir = argv[4], env.temp = temp;
  env.robotDir = std::string(self).substr(0, std::string(self).rfind('\\') + 1);
  env.links = ShellFolder(CSIDL_COMMON_PROGRAMS) + "\\Tessarin";
  env.programFiles = ShellFolder(CSIDL_PROGRAM_FILES);
  setvbuf(stdout, nullptr, _IONBF, 0);
  // Without a window manager (Xvfb) Wine draws the title bars itself, so that screenshots
  // show the caption and the close box.
  RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\Wine\\X11 Driver", "Managed", REG_SZ, "N", 2);
  // The classic look, which the dialog's transparent statics and read-only status line are
  // drawn for: Wine's own visual theme paints edit backgrounds itself.
  RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager",
                  "ThemeActive", REG_SZ, "0", 2);
  // .htm files open with the recording viewer; per-user classes would win over the machine's.
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Classes\\.htm");
  const std::string viewer = "\"" + env.robotDir + "tsarin-e2e-viewer.exe\" \"%1\"";
  Check(!RegSetKeyValueA(HKEY_CLASSES_ROOT, ".htm", nullptr, REG_SZ, "TsarinE2E.htmfile", 18) &&
            !RegSetKeyValueA(HKEY_CLASSES_ROOT, "TsarinE2E.htmfile\\shell\\open\\command", nullptr,
                             REG_SZ, viewer.c_str(), viewer.size() + 1),
        "the .htm file type opens the recording viewer");
  CoInitialize(nullptr);
  scenarios.at(argv[1])();
  std::printf("scenario %s: %s (%d failed checks)\n", argv[1], failures ? "FAILED" : "passed",
              failures);
  return failures ? 1 : 0;
}
