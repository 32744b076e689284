// Registered by the robot as the program that opens .htm files: records the path it was asked
// to open (the whole argument, unquoted: the path as the shell passed it) in
// %TEMP%\tessarin-viewer.log and ends. A GUI program without windows, so it never takes the
// foreground from the setup dialog.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char temp[MAX_PATH];
  DWORD n = GetTempPathA(MAX_PATH, temp);
  if (n == 0 || n >= MAX_PATH || __argc != 2) return 2;
  FILE* log = std::fopen((std::string(temp) + "tessarin-viewer.log").c_str(), "ab");
  if (!log) return 1;
  std::fprintf(log, "%s\r\n", __argv[1]);
  return std::fclose(log);
}
