// The engine's page surface over the real rename page: dialog items addressed by
// identifier, questions in message boxes owned by the page, listings in the results dialog,
// a run's progress over the sheet.
#pragma once

#include <windows.h>

#include "engine/platform.h"
#include "ui/run_progress.h"

namespace lark {

class Win32PageSurface : public PageSurface {
 public:
  explicit Win32PageSurface(HWND page, ProgressTiming timing = ProgressTiming::standard())
      : page_(page), timing_(std::move(timing)) {}
  void setControlText(int id, const std::wstring& text) override;
  void enableControl(int id, bool enabled) override;
  void showControl(int id, bool visible) override;
  bool askYesNo(const std::wstring& text, const std::wstring& caption) override;
  void showListing(RenamePlan& plan) override;
  // The sheet closed to input and answering for the run, and the progress window once
  // the run has lasted the timing's delay.
  std::unique_ptr<RunProgress> startProgress(const std::wstring& title) override;

 private:
  HWND page_;
  ProgressTiming timing_;
};

}  // namespace lark
