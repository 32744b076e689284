#include "setup/recording_seams.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "setup/install_context.h"

namespace {

std::string Quoted(const char* text) {
  return std::string("\"") + text + "\"";
}

}  // namespace

void RecordingSurface::ShowStatus(int controlId, const char* text) {
  calls.push_back("ShowStatus(" + std::to_string(controlId) + ", " + Quoted(text) + ")");
  if (controlId == kIdStatus) status = text;
}

void RecordingSurface::SetMeterPos(int32_t percent) {
  calls.push_back("SetMeterPos(" + std::to_string(percent) + ")");
  meter.push_back(percent);
}

void RecordingSurface::FocusItem(int controlId) {
  calls.push_back("FocusItem(" + std::to_string(controlId) + ")");
  focus = controlId;
}

void RecordingSurface::GetDirectoryText(char* buffer, int size) {
  calls.push_back("GetDirectoryText()");
  if (size <= 0) return;
  std::snprintf(buffer, static_cast<size_t>(size), "%s", directory.c_str());
}

bool RecordingSurface::IsDeveloperChecked() {
  calls.push_back("IsDeveloperChecked()");
  return developerChecked;
}

void RecordingSurface::ShowMessage(const char* text, const char* caption) {
  calls.push_back("ShowMessage(" + Quoted(text) + ", " + Quoted(caption) + ")");
  messages.push_back(std::string(caption) + ": " + text);
  if (onMessage) onMessage(caption, text);
}

void RecordingSurface::SetWaitCursor() {
  calls.push_back("SetWaitCursor()");
}

void RecordingSurface::EnableItem(int controlId, bool enable) {
  calls.push_back("EnableItem(" + std::to_string(controlId) + ", " + (enable ? "1" : "0") + ")");
}

void RecordingSurface::SetItemText(int controlId, const char* text) {
  calls.push_back("SetItemText(" + std::to_string(controlId) + ", " + Quoted(text) + ")");
}

void RecordingSurface::SetHelpPanel(int controlId, int panelId) {
  calls.push_back("SetHelpPanel(" + std::to_string(controlId) + ", " + std::to_string(panelId) +
                  ")");
}

void RecordingSurface::BringToTop() {
  calls.push_back("BringToTop()");
}

RecordingDesktop::RecordingDesktop()
    : folders{
          {kCsidlPrograms,
           "C:\\Users\\Setup\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs"},
          {kCsidlPersonal, "C:\\Users\\Setup\\Documents"},
          {kCsidlSendTo, "C:\\Users\\Setup\\AppData\\Roaming\\Microsoft\\Windows\\SendTo"},
          {kCsidlStartMenu, "C:\\Users\\Setup\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu"},
          {kCsidlDesktopDirectory, "C:\\Users\\Setup\\Desktop"},
          {kCsidlCommonStartMenu, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu"},
          {kCsidlCommonPrograms, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"},
          {kCsidlCommonDesktopDirectory, "C:\\Users\\Public\\Desktop"},
          {kCsidlAppData, "C:\\Users\\Setup\\AppData\\Roaming"},
          {kCsidlLocalAppData, "C:\\Users\\Setup\\AppData\\Local"},
          {kCsidlCommonAppData, "C:\\ProgramData"},
          {kCsidlWindows, "C:\\Windows"},
          {kCsidlSystem, "C:\\Windows\\system32"},
          {kCsidlProgramFiles, "C:\\Program Files"},
          {kCsidlProfile, "C:\\Users\\Setup"},
          {kCsidlProgramFilesX86, "C:\\Program Files (x86)"},
          {kCsidlProgramFilesCommon, "C:\\Program Files\\Common Files"},
          {kCsidlCommonDocuments, "C:\\Users\\Public\\Documents"},
      } {}

RegistryKey RecordingDesktop::CreateMachineKey(const char* subKey) {
  calls.push_back("CreateMachineKey(" + Quoted(subKey) + ")");
  return keyOpens ? &key_ : nullptr;
}

void RecordingDesktop::SetStringValue(RegistryKey key, const char* name, const char* data,
                                      uint32_t byteCount) {
  calls.push_back(std::string(key == &key_ ? "" : "?") + "SetStringValue(" + Quoted(name) + ", " +
                  Quoted(data) + ", " + std::to_string(byteCount) + ")");
}

void RecordingDesktop::SetDwordValue(RegistryKey key, const char* name, uint32_t value) {
  calls.push_back(std::string(key == &key_ ? "" : "?") + "SetDwordValue(" + Quoted(name) + ", " +
                  std::to_string(value) + ")");
}

void RecordingDesktop::CloseKey(RegistryKey key) {
  calls.push_back(std::string(key == &key_ ? "" : "?") + "CloseKey()");
}

bool RecordingDesktop::GetShellFolder(int csidl, char* buffer) {
  calls.push_back("GetShellFolder(" + std::to_string(csidl) + ")");
  auto found = folders.find(csidl);
  if (found == folders.end() || found->second.size() >= kPathSize) {
    std::snprintf(buffer, kPathSize, "%s", "c:\\");
    return false;
  }
  std::snprintf(buffer, kPathSize, "%s", found->second.c_str());
  return true;
}

unsigned RecordingDesktop::GetWindowsMajorVersion() {
  calls.push_back("GetWindowsMajorVersion()");
  return majorVersion;
}

int32_t RecordingDesktop::CreateShellLink(const char* target, const char* arguments,
                                          const char* linkPath) {
  calls.push_back("CreateShellLink(" + Quoted(target) + ", " + Quoted(arguments) + ", " +
                  Quoted(linkPath) + ")");
  return 0;
}

int RecordingDesktop::MakeDirectory(const char* path) {
  calls.push_back("MakeDirectory(" + Quoted(path) + ")");
  return makeDirectoryResult;
}

int RecordingDesktop::PlaySystemSound(const char* name, bool beepFallback) {
  calls.push_back("PlaySystemSound(" + Quoted(name) + ", " + (beepFallback ? "1" : "0") + ")");
  return 1;
}

void RecordingDesktop::ViewDocument(const char* path) {
  calls.push_back("ViewDocument(" + Quoted(path) + ")");
}

bool RecordingDesktop::LaunchProgram(const char* commandLine, const char* caption) {
  calls.push_back("LaunchProgram(" + Quoted(commandLine) + ", " + Quoted(caption) + ")");
  return true;
}

void ResetInstallContext(SetupSurface* surface, DesktopServices* services, const char* modulePath) {
  std::memset(&installContext, 0, sizeof installContext);
  installContext.setupDialog = surface;
  installContext.services = services;
  std::snprintf(installContext.modulePath, sizeof installContext.modulePath, "%s", modulePath);
}
