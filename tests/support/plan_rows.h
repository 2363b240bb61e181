// Plan rows as comparable one-line texts, for tables of expected rows.
#pragma once

#include <string>
#include <vector>

#include "engine/rename_plan.h"

namespace lark::fakes {

// "currentPath > newPath (originalPath)", or "currentPath ! errorText (originalPath)".
inline std::vector<std::wstring> rows(const RenamePlan& plan) {
  std::vector<std::wstring> lines;
  for (const RenameEntry& entry : plan) {
    lines.push_back(entry.failed ? entry.currentPath + L" ! " + entry.errorText + L" (" + entry.originalPath + L")"
                                 : entry.currentPath + L" > " + entry.newPath + L" (" + entry.originalPath + L")");
  }
  return lines;
}

}  // namespace lark::fakes
