// The setup dialog from resource 101 in this test's own image: where it opens, what its meter
// draws while no message loop runs, and commands that arrive while an install attempt is still
// running. What a person sees and does with it (controls, status texts, QuickHelp, focus,
// closing) the end-to-end scenarios check.
#include <windows.h>

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "resources/resource_ids.h"
#include "ui/progress_meter.h"
#include "ui/setup_dialog_win32.h"

namespace {

// Runs the messages that are waiting, as a message box's loop would; true when one of them
// told the program's loop to end.
bool Pump() {
  MSG msg;
  bool quit = false;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
    quit |= msg.message == WM_QUIT, DispatchMessageA(&msg);
  return quit;
}

CSetupDialog* dialog = nullptr;
int attempts = 0;
bool aliveThroughout = false;

// An attempt that fails: while its message box is open the user presses Install again, Abort
// (or Esc, the same command) and the close box; then it reports its failure.
void Attempt() {
  if (++attempts > 1) return;  // one inside another: counted, but not run again without end
  HWND w = dialog->Window();
  PostMessageA(w, WM_COMMAND, IDC_INSTALL, 0);
  PostMessageA(w, WM_COMMAND, IDC_ABORT, 0);
  PostMessageA(w, WM_CLOSE, 0, 0);
  Pump(), aliveThroughout = dialog->Meter() != nullptr && IsWindow(w);
  dialog->ShowStatus(IDC_STATUS_LINE, "Installation not successful.");
  dialog->FocusItem(IDC_ABORT);
  dialog->SetMeterPos(5);
}

class SetupDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog = new CSetupDialog(IDD_SETUP, true, SetupActions{&Attempt, nullptr, &window}), Pump();
  }
  void TearDown() override { delete dialog, Pump(); }
  void* window = nullptr;
};

TEST_F(SetupDialogTest, OpensCentredOnTheDesktopAndHandsItsWindowToTheEngine) {
  RECT a, b;
  GetWindowRect(dialog->Window(), &a), GetWindowRect(GetDesktopWindow(), &b);
  EXPECT_EQ(std::make_tuple(a.left - b.left, a.top - b.top, window),
            std::make_tuple((b.right - b.left - a.right + a.left) / 2,
                            (b.bottom - b.top - a.bottom + a.top) / 2, dialog->Window()));
}

TEST_F(SetupDialogTest, MeterPaintsARedBarOverGreyAtOnceInsideItsSunkenFrame) {
  const MeterRect a = dialog->Meter()->Area();
  const COLORREF red = RGB(255, 0, 0), grey = RGB(192, 192, 192);
  HDC dc = GetDC(dialog->Window());
  for (const auto& [position, left, right] : std::vector<std::tuple<int, COLORREF, COLORREF>>{
           {0, grey, grey}, {100, red, red}, {50, red, grey}}) {
    dialog->SetMeterPos(position);  // no message loop runs: the meter paints by itself
    EXPECT_EQ(
        std::make_tuple(GetPixel(dc, a.left + 3, a.top + 3), GetPixel(dc, a.right - 2, a.top + 3),
                        GetPixel(dc, a.left, a.top + 2), GetPixel(dc, a.right, a.top + 2)),
        std::make_tuple(left, right, RGB(0, 0, 0), RGB(255, 255, 255)))
        << position;
  }
  ReleaseDC(dialog->Window(), dc);
}

TEST_F(SetupDialogTest, CloseDuringAnAttemptWaitsForItAndASecondInstallIsIgnored) {
  HWND w = dialog->Window();
  attempts = 0;
  SendMessageA(w, WM_COMMAND, IDC_INSTALL, 0);
  // Carried out right after the attempt returned: meter gone, window gone, loop told to end.
  EXPECT_EQ(std::make_tuple(attempts, aliveThroughout, dialog->Meter(), IsWindow(w), Pump()),
            std::make_tuple(1, true, nullptr, FALSE, true));
}

}  // namespace
