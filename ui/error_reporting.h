// Reporting exceptions that escape a window handler, in a box owned by that window.
#pragma once

#include <windows.h>

#include <exception>

namespace lark {

// "C++ Exception was caught:\n\n" and what() widened byte by byte. Never throws.
void reportException(HWND owner, const std::exception& error) noexcept;
// The system's text for the thread's last-error code, or a fixed text. Never throws.
void reportUnknownException(HWND owner) noexcept;

// Runs a handler's work with the two catch clauses every guarded handler has.
template <typename Work>
void guarded(HWND owner, Work&& work) noexcept {
  try {
    work();
  } catch (const std::exception& error) {
    reportException(owner, error);
  } catch (...) {
    reportUnknownException(owner);
  }
}

}  // namespace lark
