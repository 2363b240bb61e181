// The paths of a CF_HDROP drop record, as the shell hands a selection to an extension.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace lark {

// Reads every path of a locked drop record (a DROPFILES header and its list) of `size`
// bytes in one pass: the same paths in the same order as DragQueryFileW gives them index
// by index, wide or ANSI (converted from the ANSI code page, as DragQueryFileW does),
// ending at the first empty path after the first. A path of bufferLength characters or more is left
// out rather than cut short, where a cut would name another item. Reading index by
// index walks the list from its start on every call; a selection of 40,000 items took
// the shell's Properties window 25 seconds to open. Nothing is read past the record.
std::vector<std::wstring> readDropPaths(const void* record, std::size_t size, std::size_t bufferLength);

}  // namespace lark
