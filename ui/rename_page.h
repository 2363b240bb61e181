// The rename page of the Properties sheet (dialog 201).
#pragma once

#include <windows.h>

#include <memory>

#include "engine/platform.h"

namespace lark {

INT_PTR CALLBACK renamePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Where the page's actions find the file system; tests replace it to inject failures.
using PageFileSystemFactory = std::unique_ptr<FileSystem> (*)(HWND page);
void setPageFileSystemFactory(PageFileSystemFactory factory);

// Address of the documentation of the pattern syntax, opened by the sheet's Help button.
extern const wchar_t kPatternHelpUrl[];

}  // namespace lark
