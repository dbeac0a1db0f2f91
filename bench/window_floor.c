/* The floor of a window program's start for bench/e2e.sh: one window with a button, a list
 * box and a progress bar, shown, its messages pumped until none is left, then closed. What
 * any window program pays to start and end, beside which the self-extractor's fixed cost
 * is measured. Exit code 0 when every window was made, 1 otherwise. */
#include <windows.h>

#include <commctrl.h>

static LRESULT CALLBACK FloorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
  (void)previous;
  (void)commandLine;
  (void)show;
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  WNDCLASSW windowClass = {0};
  windowClass.lpfnWndProc = FloorWindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(NULL, (LPCWSTR)IDC_ARROW);
  windowClass.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = L"WindowFloor";
  if (!RegisterClassW(&windowClass)) return 1;
  HWND window = CreateWindowExW(0, L"WindowFloor", L"Window floor", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                420, 320, NULL, NULL, instance, NULL);
  if (!window) return 1;
  HWND button = CreateWindowExW(0, L"BUTTON", L"Extract", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 300, 250, 90, 26,
                                window, (HMENU)1, instance, NULL);
  HWND list = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", NULL, WS_CHILD | WS_VISIBLE | WS_VSCROLL, 10, 10, 380, 200,
                              window, (HMENU)2, instance, NULL);
  HWND progress = CreateWindowExW(0, PROGRESS_CLASSW, NULL, WS_CHILD | WS_VISIBLE, 10, 220, 380, 18, window, (HMENU)3,
                                  instance, NULL);
  if (!button || !list || !progress) return 1;
  SendMessageW(list, LB_ADDSTRING, 0, (LPARAM)L"hello.txt");
  SendMessageW(progress, PBM_SETPOS, 100, 0);
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
  MSG message;
  while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) {  // every message the showing queued
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  DestroyWindow(window);
  while (GetMessageW(&message, NULL, 0, 0) > 0) {  // until the quit message of WM_DESTROY
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
