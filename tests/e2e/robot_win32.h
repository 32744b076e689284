// The robot's hands and eyes: it starts the real setup program and works its windows from
// another process, the way a person would see and use them, by control id and window text.
// Nothing here knows coordinates in advance; every point is taken from a window's rectangle.
#ifndef TSARIN_TESTS_E2E_ROBOT_WIN32_H
#define TSARIN_TESTS_E2E_ROBOT_WIN32_H

#include <windows.h>

#include <cstdarg>
#include <map>
#include <string>
#include <vector>

namespace e2e {

// ---- results ----------------------------------------------------------------------------

// Collects the checks of one scenario; every check prints one line.
class Report {
 public:
  bool Check(bool ok, const char* fmt, ...) __attribute__((format(gnu_printf, 3, 4)));
  void Note(const char* fmt, ...) __attribute__((format(gnu_printf, 2, 3)));
  // Compares texts and prints both when they differ.
  bool Equal(const std::string& got, const std::string& want, const char* what);
  int failures() const { return failures_; }

 private:
  int failures_ = 0;
};

std::string Format(const char* fmt, ...) __attribute__((format(gnu_printf, 1, 2)));
std::string Lower(std::string s);
bool SameText(const std::string& a, const std::string& b);  // without regard to case
// Shows control characters, so message texts with line breaks print on one line.
std::string Visible(const std::string& s);

// ---- windows of another process ---------------------------------------------------------

std::vector<HWND> TopWindows(DWORD pid);  // visible or not
std::vector<HWND> Children(HWND parent);
std::string ClassOf(HWND hwnd);
std::string TitleOf(HWND hwnd);  // the text the window manager keeps
// Asks the control itself (edit controls keep their own text).
std::string ControlText(HWND hwnd);
RECT WindowRect(HWND hwnd);
POINT Centre(HWND hwnd);
POINT Cursor();
bool CursorOn(HWND hwnd);  // the pointer is at the window's centre

// Keyboard and mouse: keys are posted to the window that has the focus; mouse buttons go
// through the system's input queue, so mouse capture decides who gets them.
void PostKey(HWND target, UINT vk);
void MoveCursor(POINT p);
void MouseButton(POINT p, bool right);
void PostContextMenu(HWND dialog, POINT p);
void Pause(int ms);

// ---- the setup program ------------------------------------------------------------------

constexpr char kDialogTitle[] = "Tessarin - Installation";
constexpr char kErrorCaption[] = "Tessarin Setup Error";
constexpr int kInstall = 1, kAbort = 2, kStatus = 102, kDirectory = 104, kDirLabel = 105,
              kDeveloper = 114;

struct MessageBoxSeen {
  HWND hwnd = nullptr;
  std::string caption;
  std::string text;
};

class SetupRun {
 public:
  ~SetupRun();
  bool Start(const std::string& exe);  // from the folder it lies in, as Explorer would
  bool WaitDialog(int ms);
  HWND dialog() const { return dialog_; }
  DWORD pid() const { return pi_.dwProcessId; }
  DWORD uiThread() const { return uiThread_; }
  HWND Item(int id) const { return GetDlgItem(dialog_, id); }
  std::string Text(int id) const { return ControlText(Item(id)); }
  bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }
  bool Checked(int id) const;
  HWND Focus() const;   // the window with the keyboard focus in the setup's thread
  HWND Active() const;  // its active window
  void Activate();      // brings the dialog to the foreground, as a click on it would
  // Replies once the setup's thread handles messages again (an install has returned or a
  // message box's loop is running).
  bool Responsive(int ms) const;

  void TypeDirectory(const std::string& dir);
  void SetDeveloper(bool on);
  void PressInstall();
  void PressAbort();  // a click on the button (BM_CLICK)
  void PressEsc();
  void CloseBox();  // the close box of the title bar

  // A visible message box of the setup with this caption (any caption when empty).
  bool FindMessageBox(const std::string& caption, MessageBoxSeen* box) const;
  bool WaitMessageBox(const std::string& caption, int ms, MessageBoxSeen* box) const;
  bool PressOk(const MessageBoxSeen& box) const;
  // Waits for a message box or the success text in the status line, whichever comes first.
  enum Outcome { kSucceeded, kMessage, kTimedOut };
  Outcome WaitInstall(int ms, MessageBoxSeen* box);

  // The visible pop-up dialogs of the setup that are not message boxes: QuickHelp panels.
  std::vector<HWND> Panels() const;
  bool Exited(int ms, DWORD* code);
  void Kill();

 private:
  PROCESS_INFORMATION pi_ = {};
  HWND dialog_ = nullptr;
  DWORD uiThread_ = 0;
};

// Which QuickHelp panel a window is, by the texts it shows: 106, 107, 108, 109, 113, or 0.
int PanelId(HWND panel);

// ---- message boxes of any process (the uninstaller runs as a copy of itself) -------------

// A visible dialog window of any process with exactly this caption, and its longest text.
bool FindBoxAnywhere(const std::string& caption, MessageBoxSeen* box);
bool WaitBoxAnywhere(const std::string& caption, int ms, MessageBoxSeen* box);
// Presses a key in the box as a person would (posted to its focused control), and waits until
// the box has closed; false when it stays open.
bool AnswerWithKey(const MessageBoxSeen& box, UINT vk);

// A program started with a complete command line, from C:\, as the system's list of programs
// starts an uninstall command; waited for like a caller would.
class CommandRun {
 public:
  ~CommandRun();
  bool Start(std::string commandLine);
  bool Ended(int ms, DWORD* code);

 private:
  PROCESS_INFORMATION pi_ = {};
};

// ---- what was installed -----------------------------------------------------------------

std::string ShellFolder(int csidl);  // without a trailing backslash; "" when unknown
std::string WindowsFolder();
bool ReadFileBytes(const std::string& path, std::vector<uint8_t>* out);
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& data);
bool FileExists(const std::string& path);
bool DirExists(const std::string& path);
// Every file below dir, by relative path with backslashes.
std::map<std::string, std::vector<uint8_t>> ReadTree(const std::string& dir);
// Every file below dir, by relative path, without contents.
std::vector<std::string> ListTree(const std::string& dir);
bool RemoveTree(const std::string& dir);
bool MakeDirs(const std::string& dir);

struct LinkInfo {
  bool ok = false;
  std::string target;
  std::string arguments;
  FILETIME written = {};
};
LinkInfo ReadLink(const std::string& path);

constexpr char kUninstallKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tessarin";
// All values of the uninstall key; false when the key does not exist. REG_DWORD values come
// back as "dword:N", other values that are not REG_SZ as "<type N>".
bool ReadUninstallKey(std::map<std::string, std::string>* values);
void DeleteUninstallKey();
// Writes a REG_SZ value into the uninstall key as the setup does (without the terminator).
bool SetUninstallValue(const std::string& name, const std::string& text);
// The files and folders the system is to delete at the next restart.
std::vector<std::string> PendingRemovals();

// Makes the shell open .htm files with the recording viewer program.
bool RegisterViewer(const std::string& viewerPath);
std::string TempFolder();
// Lines that the stand-in programs and the viewer wrote (each a TAB-separated record).
std::vector<std::string> LogLines(const std::string& file);

// ---- the test script's side ---------------------------------------------------------------

// Asks the test script for a screenshot of the whole screen and waits for it.
bool Screenshot(const std::string& workDir, const std::string& name);

}  // namespace e2e

#endif  // TSARIN_TESTS_E2E_ROBOT_WIN32_H
