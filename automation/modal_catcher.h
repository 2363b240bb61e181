// Catches the modal windows a call opens on this thread: records each one's caption,
// text, buttons and list rows, lets the caller inspect it, then answers it, so that no
// test or tool ever waits on a box.
#pragma once

#include <windows.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace lark {

struct CaughtWindow {
  std::wstring caption;
  std::wstring text;                 // a message box's text (control 0xFFFF)
  std::wstring title;                // the results dialog's heading (control 213)
  std::vector<std::wstring> rows;    // the results list: "column 0 | column 1"
  HWND owner = nullptr;
  bool hasYes = false;
  bool hasNo = false;
  bool hasOk = false;
};

// Calls made around a catcher's own work, which runs inside the code that opened the
// window: a test that makes allocations fail on purpose pauses the failures there.
struct CatcherBracket {
  void (*enter)() = nullptr;
  void (*leave)() = nullptr;
};

class ModalCatcher {
 public:
  using Bracket = CatcherBracket;

  // Message boxes are answered with `answer`; the results dialog always with OK.
  explicit ModalCatcher(int answer, std::function<void(HWND)> inspect = nullptr, Bracket bracket = {});
  ~ModalCatcher();
  ModalCatcher(const ModalCatcher&) = delete;
  ModalCatcher& operator=(const ModalCatcher&) = delete;

  std::vector<CaughtWindow> caught;
  Bracket bracket() const { return bracket_; }

 private:
  static LRESULT CALLBACK hook(int code, WPARAM wParam, LPARAM lParam);
  static void CALLBACK tick(HWND, UINT, UINT_PTR timer, DWORD);
  void handle(HWND window);

  HHOOK hook_;
  int answer_;
  std::function<void(HWND)> inspect_;
  Bracket bracket_;
  std::vector<HWND> pending_;
  std::set<HWND> existing_;  // windows open before the catcher, such as a hosting sheet
};

}  // namespace lark
