#include "shell/document_viewer.h"

#include "shell/text_format.h"

// Indexed by the ShellExecuteA result; the numbers without a text of their own are reserved.
const char* const ViewErrorTable[] = {
    "Out of Memory or Corrupted Application",
    "Error #1",
    "File not found",
    "Path not found",
    "Error #4",
    "DDE, Sharing or Network Error",
    "Library Data Segments Error",
    "Error #7",
    "No memory to start application",
    "Error #9",
    "Incorrect Windows Version",
    "Invalid .EXE file",
    "Incorrect Operating System",
    "Application was designed for MS-Dos 4.0",
    "Unknown .EXE file type",
    "Attempted to load real-mode application",
    "Application already in use",
    "Error #17",
    "Error #18",
    "Application .EXE file is compressed",
    "Corrupted .DLL file",
    "Application requires Windows 32-bit extensions",
    "Error #22",
    "Error #23",
    "Error #24",
    "Error #25",
    "Error #26",
    "Error #27",
    "Error #28",
    "Error #29",
    "Error #30",
    "No Executable Application associated with this file",
};
static_assert(sizeof(ViewErrorTable) / sizeof(ViewErrorTable[0]) == kViewErrorCount,
              "one text for every result below 32");

bool DescribeViewError(const char* path, uintptr_t result, char* caption, const char** text) {
  // The result is a handle value: compared unsigned, so nothing outside the table is indexed.
  if (result >= kViewErrorCount) return false;
  FormatText(caption, kViewCaptionSize, "ERROR viewing %s", path);
  *text = ViewErrorTable[result];
  return true;
}
