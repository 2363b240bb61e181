// Opens the shell's Properties sheet for files, as Explorer's context menu does.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace lark {

// Files of one folder (names relative to it). The sheet is modal: this returns when it
// has closed. Returns the failing HRESULT, or S_OK.
long openProperties(const std::wstring& folder, const std::vector<std::wstring>& names);

// Brings the tab with this label to the front of a property sheet; its page, or null.
HWND showTab(HWND sheet, const std::wstring& label);

// The text of one cell of a report-view list.
std::wstring listCell(HWND list, int row, int column);

}  // namespace lark
