#include "tests/e2e/robot_win32.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace e2e {

// ---- results ----------------------------------------------------------------------------

namespace {
std::string VFormat(const char* fmt, va_list ap) {
  char buf[4096];
  std::vsnprintf(buf, sizeof buf, fmt, ap);
  return buf;
}
}  // namespace

std::string Format(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string s = VFormat(fmt, ap);
  va_end(ap);
  return s;
}

bool Report::Check(bool ok, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string s = VFormat(fmt, ap);
  va_end(ap);
  std::printf("%s %s\n", ok ? "  ok  " : "  FAIL", s.c_str());
  std::fflush(stdout);
  if (!ok) ++failures_;
  return ok;
}

void Report::Note(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string s = VFormat(fmt, ap);
  va_end(ap);
  std::printf("  ..   %s\n", s.c_str());
  std::fflush(stdout);
}

bool Report::Equal(const std::string& got, const std::string& want, const char* what) {
  if (got == want) return Check(true, "%s: \"%s\"", what, Visible(got).c_str());
  return Check(false, "%s: got \"%s\", want \"%s\"", what, Visible(got).c_str(),
               Visible(want).c_str());
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

bool SameText(const std::string& a, const std::string& b) {
  return Lower(a) == Lower(b);
}

std::string Visible(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\n')
      out += "\\n";
    else if (c == '\r')
      out += "\\r";
    else if (c == '\t')
      out += "\\t";
    else
      out += c;
  }
  return out;
}

// ---- windows of another process ---------------------------------------------------------

namespace {
struct EnumState {
  DWORD pid;
  std::vector<HWND>* out;
};
BOOL CALLBACK CollectTop(HWND hwnd, LPARAM lp) {
  auto* st = reinterpret_cast<EnumState*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid == st->pid) st->out->push_back(hwnd);
  return TRUE;
}
BOOL CALLBACK CollectChild(HWND hwnd, LPARAM lp) {
  reinterpret_cast<std::vector<HWND>*>(lp)->push_back(hwnd);
  return TRUE;
}
}  // namespace

std::vector<HWND> TopWindows(DWORD pid) {
  std::vector<HWND> out;
  EnumState st{pid, &out};
  EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&st));
  return out;
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> out;
  EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&out));
  return out;
}

std::string ClassOf(HWND hwnd) {
  char buf[256] = "";
  GetClassNameA(hwnd, buf, sizeof buf);
  return buf;
}

std::string TitleOf(HWND hwnd) {
  char buf[2048] = "";
  GetWindowTextA(hwnd, buf, sizeof buf);
  return buf;
}

std::string ControlText(HWND hwnd) {
  if (!hwnd) return "<no window>";
  DWORD_PTR len = 0;
  if (!SendMessageTimeoutA(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 3000, &len))
    return "<no answer>";
  std::string s(len + 1, '\0');
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutA(hwnd, WM_GETTEXT, len + 1, reinterpret_cast<LPARAM>(&s[0]),
                           SMTO_ABORTIFHUNG, 3000, &got))
    return "<no answer>";
  s.resize(std::min<size_t>(got, len));
  return s;
}

RECT WindowRect(HWND hwnd) {
  RECT r = {};
  GetWindowRect(hwnd, &r);
  return r;
}

POINT Centre(HWND hwnd) {
  RECT r = WindowRect(hwnd);
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

POINT Cursor() {
  POINT p = {};
  GetCursorPos(&p);
  return p;
}

bool CursorOn(HWND hwnd) {
  POINT c = Centre(hwnd), p = Cursor();
  return c.x == p.x && c.y == p.y;
}

void Pause(int ms) {
  Sleep(static_cast<DWORD>(ms));
}

void PostKey(HWND target, UINT vk) {
  UINT scan = MapVirtualKeyA(vk, 0);
  PostMessageA(target, WM_KEYDOWN, vk, 1 | (scan << 16));
  PostMessageA(target, WM_KEYUP, vk, 1 | (scan << 16) | (1u << 30) | (1u << 31));
  Pause(300);
}

void MoveCursor(POINT p) {
  SetCursorPos(p.x, p.y);
  Pause(100);
}

void MouseButton(POINT p, bool right) {
  MoveCursor(p);
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_MOUSE;
  in[0].mi.dwFlags = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
  in[1].mi.dwFlags = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
  SendInput(1, &in[0], sizeof(INPUT));
  Pause(80);
  SendInput(1, &in[1], sizeof(INPUT));
  Pause(400);
}

void PostContextMenu(HWND dialog, POINT p) {
  MoveCursor(p);
  POINT client = p;
  ScreenToClient(dialog, &client);
  HWND child = ChildWindowFromPoint(dialog, client);
  PostMessageA(dialog, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(child ? child : dialog),
               MAKELPARAM(p.x, p.y));
  Pause(400);
}

// ---- the setup program ------------------------------------------------------------------

SetupRun::~SetupRun() {
  if (pi_.hProcess) {
    DWORD code = 0;
    if (GetExitCodeProcess(pi_.hProcess, &code) && code == STILL_ACTIVE) Kill();
    CloseHandle(pi_.hProcess);
    CloseHandle(pi_.hThread);
  }
}

bool SetupRun::Start(const std::string& exe) {
  std::string dir = exe.substr(0, exe.find_last_of('\\'));
  std::string cmd = "\"" + exe + "\"";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  if (!CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si,
                      &pi_)) {
    std::printf("  FAIL cannot start %s (error %lu)\n", exe.c_str(), GetLastError());
    pi_ = {};
    return false;
  }
  return true;
}

bool SetupRun::WaitDialog(int ms) {
  for (int t = 0; t < ms; t += 100) {
    for (HWND w : TopWindows(pi_.dwProcessId)) {
      if (IsWindowVisible(w) && TitleOf(w) == kDialogTitle && ClassOf(w) == "#32770") {
        dialog_ = w;
        uiThread_ = GetWindowThreadProcessId(w, nullptr);
        Responsive(5000);
        // A person clicks into the window they are going to use.
        Activate();
        return true;
      }
    }
    DWORD code = 0;
    if (GetExitCodeProcess(pi_.hProcess, &code) && code != STILL_ACTIVE) return false;
    Pause(100);
  }
  return false;
}

bool SetupRun::Checked(int id) const {
  DWORD_PTR r = 0;
  SendMessageTimeoutA(Item(id), BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 3000, &r);
  return r == BST_CHECKED;
}

HWND SetupRun::Focus() const {
  GUITHREADINFO gi = {};
  gi.cbSize = sizeof gi;
  if (!GetGUIThreadInfo(uiThread_, &gi)) return nullptr;
  return gi.hwndFocus;
}

HWND SetupRun::Active() const {
  GUITHREADINFO gi = {};
  gi.cbSize = sizeof gi;
  if (!GetGUIThreadInfo(uiThread_, &gi)) return nullptr;
  return gi.hwndActive;
}

void SetupRun::Activate() {
  SetForegroundWindow(dialog_);
  Pause(300);
  Responsive(3000);
}

bool SetupRun::Responsive(int ms) const {
  DWORD_PTR r = 0;
  return SendMessageTimeoutA(dialog_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, static_cast<UINT>(ms), &r) !=
         0;
}

void SetupRun::TypeDirectory(const std::string& dir) {
  DWORD_PTR r = 0;
  SendMessageTimeoutA(Item(kDirectory), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(dir.c_str()),
                      SMTO_ABORTIFHUNG, 3000, &r);
}

void SetupRun::SetDeveloper(bool on) {
  if (Checked(kDeveloper) != on) {
    PostMessageA(Item(kDeveloper), BM_CLICK, 0, 0);
    Pause(300);
  }
}

void SetupRun::PressInstall() {
  PostMessageA(dialog_, WM_COMMAND, MAKEWPARAM(kInstall, BN_CLICKED),
               reinterpret_cast<LPARAM>(Item(kInstall)));
}

void SetupRun::PressAbort() {
  PostMessageA(Item(kAbort), BM_CLICK, 0, 0);
}

void SetupRun::PressEsc() {
  HWND f = Focus();
  PostKey(f ? f : dialog_, VK_ESCAPE);
}

void SetupRun::CloseBox() {
  PostMessageA(dialog_, WM_SYSCOMMAND, SC_CLOSE, 0);
}

// A message box's caption and its text: the longest static text in it.
void ReadBox(HWND w, const std::string& caption, MessageBoxSeen* box) {
  box->hwnd = w;
  box->caption = caption;
  box->text.clear();
  for (HWND c : Children(w)) {
    if (ClassOf(c) != "Static") continue;
    std::string t = TitleOf(c);
    if (t.size() > box->text.size()) box->text = t;
  }
}

bool SetupRun::FindMessageBox(const std::string& caption, MessageBoxSeen* box) const {
  for (HWND w : TopWindows(pi_.dwProcessId)) {
    if (w == dialog_ || !IsWindowVisible(w) || ClassOf(w) != "#32770") continue;
    std::string title = TitleOf(w);
    if (!caption.empty() && title != caption) continue;
    // A message box has an OK button; the QuickHelp panels have none that shows.
    HWND ok = GetDlgItem(w, IDOK);
    if (!ok || !IsWindowVisible(ok)) continue;
    ReadBox(w, title, box);
    return true;
  }
  return false;
}

bool SetupRun::WaitMessageBox(const std::string& caption, int ms, MessageBoxSeen* box) const {
  for (int t = 0; t < ms; t += 100) {
    if (FindMessageBox(caption, box)) {
      Pause(200);
      return true;
    }
    Pause(100);
  }
  return false;
}

bool SetupRun::PressOk(const MessageBoxSeen& box) const {
  HWND ok = GetDlgItem(box.hwnd, IDOK);
  PostMessageA(box.hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
  for (int t = 0; t < 5000; t += 100) {
    if (!IsWindow(box.hwnd)) {
      Responsive(10000);
      Pause(200);
      return true;
    }
    Pause(100);
  }
  return false;
}

SetupRun::Outcome SetupRun::WaitInstall(int ms, MessageBoxSeen* box) {
  for (int t = 0; t < ms; t += 100) {
    if (FindMessageBox("", box)) {
      Pause(200);
      return kMessage;
    }
    if (Responsive(100) && Text(kStatus) == "Installation was successful." && !Enabled(kInstall)) {
      Pause(300);
      return kSucceeded;
    }
    Pause(100);
  }
  return kTimedOut;
}

std::vector<HWND> SetupRun::Panels() const {
  std::vector<HWND> out;
  for (HWND w : TopWindows(pi_.dwProcessId)) {
    if (w == dialog_ || !IsWindowVisible(w) || ClassOf(w) != "#32770") continue;
    HWND ok = GetDlgItem(w, IDOK);
    if (ok && IsWindowVisible(ok)) continue;  // a message box
    out.push_back(w);
  }
  return out;
}

bool SetupRun::Exited(int ms, DWORD* code) {
  if (WaitForSingleObject(pi_.hProcess, static_cast<DWORD>(ms)) != WAIT_OBJECT_0) return false;
  GetExitCodeProcess(pi_.hProcess, code);
  return true;
}

void SetupRun::Kill() {
  TerminateProcess(pi_.hProcess, 99);
  WaitForSingleObject(pi_.hProcess, 5000);
}

int PanelId(HWND panel) {
  static const struct {
    int id;
    const char* text;
  } kPanels[] = {
      {106, "Click on this button to install the software into the directory shown above."},
      {107, "Click on this button to abort installation."},
      {108, "Click on this button to exit installation and start the Tessarin program."},
      {109,
       "In this space, enter the drive and directory (path) where the software should be "
       "installed. If the directory does not exist, it will be created automatically."},
      {113, "To close a QuickHelp panel, simply click inside it."},
  };
  for (HWND c : Children(panel)) {
    std::string t = TitleOf(c);
    for (const auto& p : kPanels)
      if (t == p.text) return p.id;
  }
  return 0;
}

// ---- message boxes of any process -------------------------------------------------------

namespace {
BOOL CALLBACK CollectAll(HWND hwnd, LPARAM lp) {
  reinterpret_cast<std::vector<HWND>*>(lp)->push_back(hwnd);
  return TRUE;
}
}  // namespace

bool FindBoxAnywhere(const std::string& caption, MessageBoxSeen* box) {
  std::vector<HWND> all;
  EnumWindows(CollectAll, reinterpret_cast<LPARAM>(&all));
  for (HWND w : all) {
    if (!IsWindowVisible(w) || ClassOf(w) != "#32770" || TitleOf(w) != caption) continue;
    ReadBox(w, caption, box);
    return true;
  }
  return false;
}

bool WaitBoxAnywhere(const std::string& caption, int ms, MessageBoxSeen* box) {
  for (int t = 0; t < ms; t += 100) {
    if (FindBoxAnywhere(caption, box)) {
      Pause(300);  // its text and focus are set once it shows
      return true;
    }
    Pause(100);
  }
  return false;
}

bool AnswerWithKey(const MessageBoxSeen& box, UINT vk) {
  GUITHREADINFO gi = {};
  gi.cbSize = sizeof gi;
  HWND target = box.hwnd;
  if (GetGUIThreadInfo(GetWindowThreadProcessId(box.hwnd, nullptr), &gi) && gi.hwndFocus)
    target = gi.hwndFocus;
  PostKey(target, vk);
  for (int t = 0; t < 10000; t += 100) {
    if (!IsWindow(box.hwnd) || !IsWindowVisible(box.hwnd)) return true;
    Pause(100);
  }
  return false;
}

CommandRun::~CommandRun() {
  if (!pi_.hProcess) return;
  DWORD code = 0;
  if (GetExitCodeProcess(pi_.hProcess, &code) && code == STILL_ACTIVE) {
    TerminateProcess(pi_.hProcess, 99);
    WaitForSingleObject(pi_.hProcess, 5000);
  }
  CloseHandle(pi_.hProcess);
  CloseHandle(pi_.hThread);
}

bool CommandRun::Start(std::string commandLine) {
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, "C:\\", &si,
                      &pi_)) {
    pi_ = {};
    return false;
  }
  return true;
}

bool CommandRun::Ended(int ms, DWORD* code) {
  if (!pi_.hProcess || WaitForSingleObject(pi_.hProcess, static_cast<DWORD>(ms)) != WAIT_OBJECT_0)
    return false;
  GetExitCodeProcess(pi_.hProcess, code);
  return true;
}

// ---- what was installed -----------------------------------------------------------------

std::string ShellFolder(int csidl) {
  char buf[MAX_PATH] = "";
  if (SHGetFolderPathA(nullptr, csidl, nullptr, 0, buf) != S_OK) return "";
  return buf;
}

std::string WindowsFolder() {
  char buf[MAX_PATH] = "";
  GetWindowsDirectoryA(buf, MAX_PATH);
  return buf;
}

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>* out) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  out->clear();
  uint8_t buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out->insert(out->end(), buf, buf + n);
  std::fclose(f);
  return true;
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& data) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  return std::fclose(f) == 0 && ok;
}

bool FileExists(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirExists(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {
template <typename Fn>
void Walk(const std::string& dir, const std::string& rel, Fn fn) {
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = fd.cFileName;
    if (name == "." || name == "..") continue;
    std::string r = rel.empty() ? name : rel + "\\" + name;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      fn(r, true);
      Walk(dir + "\\" + name, r, fn);
    } else {
      fn(r, false);
    }
  } while (FindNextFileA(h, &fd));
  FindClose(h);
}
}  // namespace

std::map<std::string, std::vector<uint8_t>> ReadTree(const std::string& dir) {
  std::map<std::string, std::vector<uint8_t>> out;
  Walk(dir, "", [&](const std::string& rel, bool isDir) {
    if (!isDir) ReadFileBytes(dir + "\\" + rel, &out[rel]);
  });
  return out;
}

std::vector<std::string> ListTree(const std::string& dir) {
  std::vector<std::string> out;
  Walk(dir, "",
       [&](const std::string& rel, bool isDir) { out.push_back(isDir ? rel + "\\" : rel); });
  std::sort(out.begin(), out.end());
  return out;
}

bool RemoveTree(const std::string& dir) {
  if (!DirExists(dir)) return true;
  std::vector<std::string> all = ListTree(dir);
  // Deepest first: files and directories sorted in reverse come out children before parents.
  std::sort(all.rbegin(), all.rend());
  for (const std::string& rel : all) {
    std::string p = dir + "\\" + rel;
    if (p.back() == '\\') {
      p.pop_back();
      RemoveDirectoryA(p.c_str());
    } else {
      SetFileAttributesA(p.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(p.c_str());
    }
  }
  return RemoveDirectoryA(dir.c_str()) != 0;
}

bool MakeDirs(const std::string& dir) {
  for (size_t i = 3; i <= dir.size(); ++i) {
    if (i == dir.size() || dir[i] == '\\') CreateDirectoryA(dir.substr(0, i).c_str(), nullptr);
  }
  return DirExists(dir);
}

LinkInfo ReadLink(const std::string& path) {
  LinkInfo info;
  WIN32_FILE_ATTRIBUTE_DATA fa;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &fa)) return info;
  info.written = fa.ftLastWriteTime;
  IShellLinkA* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link))))
    return info;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    if (SUCCEEDED(file->Load(wide, STGM_READ))) {
      char buf[MAX_PATH] = "";
      WIN32_FIND_DATAA fd;
      if (SUCCEEDED(link->GetPath(buf, MAX_PATH, &fd, SLGP_RAWPATH))) info.target = buf;
      char args[1024] = "";
      if (SUCCEEDED(link->GetArguments(args, sizeof args))) info.arguments = args;
      info.ok = true;
    }
    file->Release();
  }
  link->Release();
  return info;
}

bool ReadUninstallKey(std::map<std::string, std::string>* values) {
  values->clear();
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD nameLen = sizeof name;
    BYTE data[2048];
    DWORD dataLen = sizeof data - 1;
    DWORD type = 0;
    if (RegEnumValueA(key, i, name, &nameLen, nullptr, &type, data, &dataLen) != ERROR_SUCCESS)
      break;
    if (type == REG_SZ) {
      data[dataLen] = 0;
      (*values)[name] = reinterpret_cast<char*>(data);
    } else if (type == REG_DWORD && dataLen == 4) {
      DWORD number;
      std::memcpy(&number, data, 4);
      (*values)[name] = Format("dword:%lu", number);
    } else {
      (*values)[name] = Format("<type %lu>", type);
    }
  }
  RegCloseKey(key);
  return true;
}

void DeleteUninstallKey() {
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey);
}

bool SetUninstallValue(const std::string& name, const std::string& text) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
    return false;
  bool ok =
      RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>(text.size())) == ERROR_SUCCESS;
  RegCloseKey(key);
  return ok;
}

std::vector<std::string> PendingRemovals() {
  std::vector<std::string> out;
  std::vector<char> data(65536);
  DWORD size = static_cast<DWORD>(data.size() - 2), type = 0;
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0,
                    KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return out;
  LONG result = RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, &type,
                                 reinterpret_cast<BYTE*>(data.data()), &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS || type != REG_MULTI_SZ) return out;
  // Pairs of texts: the path ("\\??\\C:\\..."), then where it goes, empty for a removal.
  std::vector<std::string> texts;
  for (size_t i = 0; i < size;) {
    std::string text(&data[i]);
    texts.push_back(text);
    i += text.size() + 1;
  }
  for (size_t i = 0; i + 1 < texts.size(); i += 2) {
    std::string path = texts[i];
    if (path.compare(0, 4, "\\??\\") == 0) path = path.substr(4);
    if (texts[i + 1].empty() && !path.empty()) out.push_back(path);
  }
  return out;
}
namespace {
bool SetDefault(HKEY root, const std::string& sub, const std::string& value) {
  HKEY key;
  if (RegCreateKeyExA(root, sub.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return false;
  bool ok = RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
  RegCloseKey(key);
  return ok;
}
}  // namespace

bool RegisterViewer(const std::string& viewerPath) {
  // The per-user classes would win over the machine's: make sure there are none for .htm.
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Classes\\.htm");
  const std::string command = "\"" + viewerPath + "\" \"%1\"";
  return SetDefault(HKEY_CLASSES_ROOT, ".htm", "TsarinE2E.htmfile") &&
         SetDefault(HKEY_CLASSES_ROOT, "TsarinE2E.htmfile\\shell\\open\\command", command);
}

std::string TempFolder() {
  char buf[MAX_PATH] = "";
  GetTempPathA(MAX_PATH, buf);
  return buf;
}

std::vector<std::string> LogLines(const std::string& file) {
  std::vector<std::string> out;
  std::vector<uint8_t> bytes;
  if (!ReadFileBytes(file, &bytes)) return out;
  std::string line;
  for (uint8_t b : bytes) {
    if (b == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      out.push_back(line);
      line.clear();
    } else {
      line.push_back(static_cast<char>(b));
    }
  }
  if (!line.empty()) out.push_back(line);
  return out;
}

// ---- the test script's side ---------------------------------------------------------------

bool Screenshot(const std::string& workDir, const std::string& name) {
  // The script watches workDir\requests and answers a NAME.shot file with NAME.done.
  std::string req = workDir + "\\requests\\" + name + ".shot";
  std::string done = workDir + "\\requests\\" + name + ".done";
  Pause(300);  // let the screen settle
  if (!WriteFileBytes(req, {})) return false;
  for (int t = 0; t < 20000; t += 100) {
    if (FileExists(done)) return true;
    Pause(100);
  }
  return false;
}

}  // namespace e2e
