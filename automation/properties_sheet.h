// Property sheets for tests and tools: the shell's own Properties sheet for files, as
// Explorer's context menu opens it, and modeless sheets of our own around pages.
#pragma once

#include <windows.h>
#include <prsht.h>

#include <string>
#include <vector>

namespace lark {

// Files of one folder (names relative to it). The sheet is modal: this returns when it
// has closed. Returns the failing HRESULT, or S_OK.
long openProperties(const std::wstring& folder, const std::vector<std::wstring>& names);

// A modeless sheet captioned "Properties" around the pages, shown; null when it cannot
// be made. The caller destroys it. Allocates nothing, so that a test failing
// allocations one at a time fails only the product's.
HWND openModelessSheet(HPROPSHEETPAGE* pages, UINT count, DWORD extraFlags = 0);

// Brings the tab with this label to the front of a property sheet; its page, or null.
HWND showTab(HWND sheet, const std::wstring& label);

// The text of a dialog's control.
std::wstring controlText(HWND dialog, int id);

}  // namespace lark
