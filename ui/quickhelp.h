// QuickHelp: the setup dialog's right-click help. A right click on a dialog item opens a small
// popup panel next to the pointer; while it is open the panel holds the mouse capture and the
// pointer is a dot. A left click anywhere, or a right click inside the panel, closes it; a
// right click on another item with a panel of its own switches to that item's panel. Items
// without a panel get the general panel, but only when no panel was open at the time.
//
// The lookup, the fallback rule and the state transitions are platform-free and run against
// QuickHelpOps; the Win32 window operations behind ShowQuickHelp live in quickhelp_win32.cpp.
#ifndef TSARIN_UI_QUICKHELP_H
#define TSARIN_UI_QUICKHELP_H

#include <cstdint>

class CDialog;
class CQuickHelpPanel;

// One row of a panel table; a table ends with a row whose control id is 0.
struct QuickHelpEntry {
  int32_t controlId;
  int32_t panelId;  // dialog resource of the item's panel; 0 = no panel of its own
};

// One row of a text table, ended the same way.
struct QuickHelpTextEntry {
  int32_t controlId;
  const char* text;  // marked-up help text; null = no panel of its own
};

struct QuickHelpConfig {
  uint32_t panelBitmapId;   // background of every panel; 0 = plain background
  void* dotCursor;          // HCURSOR shown while a panel is open; null keeps the pointer
  uint32_t generalPanelId;  // panel for items without their own; 0 = no fallback
};

struct QuickHelpState {
  CQuickHelpPanel* openPanel;  // at most one panel exists
  void* savedFocus;            // HWND that had the keyboard focus before the panel opened
  CDialog* ownerDialog;        // kept after closing, like the two tables
  const QuickHelpEntry* panelTable;
  const QuickHelpTextEntry* textTable;
};

extern QuickHelpConfig quickHelpConfig;
extern QuickHelpState quickHelpState;

// The setup dialog's panel table. Writable: the end of a successful install gives the
// Exit button (control 2) its own panel.
extern QuickHelpEntry setupHelpTable[4];

void ConfigureQuickHelp(uint32_t panelBitmapId, void* dotCursor, uint32_t generalPanelId);

// What a right click on an item asks for.
struct QuickHelpChoice {
  enum Kind { kFallback, kResourcePanel, kTextPanel } kind;
  int32_t panelId;
  const char* text;
};

// The first row for itemId decides: in the panel table first, then in the text table. Item 0,
// a row without a panel, or no row at all falls back.
QuickHelpChoice ChooseQuickHelpPanel(int32_t itemId, const QuickHelpEntry* panelTable,
                                     const QuickHelpTextEntry* textTable);

// The child window found under a point of the dialog.
struct QuickHelpItem {
  bool found;  // false outside the client area
  bool visible;
  bool enabled;
  int32_t controlId;  // 0 for the dialog itself
};

// The window operations QuickHelp needs; the Win32 implementation talks to the system, tests
// use a recording fake.
class QuickHelpOps {
 public:
  virtual bool PanelContains(CQuickHelpPanel* panel, int32_t x, int32_t y) = 0;
  virtual bool DialogContains(CDialog* dialog, int32_t x, int32_t y) = 0;
  virtual QuickHelpItem ItemAt(CDialog* dialog, int32_t x, int32_t y) = 0;
  virtual void* GetFocus() = 0;
  virtual void SetFocus(void* window) = 0;
  // A hidden panel owned by dialog: from text when it is not null, else from panel resource
  // panelId. Null when the window cannot be created.
  virtual CQuickHelpPanel* CreatePanel(CDialog* dialog, int32_t panelId, const char* text) = 0;
  // Moves the panel next to (x, y), shows and activates it.
  virtual void PlacePanel(CQuickHelpPanel* panel, int32_t x, int32_t y, CDialog* dialog) = 0;
  virtual void CapturePointer(CQuickHelpPanel* panel) = 0;
  virtual void SetCursor(void* cursor) = 0;
  // Destroys the panel's window (ending its capture) and deletes the object.
  virtual void DestroyPanel(CQuickHelpPanel* panel) = 0;

 protected:
  ~QuickHelpOps() = default;
};

void ShowQuickHelpWith(QuickHelpOps& ops, CDialog* dialog, int32_t x, int32_t y,
                       const QuickHelpEntry* panelTable, const QuickHelpTextEntry* textTable);
void CloseQuickHelpWith(QuickHelpOps& ops);

// The same through the system's windows (Win32 only). An open panel is destroyed from inside
// its own handlers by these calls: after they return, the handler touches it no more.
void ShowQuickHelp(CDialog* dialog, int32_t x, int32_t y, const QuickHelpEntry* panelTable,
                   const QuickHelpTextEntry* textTable);
void CloseQuickHelp();

#endif  // TSARIN_UI_QUICKHELP_H
