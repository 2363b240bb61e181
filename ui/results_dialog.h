// The results list: a heading and the plan's rows, old and new names, errors in red.
#pragma once

#include <windows.h>

#include "engine/rename_plan.h"

namespace lark {

// Shows the plan (title row at index 0) modally, owned by `parent`, until OK.
void showResultsDialog(HWND parent, RenamePlan& plan);
INT_PTR CALLBACK resultsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void layoutResultsDialog(HWND dialog);
void addResultRow(HWND list, const RenameEntry& entry, int index);
bool smallIconIndex(const std::wstring& path, int& index);

}  // namespace lark
