// The modal-window catcher. Windows are handled from a thread timer, which fires inside
// the modal loop once the window is fully initialised.
#include "automation/modal_catcher.h"

#include <commctrl.h>

#include "automation/list_view.h"
#include "engine/page_controls.h"

namespace lark {

namespace {
thread_local ModalCatcher* current = nullptr;

BOOL CALLBACK rememberWindow(HWND window, LPARAM set) {
  reinterpret_cast<std::set<HWND>*>(set)->insert(window);
  return TRUE;
}

std::wstring windowText(HWND window) {
  wchar_t buffer[2048] = {};
  GetWindowTextW(window, buffer, 2048);
  return buffer;
}

// The catcher's own work, between the calls of its bracket.
class Bracketed {
 public:
  Bracketed() : bracket_(current ? current->bracket() : ModalCatcher::Bracket{}) {
    if (bracket_.enter) bracket_.enter();
  }
  ~Bracketed() {
    if (bracket_.leave) bracket_.leave();
  }
  Bracketed(const Bracketed&) = delete;
  Bracketed& operator=(const Bracketed&) = delete;

 private:
  const ModalCatcher::Bracket bracket_;
};

}  // namespace

ModalCatcher::ModalCatcher(int answer, std::function<void(HWND)> inspect, Bracket bracket)
    : answer_(answer), inspect_(std::move(inspect)), bracket_(bracket) {
  current = this;
  EnumThreadWindows(GetCurrentThreadId(), rememberWindow, reinterpret_cast<LPARAM>(&existing_));
  hook_ = SetWindowsHookExW(WH_CBT, &ModalCatcher::hook, nullptr, GetCurrentThreadId());
}

ModalCatcher::~ModalCatcher() {
  UnhookWindowsHookEx(hook_);
  current = nullptr;
}

LRESULT CALLBACK ModalCatcher::hook(int code, WPARAM wParam, LPARAM lParam) {
  const Bracketed machinery;
  if (code == HCBT_ACTIVATE && current) {
    HWND window = reinterpret_cast<HWND>(wParam);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (std::wstring(className) == L"#32770" && current->existing_.insert(window).second) {
      current->pending_.push_back(window);  // caught once, however often it is activated
      SetTimer(nullptr, 0, 1, &ModalCatcher::tick);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK ModalCatcher::tick(HWND, UINT, UINT_PTR timer, DWORD) {
  const Bracketed machinery;
  KillTimer(nullptr, timer);
  if (!current) return;
  std::vector<HWND> windows;
  windows.swap(current->pending_);
  for (HWND window : windows) {
    if (IsWindow(window)) current->handle(window);
  }
}

void ModalCatcher::handle(HWND window) {
  CaughtWindow seen;
  seen.caption = windowText(window);
  seen.owner = GetWindow(window, GW_OWNER);
  if (HWND text = GetDlgItem(window, 0xFFFF)) seen.text = windowText(text);
  seen.hasYes = GetDlgItem(window, IDYES) != nullptr;
  seen.hasNo = GetDlgItem(window, IDNO) != nullptr;
  seen.hasOk = GetDlgItem(window, IDOK) != nullptr;
  int answer = answer_;
  if (HWND list = GetDlgItem(window, kResultsList)) {
    answer = IDOK;
    seen.title = windowText(GetDlgItem(window, kResultsTitle));
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) seen.rows.push_back(listCell(list, row, 0) + L" | " + listCell(list, row, 1));
  }
  caught.push_back(seen);
  if (inspect_) inspect_(window);
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, answer)));
}

}  // namespace lark
