// The install context: the one process-wide record of paths, flags, counters and open
// streams shared by the install sequence, component selection, the archive reader and entry
// extraction. Zero-filled at start; everything runs on the one user-interface thread.
#ifndef TSARIN_SETUP_INSTALL_CONTEXT_H
#define TSARIN_SETUP_INSTALL_CONTEXT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "payload/explode.h"
#include "setup/desktop_services.h"
#include "setup/setup_surface.h"

constexpr size_t kPathSize = 260;  // 259 characters and the terminator
constexpr size_t kWorkBufferSize = 16384 + 260;

// Shared scratch: marker records, entry names, message texts, data blocks, the decoder's
// work area and shortcut file paths.
union WorkBuffer {
  char text[kWorkBufferSize];
  ExplodeWorkArea explode;
};
static_assert(sizeof(ExplodeWorkArea) <= kWorkBufferSize, "decoder state must fit the buffer");

struct InstallContext {
  char modulePath[kPathSize];  // the running setup executable
  void* waitCursor;            // the system's wait cursor (HCURSOR)
  int32_t deepColour;          // 1 when the display has more than 8 bits per pixel
  SetupSurface* setupDialog;   // the setup dialog
  void* dialogWindow;          // its window (HWND), owner of the opened read-me
  uint8_t optionMask;          // 1 standard, 2 with the developer components
  char installDir[kPathSize];  // target directory, always ending in a backslash
  char* installDirEnd;         // just past the base target directory's backslash
  WorkBuffer workBuffer;
  char* linkNameEnd;  // in workBuffer: where link file names are written
  FILE* payloadFile;
  FILE* recordFile;  // the integrity record's file CRC-32s, when the setup file has one
  FILE* outputFile;
  uint32_t outputCrc;  // CRC-32 of what has been written to outputFile
  int32_t bytesConsumed;
  int32_t payloadTotal;
  int32_t entryRemaining;
  int32_t lastBlockSize;
  uint8_t readFailed;
  uint8_t writeFailed;
  uint8_t archiveDone;
  int32_t installSucceeded;
  uint64_t bytesWritten;  // file data written by this attempt: the installed size
  char readMeName[kPathSize];
  char readMePath[kPathSize];
  RegistryKey uninstallKey;
  DesktopServices* services;  // the desktop: registry, folders, links, sounds, programs
};

extern InstallContext installContext;

// The fatal-error report of an install attempt, in this order: the message box with text under
// the caption "Tessarin Setup Error", the status line "Installation not successful.", and the
// focus (with the mouse pointer) on the Abort button. The failing operation calls it; its
// callers only stop.
void ReportSetupError(const char* text);
// ReportSetupError with "Incomplete or damaged installation file!".
void ReportDamagedArchive();

// Caption of every message box of an install attempt.
extern const char kSetupErrorCaption[];

#endif  // TSARIN_SETUP_INSTALL_CONTEXT_H
