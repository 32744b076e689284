// Stand-in for the Tessarin program in the sample product: one window that says what it is
// and where it was started from.
#include <windows.h>

#include <cstdio>

#include "standin_log.h"

namespace {

constexpr char kClassName[] = "TessarinStandIn";
char g_text[3 * MAX_PATH];

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE: {
      HWND label =
          CreateWindowExA(0, "STATIC", g_text, WS_CHILD | WS_VISIBLE | SS_CENTER, 10, 20, 460, 120,
                          hwnd, reinterpret_cast<HMENU>(100), GetModuleHandleA(nullptr), nullptr);
      SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
                   TRUE);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  RecordStart("tsn.exe");
  char module[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, module, MAX_PATH);
  std::snprintf(g_text, sizeof g_text,
                "Tessarin\r\n\r\nThe document-conversion program of the sample product.\r\n"
                "Started from:\r\n%s",
                module);

  WNDCLASSA wc = {};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClassName;
  if (!RegisterClassA(&wc)) return 1;
  HWND hwnd = CreateWindowExA(0, kClassName, "Tessarin", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                              CW_USEDEFAULT, 490, 200, nullptr, nullptr, instance, nullptr);
  if (!hwnd) return 1;
  ShowWindow(hwnd, show);
  UpdateWindow(hwnd);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
