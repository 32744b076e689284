// Started by the LaunchProgram tests: writes the command line it was given to a file named after
// its own path with ".ran" appended, then ends.
#include <windows.h>

#include <cstdio>
#include <cstring>

int main() {
  char path[MAX_PATH + 8];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  FILE* marker = length && length < MAX_PATH ? std::fopen(std::strcat(path, ".ran"), "w") : nullptr;
  return marker && std::fputs(GetCommandLineA(), marker) >= 0 && std::fclose(marker) == 0 ? 0 : 1;
}
