// A DLL planted beside the setup file under the name of a system DLL (PLANTED_NAME). When any
// process loads it, it adds a line to C:\planted-dlls.log naming itself and the process.
#include <windows.h>

#include <cstring>

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  char line[MAX_PATH + 64] = PLANTED_NAME " loaded into ";
  const size_t used = std::strlen(line);
  std::strcpy(line + used + GetModuleFileNameA(nullptr, line + used, MAX_PATH), "\r\n");
  HANDLE log = CreateFileA("C:\\planted-dlls.log", FILE_APPEND_DATA,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(log, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
  CloseHandle(log);
  return TRUE;
}
