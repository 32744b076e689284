// Stand-in for the product's uninstaller in the sample product: it shows the command line it
// was given, which is what the setup's uninstall shortcut and registry entry pass to it.
#include <windows.h>

#include <cstdio>

#include "standin_log.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  RecordStart("uninst.exe");
  char text[1024];
  std::snprintf(text, sizeof text,
                "This stand-in uninstaller removes nothing.\r\n\r\nIt was started with the "
                "command line:\r\n%s",
                GetCommandLineA());
  MessageBoxA(nullptr, text, "Tessarin Uninstall", MB_OK | MB_ICONINFORMATION);
  return 0;
}
