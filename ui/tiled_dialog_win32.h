// CTiledDialog: the dialog base of the setup dialog and the QuickHelp panels. A background
// bitmap is tiled over the whole client area, static controls (and read-only edits, which ask
// for their colours as statics do) draw transparently over it, and the dialog can centre
// itself over its owner or the desktop.
#ifndef TSARIN_UI_TILED_DIALOG_WIN32_H
#define TSARIN_UI_TILED_DIALOG_WIN32_H

#include <cstdint>

#include "ui/dialog_win32.h"

class CTiledDialog : public CDialog {
 public:
  enum Placement : int8_t { kKeepPosition = 0, kCentre = 1 };

  // From a template resource. Nothing is created yet: the derived class or the caller creates
  // the window (CreateFromResource with the owner's window as parent).
  CTiledDialog(uint32_t templateId, int32_t bitmapId, CDialog* owner, int8_t placement,
               int32_t initialFocusId, bool movePointer);
  // From help text laid out into the process-wide text-panel template (one at a time); the
  // window is created from TextPanelTemplate().
  CTiledDialog(const char* text, int32_t bitmapId, CDialog* owner);
  ~CTiledDialog() override;

  const MessageTable* GetMessageTable() const override;
  BOOL OnInitDialog() override;

  void PlaceWindow();
  CDialog* Owner() const { return owner_; }
  uint32_t TemplateId() const { return templateId_; }

  // The in-memory template the last text construction built.
  static const DLGTEMPLATE* TextPanelTemplate();

 protected:
  static const MessageEntry messageEntries[];
  static const MessageTable messageTable;

  bool OnEraseBkgnd(MessageArgs& m);
  bool OnCtlColor(MessageArgs& m);

 private:
  void LoadBackground(int32_t bitmapId);
  void FillTextItems();
  bool HasBackground() const { return bitmapId_ != 0 && background_; }

  GdiObject<HBITMAP> background_;
  HBRUSH hollowBrush_ = nullptr;  // stock object: never deleted
  CDialog* owner_;
  uint32_t templateId_;
  int32_t initialFocusId_;
  int32_t bitmapId_ = 0;
  bool movePointer_;
  int8_t placement_;
  const char* title_ = nullptr;
};

#endif  // TSARIN_UI_TILED_DIALOG_WIN32_H
