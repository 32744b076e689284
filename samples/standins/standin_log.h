// Used by the stand-in program of the sample product: it appends one line to
// %TEMP%\tessarin-standin.log when it starts, so that a test can tell what the setup
// started, from where and with which command line.
#ifndef TSARIN_SAMPLES_STANDIN_LOG_H
#define TSARIN_SAMPLES_STANDIN_LOG_H

#include <windows.h>

#include <cstdio>

// Line format: program TAB module path TAB command line TAB current directory.
inline void RecordStart(const char* program) {
  char temp[MAX_PATH];
  DWORD n = GetTempPathA(MAX_PATH, temp);
  if (n == 0 || n >= MAX_PATH - 24) return;
  char log[MAX_PATH];
  std::snprintf(log, sizeof log, "%stessarin-standin.log", temp);
  char module[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, module, MAX_PATH);
  char cwd[MAX_PATH] = "";
  GetCurrentDirectoryA(MAX_PATH, cwd);
  FILE* f = std::fopen(log, "ab");
  if (!f) return;
  std::fprintf(f, "%s\t%s\t%s\t%s\r\n", program, module, GetCommandLineA(), cwd);
  std::fclose(f);
}

#endif  // TSARIN_SAMPLES_STANDIN_LOG_H
