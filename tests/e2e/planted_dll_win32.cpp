// A DLL planted beside the setup file under the name of a system DLL (PLANTED_NAME). When any
// process loads it, it adds a line to C:\planted-dlls.log naming itself and the process.
#include <windows.h>

#include <cstring>

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  char line[MAX_PATH + 64] = PLANTED_NAME " loaded into ";
  size_t used = std::strlen(line);
  DWORD length = GetModuleFileNameA(nullptr, line + used, MAX_PATH);
  used += length;
  line[used++] = '\r';
  line[used++] = '\n';
  HANDLE log = CreateFileA("C:\\planted-dlls.log", FILE_APPEND_DATA,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr);
  if (log != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(log, line, static_cast<DWORD>(used), &written, nullptr);
    CloseHandle(log);
  }
  return TRUE;
}
