// Win32 side of the page surface.
#include "ui/page_surface.h"

#include "ui/results_dialog.h"

namespace lark {

void Win32PageSurface::setControlText(int id, const std::wstring& text) { SetDlgItemTextW(page_, id, text.c_str()); }

void Win32PageSurface::enableControl(int id, bool enabled) { EnableWindow(GetDlgItem(page_, id), enabled ? TRUE : FALSE); }

void Win32PageSurface::showControl(int id, bool visible) { ShowWindow(GetDlgItem(page_, id), visible ? SW_SHOW : SW_HIDE); }

bool Win32PageSurface::askYesNo(const std::wstring& text, const std::wstring& caption) {
  return MessageBoxW(page_, text.c_str(), caption.c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void Win32PageSurface::showListing(RenamePlan& plan) { showResultsDialog(page_, plan); }

std::unique_ptr<RunProgress> Win32PageSurface::startProgress(const std::wstring& title) {
  return startShellProgress(page_, title, timing_);
}

}  // namespace lark
