// The end-to-end robot: drives the real TSARIN.EXE, and the uninstaller it installs, through
// their windows as a person would, and checks what a person would see and what the install and
// the uninstall leave behind.
//
//   tsarin-robot SCENARIO SETUP_EXE PRODUCT_DIR WORK_DIR
//
// SETUP_EXE is the packed setup file, PRODUCT_DIR the tree it was packed from, WORK_DIR a
// folder the test script shares with the robot (screenshot requests). Each scenario runs in a
// Wine prefix of its own. Exit code: 0 when every check passed.
#include <windows.h>

#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <set>

#include "tests/e2e/archive_walk.h"
#include "tests/e2e/robot_win32.h"

namespace e2e {
namespace {

const char kSuccess[] = "Installation was successful.";
const char kNotSuccessful[] = "Installation not successful.";
const char kDamaged[] = "Incomplete or damaged installation file!";
const char kChecking[] = "Checking the installation file ...";
const char kStandinLog[] = "tessarin-standin.log";
const char kViewerLog[] = "tessarin-viewer.log";

// Files of the sample product that only the developer install extracts.
const char* const kDeveloperFiles[] = {"apiref.htm", "proto_vb.txt", "proto_c.txt", "apidemo.exe",
                                       "pbar.dll",   "tscv.dll",     "tscv.lib",    "ksniff.lib",
                                       "pbar.lib",   "sample.frm",   "sample.vbp"};

struct LinkRow {
  const char* link;
  const char* target;
  bool developerOnly;
};
// In the order the setup creates them.
const LinkRow kLinks[] = {
    {"Tessarin Program.Lnk", "tsn.exe", false},
    {"Online Help.Lnk", "tsn.hlp", false},
    {"User Manual.Lnk", "tsn.htm", false},
    {"Network Administrator's Guide.Lnk", "tsnnet_a.htm", false},
    {"Network User's Guide.Lnk", "tsnnet_u.htm", false},
    {"Pelicode Language Reference.Lnk", "plc.htm", false},
    {"Developer's Reference.Lnk", "apiref.htm", true},
    {"Developer's Test Program.Lnk", "apidemo.exe", true},
};

struct Env {
  std::string scenario;
  std::string setupExe;    // the built TSARIN.EXE
  std::string productDir;  // the tree it was packed from
  std::string workDir;     // shared with the test script
  std::string robotPath;
  std::string viewerPath;  // the recording .htm viewer
  Report report;
};

std::string WithSlash(std::string d) {
  if (!d.empty() && d.back() != '\\') d += '\\';
  return d;
}

bool IsDeveloperFile(const std::string& rel) {
  for (const char* f : kDeveloperFiles)
    if (SameText(rel, f)) return true;
  return false;
}

// Copies the built setup file to where a person would have downloaded it.
std::string Download(Env& env, const std::string& folder) {
  MakeDirs(folder);
  std::string exe = folder + "\\TSARIN.EXE";
  std::vector<uint8_t> bytes;
  env.report.Check(ReadFileBytes(env.setupExe, &bytes) && WriteFileBytes(exe, bytes),
                   "setup file copied to %s", exe.c_str());
  return exe;
}

void Shot(Env& env, const std::string& name) {
  if (!Screenshot(env.workDir, name)) env.report.Note("no screenshot %s (no answer)", name.c_str());
}

bool StartSetup(Env& env, SetupRun& run, const std::string& exe) {
  return env.report.Check(run.Start(exe) && run.WaitDialog(60000), "the window \"%s\" appears",
                          kDialogTitle);
}

// Types the directory, presses Install and waits for the error message the attempt must show,
// under the setup's error caption. False when no message box appeared.
bool InstallExpectingError(Env& env, SetupRun& run, const std::string& dir, int timeoutMs,
                           MessageBoxSeen* box) {
  Report& r = env.report;
  run.TypeDirectory(dir);
  run.PressInstall();
  if (!r.Check(run.WaitMessageBox("", timeoutMs, box), "a message box appears")) return false;
  r.Equal(box->caption, kErrorCaption, "caption");
  return true;
}

// ---- the checks a finished install gets --------------------------------------------------

void CheckReady(Env& env, SetupRun& run) {
  Report& r = env.report;
  r.Equal(run.Text(kStatus), "", "status line when ready");
  r.Check(run.Enabled(kInstall) && run.Enabled(kAbort) && run.Enabled(kDirectory),
          "Install, Abort and the directory field are enabled");
  r.Equal(TitleOf(run.Item(kInstall)), "&Install", "Install button label");
  r.Equal(TitleOf(run.Item(kAbort)), "&Abort", "Abort button label");
  r.Equal(TitleOf(run.Item(kDirLabel)), "Install to &directory:", "directory label");
  r.Check(!run.Checked(kDeveloper), "the developer check box is clear");
  r.Check(run.Focus() == run.Item(kInstall), "the Install button has the focus");
}

void CheckFinished(Env& env, SetupRun& run) {
  Report& r = env.report;
  r.Equal(run.Text(kStatus), kSuccess, "status line");
  r.Check(!run.Enabled(kInstall), "Install is disabled");
  r.Check(!run.Enabled(kDirectory), "the directory field is disabled");
  r.Equal(TitleOf(run.Item(kAbort)), "E&xit", "Abort button relabelled");
  MessageBoxSeen box;
  r.Check(!run.FindMessageBox("", &box), "no message box is open (%s: %s)", box.caption.c_str(),
          Visible(box.text).c_str());
  // The recording viewer has no window, so the dialog stays the active window.
  HWND focus = run.Focus();
  for (int t = 0; t < 3000 && focus != run.Item(kAbort); t += 100) {
    Pause(100);
    focus = run.Focus();
  }
  r.Check(focus == run.Item(kAbort), "Exit has the focus (focus on id %d)",
          focus ? GetDlgCtrlID(focus) : 0);
  POINT c = Centre(run.Item(kAbort)), p = Cursor();
  r.Check(CursorOn(run.Item(kAbort)), "the pointer is on Exit (%ld,%ld; centre %ld,%ld)", p.x, p.y,
          c.x, c.y);
}

// The installed tree equals the product tree (without the developer files in a standard
// install), byte for byte; extra names are allowed only when listed.
void CheckTree(Env& env, const std::string& target, bool developer,
               const std::set<std::string>& extra = {}) {
  Report& r = env.report;
  std::map<std::string, std::vector<uint8_t>> want = ReadTree(env.productDir);
  if (!developer) {
    for (auto it = want.begin(); it != want.end();)
      it = IsDeveloperFile(it->first) ? want.erase(it) : std::next(it);
  }
  std::map<std::string, std::vector<uint8_t>> got = ReadTree(target);
  int missing = 0, unexpected = 0, differ = 0;
  for (const auto& w : want) {
    auto g = got.find(w.first);
    if (g == got.end()) {
      if (++missing <= 5) r.Note("missing: %s", w.first.c_str());
    } else if (g->second != w.second) {
      if (++differ <= 5) r.Note("content differs: %s", w.first.c_str());
    }
  }
  for (const auto& g : got) {
    if (!want.count(g.first) && !extra.count(g.first)) {
      if (++unexpected <= 5) r.Note("unexpected: %s", g.first.c_str());
    }
  }
  size_t base = 0, profiles = 0, textures = 0;
  for (const auto& g : got) {
    if (g.first.compare(0, 9, "Profiles\\") == 0)
      ++profiles;
    else if (g.first.compare(0, 9, "Textures\\") == 0)
      ++textures;
    else
      ++base;
  }
  r.Check(missing == 0 && unexpected == 0 && differ == 0,
          "installed tree in %s: %zu base files, %zu in Profiles, %zu in Textures (missing %d, "
          "unexpected %d, different %d)",
          target.c_str(), base, profiles, textures, missing, unexpected, differ);
  // Only the two sub-directories of the product.
  std::vector<std::string> dirs;
  for (const std::string& e : ListTree(target))
    if (e.back() == '\\') dirs.push_back(e);
  std::set<std::string> allowedDirs = {"Profiles\\", "Textures\\"};
  for (const std::string& e : extra)
    if (e.back() == '\\') allowedDirs.insert(e);
  bool dirsOk = true;
  for (const std::string& d : dirs) dirsOk = dirsOk && allowedDirs.count(d);
  r.Check(dirsOk && dirs.size() >= 2, "sub-directories are Profiles and Textures only (%zu)",
          dirs.size());
}

std::string ProgramsFolder() {
  return ShellFolder(CSIDL_COMMON_PROGRAMS) + "\\Tessarin";
}

void CheckLinks(Env& env, const std::string& target, bool developer) {
  Report& r = env.report;
  CoInitialize(nullptr);
  std::string folder = ProgramsFolder();
  struct Want {
    std::string link, target, args;
  };
  std::vector<Want> want;
  for (const LinkRow& row : kLinks)
    if (developer || !row.developerOnly) want.push_back({row.link, target + row.target, ""});
  want.push_back({"Read Me.Lnk", target + "ReadMe.htm", ""});
  want.push_back({"UnInstall Tessarin.Lnk", target + "uninst.exe", "Tessarin"});

  std::vector<std::string> present = ListTree(folder);
  std::vector<std::string> wantNames;
  for (const Want& w : want) wantNames.push_back(w.link);
  std::sort(wantNames.begin(), wantNames.end());
  r.Check(present == wantNames, "the Start-menu folder %s holds exactly the %zu links (has %zu)",
          folder.c_str(), want.size(), present.size());

  FILETIME last = {};
  bool inOrder = true;
  for (const Want& w : want) {
    LinkInfo info = ReadLink(folder + "\\" + w.link);
    if (!r.Check(info.ok, "link \"%s\" can be read", w.link.c_str())) continue;
    r.Check(SameText(info.target, w.target) && info.arguments == w.args,
            "link \"%s\" -> \"%s\" \"%s\" (want \"%s\" \"%s\")", w.link.c_str(),
            info.target.c_str(), info.arguments.c_str(), w.target.c_str(), w.args.c_str());
    if (CompareFileTime(&info.written, &last) < 0) inOrder = false;
    last = info.written;
  }
  r.Check(inOrder, "the links were written in the order of the shortcut table");
  CoUninitialize();
}

// The installed size in KB as the setup counts it: the bytes of the files it wrote.
std::string InstalledKilobytes(Env& env, bool developer) {
  uint64_t bytes = 0;
  for (const auto& f : ReadTree(env.productDir))
    if (developer || !IsDeveloperFile(f.first)) bytes += f.second.size();
  return Format("dword:%llu", static_cast<unsigned long long>((bytes + 1023) / 1024));
}

void CheckRegistry(Env& env, const std::string& target, bool developer) {
  Report& r = env.report;
  std::map<std::string, std::string> got;
  if (!r.Check(ReadUninstallKey(&got), "the uninstall key exists")) return;
  std::string desktop = ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
  if (desktop.empty()) desktop = ShellFolder(CSIDL_DESKTOPDIRECTORY);
  std::map<std::string, std::string> want = {
      {"DisplayName", "Tessarin"},
      {"Publisher", "Halvorsk"},
      {"InstallLocation", target},
      {"D_start", ProgramsFolder() + "\\"},
      // Quoted, so that Windows cannot take "C:\Program" for the program to run.
      {"UninstallString", "\"" + target + "uninst.exe\" Tessarin"},
      {"F_dtop", desktop + "\\Tessarin.Lnk"},
      {"F_sendto", ShellFolder(CSIDL_SENDTO) + "\\Tessarin.Lnk"},
      // What the system's list of programs shows.
      {"DisplayIcon", target + "tsn.exe"},
      {"EstimatedSize", InstalledKilobytes(env, developer)},
      {"NoModify", "dword:1"},
      {"NoRepair", "dword:1"},
  };
  for (const auto& w : want) {
    auto g = got.find(w.first);
    r.Equal(g == got.end() ? "<missing>" : g->second, w.second, ("value " + w.first).c_str());
  }
  r.Check(got.size() == want.size(), "the key holds exactly %zu values (has %zu)", want.size(),
          got.size());
  r.Check(!FileExists(want["F_dtop"]) && !FileExists(want["F_sendto"]),
          "no link was written to the desktop or SendTo folders");
}

void CheckReadMeOpened(Env& env, SetupRun& run, const std::string& target) {
  Report& r = env.report;
  std::vector<std::string> lines;
  for (int t = 0; t < 20000 && lines.empty(); t += 200) {
    lines = LogLines(TempFolder() + kViewerLog);
    if (lines.empty()) Pause(200);
  }
  MessageBoxSeen box;
  r.Check(!run.FindMessageBox("", &box), "no message after the install (%s: %s)",
          box.caption.c_str(), Visible(box.text).c_str());
  r.Check(lines.size() == 1 && SameText(lines.empty() ? "" : lines[0], target + "ReadMe.htm"),
          "the read-me's program was asked to open \"%s\" (asked: %zu times, \"%s\")",
          (target + "ReadMe.htm").c_str(), lines.size(), lines.empty() ? "" : lines[0].c_str());
}

// Finds the stand-in product's window, checks what it says, and closes it.
void CheckProductStarted(Env& env, const std::string& target) {
  Report& r = env.report;
  std::vector<std::string> lines;
  for (int t = 0; t < 20000 && lines.empty(); t += 200) {
    lines = LogLines(TempFolder() + kStandinLog);
    if (lines.empty()) Pause(200);
  }
  std::string want = "tsn.exe\t" + target + "tsn.exe\t";
  r.Check(lines.size() == 1 && SameText(lines[0].substr(0, want.size()), want),
          "the product \"%stsn.exe\" was started once (%s)", target.c_str(),
          lines.empty() ? "nothing started" : Visible(lines[0]).c_str());
  HWND w = nullptr;
  for (int t = 0; t < 15000 && !w; t += 200) {
    w = FindWindowA("TessarinStandIn", "Tessarin");
    if (!w) Pause(200);
  }
  if (!r.Check(w != nullptr, "the product's window \"Tessarin\" is shown")) return;
  std::string text;
  for (int t = 0; t < 5000 && text.empty(); t += 100) {
    text = TitleOf(GetDlgItem(w, 100));  // made while the window is being created
    if (text.empty()) Pause(100);
  }
  r.Check(text.compare(0, 8, "Tessarin") == 0, "it says it is Tessarin");
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, pid);
  PostMessageA(w, WM_CLOSE, 0, 0);
  if (h) {
    WaitForSingleObject(h, 10000);
    CloseHandle(h);
  }
}

void CheckNothingStarted(Env& env) {
  Pause(1500);
  std::vector<std::string> lines = LogLines(TempFolder() + kStandinLog);
  env.report.Check(lines.empty(), "nothing was started (%s)",
                   lines.empty() ? "" : Visible(lines[0]).c_str());
}

void ExitSetup(Env& env, SetupRun& run) {
  run.PressAbort();
  DWORD code = 1234;
  bool ended = run.Exited(15000, &code);
  env.report.Check(ended && code == 0, "the setup ends with exit code 0 (%lu)", code);
}

void ClearLogs() {
  DeleteFileA((TempFolder() + kStandinLog).c_str());
  DeleteFileA((TempFolder() + kViewerLog).c_str());
}

// Starts the setup, installs into the field's default directory (or `dir`), and checks the
// finished dialog. Returns the base target directory with its trailing backslash.
std::string Install(Env& env, SetupRun& run, bool developer, const std::string& dir,
                    bool screenshots) {
  Report& r = env.report;
  std::string target;
  if (dir.empty()) {
    std::string def = ShellFolder(CSIDL_PROGRAM_FILES) + "\\TSarin";
    r.Equal(run.Text(kDirectory), def, "default directory");
    target = WithSlash(def);
  } else {
    run.TypeDirectory(dir);
    target = WithSlash(dir);
  }
  run.SetDeveloper(developer);
  r.Check(run.Checked(kDeveloper) == developer, "developer box %s", developer ? "set" : "clear");
  if (screenshots) Shot(env, "ready");
  run.PressInstall();
  MessageBoxSeen box;
  SetupRun::Outcome o = run.WaitInstall(120000, &box);
  r.Check(o == SetupRun::kSucceeded, "the install finishes (%s%s%s)",
          o == SetupRun::kTimedOut ? "timed out" : "", box.caption.c_str(),
          Visible(box.text).c_str());
  if (o == SetupRun::kMessage) {
    Shot(env, "unexpected-message");
    run.PressOk(box);
  }
  return target;
}

// ---- scenarios ----------------------------------------------------------------------------

// The packed product has the intended shape: the two directory entries in order, and the
// file counts and storage kinds that make the setup exercise both stored and compressed data.
void PayloadShape(Env& env) {
  Report& r = env.report;
  std::vector<uint8_t> file;
  WalkedArchive a;
  if (!r.Check(ReadFileBytes(env.setupExe, &file) && WalkArchive(file, &a),
               "the setup file holds a complete archive"))
    return;
  struct Count {
    int compressed = 0, stored = 0;
  };
  std::map<std::string, Count> counts;
  std::vector<std::string> dirs;
  std::string current;
  std::set<std::string> base;
  for (const WalkedEntry& e : a.entries) {
    if (e.kind == WalkedEntry::kDirectory) {
      current = e.name;
      dirs.push_back(e.name);
    } else if (e.kind == WalkedEntry::kFile) {
      (e.compressed ? counts[current].compressed : counts[current].stored)++;
      if (current.empty()) base.insert(e.name);
    }
  }
  r.Check(dirs == std::vector<std::string>{"Profiles", "Textures"},
          "directory entries: Profiles, then Textures");
  r.Check(counts[""].compressed == 41 && counts[""].stored == 22,
          "base: %d compressed, %d stored (want 41, 22)", counts[""].compressed, counts[""].stored);
  r.Check(counts["Profiles"].compressed == 0 && counts["Profiles"].stored == 32,
          "Profiles: %d compressed, %d stored (want 0, 32)", counts["Profiles"].compressed,
          counts["Profiles"].stored);
  r.Check(counts["Textures"].compressed == 44 && counts["Textures"].stored == 0,
          "Textures: %d compressed, %d stored (want 44, 0)", counts["Textures"].compressed,
          counts["Textures"].stored);
  bool named = base.count("ReadMe.htm") && base.count("uninst.exe");
  for (const LinkRow& row : kLinks) named = named && base.count(row.target);
  for (const char* f : kDeveloperFiles) named = named && base.count(f);
  r.Check(named,
          "every shortcut target, developer file, the read-me and the uninstaller are there");
  r.Check(file.size() > 1000000 && file.size() < 8000000, "setup file size %zu bytes", file.size());
}

void StandardOrDeveloper(Env& env, bool developer) {
  Report& r = env.report;
  ClearLogs();
  r.Check(RegisterViewer(env.viewerPath), "the .htm file type opens the recording viewer");
  std::string exe = Download(env, developer ? "C:\\Downloads\\dev" : "C:\\Downloads\\std");
  SetupRun run;
  if (!StartSetup(env, run, exe)) return;
  CheckReady(env, run);
  std::string target = Install(env, run, developer, "", !developer);
  CheckFinished(env, run);
  if (!developer) {
    run.Activate();
    Shot(env, "finished");
  }
  CheckReadMeOpened(env, run, target);
  CheckTree(env, target, developer);
  CheckLinks(env, target, developer);
  CheckRegistry(env, target, developer);
  // Install is disabled, but Enter on a control that is not a push button still sends its
  // command: it must do nothing now.
  SendMessageTimeoutA(run.dialog(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(run.Item(kDeveloper)),
                      TRUE, SMTO_ABORTIFHUNG, 3000, nullptr);
  PostKey(run.Item(kDeveloper), VK_RETURN);
  MessageBoxSeen box;
  DWORD code = 0;
  r.Check(run.Text(kStatus) == kSuccess && !run.FindMessageBox("", &box) && !run.Exited(0, &code),
          "Enter (command 1) after the install does nothing");
  ExitSetup(env, run);
  CheckProductStarted(env, target);
}

// Over an existing target: its old files and sub-directories go, a read-only file stays, and
// the product is in place; then a developer install over the standard one.
void Reinstall(Env& env) {
  Report& r = env.report;
  ClearLogs();
  RegisterViewer(env.viewerPath);
  const std::string dir = "C:\\Apps\\Tessarin";
  const std::string target = dir + "\\";
  MakeDirs(dir + "\\old\\deeper");
  WriteFileBytes(dir + "\\old.txt", {'o', 'l', 'd'});
  WriteFileBytes(dir + "\\old\\deeper\\notes.txt", {'o', 'l', 'd'});
  WriteFileBytes(dir + "\\tsn.htm", {'s', 't', 'a', 'l', 'e'});
  WriteFileBytes(dir + "\\keep.txt", {'k', 'e', 'e', 'p'});
  SetFileAttributesA((dir + "\\keep.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  std::string exe = Download(env, "C:\\Downloads\\re");
  for (bool developer : {false, true}) {
    r.Note("%s install over the existing directory", developer ? "developer" : "standard");
    ClearLogs();
    SetupRun run;
    if (!StartSetup(env, run, exe)) return;
    Install(env, run, developer, dir, false);
    CheckFinished(env, run);
    CheckTree(env, target, developer, {"keep.txt"});
    r.Check(!DirExists(dir + "\\old") && !FileExists(dir + "\\old.txt"),
            "the old files and sub-directories are gone");
    r.Check(FileExists(dir + "\\keep.txt"), "the read-only file stays");
    CheckLinks(env, target, developer);
    CheckRegistry(env, target, developer);
    ExitSetup(env, run);
    CheckProductStarted(env, target);
  }
}

// A target on a drive that does not exist: the path message, focus back in the field.
void MissingDrive(Env& env) {
  Report& r = env.report;
  DWORD drives = GetLogicalDrives();
  char letter = 0;
  for (char c = 'Q'; c <= 'Y' && !letter; ++c)
    if (!(drives & (1u << (c - 'A')))) letter = c;
  if (!r.Check(letter != 0, "a free drive letter")) return;
  std::string dir = Format("%c:\\Nowhere\\TSarin", letter);
  std::string exe = Download(env, "C:\\Downloads\\nodrive");
  SetupRun run;
  if (!StartSetup(env, run, exe)) return;
  MessageBoxSeen box;
  if (!InstallExpectingError(env, run, dir, 30000, &box)) return;
  r.Equal(box.text, "Could not create the path\n" + dir + "\\", "message");
  r.Check(run.PressOk(box), "OK closes the message");
  r.Equal(run.Text(kStatus), "", "status line unchanged");
  HWND field = run.Item(kDirectory);
  r.Check(run.Focus() == field, "the directory field has the focus");
  DWORD_PTR sel = 0;
  SendMessageTimeoutA(field, EM_GETSEL, 0, 0, SMTO_ABORTIFHUNG, 3000, &sel);
  r.Check(LOWORD(sel) == dir.size() && HIWORD(sel) == dir.size(),
          "the caret is after the last character, nothing selected (%u-%u)", LOWORD(sel),
          HIWORD(sel));
  r.Check(CursorOn(field), "the pointer is on the directory field");
  r.Check(run.Enabled(kInstall), "Install stays enabled");
  std::map<std::string, std::string> values;
  r.Check(!ReadUninstallKey(&values), "no uninstall key was written");
  // The same dialog takes a corrected directory and installs there.
  RegisterViewer(env.viewerPath);
  std::string target = Install(env, run, false, "C:\\Corrected\\TSarin", false);
  CheckFinished(env, run);
  CheckTree(env, target, false);
  ExitSetup(env, run);
  CheckProductStarted(env, target);
}

// Targets whose clearing would destroy what is not ours are refused before anything happens.
void DangerousTargets(Env& env) {
  Report& r = env.report;
  WriteFileBytes("C:\\sentinel.txt", {'s'});
  MakeDirs("C:\\Saved\\Setup");
  WriteFileBytes("C:\\Saved\\sentinel.txt", {'s'});
  std::string exe = Download(env, "C:\\Saved\\Setup");
  WriteFileBytes("C:\\Saved\\Setup\\sentinel.txt", {'s'});
  const std::string windows = WindowsFolder();
  const std::string targets[] = {
      "C:\\",      "C:",           windows, ShellFolder(CSIDL_PROGRAM_FILES), "C:\\Saved\\Setup",
      "C:\\Saved", "relative\\dir"};
  SetupRun run;
  if (!StartSetup(env, run, exe)) return;
  for (const std::string& t : targets) {
    r.Note("target \"%s\"", t.c_str());
    MessageBoxSeen box;
    if (!InstallExpectingError(env, run, t, 30000, &box)) return;
    // The directory as the setup reads it: a backslash is added unless it ends in one or
    // in a colon.
    std::string shown = t.back() == ':' ? t : WithSlash(t);
    r.Check(box.text.find(shown) != std::string::npos || t == "relative\\dir",
            "the message names \"%s\": \"%s\"", shown.c_str(), Visible(box.text).c_str());
    r.Check(box.text != "Could not create the path\n" + shown, "it is not a path failure");
    if (t == "C:\\Saved\\Setup") Shot(env, "refused-target");
    run.PressOk(box);
    r.Check(run.Focus() == run.Item(kDirectory), "the directory field has the focus");
    r.Equal(run.Text(kStatus), "", "status line unchanged");
  }
  r.Check(FileExists("C:\\sentinel.txt") && FileExists("C:\\Saved\\sentinel.txt") &&
              FileExists("C:\\Saved\\Setup\\sentinel.txt") && FileExists(windows + "\\win.ini") &&
              FileExists(exe),
          "nothing was deleted");
  std::map<std::string, std::string> values;
  r.Check(!ReadUninstallKey(&values), "no uninstall key was written");
  ExitSetup(env, run);
  CheckNothingStarted(env);
}

// What an installation consists of: its files, its Start-menu folder and its uninstall values.
struct InstalledState {
  std::map<std::string, std::vector<uint8_t>> tree;
  std::vector<std::string> links;
  std::map<std::string, std::string> values;
  bool operator==(const InstalledState& o) const {
    return tree == o.tree && links == o.links && values == o.values;
  }
};
InstalledState ReadInstalledState(const std::string& target) {
  InstalledState state;
  state.tree = ReadTree(target);
  state.links = ListTree(ProgramsFolder());
  ReadUninstallKey(&state.values);
  return state;
}

// Damaged setup files run over an installed product: the damage message, the failed state, the
// installation exactly as it was (files, links, uninstall values), and a working retry once the
// file is whole again.
void Damaged(Env& env) {
  Report& r = env.report;
  RegisterViewer(env.viewerPath);
  const std::string dir = "C:\\Damaged\\Installed";
  {
    ClearLogs();
    SetupRun run;
    if (!StartSetup(env, run, Download(env, "C:\\Downloads\\sound"))) return;
    Install(env, run, false, dir, false);
    CheckFinished(env, run);
    ExitSetup(env, run);
    CheckProductStarted(env, WithSlash(dir));  // and closes it: a running tsn.exe is locked
  }
  const InstalledState installed = ReadInstalledState(WithSlash(dir));
  r.Check(installed.tree.size() > 100 && !installed.links.empty() && !installed.values.empty(),
          "the product is installed (%zu files, %zu links, %zu values)", installed.tree.size(),
          installed.links.size(), installed.values.size());
  std::vector<uint8_t> good;
  WalkedArchive a;
  if (!r.Check(ReadFileBytes(env.setupExe, &good) && WalkArchive(good, &a),
               "the setup file holds a complete archive"))
    return;
  const WalkedEntry* firstFile = nullptr;
  const WalkedEntry* compressed = nullptr;
  const WalkedEntry* stored = nullptr;
  const WalkedEntry* skipped = nullptr;
  for (const WalkedEntry& e : a.entries) {
    if (e.kind != WalkedEntry::kFile) continue;
    if (!firstFile) firstFile = &e;
    if (IsDeveloperFile(e.name)) {
      if (!skipped && e.dataLength > 100) skipped = &e;
    } else if (e.compressed && !compressed && e.dataLength > 1000) {
      compressed = &e;
    } else if (!e.compressed && !stored && e.dataLength > 1000) {
      stored = &e;
    }
  }
  if (!r.Check(firstFile && compressed && stored && skipped, "cut points found")) return;
  struct Cut {
    const char* what;
    size_t at;
    bool repair;
  };
  const Cut cuts[] = {
      {"before the marker", a.markerOffset, false},
      {"inside the first name", firstFile->nameOffset + 2, false},
      {"inside a size field", firstFile->sizeOffset + 2, false},
      {"inside stored data", stored->dataOffset + stored->dataLength / 2, false},
      {"inside the data of a skipped entry", skipped->dataOffset + skipped->dataLength / 2, false},
      {"before the end entry", a.entries.back().nameOffset, false},
      {"at 1,200,000 bytes", 1200000, false},
      {"inside compressed data", compressed->dataOffset + compressed->dataLength / 2, true},
  };
  int n = 0;
  // Every damage is found by the check that reads the whole file before anything is changed,
  // so the status line says the file is being checked while the message is up.
  auto attempt = [&](const std::string& what, const std::vector<uint8_t>& bytes,
                     const std::vector<uint8_t>* tail) {
    r.Note("setup file %s", what.c_str());
    std::string folder = Format("C:\\Downloads\\damaged%d", ++n);
    MakeDirs(folder);
    std::string exe = folder + "\\TSARIN.EXE";
    WriteFileBytes(exe, bytes);
    ClearLogs();
    SetupRun run;
    if (!StartSetup(env, run, exe)) return;
    MessageBoxSeen box;
    if (!InstallExpectingError(env, run, dir, 60000, &box)) return;
    r.Equal(box.text, kDamaged, "message");
    r.Equal(run.Text(kStatus), kChecking, "status line while the message is shown");
    if (tail) Shot(env, "damaged-message");
    run.PressOk(box);
    r.Equal(run.Text(kStatus), kNotSuccessful, "status line");
    r.Check(run.Focus() == run.Item(kAbort), "Abort has the focus");
    r.Check(CursorOn(run.Item(kAbort)), "the pointer is on Abort");
    r.Check(run.Enabled(kInstall) && TitleOf(run.Item(kAbort)) == "&Abort",
            "Install stays enabled and Abort keeps its label");
    r.Check(ReadInstalledState(WithSlash(dir)) == installed,
            "the installed files, links and uninstall values are as they were");
    if (tail) {
      // Make the file whole again while the setup runs, and try again.
      HANDLE h = CreateFileA(exe.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
      DWORD written = 0;
      bool ok = h != INVALID_HANDLE_VALUE &&
                WriteFile(h, tail->data(), static_cast<DWORD>(tail->size()), &written, nullptr) &&
                written == tail->size();
      if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
      if (r.Check(ok, "the setup file is repaired while the setup runs")) {
        run.PressInstall();
        SetupRun::Outcome o = run.WaitInstall(120000, &box);
        r.Check(o == SetupRun::kSucceeded, "the second attempt succeeds (%s)",
                Visible(box.text).c_str());
        if (o == SetupRun::kMessage) run.PressOk(box);
        CheckFinished(env, run);
        CheckTree(env, WithSlash(dir), false);
        ExitSetup(env, run);
        CheckProductStarted(env, WithSlash(dir));
        return;
      }
    }
    ExitSetup(env, run);
    CheckNothingStarted(env);
  };
  for (const Cut& c : cuts) {
    std::vector<uint8_t> head(good.begin(), good.begin() + static_cast<ptrdiff_t>(c.at));
    std::vector<uint8_t> tail(good.begin() + static_cast<ptrdiff_t>(c.at), good.end());
    attempt(Format("cut %s (at %zu of %zu bytes)", c.what, c.at, good.size()), head,
            c.repair ? &tail : nullptr);
  }
  // One bit flipped in stored data: it would still be copied, but the record's CRC-32 differs.
  std::vector<uint8_t> flipped = good;
  flipped[stored->dataOffset + stored->dataLength / 2] ^= 0x08;
  attempt("with one bit flipped in stored data", flipped, nullptr);
  // The marker one byte off its 16-byte grid is not a marker.
  std::vector<uint8_t> shifted(good.begin(), good.begin() + static_cast<ptrdiff_t>(a.markerOffset));
  shifted.push_back(0);
  shifted.insert(shifted.end(), good.begin() + static_cast<ptrdiff_t>(a.markerOffset), good.end());
  attempt("with the marker one byte off its grid", shifted, nullptr);

  // Archives the packer would refuse to make, built by hand behind the same program image.
  auto crafted = [&](const std::string& name) {
    std::vector<uint8_t> f(good.begin(), good.begin() + static_cast<ptrdiff_t>(a.markerOffset));
    f.resize(f.size() + archive::kRecordSize);
    archive::WriteMarkerRecord(f.data() + f.size() - archive::kRecordSize);
    f.insert(f.end(), name.begin(), name.end());
    f.push_back(0);
    uint8_t size[4];
    archive::PutLE32(size, archive::StoredSizeField(3));
    f.insert(f.end(), size, size + 4);
    f.insert(f.end(), {'b', 'a', 'd', 0});  // data, then the end entry
    return f;
  };
  // An entry that would land outside the target directory is refused as damage, before
  // anything is written.
  attempt("with an entry named ..\\escaped.txt", crafted("..\\escaped.txt"), nullptr);
  r.Check(!FileExists("C:\\Damaged\\escaped.txt") && !FileExists("C:\\escaped.txt"),
          "nothing was written outside the target directory");

  // A name longer than 260 characters is damage too.
  attempt("with a name of 261 characters", crafted(std::string(261, 'n')), nullptr);
}

// A read-only file where an entry must be written stops the install with the file's path.
void ReadOnlyFile(Env& env) {
  Report& r = env.report;
  const std::string dir = "C:\\ReadOnly\\Tessarin";
  MakeDirs(dir + "\\Textures");
  const std::string blocked = dir + "\\Textures\\tex07.bmp";
  WriteFileBytes(blocked, {'o', 'l', 'd'});
  SetFileAttributesA(blocked.c_str(), FILE_ATTRIBUTE_READONLY);
  std::string exe = Download(env, "C:\\Downloads\\ro");
  ClearLogs();
  SetupRun run;
  if (!StartSetup(env, run, exe)) return;
  MessageBoxSeen box;
  if (!InstallExpectingError(env, run, dir, 60000, &box)) return;
  r.Equal(box.text,
          "Could not create file\n" + blocked +
              "\n\nThis may be because\nTessarin is already running,\nor you may be out of "
              "disk space.",
          "message");
  run.PressOk(box);
  r.Equal(run.Text(kStatus), kNotSuccessful, "status line");
  r.Check(run.Focus() == run.Item(kAbort), "Abort has the focus");
  std::vector<uint8_t> still;
  r.Check(ReadFileBytes(blocked, &still) && still == std::vector<uint8_t>{'o', 'l', 'd'},
          "the read-only file is unchanged");
  r.Check(FileExists(dir + "\\Textures\\tex06.bmp"), "the entries before it were extracted");
  ExitSetup(env, run);
  CheckNothingStarted(env);
}

// Leaving before installing: Esc, the close box and Abort end the program, start nothing and
// write nothing.
void CloseBeforeInstall(Env& env) {
  Report& r = env.report;
  std::string exe = Download(env, "C:\\Downloads\\close");
  const char* ways[] = {"Esc", "the close box", "Abort"};
  for (int i = 0; i < 3; ++i) {
    r.Note("closing with %s", ways[i]);
    ClearLogs();
    SetupRun run;
    if (!StartSetup(env, run, exe)) return;
    run.TypeDirectory("C:\\NotInstalled");
    if (i == 0) run.PressEsc();
    if (i == 1) run.CloseBox();
    if (i == 2) run.PressAbort();
    DWORD code = 1234;
    bool ended = run.Exited(15000, &code);
    r.Check(ended && code == 0, "the setup ends with exit code 0 (%lu)", code);
    CheckNothingStarted(env);
    std::map<std::string, std::string> values;
    r.Check(!ReadUninstallKey(&values), "no uninstall key was written");
    r.Check(
        !DirExists("C:\\NotInstalled") && !DirExists(ShellFolder(CSIDL_PROGRAM_FILES) + "\\TSarin"),
        "no target directory was made");
  }
}

// QuickHelp: panels open next to the pointer, close on clicks, swallow the click that closes
// them, ignore Enter and Esc, and give the focus back.
void QuickHelp(Env& env) {
  Report& r = env.report;
  ClearLogs();
  RegisterViewer(env.viewerPath);
  std::string exe = Download(env, "C:\\Downloads\\qh");
  SetupRun run;
  if (!StartSetup(env, run, exe)) return;
  HWND dlg = run.dialog();

  auto openPanel = [&]() -> HWND {
    std::vector<HWND> p = run.Panels();
    return p.size() == 1 ? p[0] : nullptr;
  };
  auto expectPanel = [&](int id, const char* after) -> HWND {
    HWND p = nullptr;
    for (int t = 0; t < 3000 && !p; t += 100) {
      p = openPanel();
      if (!p) Pause(100);
    }
    int got = p ? PanelId(p) : 0;
    r.Check(got == id && run.Panels().size() == 1, "%s: panel %d is open (got %d, %zu open)", after,
            id, got, run.Panels().size());
    return p;
  };
  auto expectNone = [&](const char* after) {
    for (int t = 0; t < 3000 && !run.Panels().empty(); t += 100) Pause(100);
    Pause(300);  // and none opens late
    r.Check(run.Panels().empty(), "%s: no panel is open (%zu)", after, run.Panels().size());
  };
  auto expectFocus = [&](HWND want, const char* what) {
    r.Check(run.Focus() == want, "the focus is back on %s", what);
  };

  HWND install = run.Item(kInstall), abort = run.Item(kAbort), label = run.Item(kDirLabel),
       check = run.Item(kDeveloper);
  HWND focus0 = run.Focus();
  r.Check(focus0 == install, "Install has the focus before any panel");

  // Right click on Install: 106 next to the pointer.
  POINT at = Centre(install);
  PostContextMenu(dlg, at);
  HWND p = expectPanel(106, "right click on Install");
  if (p) {
    RECT pr = WindowRect(p);
    RECT dr = WindowRect(dlg);
    bool fitsRight = at.x + (pr.right - pr.left) < dr.right;
    bool fitsBelow = at.y + (pr.bottom - pr.top) < dr.bottom;
    r.Check((!fitsRight || pr.left == at.x - 1) && (!fitsBelow || pr.top == at.y - 1),
            "the panel opens at the pointer (%ld,%ld; pointer %ld,%ld)", pr.left, pr.top, at.x,
            at.y);
    r.Check(run.Active() == p, "the panel is the active window");
    Shot(env, "panel");
  }
  // Enter and Esc leave it open and neither install nor close the setup.
  PostKey(run.Focus() ? run.Focus() : run.Active(), VK_RETURN);
  PostKey(run.Focus() ? run.Focus() : run.Active(), VK_ESCAPE);
  expectPanel(106, "Enter and Esc");
  DWORD code = 0;
  r.Check(!run.Exited(0, &code) && run.Text(kStatus).empty(),
          "Enter and Esc neither installed nor closed the setup");

  // A right click on Abort while 106 is open: 107 instead.
  MouseButton(Centre(abort), true);
  expectPanel(107, "right click on Abort with 106 open");
  // A right click on the check box while a panel is open: closes it, opens nothing.
  MouseButton(Centre(check), true);
  expectNone("right click on the check box with 107 open");
  expectFocus(focus0, "Install");

  // The label opens 109; a right click inside the panel closes it.
  PostContextMenu(dlg, Centre(label));
  p = expectPanel(109, "right click on the directory label");
  if (p) MouseButton(Centre(p), true);
  expectNone("right click inside the panel");
  expectFocus(focus0, "Install");

  // Items without a panel of their own get the general panel 113.
  PostContextMenu(dlg, Centre(check));
  p = expectPanel(113, "right click on the check box");
  // A left click anywhere closes it; on a button it does not press the button.
  MouseButton(Centre(install), false);
  expectNone("left click on Install with 113 open");
  r.Check(run.Text(kStatus).empty() && run.Enabled(kInstall), "Install was not pressed");
  expectFocus(focus0, "Install");

  PostContextMenu(dlg, Centre(install));
  expectPanel(106, "right click on Install");
  MouseButton(Centre(abort), false);
  expectNone("left click on Abort with 106 open");
  r.Check(!run.Exited(500, &code) && IsWindow(dlg), "Abort was not pressed: the setup runs on");

  // The dialog's own surface, near its lower left corner, also opens 113.
  RECT cr;
  GetClientRect(dlg, &cr);
  POINT surface = {cr.left + 3, cr.bottom - 3};
  ClientToScreen(dlg, &surface);
  PostContextMenu(dlg, surface);
  p = expectPanel(113, "right click on the dialog's surface");
  MouseButton(Centre(p ? p : dlg), false);
  expectNone("left click inside the panel");

  // A context-menu request outside the dialog opens nothing.
  RECT dr = WindowRect(dlg);
  PostContextMenu(dlg, POINT{dr.right + 20, dr.bottom + 20});
  expectNone("context menu outside the dialog");

  // The focus comes back where it was, also when that is not the first control.
  SendMessageTimeoutA(dlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(check), TRUE, SMTO_ABORTIFHUNG,
                      3000, nullptr);
  Pause(200);
  PostContextMenu(dlg, Centre(label));
  expectPanel(109, "right click on the label with the focus on the check box");
  MouseButton(Centre(label), false);
  expectNone("left click");
  expectFocus(check, "the check box");

  // After an install: 108 for Exit, and the disabled Install still has 106.
  std::string target = Install(env, run, false, "C:\\QuickHelp\\Tessarin", false);
  PostContextMenu(dlg, Centre(abort));
  expectPanel(108, "right click on Exit after the install");
  MouseButton(Centre(abort), false);
  expectNone("left click");
  PostContextMenu(dlg, Centre(install));
  expectPanel(106, "right click on the disabled Install");
  MouseButton(Centre(install), false);
  expectNone("left click");
  r.Check(IsWindow(dlg), "the setup is still open");
  ExitSetup(env, run);
  CheckProductStarted(env, target);
}

// DLLs planted beside the setup file, named as system DLLs that are not known DLLs, with Wine
// told to prefer such files to its own (as Windows searches the program's folder first for
// them): a standard install loads none of them into the setup.
void PlantedDlls(Env& env) {
  Report& r = env.report;
  ClearLogs();
  RegisterViewer(env.viewerPath);
  const std::string folder = "C:\\Downloads\\planted";
  std::string exe = Download(env, folder);
  const std::string planted =
      env.robotPath.substr(0, env.robotPath.find_last_of('\\') + 1) + "planted\\";
  std::string names = E2E_PLANTED_DLLS;
  for (size_t at = 0; at <= names.size();) {
    size_t end = names.find(',', at);
    if (end == std::string::npos) end = names.size();
    std::string dll = names.substr(at, end - at) + ".dll";
    r.Check(CopyFileA((planted + dll).c_str(), (folder + "\\" + dll).c_str(), FALSE) != 0,
            "%s planted beside the setup file", dll.c_str());
    at = end + 1;
  }
  DeleteFileA("C:\\planted-dlls.log");
  // Native DLLs come first for the planted names but version.dll, which Wine's own user32.dll
  // imports where Windows' does not (tests/e2e/CMakeLists.txt): run-scenario.sh starts the robot
  // so, and every process it starts inherits that. (Wine takes the overrides from the environment
  // the first process of the tree started with; a change a Windows program makes to its own
  // environment does not reach its children's loader.)
  SetupRun run;
  if (!StartSetup(env, run, exe)) return;
  std::string target = Install(env, run, false, "", false);
  CheckFinished(env, run);
  ExitSetup(env, run);
  CheckTree(env, target, false);
  std::vector<std::string> loads = LogLines("C:\\planted-dlls.log");
  for (const std::string& line : loads) r.Note("%s", Visible(line).c_str());
  r.Check(loads.empty(), "no planted DLL was loaded (%zu loads)", loads.size());

  // The control: a program importing winmm.dll statically, started from the same folder the
  // same way, does load the planted one.
  std::string control = folder + "\\planted-control.exe";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  bool ran = CopyFileA((planted + "planted-control.exe").c_str(), control.c_str(), FALSE) &&
             CreateProcessA(control.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr,
                            folder.c_str(), &si, &pi);
  if (ran) {
    WaitForSingleObject(pi.hProcess, 30000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
  }
  loads = LogLines("C:\\planted-dlls.log");
  r.Check(ran && loads.size() == 1 && loads[0].find("winmm loaded into") == 0,
          "the control, importing winmm.dll, loads the planted one (%s)",
          loads.empty() ? "nothing loaded" : Visible(loads[0]).c_str());
}

// ---- the uninstaller ------------------------------------------------------------------------

const char kUninstallCaption[] = "Tessarin Uninstall";
const char kConfirm[] = "Do you want to remove Tessarin from this computer?";
const char kRemoved[] = "Tessarin was removed from this computer.";
const char kNotInstalled[] = "Tessarin is not installed on this computer.\n\nNothing was removed.";

bool BeginsWith(const std::string& s, const std::string& head) {
  return s.compare(0, head.size(), head) == 0;
}

// A standard or developer install into the default directory; the setup and the product it
// started are closed again. Returns the base target directory, empty when the install failed.
std::string InstallProduct(Env& env, bool developer) {
  ClearLogs();
  RegisterViewer(env.viewerPath);
  std::string exe = Download(env, "C:\\Downloads\\un");
  SetupRun run;
  if (!StartSetup(env, run, exe)) return "";
  std::string target = Install(env, run, developer, "", false);
  CheckTree(env, target, developer);
  ExitSetup(env, run);
  CheckProductStarted(env, target);
  return DirExists(target) ? target : "";
}

// What is not the product's but lies next to it: a file of the user's in a sibling folder and
// another shortcut folder in the Start menu.
std::vector<std::string> Neighbours(const std::string& target) {
  std::string parent = target.substr(0, target.find_last_of('\\', target.size() - 2));
  return {parent + "\\Notes\\mine.txt", ShellFolder(CSIDL_COMMON_PROGRAMS) + "\\Other\\Other.Lnk"};
}

void PlaceNeighbours(const std::string& target) {
  for (const std::string& file : Neighbours(target)) {
    MakeDirs(file.substr(0, file.find_last_of('\\')));
    WriteFileBytes(file, {'m', 'i', 'n', 'e'});
  }
}

void CheckNeighbours(Env& env, const std::string& target) {
  for (const std::string& file : Neighbours(target))
    env.report.Check(FileExists(file), "%s stays", file.c_str());
}

// Starts the registered uninstall command as the system's list of programs does.
bool StartUninstall(Env& env, CommandRun& run, const std::string& target) {
  std::map<std::string, std::string> values;
  ReadUninstallKey(&values);
  const std::string command = values["UninstallString"];
  env.report.Equal(command, "\"" + target + "uninst.exe\" Tessarin", "the registered command");
  return env.report.Check(run.Start(command), "the uninstall command starts");
}

// The uninstaller's next message box; its text must begin with `head`.
bool ExpectUninstallBox(Env& env, const std::string& head, MessageBoxSeen* box) {
  Report& r = env.report;
  if (!r.Check(WaitBoxAnywhere(kUninstallCaption, 60000, box), "a box \"%s\" appears",
               kUninstallCaption))
    return false;
  return r.Check(BeginsWith(box->text, head), "it begins \"%s\" (\"%s\")", Visible(head).c_str(),
                 Visible(box->text).c_str());
}

void ExpectEnd(Env& env, CommandRun& run, DWORD want) {
  DWORD code = 1234;
  bool ended = run.Ended(60000, &code);
  env.report.Check(ended && code == want, "the command ends with exit code %lu (%s, %lu)", want,
                   ended ? "ended" : "still running", code);
}

// The whole uninstall, Return answering Yes and then OK. Whoever waits for the command waits
// until the final message is closed.
void Uninstall(Env& env, const std::string& target, bool screenshots) {
  Report& r = env.report;
  CommandRun run;
  MessageBoxSeen box;
  if (!StartUninstall(env, run, target) || !ExpectUninstallBox(env, kConfirm, &box)) return;
  r.Check(box.text.find("\n" + target + "\n") != std::string::npos,
          "the question names the folder %s", target.c_str());
  if (screenshots) Shot(env, "uninstall-confirm");
  r.Check(AnswerWithKey(box, VK_RETURN), "Return answers the question");
  if (!ExpectUninstallBox(env, kRemoved, &box)) return;
  DWORD code = 0;
  r.Check(!run.Ended(0, &code), "the command still runs while the final message shows");
  if (screenshots) Shot(env, "uninstall-finished");
  AnswerWithKey(box, VK_RETURN);
  ExpectEnd(env, run, 0);
}

// Nothing of the product is left; the uninstaller's temporary copy is gone or left to the next
// restart.
void CheckNothingLeft(Env& env, const std::string& target) {
  Report& r = env.report;
  std::map<std::string, std::string> values;
  r.Check(!DirExists(target), "the install folder %s is gone", target.c_str());
  r.Check(!DirExists(ProgramsFolder()), "the Start-menu folder %s is gone",
          ProgramsFolder().c_str());
  r.Check(!ReadUninstallKey(&values), "the uninstall key is gone");
  std::string temp = TempFolder();
  temp.pop_back();
  std::vector<std::string> pending = PendingRemovals();
  for (std::string entry : ListTree(temp)) {
    if (!BeginsWith(entry, "Tessarin-uninstall-")) continue;
    if (entry.back() == '\\') entry.pop_back();
    std::string path = temp + "\\" + entry;
    bool scheduled = std::any_of(pending.begin(), pending.end(),
                                 [&](const std::string& p) { return SameText(p, path); });
    r.Check(scheduled, "%s is left only until the next restart", path.c_str());
  }
}

// Install, then uninstall through the registered command: first Esc (No) changes nothing, then
// Return (Yes) removes the product and nothing else.
void InstallThenUninstall(Env& env, bool developer) {
  Report& r = env.report;
  std::string target = InstallProduct(env, developer);
  if (target.empty()) return;
  PlaceNeighbours(target);
  if (!developer) {
    CommandRun run;
    MessageBoxSeen box;
    if (StartUninstall(env, run, target) && ExpectUninstallBox(env, kConfirm, &box)) {
      if (!r.Check(AnswerWithKey(box, VK_ESCAPE), "Esc closes the question"))
        PostMessageA(box.hwnd, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), 0);
      ExpectEnd(env, run, 1);
    }
    std::map<std::string, std::string> values;
    r.Check(DirExists(ProgramsFolder()) && ReadUninstallKey(&values), "Esc (No) removed nothing");
    CheckTree(env, target, developer);
  }
  Uninstall(env, target, !developer);
  CheckNothingLeft(env, target);
  CheckNeighbours(env, target);
}

// A tampered InstallLocation is refused, naming it, and not one file is removed anywhere.
void UninstallTampered(Env& env) {
  Report& r = env.report;
  std::string target = InstallProduct(env, false);
  if (target.empty()) return;
  PlaceNeighbours(target);
  // Drive C: but the temporary folder, where the uninstaller's copies come and go.
  const std::string temp = Lower(TempFolder());
  auto drive = [&] {
    std::set<std::string> out;
    for (const std::string& e : ListTree("C:"))
      if (!BeginsWith(Lower("C:\\" + e), temp)) out.insert(e);
    return out;
  };
  const std::set<std::string> before = drive();
  const std::string tampered[] = {"C:\\", WindowsFolder() + "\\", "C:\\users\\",
                                  ShellFolder(CSIDL_PROGRAM_FILES) + "\\"};
  for (const std::string& t : tampered) {
    r.Note("InstallLocation \"%s\"", t.c_str());
    SetUninstallValue("InstallLocation", t);
    CommandRun run;
    MessageBoxSeen box;
    if (!StartUninstall(env, run, target) ||
        !ExpectUninstallBox(env, "The uninstall entry of Tessarin names the folder\n" + t + "\n",
                            &box))
      return;
    if (t == "C:\\") Shot(env, "uninstall-refused");
    AnswerWithKey(box, VK_RETURN);
    ExpectEnd(env, run, 1);
  }
  const std::set<std::string> after = drive();
  std::vector<std::string> gone;
  std::set_difference(before.begin(), before.end(), after.begin(), after.end(),
                      std::back_inserter(gone));
  r.Check(gone.empty(), "not one file was removed anywhere (%zu gone%s%s)", gone.size(),
          gone.empty() ? "" : ", the first ", gone.empty() ? "" : gone[0].c_str());
  std::map<std::string, std::string> values;
  r.Check(ReadUninstallKey(&values), "the uninstall key stays");
}

// A file held open is named; Retry after closing it finishes the uninstall.
void UninstallFileInUse(Env& env) {
  Report& r = env.report;
  std::string target = InstallProduct(env, false);
  if (target.empty()) return;
  std::vector<std::string> textures = ListTree(target + "Textures");
  if (!r.Check(!textures.empty(), "Textures holds files")) return;
  const std::string held = target + "Textures\\" + textures.front();
  // Open as a program working on it would: others may read it, not delete it.
  HANDLE h =
      CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (!r.Check(h != INVALID_HANDLE_VALUE, "%s is held open", held.c_str())) return;
  CommandRun run;
  MessageBoxSeen box;
  bool named = StartUninstall(env, run, target) && ExpectUninstallBox(env, kConfirm, &box) &&
               AnswerWithKey(box, VK_RETURN) &&
               ExpectUninstallBox(env, "Could not remove\n" + held + "\n", &box);
  if (named) Shot(env, "uninstall-in-use");
  CloseHandle(h);
  if (!named) return;
  AnswerWithKey(box, VK_RETURN);  // Retry
  if (ExpectUninstallBox(env, kRemoved, &box)) AnswerWithKey(box, VK_RETURN);
  ExpectEnd(env, run, 0);
  CheckNothingLeft(env, target);
}

// After a finished uninstall, a second one (from a copy of the uninstaller kept elsewhere, as
// the registered one is gone) only says that the product is not installed.
void UninstallTwice(Env& env) {
  Report& r = env.report;
  std::string target = InstallProduct(env, false);
  if (target.empty()) return;
  std::vector<uint8_t> bytes;
  MakeDirs("C:\\Saved");
  r.Check(ReadFileBytes(target + "uninst.exe", &bytes) &&
              WriteFileBytes("C:\\Saved\\uninst.exe", bytes),
          "a copy of the uninstaller is kept in C:\\Saved");
  std::map<std::string, std::string> values;
  ReadUninstallKey(&values);
  const std::string registered = values["UninstallString"];
  PlaceNeighbours(target);
  Uninstall(env, target, false);
  CheckNothingLeft(env, target);

  CommandRun again;
  r.Check(!again.Start(registered), "the registered command no longer starts");
  CommandRun copy;
  MessageBoxSeen box;
  if (r.Check(copy.Start("\"C:\\Saved\\uninst.exe\" Tessarin"), "the kept copy starts") &&
      ExpectUninstallBox(env, kNotInstalled, &box)) {
    r.Equal(box.text, kNotInstalled, "message");
    AnswerWithKey(box, VK_RETURN);
  }
  ExpectEnd(env, copy, 1);
  r.Check(!FindBoxAnywhere(kUninstallCaption, &box), "nothing else is shown");
  r.Check(FileExists("C:\\Saved\\uninst.exe"), "the kept copy stays");
  CheckNeighbours(env, target);
}

// For the main command: the registered uninstall of what is installed, Yes and OK.
void UninstallRegistered(Env& env) {
  std::map<std::string, std::string> values;
  if (!env.report.Check(ReadUninstallKey(&values), "Tessarin is registered")) return;
  const std::string target = values["InstallLocation"];
  Uninstall(env, target, false);
  CheckNothingLeft(env, target);
}

// For the benchmarks: times the check of the setup file, as an install into a drive that does
// not exist (refused at the first folder it makes, just after the check), then an install
// into C:\Timed, each from the press of Install to its message box or success text.
void TimedInstall(Env& env) {
  Report& r = env.report;
  RegisterViewer(env.viewerPath);  // the read-me opens at the end
  SetupRun run;
  if (!StartSetup(env, run, env.setupExe)) return;
  double seconds[2] = {0, 0};
  for (int attempt = 0; attempt < 2; ++attempt) {
    run.TypeDirectory(attempt == 0 ? "Q:\\Timed" : "C:\\Timed");
    const ULONGLONG start = GetTickCount64();
    MessageBoxSeen box;
    bool boxShown = false;
    run.PressInstall();
    while (GetTickCount64() - start < 600000) {
      boxShown = run.FindMessageBox("", &box);
      if (boxShown || (attempt == 1 && run.Text(kStatus) == "Installation was successful.")) {
        seconds[attempt] = (GetTickCount64() - start) / 1000.0;
        break;
      }
      Sleep(2);
    }
    if (!r.Check(boxShown == (attempt == 0) && seconds[attempt] > 0,
                 "attempt %d ends as it should (%s)", attempt, Visible(box.text).c_str())) {
      break;
    }
    if (boxShown) run.PressOk(box);
  }
  if (r.failures() == 0) {
    std::printf("timed: check %.2f s, install %.2f s (from Install to success)\n", seconds[0],
                seconds[1]);
  }
  run.Kill();
}

}  // namespace
}  // namespace e2e

int main(int argc, char** argv) {
  using namespace e2e;
  if (argc != 5) {
    std::fprintf(stderr,
                 "usage: tsarin-robot SCENARIO SETUP_EXE PRODUCT_DIR WORK_DIR\n"
                 "scenarios: payload standard developer reinstall missing-drive dangerous "
                 "damaged read-only close quickhelp planted signed uninstall "
                 "uninstall-developer uninstall-tampered uninstall-in-use uninstall-twice "
                 "uninstall-registered timed\n");
    return 2;
  }
  Env env;
  env.scenario = argv[1];
  env.setupExe = argv[2];
  env.productDir = argv[3];
  env.workDir = argv[4];
  char self[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  env.robotPath = self;
  env.viewerPath =
      env.robotPath.substr(0, env.robotPath.find_last_of('\\') + 1) + "tsarin-e2e-viewer.exe";

  // Without a window manager (Xvfb) Wine draws the title bars itself, so that screenshots
  // show the caption and the close box.
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\X11 Driver", 0, nullptr, 0, KEY_WRITE,
                      nullptr, &key, nullptr) == ERROR_SUCCESS) {
    RegSetValueExA(key, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
    RegCloseKey(key);
  }

  // The classic look, which the dialog's transparent statics and read-only status line are
  // drawn for: Wine's own visual theme paints edit backgrounds itself.
  if (RegCreateKeyExA(HKEY_CURRENT_USER,
                      "Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager", 0, nullptr, 0,
                      KEY_WRITE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
    RegSetValueExA(key, "ThemeActive", 0, REG_SZ, reinterpret_cast<const BYTE*>("0"), 2);
    RegCloseKey(key);
  }

  const std::string& s = env.scenario;
  std::printf("scenario %s\n", s.c_str());
  if (s == "payload")
    PayloadShape(env);
  else if (s == "standard" || s == "signed")
    StandardOrDeveloper(env, false);
  else if (s == "developer")
    StandardOrDeveloper(env, true);
  else if (s == "reinstall")
    Reinstall(env);
  else if (s == "missing-drive")
    MissingDrive(env);
  else if (s == "dangerous")
    DangerousTargets(env);
  else if (s == "damaged")
    Damaged(env);
  else if (s == "read-only")
    ReadOnlyFile(env);
  else if (s == "close")
    CloseBeforeInstall(env);
  else if (s == "quickhelp")
    QuickHelp(env);
  else if (s == "planted")
    PlantedDlls(env);
  else if (s == "uninstall")
    InstallThenUninstall(env, false);
  else if (s == "uninstall-developer")
    InstallThenUninstall(env, true);
  else if (s == "uninstall-tampered")
    UninstallTampered(env);
  else if (s == "uninstall-in-use")
    UninstallFileInUse(env);
  else if (s == "uninstall-twice")
    UninstallTwice(env);
  else if (s == "uninstall-registered")
    UninstallRegistered(env);
  else if (s == "timed")
    TimedInstall(env);
  else {
    std::fprintf(stderr, "unknown scenario %s\n", s.c_str());
    return 2;
  }
  std::printf("scenario %s: %s (%d failed checks)\n", s.c_str(),
              env.report.failures() ? "FAILED" : "passed", env.report.failures());
  std::fflush(stdout);
  return env.report.failures() ? 1 : 0;
}
