// The setup dialog as the program shows it: created from resource 101 in this test's own
// image, with the real default directory, status line, focus, meter drawing and QuickHelp,
// and commands that arrive while an install attempt is still running.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "resources/resource_ids.h"
#include "setup/install_context.h"
#include "setup/install_engine.h"
#include "shell/desktop_services_win32.h"
#include "shell/system_services.h"
#include "ui/progress_meter.h"
#include "ui/quickhelp.h"
#include "ui/quickhelp_panel_win32.h"
#include "ui/setup_dialog_win32.h"

namespace {

Win32DesktopServices desktop;

// Runs the messages that are waiting, as the modal loop of a message box would.
void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // keep it for the test to see
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

bool QuitPosted() {
  MSG msg;
  return PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
}

std::string Text(HWND w) {
  char buf[512] = "";
  GetWindowTextA(w, buf, sizeof buf);
  return buf;
}

std::string ClassName(HWND w) {
  char buf[64] = "";
  GetClassNameA(w, buf, sizeof buf);
  return buf;
}

POINT Centre(HWND w) {
  RECT r;
  GetWindowRect(w, &r);
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

class SetupDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    installContext.services = &desktop;
    installContext.dialogWindow = nullptr;
    quickHelpState = QuickHelpState{};
    setupHelpTable[0].panelId = 107;
    ConfigureQuickHelp(
        IDB_PANEL_BACKGROUND,
        LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDCUR_QUICKHELP_DOT)),
        IDD_PANEL_GENERAL);
  }
  void TearDown() override {
    CloseQuickHelp();
    delete dialog;
    Pump();
    QuitPosted();
  }
  void Make(void (*install)() = nullptr) {
    dialog = new CSetupDialog(
        IDD_SETUP, true,
        SetupActions{install, &BuildDefaultDirectory, &installContext.dialogWindow});
    ASSERT_NE(dialog->Window(), nullptr);
    Pump();
  }
  HWND Item(int id) { return GetDlgItem(dialog->Window(), id); }

  CSetupDialog* dialog = nullptr;
};

// The template's bytes are checked item by item in the resources test; here what the dialog
// manager and CSetupDialog make of them.
TEST_F(SetupDialogTest, ControlsComeUpInOrderWithTheirTextsTabStopsAndReadyState) {
  Make();
  HWND w = dialog->Window();
  EXPECT_EQ(Text(w), "Tessarin - Installation");
  struct Want {
    int id;
    const char* cls;
    const char* text;  // null: not checked (the directory and the long texts)
  } want[] = {{1, "Button", "&Install"}, {105, "Static", "Install to &directory:"},
              {104, "Edit", nullptr},    {-1, "Static", nullptr},
              {2, "Button", "&Abort"},   {-1, "Static", ""},
              {-1, "Static", nullptr},   {103, "Static", ""},
              {-1, "Static", nullptr},   {-1, "Static", ""},
              {102, "Edit", ""},         {114, "Button", ""},
              {-1, "Static", ""}};
  size_t i = 0;
  for (HWND c = GetWindow(w, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT), ++i) {
    ASSERT_LT(i, 13u);
    EXPECT_EQ(static_cast<int16_t>(GetDlgCtrlID(c)), want[i].id) << "control " << i + 1;
    EXPECT_STRCASEEQ(ClassName(c).c_str(), want[i].cls) << "control " << i + 1;
    if (want[i].text != nullptr) {
      EXPECT_EQ(Text(c), want[i].text) << "control " << i + 1;
    }
    // Only the meter's frame stays hidden: the meter draws over it.
    EXPECT_EQ(IsWindowVisible(c) != FALSE, want[i].id != IDC_METER_FRAME) << "control " << i + 1;
  }
  EXPECT_EQ(i, 13u);
  // Tab stops: Install, the directory field, Abort, the check box, then round again.
  HWND tab = Item(1);
  for (int id : {104, 2, 114, 1}) {
    tab = GetNextDlgTabItem(w, tab, FALSE);
    EXPECT_EQ(GetDlgCtrlID(tab), id);
  }
  // Ready: the Install button has the focus, the status line is empty, the meter at 0.
  EXPECT_EQ(GetFocus(), Item(1));
  ASSERT_NE(dialog->Meter(), nullptr);
  EXPECT_EQ(dialog->Meter()->Position(), 0);
  EXPECT_EQ(installContext.dialogWindow, w);
}

TEST_F(SetupDialogTest, DialogIsCentredOnTheDesktopAndShowsTheDefaultDirectory) {
  Make();
  RECT a, b;
  GetWindowRect(dialog->Window(), &a);
  GetWindowRect(GetDesktopWindow(), &b);
  EXPECT_EQ(a.left, b.left + ((b.right - b.left) - (a.right - a.left)) / 2);
  EXPECT_EQ(a.top, b.top + ((b.bottom - b.top) - (a.bottom - a.top)) / 2);

  char folder[260];
  GetProgramFilesFolder(folder);
  char dir[300];
  GetDlgItemTextA(dialog->Window(), IDC_INSTALL_DIR, dir, sizeof dir);
  EXPECT_EQ(std::string(dir), std::string(folder) + "\\TSarin");
  char read[260];
  dialog->GetDirectoryText(read, 8);  // bounded: seven characters and the terminator
  EXPECT_EQ(std::string(read), std::string(dir, 7));
}

TEST_F(SetupDialogTest, StatusFocusAndSurfaceCallsReachTheControlsAtOnce) {
  Make();
  dialog->ShowStatus(IDC_STATUS_LINE, "Installing:   readme.txt");
  EXPECT_EQ(Text(Item(102)), "Installing:   readme.txt");
  EXPECT_TRUE(IsWindowVisible(Item(102)));

  dialog->FocusItem(IDC_ABORT);
  EXPECT_EQ(GetFocus(), Item(2));
  POINT p;
  GetCursorPos(&p);
  EXPECT_EQ((std::vector<LONG>{p.x, p.y}),
            (std::vector<LONG>{Centre(Item(2)).x, Centre(Item(2)).y}));

  SendMessageA(Item(104), EM_SETSEL, 0, 3);
  dialog->FocusItem(IDC_INSTALL_DIR);
  EXPECT_EQ(GetFocus(), Item(104));
  DWORD start = 0, end = 0;
  SendMessageA(Item(104), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
               reinterpret_cast<LPARAM>(&end));
  const DWORD len = static_cast<DWORD>(GetWindowTextLengthA(Item(104)));
  EXPECT_EQ(start, len);  // caret after the last character, nothing selected
  EXPECT_EQ(end, len);

  // The finished state as the end of an install sets it.
  EXPECT_FALSE(dialog->IsDeveloperChecked());
  CheckDlgButton(dialog->Window(), IDC_DEVELOPER, BST_CHECKED);
  EXPECT_TRUE(dialog->IsDeveloperChecked());
  dialog->EnableItem(IDC_INSTALL, false);
  dialog->SetItemText(IDC_ABORT, "E&xit");
  dialog->SetHelpPanel(IDC_ABORT, IDD_PANEL_EXIT);
  EXPECT_FALSE(IsWindowEnabled(Item(1)));
  EXPECT_EQ(Text(Item(2)), "E&xit");
  EXPECT_EQ(setupHelpTable[0].panelId, IDD_PANEL_EXIT);
}

TEST_F(SetupDialogTest, MeterPaintsRedBarOverGreyAtOnceAndKeepsItsFrame) {
  Make();
  const MeterRect a = dialog->Meter()->Area();
  HDC dc = GetDC(dialog->Window());
  const int probeX = a.left + 3, probeY = a.top + 3;
  dialog->SetMeterPos(0);
  EXPECT_EQ(GetPixel(dc, probeX, probeY), RGB(192, 192, 192));
  dialog->SetMeterPos(100);  // no message loop runs: SetPos must paint by itself
  EXPECT_EQ(dialog->Meter()->Position(), 100);
  EXPECT_EQ(GetPixel(dc, probeX, probeY), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dc, a.right - 2, probeY), RGB(255, 0, 0));     // the whole inside
  EXPECT_EQ(GetPixel(dc, a.left, a.top + 2), RGB(0, 0, 0));         // left edge black
  EXPECT_EQ(GetPixel(dc, a.right, a.top + 2), RGB(255, 255, 255));  // right edge white
  dialog->SetMeterPos(50);
  EXPECT_EQ(GetPixel(dc, a.right - 2, probeY), RGB(192, 192, 192));
  ReleaseDC(dialog->Window(), dc);
}

TEST_F(SetupDialogTest, RightClickOpensTheItemsPanelOrTheGeneralOneAndALeftClickCloses) {
  Make();
  HWND w = dialog->Window();
  HWND focusBefore = GetFocus();
  POINT p = Centre(Item(1));
  SendMessageA(w, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Item(1)), MAKELPARAM(p.x, p.y));
  ASSERT_NE(quickHelpState.openPanel, nullptr);
  CQuickHelpPanel* panel = quickHelpState.openPanel;
  EXPECT_EQ(panel->TemplateId(), static_cast<uint32_t>(IDD_PANEL_INSTALL));
  EXPECT_TRUE(IsWindowVisible(panel->Window()));
  EXPECT_EQ(GetCapture(), panel->Window());
  RECT r;
  GetWindowRect(panel->Window(), &r);
  // Left edge just left of the pointer; the button sits near the dialog's bottom edge, so the
  // panel opens above the pointer, its bottom edge two pixels below it.
  EXPECT_EQ(r.left, p.x - 1);
  EXPECT_EQ(r.bottom, p.y + 2);
  // Enter and Esc leave it open.
  SendMessageA(panel->Window(), WM_COMMAND, IDOK, 0);
  SendMessageA(panel->Window(), WM_COMMAND, IDCANCEL, 0);
  EXPECT_EQ(quickHelpState.openPanel, panel);

  SendMessageA(panel->Window(), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  EXPECT_EQ(quickHelpState.openPanel, nullptr);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(GetFocus(), focusBefore);

  p = Centre(Item(IDC_DEVELOPER));
  SendMessageA(w, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Item(IDC_DEVELOPER)),
               MAKELPARAM(p.x, p.y));
  ASSERT_NE(quickHelpState.openPanel, nullptr);
  EXPECT_EQ(quickHelpState.openPanel->TemplateId(), static_cast<uint32_t>(IDD_PANEL_GENERAL));

  // A right click over the Abort button, received by the open panel, switches panels.
  panel = quickHelpState.openPanel;
  POINT abort = Centre(Item(2));
  POINT local = abort;
  ScreenToClient(panel->Window(), &local);
  SendMessageA(panel->Window(), WM_RBUTTONUP, 0, MAKELPARAM(local.x, local.y));
  ASSERT_NE(quickHelpState.openPanel, nullptr);
  EXPECT_EQ(quickHelpState.openPanel->TemplateId(), static_cast<uint32_t>(IDD_PANEL_ABORT));
}

TEST_F(SetupDialogTest, TextTableOpensAPanelBuiltInMemoryWithItsTextsFilledIn) {
  Make();
  const QuickHelpTextEntry texts[] = {{IDC_INSTALL, "Developer files``*headers and libraries"},
                                      {0, nullptr}};
  const QuickHelpEntry noPanels[] = {{0, 0}};
  POINT p = Centre(Item(IDC_INSTALL));
  ShowQuickHelp(dialog, p.x, p.y, noPanels, texts);
  ASSERT_NE(quickHelpState.openPanel, nullptr);
  HWND panel = quickHelpState.openPanel->Window();
  EXPECT_EQ(quickHelpState.openPanel->TemplateId(), 0u);
  EXPECT_TRUE(IsWindowVisible(panel));
  EXPECT_EQ(Text(GetDlgItem(panel, 21)), "Developer files");
  EXPECT_EQ(Text(GetDlgItem(panel, 22)), "*");
  EXPECT_EQ(Text(GetDlgItem(panel, 23)), "headers and libraries");
  EXPECT_EQ(GetCapture(), panel);
  CloseQuickHelp();
  EXPECT_FALSE(IsWindow(panel));
}

// ---- commands during an install attempt ----

CSetupDialog* attemptDialog;
int attempts;
bool meterAliveThroughout;
bool windowAliveThroughout;

// A failing attempt: its message box's loop lets the user press Install again, Esc, Abort and
// the close box before the attempt has returned.
void AttemptWithUserInput() {
  ++attempts;
  HWND w = attemptDialog->Window();
  PostMessageA(w, WM_COMMAND, IDC_INSTALL, 0);
  PostMessageA(w, WM_COMMAND, IDC_ABORT, 0);
  PostMessageA(w, WM_CLOSE, 0, 0);
  Pump();
  // The attempt goes on to report its failure, as ReportSetupError does.
  meterAliveThroughout = attemptDialog->Meter() != nullptr;
  windowAliveThroughout = IsWindow(w) != FALSE;
  attemptDialog->ShowStatus(IDC_STATUS_LINE, "Installation not successful.");
  attemptDialog->FocusItem(IDC_ABORT);
  attemptDialog->SetMeterPos(5);
}

TEST_F(SetupDialogTest, CloseDuringAnAttemptWaitsForItAndASecondInstallIsIgnored) {
  Make(&AttemptWithUserInput);
  attemptDialog = dialog;
  attempts = 0;
  HWND w = dialog->Window();
  SendMessageA(w, WM_COMMAND, IDC_INSTALL, 0);
  EXPECT_EQ(attempts, 1);
  EXPECT_TRUE(meterAliveThroughout);
  EXPECT_TRUE(windowAliveThroughout);
  // Carried out right after the attempt returned: meter gone, window gone, loop told to end.
  EXPECT_EQ(dialog->Meter(), nullptr);
  EXPECT_FALSE(IsWindow(w));
  EXPECT_TRUE(QuitPosted());
  EXPECT_TRUE(dialog->Gate().Closed());
}

void QuietAttempt() {
  ++attempts;
}

TEST_F(SetupDialogTest, EscClosesAtOnceWhenNoAttemptRuns) {
  Make(&QuietAttempt);
  attempts = 0;
  HWND w = dialog->Window();
  SendMessageA(w, WM_COMMAND, IDC_INSTALL, 0);
  SendMessageA(w, WM_COMMAND, IDC_INSTALL, 0);
  EXPECT_EQ(attempts, 2);  // one after the other is a new attempt each time
  EXPECT_FALSE(QuitPosted());
  SendMessageA(w, WM_COMMAND, IDCANCEL, 0);
  EXPECT_FALSE(IsWindow(w));
  EXPECT_TRUE(QuitPosted());
}

}  // namespace
