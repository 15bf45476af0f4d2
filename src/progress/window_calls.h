// The calls the progress window makes into user32, gdi32 and comctl32,
// looked up rather than imported, so that the launcher's image imports only
// kernel32, msvcrt and shell32 and a start that shows no window never loads
// them. The DLLs come from the system folder only.
#pragma once
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

struct WindowCalls {
  decltype(&RegisterClassExW) registerClassEx;
  decltype(&CreateWindowExW) createWindowEx;
  decltype(&DefWindowProcW) defWindowProc;
  decltype(&DestroyWindow) destroyWindow;
  decltype(&IsWindow) isWindow;
  decltype(&ShowWindow) showWindow;
  decltype(&SetWindowPos) setWindowPos;
  decltype(&PeekMessageW) peekMessage;
  decltype(&TranslateMessage) translateMessage;
  decltype(&DispatchMessageW) dispatchMessage;
  decltype(&MsgWaitForMultipleObjects) msgWaitForMultipleObjects;
  decltype(&SendMessageW) sendMessage;
  decltype(&LoadImageW) loadImage;
  decltype(&LoadCursorW) loadCursor;
  decltype(&GetSystemMetrics) getSystemMetrics;
  decltype(&MonitorFromWindow) monitorFromWindow;
  decltype(&GetMonitorInfoW) getMonitorInfo;
  decltype(&AdjustWindowRectEx) adjustWindowRectEx;
  decltype(&SystemParametersInfoW) systemParametersInfo;
  decltype(&GetDC) getDC;
  decltype(&ReleaseDC) releaseDC;
  decltype(&GetDeviceCaps) getDeviceCaps;
  decltype(&CreateFontIndirectW) createFontIndirect;
  decltype(&DeleteObject) deleteObject;
  decltype(&InitCommonControlsEx) initCommonControlsEx;
  // Windows 10 1607 and later; null before, where the manifest makes the
  // process aware of the system's DPI only.
  UINT(WINAPI* getDpiForWindow)(HWND);
  BOOL(WINAPI* systemParametersInfoForDpi)(UINT, UINT, void*, UINT, UINT);
  BOOL(WINAPI* adjustWindowRectExForDpi)(RECT*, DWORD, BOOL, DWORD, UINT);
};

// Loads the three DLLs and fills `calls`. False when a DLL or one of the
// calls without a null fallback above is missing: then there is no window.
bool loadWindowCalls(WindowCalls& calls);
