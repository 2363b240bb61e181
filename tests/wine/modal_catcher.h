// Catches the modal windows a call opens on this thread: records each one's caption,
// text and buttons, then answers it, so that no test ever waits on a box.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace lark {

struct CaughtWindow {
  std::wstring caption;
  std::wstring text;  // a message box's text (control 0xFFFF)
  bool hasYes = false;
  bool hasNo = false;
  bool hasOk = false;
};

class ModalCatcher {
 public:
  // Every caught window is answered with this command (IDYES, IDNO, IDOK, ...).
  explicit ModalCatcher(int answer);
  ~ModalCatcher();
  ModalCatcher(const ModalCatcher&) = delete;
  ModalCatcher& operator=(const ModalCatcher&) = delete;

  std::vector<CaughtWindow> caught;

 private:
  static LRESULT CALLBACK hook(int code, WPARAM wParam, LPARAM lParam);
  HHOOK hook_;
  int answer_;
};

}  // namespace lark
