// The engine's page surface over the real rename page: dialog items addressed by
// identifier, questions in message boxes owned by the page, listings in the results dialog.
#pragma once

#include <windows.h>

#include "engine/platform.h"

namespace lark {

class Win32PageSurface : public PageSurface {
 public:
  explicit Win32PageSurface(HWND page) : page_(page) {}
  void setControlText(int id, const std::wstring& text) override;
  void enableControl(int id, bool enabled) override;
  void showControl(int id, bool visible) override;
  bool askYesNo(const std::wstring& text, const std::wstring& caption) override;
  void showListing(RenamePlan& plan) override;

 private:
  HWND page_;
};

}  // namespace lark
