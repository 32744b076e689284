// A small dialog framework of our own for the setup program: an application object with its
// message loop, and modeless dialogs created from a template resource or from a template in
// memory, dispatching through static message tables chained to their base class's table.
// Every dialog runs through one dialog procedure (DialogThunk); the object pointer travels in
// WM_INITDIALOG's lParam and is kept in GWLP_USERDATA.
#ifndef TSARIN_UI_DIALOG_WIN32_H
#define TSARIN_UI_DIALOG_WIN32_H

#include <windows.h>

class CDialog;

// One message as a handler sees it.
struct MessageArgs {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  LRESULT result;  // what the handler answers, when it handles the message
};

// A handler returns true when it handled the message; false passes it on to the default
// dialog handling.
typedef bool (CDialog::*MessageHandler)(MessageArgs& m);

struct MessageEntry {
  UINT message;
  int commandId;  // WM_COMMAND only: the control id the entry answers
  MessageHandler handler;
};

struct MessageTable {
  const MessageTable* base;
  const MessageEntry* entries;  // ended by an entry with a null handler
};

// Converts a derived class's handler for a message table entry. Tables are static members
// (messageEntries, messageTable) defined next to the class's handlers, so their initialisers
// reach protected handlers.
#define TSARIN_HANDLER(fn) static_cast<MessageHandler>(fn)

// A GDI object deleted with its holder.
template <typename T>
class GdiObject {
 public:
  GdiObject() = default;
  explicit GdiObject(T handle) : handle_(handle) {}
  ~GdiObject() { Reset(); }
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  void Reset(T handle = nullptr) {
    if (handle_ != nullptr) DeleteObject(handle_);
    handle_ = handle;
  }
  T Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  T handle_ = nullptr;
};

// A memory device context deleted with its holder; the bitmap selected into it is put back.
class MemoryDc {
 public:
  explicit MemoryDc(HDC compatibleWith) : dc_(CreateCompatibleDC(compatibleWith)) {}
  ~MemoryDc() {
    if (dc_ == nullptr) return;
    if (saved_ != nullptr) SelectObject(dc_, saved_);
    DeleteDC(dc_);
  }
  MemoryDc(const MemoryDc&) = delete;
  MemoryDc& operator=(const MemoryDc&) = delete;
  HDC Get() const { return dc_; }
  void SelectBitmap(HBITMAP bitmap) {
    HGDIOBJ old = SelectObject(dc_, bitmap);
    if (saved_ == nullptr) saved_ = old;
  }

 private:
  HDC dc_;
  HGDIOBJ saved_ = nullptr;
};

class CDialog {
 public:
  CDialog() = default;
  virtual ~CDialog();
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  HWND Window() const { return window_; }
  HWND Item(int controlId) const { return GetDlgItem(window_, controlId); }

  // Modeless creation; the window exists (and WM_INITDIALOG has run) when these return.
  bool CreateFromResource(UINT templateId, HWND parent);
  bool CreateFromTemplate(const DLGTEMPLATE* dialogTemplate, HWND parent);

  virtual const MessageTable* GetMessageTable() const;
  // The default dialog initialisation: true lets the dialog manager focus the first tab stop.
  virtual BOOL OnInitDialog() { return TRUE; }

  // One dialog procedure for every dialog.
  static INT_PTR CALLBACK DialogThunk(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 protected:
  static const MessageTable messageTable;

 private:
  bool Dispatch(MessageArgs& m);

  HWND window_ = nullptr;
};

class CWinApp {
 public:
  CWinApp() = default;
  virtual ~CWinApp() = default;
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  // True lets the message loop run.
  virtual BOOL InitInstance() = 0;
  // The process exit code.
  virtual int ExitInstance() { return 0; }

  // InitInstance, the message loop until WM_QUIT, ExitInstance.
  int Run();

 protected:
  CDialog* mainWindow_ = nullptr;
};

#endif  // TSARIN_UI_DIALOG_WIN32_H
