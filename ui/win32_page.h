// The page surface over a real dialog window.
#pragma once

#include <windows.h>

#include "engine/platform.h"

namespace lark {

// Controls and questions of a real page window. The listing belongs to the results
// dialog, which the rename page supplies.
class Win32PageSurface : public PageSurface {
 public:
  explicit Win32PageSurface(HWND page) : page_(page) {}
  void setControlText(int id, const std::wstring& text) override;
  void enableControl(int id, bool enabled) override;
  void showControl(int id, bool visible) override;
  bool askYesNo(const std::wstring& text, const std::wstring& caption) override;
  HWND window() const { return page_; }

 private:
  HWND page_;
};

}  // namespace lark
