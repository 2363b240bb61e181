// Window screenshots for the Win32 tests.
#include "automation/screenshot.h"

#include <utility>

#include "win32/handles.h"

namespace lark {

namespace {

// Paints one list view into the picture at its place in the window.
BOOL CALLBACK printList(HWND child, LPARAM parameter) {
  auto* into = reinterpret_cast<std::pair<HWND, HDC>*>(parameter);
  wchar_t className[64] = {};
  GetClassNameW(child, className, 64);
  if (lstrcmpiW(className, L"SysListView32") != 0) return TRUE;
  RECT childRect, parentRect;
  GetWindowRect(child, &childRect);
  GetWindowRect(into->first, &parentRect);
  const int x = childRect.left - parentRect.left, y = childRect.top - parentRect.top;
  const int saved = SaveDC(into->second);
  IntersectClipRect(into->second, x, y, x + childRect.right - childRect.left, y + childRect.bottom - childRect.top);
  SetViewportOrgEx(into->second, x, y, nullptr);
  SendMessageW(child, WM_PRINT, reinterpret_cast<WPARAM>(into->second), PRF_CLIENT | PRF_NONCLIENT | PRF_ERASEBKGND | PRF_CHILDREN);
  RestoreDC(into->second, saved);
  return TRUE;
}

}  // namespace

bool saveScreenshot(HWND window, const std::wstring& name) {
  wchar_t folder[1024] = {};
  if (!GetEnvironmentVariableW(L"LARK_SCREENSHOT_DIR", folder, 1024)) return false;
  std::wstring path = folder;
  for (auto& unit : path) if (unit == L'/') unit = L'\\';
  if (path.size() > 1 && path[0] == L'\\') path = L"Z:" + path;  // a Unix path from the test run
  path += L"\\" + name + L".bmp";
  return saveScreenshotTo(window, path);
}

bool saveScreenshotTo(HWND window, const std::wstring& path) {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  RECT rect;
  GetWindowRect(window, &rect);
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  const WindowDc screen(nullptr, GetDC(nullptr));
  const UniqueMemoryDc memory(CreateCompatibleDC(screen.get()));
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  const UniqueGdiObject bitmap(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!memory || !bitmap) return false;
  {
    // Selected only while drawing: a bitmap is deleted after it leaves its DC.
    const HGDIOBJ previous = SelectObject(memory.get(), bitmap.get());
    BitBlt(memory.get(), 0, 0, width, height, screen.get(), rect.left, rect.top, SRCCOPY);
    // Wine's copy of the screen misses a list view's items; let each list paint itself in.
    std::pair<HWND, HDC> capture(window, memory.get());
    EnumChildWindows(window, printList, reinterpret_cast<LPARAM>(&capture));
    GdiFlush();
    SelectObject(memory.get(), previous);
  }
  const DWORD stride = ((width * 3 + 3) / 4) * 4;
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info.bmiHeader;
  file.bfSize = file.bfOffBits + stride * height;
  const UniqueFileHandle out(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  if (!out) return false;
  DWORD count = 0;
  return WriteFile(out.get(), &file, sizeof file, &count, nullptr) &&
         WriteFile(out.get(), &info.bmiHeader, sizeof info.bmiHeader, &count, nullptr) &&
         WriteFile(out.get(), bits, stride * height, &count, nullptr);
}

}  // namespace lark
