#include <windows.h>

#include <shellapi.h>

#include "setup/install_context.h"
#include "shell/document_viewer.h"
#include "shell/system_services.h"

void ViewDocument(const char* path) {
  SetCursor(static_cast<HCURSOR>(installContext.waitCursor));
  HINSTANCE result = ShellExecuteA(static_cast<HWND>(installContext.dialogWindow), nullptr, path,
                                   nullptr, "", SW_SHOWMAXIMIZED);
  ReportViewError(path, reinterpret_cast<uintptr_t>(result));
}

void ReportViewError(const char* path, uintptr_t result) {
  char caption[kViewCaptionSize];
  const char* text = nullptr;
  if (DescribeViewError(path, result, caption, &text)) ShowMessage(text, caption);
}
