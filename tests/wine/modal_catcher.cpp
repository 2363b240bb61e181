// The modal-window catcher of the Win32 tests.
#include "tests/wine/modal_catcher.h"

namespace lark {

namespace {
thread_local ModalCatcher* current = nullptr;

std::wstring windowText(HWND window) {
  wchar_t buffer[2048] = {};
  GetWindowTextW(window, buffer, 2048);
  return buffer;
}
}  // namespace

ModalCatcher::ModalCatcher(int answer) : answer_(answer) {
  current = this;
  hook_ = SetWindowsHookExW(WH_CBT, &ModalCatcher::hook, nullptr, GetCurrentThreadId());
}

ModalCatcher::~ModalCatcher() {
  UnhookWindowsHookEx(hook_);
  current = nullptr;
}

LRESULT CALLBACK ModalCatcher::hook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && current) {
    HWND window = reinterpret_cast<HWND>(wParam);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (std::wstring(className) == L"#32770") {
      CaughtWindow seen;
      seen.caption = windowText(window);
      if (HWND text = GetDlgItem(window, 0xFFFF)) seen.text = windowText(text);
      seen.hasYes = GetDlgItem(window, IDYES) != nullptr;
      seen.hasNo = GetDlgItem(window, IDNO) != nullptr;
      seen.hasOk = GetDlgItem(window, IDOK) != nullptr;
      current->caught.push_back(seen);
      PostMessageW(window, WM_COMMAND, MAKEWPARAM(current->answer_, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(window, current->answer_)));
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace lark
