// Opens the shell's Properties sheet for files, as Explorer's context menu does.
#pragma once

#include <string>
#include <vector>

namespace lark {

// Files of one folder (names relative to it). The sheet is modal: this returns when it
// has closed. Returns the failing HRESULT, or S_OK.
long openProperties(const std::wstring& folder, const std::vector<std::wstring>& names);

}  // namespace lark
