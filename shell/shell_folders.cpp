#include "shell/shell_folders.h"

#include "setup/desktop_services.h"

bool GetProgramsFolder(DesktopServices& services, char* buffer) {
  int csidl = services.GetWindowsMajorVersion() > 4 ? kCsidlCommonPrograms : kCsidlPrograms;
  return services.GetShellFolder(csidl, buffer);
}

bool GetDesktopFolder(DesktopServices& services, char* buffer) {
  if (services.GetWindowsMajorVersion() <= 4) {
    return services.GetShellFolder(kCsidlDesktopDirectory, buffer);
  }
  return services.GetShellFolder(kCsidlCommonDesktopDirectory, buffer) ||
         services.GetShellFolder(kCsidlDesktopDirectory, buffer);
}

bool GetSendToFolder(DesktopServices& services, char* buffer) {
  return services.GetShellFolder(kCsidlSendTo, buffer);
}
