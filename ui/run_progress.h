// A long run's progress on screen: the shell's progress window, and the window the run
// belongs to kept answering but closed to input while the run goes on.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/platform.h"

namespace lark {

// When the progress window may appear: once the run has lasted `delay` milliseconds by
// `now`, a steady clock. The product uses the system's tick count; a test hands in its own.
struct ProgressTiming {
  std::function<std::uint64_t()> now;
  std::uint64_t delay = 1000;
  // The system's clock and the delay a person notices.
  static ProgressTiming standard();
};

// A run's progress for a window: the window's top-level ancestor takes no input from now
// until the progress is destroyed, and its thread's messages are handled between rows.
// The progress window, titled `title` and owned by that ancestor, appears only once the
// run has lasted the timing's delay with rows left, and its Cancel stops the run.
// `window` may be null (a program with no window yet): then only the progress window.
std::unique_ptr<RunProgress> startShellProgress(HWND window, const std::wstring& title,
                                                ProgressTiming timing = ProgressTiming::standard());

// A count as the user's locale groups its digits ("2,000").
std::wstring groupedNumber(std::uint64_t value);

}  // namespace lark
