// The page's two actions: Test (list the plan) and Rename (carry it out and report).
#pragma once

#include <cstdint>
#include <string>

#include "engine/platform.h"
#include "engine/rename_plan.h"
#include "engine/rename_state.h"

namespace lark {

// Collects the candidates, drops the rows whose path does not change, and marks every
// row of a group that shares one destination.
RenamePlan buildPlan(const RenameState& state, FileSystem& fileSystem);

// Fills a wsprintfW-style format that holds %d and %s (and %%) with a count and a noun.
std::wstring formatCount(const std::wstring& format, std::uint32_t count, const std::wstring& noun = std::wstring());

// Counts the usable rows, puts the heading in a title row at index 0 and shows the plan.
void showPlan(const std::wstring& headingFormat, const RenameState& state, PageSurface& page, RenamePlan& plan,
              const std::wstring& emptyHeading);

// "&Test...": shows what would be renamed; nothing on disk changes.
void testRename(const RenameState& state, PageSurface& page, FileSystem& fileSystem);

// "&Rename": confirms, renames row by row in plan order, brings the selection up to
// date and shows what happened.
void performRename(RenameState& state, PageSurface& page, FileSystem& fileSystem);

}  // namespace lark
