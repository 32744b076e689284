// The uninstaller's decisions, free of any platform: which product it was asked to remove,
// whether the values of the product's uninstall key can be trusted, what is removed and in
// which order, and how a removal that meets a file in use goes on after the user's answer.
// The registry, the questions and the uninstaller's own file are reached through
// UninstallHost, the shell's folders through DesktopServices, files through the file helpers.
//
// Usage (in the temporary copy of the uninstaller, which does the work):
//   UninstallArguments args;
//   if (ParseUninstallCommandLine(GetCommandLineA(), &args))
//     return RunUninstall(args.product, args.startedFrom, ownPath, host, folders);
#ifndef TSARIN_UNINSTALL_UNINSTALL_PLAN_H
#define TSARIN_UNINSTALL_UNINSTALL_PLAN_H

#include <cstddef>

class DesktopServices;

constexpr size_t kUninstallPathSize = 260;  // 259 characters and the terminator
constexpr char kUninstallProgramName[] = "uninst.exe";

// What became of the uninstaller's own program file.
enum class ProgramRemoval {
  kRemoved,    // gone from its folder
  kAtRestart,  // the system removes it at the next restart
  kFailed,
};

// The system under the uninstaller.
class UninstallHost {
 public:
  // Reads the text value `name` of HKEY_LOCAL_MACHINE\subKey into a 260-byte buffer. False
  // when the key or the value is missing, is not a text, or is longer than 259 characters.
  virtual bool ReadValue(const char* subKey, const char* name, char* buffer) = 0;
  // Deletes HKEY_LOCAL_MACHINE\subKey with its values; true when it is gone.
  virtual bool DeleteKey(const char* subKey) = 0;
  // A question with Yes (Return) and No (Esc): true for Yes.
  virtual bool AskYesNo(const char* text) = 0;
  // A question with Retry (Return) and Cancel (Esc): true for Retry.
  virtual bool AskRetry(const char* text) = 0;
  // A message with OK; `problem` shows it as a warning.
  virtual void Tell(const char* text, bool problem) = 0;
  // Removes the uninstaller's program file, which the process that started this one may still
  // be running.
  virtual ProgramRemoval RemoveProgram(const char* path) = 0;
  // Has the system remove an empty folder at the next restart.
  virtual void RemoveAtRestart(const char* path) = 0;

 protected:
  ~UninstallHost() = default;
};

// The words of the uninstaller's command line after its own path: the product's name as the
// setup writes it ("~" for each blank), and, in the temporary copy only, the path of the
// uninstaller the user started, quoted.
struct UninstallArguments {
  char product[kUninstallPathSize];      // blanks restored; "Tessarin" when none was given
  char startedFrom[kUninstallPathSize];  // empty in the first process
};
// False when a word does not fit or more words follow.
bool ParseUninstallCommandLine(const char* commandLine, UninstallArguments* out);

// What the uninstall key names, after its checks. A path left empty is not removed: the value
// was not there (F_dtop, F_sendto), names nothing that exists, or failed its check.
struct UninstallPlan {
  char product[kUninstallPathSize];
  char keyPath[kUninstallPathSize];     // under HKEY_LOCAL_MACHINE
  char installDir[kUninstallPathSize];  // InstallLocation, ending in a backslash
  char startMenu[kUninstallPathSize];   // D_start without its trailing backslash
  char desktopLink[kUninstallPathSize];
  char sendToLink[kUninstallPathSize];
  // One line "NAME: value" for each value that failed its check and is left alone.
  char leftAlone[3 * (kUninstallPathSize + 12)];
};

enum class PlanVerdict {
  kReady,
  kNotInstalled,  // no key, or no InstallLocation or D_start in it
  kRefused,       // InstallLocation is not a folder this uninstaller may remove
};

// Reads and checks the values. InstallLocation must be a safe target (the setup's own rules,
// with runningFrom as the running program), must hold the uninstaller, must be the folder the
// user started it from (startedFrom), and must not itself be a link. D_start is kept only when
// it is the product's folder directly inside one of the Programs folders; F_dtop and F_sendto
// only when they name a link file called "Tessarin.Lnk".
PlanVerdict MakeUninstallPlan(const char* product, const char* startedFrom, const char* runningFrom,
                              UninstallHost& host, DesktopServices& folders, UninstallPlan* plan);

// The removal, in this order: the install folder's contents except the uninstaller; the
// Start-menu folder; the desktop link; the SendTo link; the uninstaller; the install folder;
// the key. Up to its last step, a Cancel therefore leaves the uninstaller and the key, from
// which the removal can be finished later. Links are removed as links, never entered.
class UninstallRemoval {
 public:
  UninstallRemoval(const UninstallPlan& plan, UninstallHost& host) : plan_(plan), host_(host) {}
  // Carries on from where the last call stopped. True when everything is removed; false when
  // something could not be, which blocked() then names (the next call tries it again).
  bool Continue();
  const char* blocked() const { return blocked_; }
  // True when the uninstaller and its folder are left for the system to remove at restart.
  bool removedAtRestart() const { return atRestart_; }
  // True while the uninstaller's program file has not been removed yet.
  bool keepsUninstaller() const { return step_ <= kProgram; }

 private:
  enum Step {
    kProductFiles,
    kStartMenu,
    kDesktopLink,
    kSendToLink,
    kProgram,
    kFolder,
    kKey,
    kDone
  };
  bool RemoveProductFiles();
  bool RemoveFolder(const char* path);
  bool RemoveLink(const char* path);
  bool RemoveProgram();
  bool RemoveInstallFolder();
  bool RemoveKey();
  void NameLeftover(const char* path, bool directory);

  const UninstallPlan& plan_;
  UninstallHost& host_;
  Step step_ = kProductFiles;
  bool atRestart_ = false;
  char blocked_[kUninstallPathSize + 32] = {};
};

// The process's exit code.
enum UninstallResult {
  kUninstallRemoved = 0,
  kUninstallUnchanged = 1,  // not installed, refused, or the user said No
  kUninstallStopped = 2,    // the user cancelled after a part was removed
};

// The whole uninstall: plan, confirmation, removal with Retry and Cancel, final message.
int RunUninstall(const char* product, const char* startedFrom, const char* runningFrom,
                 UninstallHost& host, DesktopServices& folders);

#endif  // TSARIN_UNINSTALL_UNINSTALL_PLAN_H
