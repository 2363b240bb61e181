// The rename page of the Properties sheet (dialog 201).
#pragma once

#include <windows.h>

namespace lark {

// The page's dialog procedure. Its parameter is the page's RenameState, whose
// fileSystems the maker of the page has set.
INT_PTR CALLBACK renamePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Address of the documentation of the pattern syntax, opened by the sheet's Help button.
extern const wchar_t kPatternHelpUrl[];

}  // namespace lark
