// Opening a document with the program associated with its type, and the words shown when the
// system cannot. ViewDocument and ReportViewError are Win32; the table and the choice of what
// to show are platform-free.
#ifndef TSARIN_SHELL_DOCUMENT_VIEWER_H
#define TSARIN_SHELL_DOCUMENT_VIEWER_H

#include <cstddef>
#include <cstdint>

// ShellExecuteA reports failures as results below 32; ViewErrorTable has a text for each.
constexpr size_t kViewErrorCount = 32;
extern const char* const ViewErrorTable[];

// Caption buffer: "ERROR viewing " (14 characters), a path of up to 259 and the NUL.
constexpr size_t kViewCaptionSize = 276;

// What ReportViewError shows for a ShellExecuteA result: nothing (false) for 32 and above;
// otherwise true, the caption "ERROR viewing <path>" in caption (kViewCaptionSize bytes, a
// longer path is cut) and the table's text in *text.
bool DescribeViewError(const char* path, uintptr_t result, char* caption, const char** text);

// Opens path maximised with its associated program, owned by installContext.dialogWindow,
// after setting installContext.waitCursor (not restored). Failures are shown to the user.
void ViewDocument(const char* path);
// Shows DescribeViewError's message with ShowMessage when there is one.
void ReportViewError(const char* path, uintptr_t result);

#endif  // TSARIN_SHELL_DOCUMENT_VIEWER_H
