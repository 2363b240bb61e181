// The plan with its conflict check, the listing headings, Test and Rename.
#include "engine/rename_actions.h"

#include <algorithm>
#include <functional>
#include <new>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "engine/candidates.h"
#include "engine/journal.h"

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
  // Sorted by hash, with the paths themselves compared only within a run of equal
  // hashes: sorting 100,000 paths that share long folder prefixes, or a hash table
  // with a node for each, costs more than collecting them.
  std::vector<std::pair<std::size_t, std::size_t>> byHash;  // hash of newPath, row
  byHash.reserve(plan.size());
  const std::hash<std::wstring_view> hash;
  for (std::size_t i = 0; i < plan.size(); ++i) byHash.emplace_back(hash(plan[i].newPath), i);
  std::sort(byHash.begin(), byHash.end());
  std::vector<bool> shared(plan.size(), false);
  auto pathOf = [&plan](const std::pair<std::size_t, std::size_t>& row) -> const std::wstring& {
    return plan[row.second].newPath;
  };
  for (std::size_t run = 0; run < byHash.size();) {
    std::size_t end = run + 1;
    while (end < byHash.size() && byHash[end].first == byHash[run].first) ++end;
    if (end - run > 1) {
      // Equal hashes: order the run by path, so that equal paths sit side by side.
      std::sort(byHash.begin() + run, byHash.begin() + end,
                [&](const auto& a, const auto& b) { return pathOf(a) < pathOf(b); });
      for (std::size_t i = run + 1; i < end; ++i) {
        if (pathOf(byHash[i]) == pathOf(byHash[i - 1])) shared[byHash[i].second] = shared[byHash[i - 1].second] = true;
      }
    }
    run = end;
  }
  for (std::size_t i = 0; i < plan.size(); ++i) {
    if (plan[i].failed) shared[i] = false;
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

// Where each path of one selection list lies, found by hash: the first position holding
// exactly a path, as a search from the front finds it, without a search for every row.
// A position is entered again under its new path when it is replaced; an entry left
// under an old path is passed over, since the position no longer holds that path.
class SelectionIndex {
 public:
  explicit SelectionIndex(std::vector<std::wstring>& paths) : paths_(paths) {
    positions_.reserve(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) positions_.emplace(hashOf(paths[i]), i);
  }

  // Replaces the first path equal to before with after; false when none is.
  bool replace(const std::wstring& before, const std::wstring& after) {
    std::size_t first = paths_.size();
    const auto [begin, end] = positions_.equal_range(hashOf(before));
    for (auto at = begin; at != end; ++at) {
      if (at->second < first && paths_[at->second] == before) first = at->second;
    }
    if (first == paths_.size()) return false;
    paths_[first] = after;
    positions_.emplace(hashOf(paths_[first]), first);
    return true;
  }

 private:
  static std::size_t hashOf(const std::wstring& path) { return std::hash<std::wstring_view>()(path); }
  std::vector<std::wstring>& paths_;
  std::unordered_multimap<std::size_t, std::size_t> positions_;
};

// The journal's head and rows for the usable rows of a plan: the run as it will go. A
// journal that cannot even be described (no memory) is left out; the run goes on.
RunJournal openJournal(const RenameState& state, const RenamePlan& plan) {
  if (!state.journals || usableRows(plan) == 0) return RunJournal(nullptr, JournalHead(), {});
  JournalHead head;
  std::vector<JournalRow> rows;
  try {
    head.kind = L"rename";
    head.match = state.matchPattern;
    head.replace = state.replaceFormat;
    head.renameFolders = state.renameFolders;
    head.searchSubfolders = state.searchSubfolders;
    std::unordered_set<std::wstring> seen;
    rows.reserve(plan.size());
    for (const RenameEntry& entry : plan) {
      if (entry.failed) continue;
      if (seen.insert(entry.baseFolder).second) head.folders.push_back(entry.baseFolder);
      rows.push_back({entry.baseFolder + entry.currentPath, entry.baseFolder + entry.newPath, RowOutcome::pending, {}});
    }
  } catch (const std::bad_alloc&) {
    return RunJournal(nullptr, JournalHead(), {});
  }
  return RunJournal(state.journals, head, rows);
}

}  // namespace

void performRename(RenameState& state, PageSurface& page, FileSystem& fileSystem) {
  RenamePlan plan = buildPlan(state, fileSystem);
  const std::wstring question = formatCount(
      L"Renaming cannot be undone! This operation will rename %d file(s).\n\nAre you sure you wish to continue?",
      usableRows(plan));
  if (!page.askYesNo(question, L"Rename")) return;

  // A renamed item that was selected takes its new path in the selection, in the place
  // of the old one: the first exact match among the files, else among the folders.
  SelectionIndex files(state.files);
  SelectionIndex folders(state.folders);
  // Written and on the disk before the first rename, so that a run cut short by a crash
  // can still be taken back.
  RunJournal journal = openJournal(state, plan);
  std::size_t journalRow = 0;
  for (RenameEntry& entry : plan) {
    if (entry.failed) continue;
    const std::size_t row = journalRow++;
    std::wstring before = entry.baseFolder + entry.currentPath;
    std::wstring after = entry.baseFolder + entry.newPath;
    const ItemStamp stamp = journal.active() ? fileSystem.stamp(before) : ItemStamp();
    if (fileSystem.renameItem(before, after) != 0) {
      entry.failed = true;
      entry.errorText = kFileOperationError;
      journal.failed(row);
      continue;
    }
    journal.renamed(row, stamp);
    if (files.replace(before, after)) continue;
    before.push_back(L'\\');
    after.push_back(L'\\');
    folders.replace(before, after);
  }
  journal.finish();
  state.exampleIndex = 0;
  showPlan(L"Renamed %d %s:", state, page, plan, L"No files were renamed:");
}

}  // namespace lark
