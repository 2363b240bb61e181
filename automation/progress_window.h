// The shell's progress window as a person reads and answers it: found by its title among
// a process's windows, its "N of M" line read, its Cancel pressed.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace lark {

// A visible top-level window of the process with this title; null when there is none.
HWND findProgressWindow(DWORD process, const std::wstring& title);

// The counts of its "N of M" line (digit separators ignored); false when no line reads so.
bool readProgressCount(HWND window, std::uint64_t& done, std::uint64_t& total);

// Presses its Cancel button as a click would; false when it has none.
bool pressProgressCancel(HWND window);

}  // namespace lark
