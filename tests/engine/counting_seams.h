// Stand-ins of the two seams for allocation counts. The dialog counts from the meter's reset
// just before extraction begins to the meter's 100 at the end entry; both leave out what the
// recording stand-ins they pass every call on to allocate for their own records.
#ifndef TSARIN_TESTS_ENGINE_COUNTING_SEAMS_H
#define TSARIN_TESTS_ENGINE_COUNTING_SEAMS_H

#include "setup/desktop_services.h"
#include "setup/recording_seams.h"
#include "setup/setup_surface.h"
#include "tests/engine/allocation_counter.h"

class CountingSurface final : public SetupSurface {
 public:
  RecordingSurface inner;

  void ShowStatus(int controlId, const char* text) override {
    alloccount::Pause pause;
    inner.ShowStatus(controlId, text);
  }
  void SetMeterPos(int32_t percent) override {
    if (percent == 100) alloccount::Stop();
    {
      alloccount::Pause pause;
      inner.SetMeterPos(percent);
    }
    if (percent == 0) alloccount::Start();
  }
  void FocusItem(int controlId) override {
    alloccount::Pause pause;
    inner.FocusItem(controlId);
  }
  void GetDirectoryText(char* buffer, int size) override {
    alloccount::Pause pause;
    inner.GetDirectoryText(buffer, size);
  }
  bool IsDeveloperChecked() override {
    alloccount::Pause pause;
    return inner.IsDeveloperChecked();
  }
  void ShowMessage(const char* text, const char* caption) override {
    alloccount::Pause pause;
    inner.ShowMessage(text, caption);
  }
  void SetWaitCursor() override {
    alloccount::Pause pause;
    inner.SetWaitCursor();
  }
  void EnableItem(int controlId, bool enable) override {
    alloccount::Pause pause;
    inner.EnableItem(controlId, enable);
  }
  void SetItemText(int controlId, const char* text) override {
    alloccount::Pause pause;
    inner.SetItemText(controlId, text);
  }
  void SetHelpPanel(int controlId, int panelId) override {
    alloccount::Pause pause;
    inner.SetHelpPanel(controlId, panelId);
  }
  void BringToTop() override {
    alloccount::Pause pause;
    inner.BringToTop();
  }
};

class UncountedDesktop final : public DesktopServices {
 public:
  RecordingDesktop inner;

  RegistryKey CreateMachineKey(const char* subKey) override {
    alloccount::Pause pause;
    return inner.CreateMachineKey(subKey);
  }
  void SetStringValue(RegistryKey key, const char* name, const char* data,
                      uint32_t byteCount) override {
    alloccount::Pause pause;
    inner.SetStringValue(key, name, data, byteCount);
  }
  void SetDwordValue(RegistryKey key, const char* name, uint32_t value) override {
    alloccount::Pause pause;
    inner.SetDwordValue(key, name, value);
  }
  void CloseKey(RegistryKey key) override {
    alloccount::Pause pause;
    inner.CloseKey(key);
  }
  bool GetShellFolder(int csidl, char* buffer) override {
    alloccount::Pause pause;
    return inner.GetShellFolder(csidl, buffer);
  }
  unsigned GetWindowsMajorVersion() override {
    alloccount::Pause pause;
    return inner.GetWindowsMajorVersion();
  }
  int32_t CreateShellLink(const char* target, const char* arguments,
                          const char* linkPath) override {
    alloccount::Pause pause;
    return inner.CreateShellLink(target, arguments, linkPath);
  }
  int MakeDirectory(const char* path) override {
    alloccount::Pause pause;
    return inner.MakeDirectory(path);
  }
  int PlaySystemSound(const char* name, bool beepFallback) override {
    alloccount::Pause pause;
    return inner.PlaySystemSound(name, beepFallback);
  }
  void ViewDocument(const char* path) override {
    alloccount::Pause pause;
    inner.ViewDocument(path);
  }
  bool LaunchProgram(const char* commandLine, const char* caption) override {
    alloccount::Pause pause;
    return inner.LaunchProgram(commandLine, caption);
  }
};

#endif  // TSARIN_TESTS_ENGINE_COUNTING_SEAMS_H
