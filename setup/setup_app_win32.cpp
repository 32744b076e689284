// The setup program's entry point and start-up: everything the install engine, the setup
// dialog and QuickHelp need is hooked together here, once, before the message loop runs.
#include "setup/setup_app.h"

#include <cstdlib>
#include <new>

#include "resources/resource_ids.h"
#include "setup/install_context.h"
#include "setup/install_engine.h"
#include "shell/desktop_services_win32.h"
#include "shell/system_services.h"
#include "ui/quickhelp.h"
#include "ui/setup_dialog_win32.h"

// The program is built without exceptions: allocation goes straight to the C runtime, and
// running out of memory ends the process instead of throwing. This also keeps the runtime's
// exception machinery (a good third of the image) out of the executable.
void* operator new(std::size_t size) {
  void* p = std::malloc(size != 0 ? size : 1);
  if (p == nullptr) ExitProcess(1);
  return p;
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace {
// The desktop as the engine sees it: registry, folders, links, sounds, documents, programs.
Win32DesktopServices desktopServices;
CSetupApp setupApp;
}  // namespace

CSetupApp::~CSetupApp() {
  delete setupDialog_;
}

BOOL CSetupApp::InitInstance() {
  InstallContext& ctx = installContext;
  ctx.waitCursor = LoadCursorA(nullptr, IDC_WAIT);
  // A path that does not fit is cut by the system, never overrun; the terminator is ensured.
  GetModuleFileNameA(nullptr, ctx.modulePath, kPathSize);
  ctx.modulePath[kPathSize - 1] = '\0';
  PlaySystemSound("SystemStart", false);
  ctx.deepColour = GetColourDepth() > 8 ? 1 : 0;

  // The dialog's initialisation builds the default directory through the desktop services,
  // so they are in place before the dialog is made.
  ctx.services = &desktopServices;
  const SetupActions actions{&OnInstall, &BuildDefaultDirectory, &ctx.dialogWindow};
  setupDialog_ = new CSetupDialog(IDD_SETUP, ctx.deepColour != 0, actions);
  ctx.setupDialog = setupDialog_;
  mainWindow_ = setupDialog_;

  ConfigureQuickHelp(IDB_PANEL_BACKGROUND,
                     LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDCUR_QUICKHELP_DOT)),
                     IDD_PANEL_GENERAL);
  // Without its window there is nothing to run: the loop would wait for ever.
  return setupDialog_->Window() != nullptr;
}

int CSetupApp::ExitInstance() {
  LaunchInstalledProduct();  // does nothing unless the install finished
  return 0;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Before anything can load a library: the setup runs from a download folder, where a
  // planted DLL must never be picked up.
  HardenDllSearchPath();
  setupApp.Run();
  return 0;
}
