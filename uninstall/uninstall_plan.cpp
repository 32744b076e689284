#include "uninstall/uninstall_plan.h"

#include <cstdarg>
#include <cstdint>
#include <cstring>

#include "setup/desktop_services.h"
#include "setup/path_rules.h"
#include "shell/file_helpers.h"
#include "shell/fs_platform.h"
#include "shell/text_format.h"

namespace {

constexpr char kProduct[] = "Tessarin";
constexpr char kProductLink[] = "Tessarin.Lnk";
constexpr char kUninstallKeys[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr char kRetryText[] =
    "Could not remove\n%s\n\nIt may be in use. Close the program that uses it and choose "
    "Retry, or choose Cancel to stop here and finish the removal later.";

char UpperLetter(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Equal apart from the case of the letters A-Z, as Windows compares names.
bool SameName(const char* a, const char* b) {
  for (; UpperLetter(*a) == UpperLetter(*b); ++a, ++b) {
    if (*a == '\0') return true;
  }
  return false;
}

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

// The same path as Windows reads it: names equal apart from case, either slash, and a run of
// separators counting as one (the setup takes its target directory so).
bool SamePath(const char* a, const char* b) {
  for (;;) {
    if (IsSeparator(*a) && IsSeparator(*b)) {
      while (IsSeparator(*a)) ++a;
      while (IsSeparator(*b)) ++b;
      continue;
    }
    if (UpperLetter(*a) != UpperLetter(*b)) return false;
    if (*a == '\0') return true;
    ++a;
    ++b;
  }
}

bool IsDotEntry(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Attributes of the entry at path; false when there is none.
bool EntryAttributes(const char* path, uint32_t* attributes) {
  return FindEntry(path, 1, nullptr, attributes);
}

bool IsPlainDirectory(uint32_t attributes) {
  return (attributes & kFsAttrDirectory) != 0 && (attributes & kFsAttrReparsePoint) == 0;
}

// One word of a command line: a run of characters up to a blank, where a pair of double
// quotes keeps blanks in. Null when it does not fit `size` bytes.
const char* NextWord(const char* p, char* word, size_t size) {
  while (*p == ' ' || *p == '\t') ++p;
  size_t length = 0;
  bool quoted = false;
  for (; *p != '\0'; ++p) {
    if (*p == '"') {
      quoted = !quoted;
      continue;
    }
    if (!quoted && (*p == ' ' || *p == '\t')) break;
    if (length + 1 >= size) return nullptr;
    word[length++] = *p;
  }
  word[length] = '\0';
  return p;
}

// InstallLocation (copied into dir, with a trailing backslash) is a folder this uninstaller may
// empty and remove.
bool CheckInstallFolder(const char* location, const char* startedFrom, const char* runningFrom,
                        DesktopServices& folders, char* dir) {
  FormatText(dir, kUninstallPathSize, "%s", location);
  AppendBackslash(dir);
  if (!IsSafeTarget(dir, folders, runningFrom)) return false;
  char program[kUninstallPathSize];
  if (!JoinPath(program, dir, kUninstallProgramName) || !SamePath(program, startedFrom)) {
    return false;
  }
  uint32_t attributes = 0;
  if (!EntryAttributes(program, &attributes) || (attributes & kFsAttrDirectory) != 0) return false;
  char folder[kUninstallPathSize];
  FormatText(folder, sizeof folder, "%s", dir);
  StripBackslash(folder);
  return EntryAttributes(folder, &attributes) && IsPlainDirectory(attributes);
}

// D_start is the product's own folder directly inside one of the Programs folders. out gets
// its path without the trailing backslash, or stays empty when there is no such folder.
bool CheckStartMenuFolder(const char* value, DesktopServices& folders, char* out) {
  char path[kUninstallPathSize];
  FormatText(path, sizeof path, "%s", value);
  StripBackslash(path);
  char* last = std::strrchr(path, '\\');
  if (last == nullptr || !SameName(last + 1, kProduct)) return false;
  *last = '\0';
  bool inPrograms = false;
  static const int kProgramsFolders[] = {kCsidlCommonPrograms, kCsidlPrograms};
  for (int csidl : kProgramsFolders) {
    char programs[kUninstallPathSize];
    if (folders.GetShellFolder(csidl, programs) && SameName(path, programs)) inPrograms = true;
  }
  *last = '\\';
  if (!inPrograms) return false;
  uint32_t attributes = 0;
  if (!EntryAttributes(path, &attributes)) return true;
  if (!IsPlainDirectory(attributes)) return false;
  FormatText(out, kUninstallPathSize, "%s", path);
  return true;
}

// F_dtop and F_sendto name a link file "Tessarin.Lnk" by an absolute path without "." or ".."
// or wildcards. out gets the path, or stays empty when there is no such file.
bool CheckLink(const char* value, char* out) {
  const char* name = std::strrchr(value, '\\');
  if (name == nullptr || !SameName(name + 1, kProductLink)) return false;
  bool drive = UpperLetter(value[0]) >= 'A' && UpperLetter(value[0]) <= 'Z' && value[1] == ':' &&
               value[2] == '\\';
  bool share = value[0] == '\\' && value[1] == '\\';
  if (!drive && !share) return false;
  if (std::strpbrk(value, "*?") != nullptr) return false;
  for (const char* p = value; (p = std::strstr(p, "\\.")) != nullptr; ++p) {
    if (p[2] == '\\' || p[2] == '\0' || (p[2] == '.' && (p[3] == '\\' || p[3] == '\0'))) {
      return false;
    }
  }
  uint32_t attributes = 0;
  if (!EntryAttributes(value, &attributes)) return true;
  if ((attributes & kFsAttrDirectory) != 0) return false;
  FormatText(out, kUninstallPathSize, "%s", value);
  return true;
}

// Formats behind the text already in out (a buffer of size bytes); cuts what does not fit.
void Append(char* out, size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));
void Append(char* out, size_t size, const char* format, ...) {
  size_t used = std::strlen(out);
  va_list args;
  va_start(args, format);
  FormatTextV(out + used, size - used, format, args);
  va_end(args);
}

void NoteLeftAlone(UninstallPlan* plan, const char* name, const char* value) {
  Append(plan->leftAlone, sizeof plan->leftAlone, "%s: %s\n", name, value);
}

}  // namespace

bool ParseUninstallCommandLine(const char* commandLine, UninstallArguments* out) {
  char program[kUninstallPathSize];
  const char* p = NextWord(commandLine, program, sizeof program);
  if (p != nullptr) p = NextWord(p, out->product, sizeof out->product);
  if (p != nullptr) p = NextWord(p, out->startedFrom, sizeof out->startedFrom);
  char more[2];
  if (p == nullptr || NextWord(p, more, sizeof more) == nullptr || more[0] != '\0') return false;
  if (out->product[0] == '\0') FormatText(out->product, sizeof out->product, "%s", kProduct);
  for (char* c = out->product; *c != '\0'; ++c) {
    if (*c == '~') *c = ' ';
  }
  return true;
}

PlanVerdict MakeUninstallPlan(const char* product, const char* startedFrom, const char* runningFrom,
                              UninstallHost& host, DesktopServices& folders, UninstallPlan* plan) {
  std::memset(plan, 0, sizeof *plan);
  FormatText(plan->product, sizeof plan->product, "%s", product);
  // This uninstaller knows one product's files and shortcuts.
  if (std::strcmp(product, kProduct) != 0) return PlanVerdict::kNotInstalled;
  FormatText(plan->keyPath, sizeof plan->keyPath, "%s%s", kUninstallKeys, product);

  char location[kUninstallPathSize];
  char value[kUninstallPathSize];
  if (!host.ReadValue(plan->keyPath, "InstallLocation", location) ||
      !host.ReadValue(plan->keyPath, "D_start", value)) {
    return PlanVerdict::kNotInstalled;
  }
  if (!CheckInstallFolder(location, startedFrom, runningFrom, folders, plan->installDir)) {
    FormatText(plan->installDir, sizeof plan->installDir, "%s", location);
    return PlanVerdict::kRefused;
  }
  if (!CheckStartMenuFolder(value, folders, plan->startMenu)) NoteLeftAlone(plan, "D_start", value);
  // The setup records these two only where it found the folders.
  if (host.ReadValue(plan->keyPath, "F_dtop", value) && !CheckLink(value, plan->desktopLink)) {
    NoteLeftAlone(plan, "F_dtop", value);
  }
  if (host.ReadValue(plan->keyPath, "F_sendto", value) && !CheckLink(value, plan->sendToLink)) {
    NoteLeftAlone(plan, "F_sendto", value);
  }
  return PlanVerdict::kReady;
}

bool UninstallRemoval::Continue() {
  blocked_[0] = '\0';
  for (;;) {
    bool done = true;
    switch (step_) {
      case kProductFiles:
        done = RemoveProductFiles();
        break;
      case kStartMenu:
        done = RemoveFolder(plan_.startMenu);
        break;
      case kDesktopLink:
        done = RemoveLink(plan_.desktopLink);
        break;
      case kSendToLink:
        done = RemoveLink(plan_.sendToLink);
        break;
      case kProgram:
        done = RemoveProgram();
        break;
      case kFolder:
        done = RemoveInstallFolder();
        break;
      case kKey:
        done = RemoveKey();
        break;
      case kDone:
        return true;
    }
    if (!done) return false;
    step_ = static_cast<Step>(step_ + 1);
  }
}

// Everything in the install folder but the uninstaller. The walk starts again after each
// removal and passes by number over what stays, so it is right however entries move.
bool UninstallRemoval::RemoveProductFiles() {
  char pattern[kUninstallPathSize];
  if (!JoinPath(pattern, plan_.installDir, "*.*")) return true;
  char name[kUninstallPathSize];
  uint32_t attributes = 0;
  for (int n = 1; FindEntryAsFound(pattern, n, name, &attributes);) {
    bool directory = (attributes & kFsAttrDirectory) != 0;
    if (IsDotEntry(name) || (!directory && SameName(name, kUninstallProgramName))) {
      ++n;
      continue;
    }
    char path[kUninstallPathSize];
    bool removed = false;
    if (JoinPath(path, plan_.installDir, name)) {
      if (!directory) {
        removed = FsDeleteFile(path);
      } else if ((attributes & kFsAttrReparsePoint) != 0) {
        removed = FsRemoveDirectoryLink(path);
      } else {
        removed = ClearDirectory(path, true);
      }
    }
    if (!removed) {
      FormatText(path, sizeof path, "%s%s", plan_.installDir, name);
      NameLeftover(path, IsPlainDirectory(attributes));
      return false;
    }
  }
  return true;
}

bool UninstallRemoval::RemoveFolder(const char* path) {
  if (path[0] == '\0' || ClearDirectory(path, true) || !DirectoryExists(path)) return true;
  NameLeftover(path, true);
  return false;
}

bool UninstallRemoval::RemoveLink(const char* path) {
  uint32_t attributes = 0;
  if (path[0] == '\0' || !EntryAttributes(path, &attributes) || FsDeleteFile(path)) return true;
  NameLeftover(path, false);
  return false;
}

bool UninstallRemoval::RemoveProgram() {
  char program[kUninstallPathSize];
  uint32_t attributes = 0;
  if (!JoinPath(program, plan_.installDir, kUninstallProgramName) ||
      !EntryAttributes(program, &attributes)) {
    return true;
  }
  switch (host_.RemoveProgram(program)) {
    case ProgramRemoval::kRemoved:
      return true;
    case ProgramRemoval::kAtRestart:
      atRestart_ = true;
      return true;
    case ProgramRemoval::kFailed:
      break;
  }
  NameLeftover(program, false);
  return false;
}

bool UninstallRemoval::RemoveInstallFolder() {
  char folder[kUninstallPathSize];
  FormatText(folder, sizeof folder, "%s", plan_.installDir);
  StripBackslash(folder);
  if (FsRemoveDirectory(folder) || !DirectoryExists(folder)) return true;
  if (atRestart_) {
    // It still holds the uninstaller, which goes at the restart: the folder follows it.
    host_.RemoveAtRestart(folder);
    return true;
  }
  NameLeftover(folder, true);
  return false;
}

bool UninstallRemoval::RemoveKey() {
  if (host_.DeleteKey(plan_.keyPath)) return true;
  FormatText(blocked_, sizeof blocked_, "HKEY_LOCAL_MACHINE\\%s", plan_.keyPath);
  return false;
}

// blocked_ := path, or, for a directory, the first entry that stayed deepest inside it.
void UninstallRemoval::NameLeftover(const char* path, bool directory) {
  FormatText(blocked_, sizeof blocked_, "%s", path);
  while (directory) {
    char pattern[kUninstallPathSize];
    char name[kUninstallPathSize];
    uint32_t attributes = 0;
    if (!JoinPath(pattern, blocked_, "\\*.*")) return;
    int n = 1;
    bool found;
    while ((found = FindEntryAsFound(pattern, n, name, &attributes)) && IsDotEntry(name)) ++n;
    if (!found) return;
    size_t length = std::strlen(blocked_);
    if (length + 1 + std::strlen(name) >= kUninstallPathSize) return;
    FormatText(blocked_ + length, sizeof blocked_ - length, "\\%s", name);
    directory = IsPlainDirectory(attributes);
  }
}

int RunUninstall(const char* product, const char* startedFrom, const char* runningFrom,
                 UninstallHost& host, DesktopServices& folders) {
  // Static: the plan and the texts are larger than a frame of this program should be.
  static UninstallPlan plan;
  static char text[sizeof plan.leftAlone + 3 * kUninstallPathSize];
  switch (MakeUninstallPlan(product, startedFrom, runningFrom, host, folders, &plan)) {
    case PlanVerdict::kNotInstalled:
      FormatText(text, sizeof text, "%s is not installed on this computer.\n\nNothing was removed.",
                 plan.product);
      host.Tell(text, true);
      return kUninstallUnchanged;
    case PlanVerdict::kRefused:
      FormatText(text, sizeof text,
                 "The uninstall entry of %s names the folder\n%s\nwhich this uninstaller does not "
                 "remove: it is not a safe place to delete, or not the folder %s was installed "
                 "in and the uninstaller started from.\n\nNothing was removed.",
                 plan.product, plan.installDir, plan.product);
      host.Tell(text, true);
      return kUninstallUnchanged;
    case PlanVerdict::kReady:
      break;
  }

  FormatText(text, sizeof text,
             "Do you want to remove %s from this computer?\n\nThe folder\n%s\nwith everything in "
             "it, the Start-menu shortcuts and the uninstall entry will be deleted.",
             plan.product, plan.installDir);
  if (!host.AskYesNo(text)) return kUninstallUnchanged;

  UninstallRemoval removal(plan, host);
  while (!removal.Continue()) {
    FormatText(text, sizeof text, kRetryText, removal.blocked());
    if (!host.AskRetry(text)) {
      FormatText(text, sizeof text, "%s was not removed completely.", plan.product);
      Append(text, sizeof text,
             removal.keepsUninstaller()
                 ? " Its uninstaller and its uninstall entry are kept, so that you can finish the "
                   "removal later."
                 : " Its uninstall entry is kept.");
      host.Tell(text, true);
      return kUninstallStopped;
    }
  }

  FormatText(text, sizeof text, "%s was removed from this computer.", plan.product);
  if (plan.leftAlone[0] != '\0') {
    Append(text, sizeof text,
           "\n\nThese entries of its uninstall record were left alone, as they do not name %s's "
           "own shortcuts:\n%s",
           plan.product, plan.leftAlone);
  }
  if (removal.removedAtRestart()) {
    Append(text, sizeof text, "\n\nThe uninstaller itself is removed when Windows restarts.");
  }
  host.Tell(text, false);
  return kUninstallRemoved;
}
