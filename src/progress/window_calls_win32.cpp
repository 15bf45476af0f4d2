#include "progress/window_calls.h"

namespace {

template <typename Call>
bool lookUp(HMODULE module, const char* name, Call& call) {
  const FARPROC found = module == nullptr ? nullptr : GetProcAddress(module, name);
  call = reinterpret_cast<Call>(reinterpret_cast<void (*)()>(found));
  return found != nullptr;
}

// From the system folder only: never a DLL of the same name beside the
// launcher, in a downloads folder, say.
HMODULE loadSystemDll(const wchar_t* name) {
  return LoadLibraryExW(/*lpLibFileName=*/name, /*hFile=*/nullptr,
                        /*dwFlags=*/LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace

bool loadWindowCalls(WindowCalls& calls) {
  const HMODULE user = loadSystemDll(L"user32.dll");
  const HMODULE gdi = loadSystemDll(L"gdi32.dll");
  const HMODULE controls = loadSystemDll(L"comctl32.dll");
  bool found = lookUp(user, "RegisterClassExW", calls.registerClassEx);
  found &= lookUp(user, "CreateWindowExW", calls.createWindowEx);
  found &= lookUp(user, "DefWindowProcW", calls.defWindowProc);
  found &= lookUp(user, "DestroyWindow", calls.destroyWindow);
  found &= lookUp(user, "IsWindow", calls.isWindow);
  found &= lookUp(user, "ShowWindow", calls.showWindow);
  found &= lookUp(user, "SetWindowPos", calls.setWindowPos);
  found &= lookUp(user, "PeekMessageW", calls.peekMessage);
  found &= lookUp(user, "TranslateMessage", calls.translateMessage);
  found &= lookUp(user, "DispatchMessageW", calls.dispatchMessage);
  found &= lookUp(user, "MsgWaitForMultipleObjects", calls.msgWaitForMultipleObjects);
  found &= lookUp(user, "SendMessageW", calls.sendMessage);
  found &= lookUp(user, "LoadImageW", calls.loadImage);
  found &= lookUp(user, "LoadCursorW", calls.loadCursor);
  found &= lookUp(user, "GetSystemMetrics", calls.getSystemMetrics);
  found &= lookUp(user, "MonitorFromWindow", calls.monitorFromWindow);
  found &= lookUp(user, "GetMonitorInfoW", calls.getMonitorInfo);
  found &= lookUp(user, "AdjustWindowRectEx", calls.adjustWindowRectEx);
  found &= lookUp(user, "SystemParametersInfoW", calls.systemParametersInfo);
  found &= lookUp(user, "GetDC", calls.getDC);
  found &= lookUp(user, "ReleaseDC", calls.releaseDC);
  found &= lookUp(gdi, "GetDeviceCaps", calls.getDeviceCaps);
  found &= lookUp(gdi, "CreateFontIndirectW", calls.createFontIndirect);
  found &= lookUp(gdi, "DeleteObject", calls.deleteObject);
  found &= lookUp(controls, "InitCommonControlsEx", calls.initCommonControlsEx);
  lookUp(user, "GetDpiForWindow", calls.getDpiForWindow);
  lookUp(user, "SystemParametersInfoForDpi", calls.systemParametersInfoForDpi);
  lookUp(user, "AdjustWindowRectExForDpi", calls.adjustWindowRectExForDpi);
  return found;
}
