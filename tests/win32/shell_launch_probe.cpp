// Started by the LaunchProgram tests: records that it ran, and with which command line, in a
// file named after its own path with ".ran" appended, then ends.
#include <windows.h>

#include <cstdio>

int main() {
  char path[MAX_PATH + 8];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 1;
  std::snprintf(path + length, sizeof path - length, ".ran");
  FILE* marker = std::fopen(path, "w");
  if (!marker) return 1;
  std::fputs(GetCommandLineA(), marker);
  std::fclose(marker);
  return 0;
}
