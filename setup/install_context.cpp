#include "setup/install_context.h"

InstallContext installContext;

const char kSetupErrorCaption[] = "Tessarin Setup Error";

void ReportSetupError(const char* text) {
  SetupSurface* surface = installContext.setupDialog;
  surface->ShowMessage(text, kSetupErrorCaption);
  surface->ShowStatus(kIdStatus, "Installation not successful.");
  surface->FocusItem(kIdAbort);
}

void ReportDamagedArchive() {
  ReportSetupError("Incomplete or damaged installation file!");
}
