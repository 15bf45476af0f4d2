#include <windows.h>

#include "payload/unpack_progress.h"
#include "progress/progress_timing.h"
#include "progress/progress_window.h"
#include "progress/window_calls.h"

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace {

// How often the bar follows the counters: smooth to the eye, and few
// wake-ups of a thread that has nothing else to do.
constexpr DWORD kRefreshMs = 50;

// The layout, in pixels at 96 DPI, scaled to the window's own DPI.
constexpr int kClientWidth = 392, kClientHeight = 84;
constexpr int kMargin = 16;
constexpr int kTextTop = 14, kTextHeight = 24;
constexpr int kBarTop = 46, kBarHeight = 18;

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
// Unowned and not a tool window, so it has a taskbar button.
constexpr DWORD kExtendedStyle = WS_EX_APPWINDOW;

WindowCalls calls;

// The one window, used by its own thread only.
struct WindowState {
  HWND window = nullptr;
  HWND label = nullptr;
  HWND bar = nullptr;
  HFONT font = nullptr;
  UINT dpi = 96;
};
WindowState state;

int scaled(int pixels) { return MulDiv(pixels, static_cast<int>(state.dpi), 96); }

UINT windowDpi(HWND window) {
  if (calls.getDpiForWindow != nullptr) return calls.getDpiForWindow(window);
  const HDC screen = calls.getDC(nullptr);
  const int dpi = screen == nullptr ? 96 : calls.getDeviceCaps(screen, LOGPIXELSY);
  if (screen != nullptr) calls.releaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

// The message font at the window's DPI, and the children placed for it.
void layOutChildren() {
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof metrics;
  const BOOL haveMetrics =
      calls.systemParametersInfoForDpi != nullptr
          ? calls.systemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0,
                                             state.dpi)
          : calls.systemParametersInfo(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  if (haveMetrics) {
    const HFONT font = calls.createFontIndirect(&metrics.lfMessageFont);
    if (font != nullptr) {
      calls.sendMessage(state.label, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
      if (state.font != nullptr) calls.deleteObject(state.font);
      state.font = font;
    }
  }
  const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
  const int width = scaled(kClientWidth - 2 * kMargin);
  calls.setWindowPos(state.label, nullptr, scaled(kMargin), scaled(kTextTop), width,
                     scaled(kTextHeight), flags);
  calls.setWindowPos(state.bar, nullptr, scaled(kMargin), scaled(kBarTop), width,
                     scaled(kBarHeight), flags);
}

// The window's outer size for the client area at its DPI.
SIZE frameSize() {
  RECT frame = {0, 0, scaled(kClientWidth), scaled(kClientHeight)};
  if (calls.adjustWindowRectExForDpi != nullptr) {
    calls.adjustWindowRectExForDpi(&frame, kStyle, FALSE, kExtendedStyle, state.dpi);
  } else {
    calls.adjustWindowRectEx(&frame, kStyle, FALSE, kExtendedStyle);
  }
  return SIZE{frame.right - frame.left, frame.bottom - frame.top};
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DPICHANGED && window == state.window) {
    // Moved to a monitor of another DPI: the system suggests where.
    const RECT* const suggested = reinterpret_cast<const RECT*>(lParam);
    state.dpi = HIWORD(wParam);
    layOutChildren();
    calls.setWindowPos(window, nullptr, suggested->left, suggested->top,
                       suggested->right - suggested->left, suggested->bottom - suggested->top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    return 0;
  }
  // The default for WM_CLOSE destroys the window; unpacking never hears.
  return calls.defWindowProc(window, message, wParam, lParam);
}

bool createWindow(const Utf16Unit* title, const Utf16Unit* text) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  if (!calls.initCommonControlsEx(&controls)) return false;
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = windowProcedure;
  windowClass.hInstance = instance;
  // The launcher's own icon (group 1), for the title bar and the taskbar.
  windowClass.hIcon = static_cast<HICON>(
      calls.loadImage(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, calls.getSystemMetrics(SM_CXICON),
                      calls.getSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
  windowClass.hIconSm = static_cast<HICON>(calls.loadImage(
      instance, MAKEINTRESOURCEW(1), IMAGE_ICON, calls.getSystemMetrics(SM_CXSMICON),
      calls.getSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  windowClass.hCursor = calls.loadCursor(nullptr, IDC_APPSTARTING);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = L"TavmorProgressWindow";
  if (calls.registerClassEx(&windowClass) == 0) return false;

  state.window = calls.createWindowEx(
      /*dwExStyle=*/kExtendedStyle, /*lpClassName=*/windowClass.lpszClassName,
      /*lpWindowName=*/reinterpret_cast<const wchar_t*>(title), /*dwStyle=*/kStyle,
      /*X=*/CW_USEDEFAULT, /*Y=*/CW_USEDEFAULT, /*nWidth=*/0, /*nHeight=*/0,
      /*hWndParent=*/nullptr, /*hMenu=*/nullptr, /*hInstance=*/instance, /*lpParam=*/nullptr);
  if (state.window == nullptr) return false;
  state.label = calls.createWindowEx(
      /*dwExStyle=*/0, /*lpClassName=*/L"STATIC",
      /*lpWindowName=*/reinterpret_cast<const wchar_t*>(text),
      /*dwStyle=*/WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_ENDELLIPSIS | SS_NOPREFIX,
      /*X=*/0, /*Y=*/0, /*nWidth=*/0, /*nHeight=*/0, /*hWndParent=*/state.window,
      /*hMenu=*/nullptr, /*hInstance=*/instance, /*lpParam=*/nullptr);
  state.bar = calls.createWindowEx(
      /*dwExStyle=*/0, /*lpClassName=*/PROGRESS_CLASSW, /*lpWindowName=*/nullptr,
      /*dwStyle=*/WS_CHILD | WS_VISIBLE, /*X=*/0, /*Y=*/0, /*nWidth=*/0, /*nHeight=*/0,
      /*hWndParent=*/state.window, /*hMenu=*/nullptr, /*hInstance=*/instance,
      /*lpParam=*/nullptr);
  if (state.label == nullptr || state.bar == nullptr) return false;
  calls.sendMessage(state.bar, PBM_SETRANGE32, 0, kBarRange);

  // Sized for the DPI of the monitor the system chose, and centred on its
  // work area (the screen less the taskbar).
  state.dpi = windowDpi(state.window);
  layOutChildren();
  const SIZE size = frameSize();
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof monitor;
  if (!calls.getMonitorInfo(calls.monitorFromWindow(state.window, MONITOR_DEFAULTTONEAREST),
                            &monitor)) {
    return false;
  }
  const RECT& work = monitor.rcWork;
  calls.setWindowPos(state.window, nullptr, work.left + (work.right - work.left - size.cx) / 2,
                     work.top + (work.bottom - work.top - size.cy) / 2, size.cx, size.cy,
                     SWP_NOZORDER | SWP_NOACTIVATE);
  return true;
}

// Keeps the bar in step until told to stop or the last file is in place.
void followCounters(HANDLE stop) {
  uint32_t shown = kBarRange + 1;
  while (!unpackProgress.finished.load(std::memory_order_acquire)) {
    const uint64_t total = unpackProgress.bytesTotal.load(std::memory_order_acquire);
    const uint32_t position =
        barPosition(unpackProgress.bytesDone.load(std::memory_order_relaxed), total);
    if (position != shown && calls.isWindow(state.bar)) {
      calls.sendMessage(state.bar, PBM_SETPOS, position, 0);
      shown = position;
    }
    const DWORD woke = calls.msgWaitForMultipleObjects(
        /*nCount=*/1, /*pHandles=*/&stop, /*fWaitAll=*/FALSE, /*dwMilliseconds=*/kRefreshMs,
        /*dwWakeMask=*/QS_ALLINPUT);
    if (woke == WAIT_OBJECT_0 || woke == WAIT_FAILED) return;
    MSG message;
    while (calls.peekMessage(&message, nullptr, 0, 0, PM_REMOVE)) {
      calls.translateMessage(&message);
      calls.dispatchMessage(&message);
    }
  }
}

}  // namespace

void showProgressWindow(void* stop, const Utf16Unit* title, const Utf16Unit* text) {
  if (!loadWindowCalls(calls)) return;
  // Told to stop while the DLLs loaded: never shown, not even for a moment.
  const HANDLE stopEvent = static_cast<HANDLE>(stop);
  if (createWindow(title, text) && WaitForSingleObject(stopEvent, 0) == WAIT_TIMEOUT &&
      !unpackProgress.finished.load(std::memory_order_acquire)) {
    // Shown without taking the focus from whoever has it.
    calls.showWindow(state.window, SW_SHOWNOACTIVATE);
    followCounters(stopEvent);
  }
  if (state.window != nullptr && calls.isWindow(state.window)) calls.destroyWindow(state.window);
  state.window = nullptr;
  if (state.font != nullptr) calls.deleteObject(state.font);
  state.font = nullptr;
}
