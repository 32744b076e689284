// Registered by the robot as the program that opens .htm files: records the path it was asked
// to open in %TEMP%\tessarin-viewer.log and ends. A GUI program without windows, so it never
// takes the foreground from the setup dialog.
#include <windows.h>

#include <cstdio>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char temp[MAX_PATH];
  DWORD n = GetTempPathA(MAX_PATH, temp);
  if (n == 0 || n >= MAX_PATH - 24) return 1;
  char log[MAX_PATH];
  std::snprintf(log, sizeof log, "%stessarin-viewer.log", temp);
  // The whole argument, unquoted: the path as the shell passed it.
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv || argc != 2) return 2;
  char path[1024];
  WideCharToMultiByte(CP_ACP, 0, argv[1], -1, path, sizeof path, nullptr, nullptr);
  LocalFree(argv);
  FILE* f = std::fopen(log, "ab");
  if (!f) return 1;
  std::fprintf(f, "%s\r\n", path);
  std::fclose(f);
  return 0;
}
