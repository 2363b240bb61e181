// The results list: a heading and the plan's rows, old and new names, errors in red.
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "engine/rename_plan.h"

namespace lark {

// Shows the plan (title row at index 0) modally, owned by `parent`, until OK.
void showResultsDialog(HWND parent, RenamePlan& plan);
INT_PTR CALLBACK resultsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void layoutResultsDialog(HWND dialog);
void addResultRow(HWND list, const RenameEntry& entry, int index);
// What the shell said about each file type: one dialog asks about the same few types
// thousands of times, and under Wine each question takes milliseconds.
struct IconTypeAnswer {
  DWORD_PTR result;
  int icon;
};
using IconTypeCache = std::map<std::wstring, IconTypeAnswer>;
bool smallIconIndex(const std::wstring& path, int& index, IconTypeCache* types = nullptr);
// The icon a row shows in a column: its own file type's, else (second column) the first
// column's, else I_IMAGENONE. `firstColumn` gives the first column's icon when known.
int rowIcon(const RenameEntry& entry, int column, IconTypeCache* types = nullptr, const int* firstColumn = nullptr);

}  // namespace lark
