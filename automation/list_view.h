// Reading a report-view list, as the results dialog shows it.
#pragma once

#include <windows.h>

#include <string>

namespace lark {

// The text of one cell of a report-view list.
std::wstring listCell(HWND list, int row, int column);
// The heading of one of its columns.
std::wstring listHeading(HWND list, int column);

}  // namespace lark
