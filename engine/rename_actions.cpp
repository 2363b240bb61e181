// The plan with its conflict check, the listing headings, Test and Rename.
#include "engine/rename_actions.h"

#include <algorithm>
#include <functional>
#include <new>
#include <set>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "build_config.h"
#include "engine/candidates.h"
#include "engine/journal.h"

namespace lark {

namespace {

// Whether a row lies inside the folder of another row of the same selected item's walk.
bool liesInside(const RenameEntry& row, const RenameEntry& folder) {
  const std::wstring& outer = folder.originalPath;
  return row.originalPath.size() > outer.size() && row.originalPath[outer.size()] == L'\\' &&
         row.baseFolder == folder.baseFolder && row.originalPath.compare(0, outer.size(), outer) == 0;
}

// Marks every row of a group whose destinations are one name to the file system, the
// first included: the destinations are all taken from the plan before any row is
// marked. Failed rows join in with their empty destination. Exactly equal paths are one
// name under any rule, so this marks all that an exact comparison would, and more.
void markSharedDestinations(RenamePlan& plan, FileSystem& fileSystem) {
  // Sorted by hash, with the names themselves compared only within a run of equal
  // hashes: sorting 100,000 paths that share long folder prefixes, or a hash table
  // with a node for each, costs more than collecting them.
  std::vector<std::pair<std::size_t, std::size_t>> byHash;  // hash of the destination's key, row
  byHash.reserve(plan.size());
  const std::hash<std::wstring_view> hash;
  for (std::size_t i = 0; i < plan.size(); ++i) byHash.emplace_back(hash(fileSystem.nameKey(plan[i].newPath)), i);
  std::sort(byHash.begin(), byHash.end());
  std::vector<bool> shared(plan.size(), false);
  for (std::size_t run = 0; run < byHash.size();) {
    std::size_t end = run + 1;
    while (end < byHash.size() && byHash[end].first == byHash[run].first) ++end;
    if (end - run > 1) {
      // Equal hashes: order the run by key, so that equal keys sit side by side.
      std::vector<std::pair<std::wstring, std::size_t>> keys;
      for (std::size_t i = run; i < end; ++i) keys.emplace_back(fileSystem.nameKey(plan[byHash[i].second].newPath), byHash[i].second);
      std::sort(keys.begin(), keys.end());
      for (std::size_t i = 1; i < keys.size(); ++i) {
        if (keys[i].first == keys[i - 1].first) shared[keys[i].second] = shared[keys[i - 1].second] = true;
      }
    }
    run = end;
  }
  for (std::size_t i = 0; i < plan.size(); ++i) {
    if (!shared[i] || plan[i].failed) continue;
    plan[i].failed = true;
    plan[i].errorText = plan[i].newPath + kSharedDestinationError;
  }
}

// A refused folder keeps its name, so the rows inside it, which address their items under
// its new name, would reach whatever else stands there. A walk lists a folder's contents
// right after the folder's own row, so one pass finds them.
void markRowsInsideRefusedFolders(RenamePlan& plan) {
  const RenameEntry* refused = nullptr;
  for (RenameEntry& entry : plan) {
    if (refused != nullptr && liesInside(entry, *refused)) {
      if (!entry.failed) {
        entry.failed = true;
        entry.errorText = folderKeepsItsNameError(refused->originalPath);
      }
      continue;
    }
    refused = entry.failed ? &entry : nullptr;
  }
}

}  // namespace

RenamePlan buildPlan(const RenameState& state, FileSystem& fileSystem) {
  RenamePlan plan;
  collectCandidates(state, plan, fileSystem);
  // Exactly: a change of letter case alone is a change.
  plan.erase(std::remove_if(plan.begin(), plan.end(),
                            [](const RenameEntry& entry) { return entry.currentPath == entry.newPath; }),
             plan.end());
  markSharedDestinations(plan, fileSystem);
  markRowsInsideRefusedFolders(plan);
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

// Records the usable rows of a plan, the run as it will go, each with its item as it is
// before anything moves: what tells it apart, should the run be cut short, from another
// item that later takes its name. A journal that cannot even be described (no memory) is
// given up; the run goes on.
void beginJournal(RunJournal& journal, const RenameState& state, const RenamePlan& plan, FileSystem& fileSystem) {
  if (!journal.active()) return;
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
      rows.push_back({entry.baseFolder + entry.currentPath, entry.baseFolder + entry.newPath, RowOutcome::pending,
                      fileSystem.stamp(entry.baseFolder + entry.originalPath)});
    }
  } catch (const std::bad_alloc&) {
    journal.abandon();
    return;
  }
  journal.begin(head, rows);
}

// The names that items of this run have left. A row whose item lay at or below one of
// them was planned for an item that has moved on (a nested selection plans an item twice,
// and its first row takes it away): whatever stands there now is another item.
class VacatedNames {
 public:
  explicit VacatedNames(FileSystem& fileSystem) : fileSystem_(fileSystem) {}

  void left(const std::wstring& from, const std::wstring& to) {
    std::wstring key = fileSystem_.nameKey(from);
    if (key != fileSystem_.nameKey(to)) keys_.insert(std::move(key));  // a change of case leaves nothing
  }

  bool holds(const std::wstring& path) const {
    if (keys_.empty()) return false;
    const std::wstring key = fileSystem_.nameKey(path);
    const std::wstring_view whole = key;
    for (std::size_t end = whole.find(L'\\');; end = whole.find(L'\\', end + 1)) {
      if (keys_.count(whole.substr(0, end)) != 0) return true;
      if (end == std::wstring_view::npos) return false;
    }
  }

 private:
  FileSystem& fileSystem_;
  std::set<std::wstring, std::less<>> keys_;
};

}  // namespace

void performRename(RenameState& state, PageSurface& page, FileSystem& fileSystem) {
  RenamePlan plan = buildPlan(state, fileSystem);
  const std::uint32_t usable = usableRows(plan);
  // Made before the question, which tells whether the run can be taken back.
  RunJournal journal(usable != 0 ? state.journals : nullptr);
  const std::wstring question = formatCount(
      journal.active() ? L"This operation will rename %d file(s). You can take it back afterwards with \""
                         LARK_WIDE(LARK_UNDO_TITLE) L"\" in the Start menu.\n\nAre you sure you wish to continue?"
                       : L"Renaming cannot be undone! This operation will rename %d file(s).\n\nAre you sure you wish "
                         L"to continue?",
      usable);
  if (!page.askYesNo(question, L"Rename")) {
    journal.abandon();
    return;
  }

  // A renamed item that was selected takes its new path in the selection, in the place
  // of the old one: the first exact match among the files, else among the folders.
  SelectionIndex files(state.files);
  SelectionIndex folders(state.folders);
  // Written and on the disk before the first rename, so that a run cut short by a crash
  // can still be taken back.
  beginJournal(journal, state, plan, fileSystem);
  std::size_t journalRow = 0;
  const RenameEntry* keptItsName = nullptr;  // the last folder row not renamed, refused or failed
  VacatedNames vacated(fileSystem);
  std::unique_ptr<RunProgress> progress = page.startProgress(L"Renaming");
  bool cancelled = false;
  for (RenameEntry& entry : plan) {
    const bool inside = keptItsName != nullptr && liesInside(entry, *keptItsName);
    if (entry.failed) {
      if (!inside) keptItsName = &entry;
      continue;
    }
    const std::size_t row = journalRow++;
    // Asked between rows only: the row being renamed always finishes.
    cancelled = cancelled || (progress && !progress->next(row, usable, entry.baseFolder + entry.currentPath));
    if (cancelled) {
      entry.failed = true;
      entry.errorText = kCancelledError;
      journal.failed(row);
      continue;
    }
    if (inside) {
      // Never attempted: under the folder's new name another item may stand.
      entry.failed = true;
      entry.errorText = kFileOperationError;
      journal.failed(row);
      continue;
    }
    keptItsName = nullptr;
    std::wstring before = entry.baseFolder + entry.currentPath;
    std::wstring after = entry.baseFolder + entry.newPath;
    if (vacated.holds(before)) {
      entry.failed = true;
      entry.errorText = kFileOperationError;
      journal.failed(row);
      continue;
    }
    if (fileSystem.renameItem(before, after) != 0) {
      entry.failed = true;
      entry.errorText = kFileOperationError;
      journal.failed(row);
      keptItsName = &entry;
      continue;
    }
    journal.renamed(row);
    vacated.left(before, after);
    if (files.replace(before, after)) continue;
    before.push_back(L'\\');
    after.push_back(L'\\');
    folders.replace(before, after);
  }
  journal.finish();
  progress.reset();  // closed before the listing opens
  state.exampleIndex = 0;
  showPlan(L"Renamed %d %s:", state, page, plan, L"No files were renamed:");
}

}  // namespace lark
