// The plan with its conflict check, the listing headings, Test and Rename.
#include "engine/rename_actions.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "engine/candidates.h"

namespace lark {

RenamePlan buildPlan(const RenameState& state, FileSystem& fileSystem) {
  RenamePlan plan;
  collectCandidates(state, plan, fileSystem);
  plan.erase(std::remove_if(plan.begin(), plan.end(),
                            [](const RenameEntry& entry) { return entry.currentPath == entry.newPath; }),
             plan.end());

  // Every member of a group that shares a destination is refused, the first included:
  // the destinations are all taken from the plan before any row is marked. Failed rows
  // join in with their empty destination.
  // Counted in a hash table rather than sorted: a sort of 100,000 paths costs more
  // than collecting them.
  std::unordered_map<std::wstring_view, std::size_t> uses;
  uses.reserve(plan.size());
  for (const RenameEntry& entry : plan) ++uses[entry.newPath];
  std::vector<bool> shared(plan.size(), false);
  for (std::size_t i = 0; i < plan.size(); ++i) {
    if (plan[i].failed) continue;
    shared[i] = uses[plan[i].newPath] > 1;
  }
  for (std::size_t i = 0; i < plan.size(); ++i) {
    if (!shared[i]) continue;
    plan[i].failed = true;
    plan[i].errorText = plan[i].newPath + kSharedDestinationError;
  }
  return plan;
}

std::wstring formatCount(const std::wstring& format, std::uint32_t count, const std::wstring& noun) {
  std::wstring text;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != L'%' || i + 1 == format.size()) {
      text.push_back(format[i]);
      continue;
    }
    const wchar_t kind = format[++i];
    if (kind == L'd') {
      text += std::to_wstring(count);
    } else if (kind == L's') {
      text += noun;
    } else {
      text.push_back(kind);  // "%%" and unknown conversions give the character itself
    }
  }
  return text;
}

namespace {

// The rows that are not failed: those a rename would attempt, or did.
std::uint32_t usableRows(const RenamePlan& plan) {
  return static_cast<std::uint32_t>(
      std::count_if(plan.begin(), plan.end(), [](const RenameEntry& entry) { return !entry.failed; }));
}

}  // namespace

void showPlan(const std::wstring& headingFormat, const RenameState& state, PageSurface& page, RenamePlan& plan,
              const std::wstring& emptyHeading) {
  const std::uint32_t usable = usableRows(plan);
  std::wstring heading = emptyHeading;
  if (usable != 0) {
    const wchar_t* noun = state.renameFolders ? (usable == 1 ? L"file or folder" : L"files and folders")
                                              : (usable == 1 ? L"file" : L"files");
    heading = formatCount(headingFormat, usable, noun);
  }
  plan.insert(plan.begin(), RenameEntry::title(std::move(heading)));
  page.showListing(plan);
}

void testRename(const RenameState& state, PageSurface& page, FileSystem& fileSystem) {
  RenamePlan plan = buildPlan(state, fileSystem);
  showPlan(L"The following %d %s will be renamed:", state, page, plan, L"No files will be renamed:");
}

namespace {

// Puts an item's new full path in place of its old entry in the selection, if it is
// one of the selected items.
void updateSelection(RenameState& state, const RenameEntry& entry) {
  const std::wstring before = entry.baseFolder + entry.currentPath;
  const std::wstring after = entry.baseFolder + entry.newPath;
  auto file = std::find(state.files.begin(), state.files.end(), before);
  if (file != state.files.end()) {
    *file = after;
    return;
  }
  auto folder = std::find(state.folders.begin(), state.folders.end(), before + L"\\");
  if (folder != state.folders.end()) *folder = after + L"\\";
}

}  // namespace

void performRename(RenameState& state, PageSurface& page, FileSystem& fileSystem) {
  RenamePlan plan = buildPlan(state, fileSystem);
  const std::wstring question = formatCount(
      L"Renaming cannot be undone! This operation will rename %d file(s).\n\nAre you sure you wish to continue?",
      usableRows(plan));
  if (!page.askYesNo(question, L"Rename")) return;

  for (RenameEntry& entry : plan) {
    if (entry.failed) continue;
    if (fileSystem.renameItem(entry.baseFolder + entry.currentPath, entry.baseFolder + entry.newPath) != 0) {
      entry.failed = true;
      entry.errorText = kFileOperationError;
      continue;
    }
    updateSelection(state, entry);
  }
  state.exampleIndex = 0;
  showPlan(L"Renamed %d %s:", state, page, plan, L"No files were renamed:");
}

}  // namespace lark
