// Settling, listing and taking back journaled runs.
#include "engine/take_back.h"

#include <algorithm>

#include "engine/rename_actions.h"

namespace lark {

namespace {

bool exists(FileSystem& fileSystem, const std::wstring& path) { return fileSystem.attributes(path) != kInvalidAttributes; }

// Whether two paths name one item, as the file system compares names: a rename that
// changed only letter case leaves the old name taken by the item itself.
bool sameItemName(FileSystem& fileSystem, const std::wstring& a, const std::wstring& b) {
  return fileSystem.nameKey(a) == fileSystem.nameKey(b);
}

// The run's folder that a path lies below, for the listing's relative paths.
const std::wstring& folderOf(const JournalRun& run, const std::wstring& path) {
  for (const std::wstring& folder : run.head.folders) {
    if (liesBelow(path, folder)) return folder;
  }
  return run.head.folders.front();  // the journal's reader has made sure one holds it
}

// Whether the disk still shows the item the run recorded (any item, when none was).
bool sameItem(const ItemStamp& then, const ItemStamp& now) {
  return !then.known || (now.known && then.folder == now.folder &&
                         (now.folder || (then.size == now.size && then.written == now.written)));
}

std::wstring cannotTakeBack(const std::wstring& why) { return L"[ERROR: Cannot take back: " + why + L"]"; }

// Why a renamed row cannot go back now, or empty when it can. now: the new path's stamp.
std::wstring refusal(const JournalRow& row, const ItemStamp& now, FileSystem& fileSystem) {
  if (!now.known) return cannotTakeBack(L"the renamed item is no longer there");
  if (!sameItemName(fileSystem, row.from, row.to) && exists(fileSystem, row.from)) {
    return cannotTakeBack(L"another item now has the old name");
  }
  if (!sameItem(row.stamp, now)) return cannotTakeBack(L"another item, or a changed one, now has the new name");
  return std::wstring();
}

}  // namespace

std::vector<std::size_t> settleRun(JournalRun& run, FileSystem& fileSystem) {
  std::vector<std::size_t> settled;
  for (std::size_t i = 0; i < run.rows.size(); ++i) {
    JournalRow& row = run.rows[i];
    if (row.outcome != RowOutcome::pending) continue;
    const ItemStamp atNew = fileSystem.stamp(row.to);
    const bool oldTaken = !sameItemName(fileSystem, row.from, row.to) && exists(fileSystem, row.from);
    if (!atNew.known && oldTaken) {
      row.outcome = RowOutcome::untouched;
    } else if (atNew.known && !oldTaken && row.stamp.known && sameItem(row.stamp, atNew)) {
      row.outcome = RowOutcome::renamed;
    } else {
      // Both names taken (a chain of renames, or another item at the new name), neither
      // (the item went along with its folder), or an item the journal cannot vouch for:
      // the disk cannot tell, so the row is never taken back.
      row.outcome = RowOutcome::unsure;
    }
    settled.push_back(i);
  }
  run.ended = true;
  return settled;
}

namespace {

// Settles a run cut short, holding the only right to write its journal: the run may
// have ended since the journal was first read, and another Undo program may be at it.
void settle(KeptRun& kept, JournalFolder& journals, FileSystem& fileSystem) {
  std::unique_ptr<JournalFile> file = journals.reopen(kept.name);
  if (!file) {
    kept.inProgress = true;
    return;
  }
  std::string text;
  if (!journals.read(kept.name, kLargestJournal, text)) {
    kept.error = L"the journal cannot be read";
    return;
  }
  kept.source = nullptr;  // read whole here
  if (!parseJournal(text, kept.run, kept.error) || kept.run.ended) return;
  // A line that a crash cut off goes first, so that the settlement starts on a line of its own.
  if (kept.run.wholeText != text.size() && !file->cut(kept.run.wholeText)) return;
  const std::vector<std::size_t> settled = settleRun(kept.run, fileSystem);
  file->append(settledLines(kept.run, settled), true);
}

}  // namespace

std::vector<KeptRun> keptRuns(JournalFolder& journals, FileSystem& fileSystem) {
  std::vector<std::wstring> names = journals.names();
  std::sort(names.rbegin(), names.rend());
  std::vector<KeptRun> runs;
  for (const std::wstring& name : names) {
    KeptRun kept;
    kept.name = name;
    // The newest run, the one taken back most often, is read whole, so that a fault in
    // its rows is told before anything is asked; the others when they are taken back.
    const bool whole = runs.empty();
    kept.source = whole ? nullptr : &journals;
    std::string text;
    if (!journals.read(name, kLargestJournal, text)) {
      kept.error = L"the journal cannot be read";
    } else if ((whole ? parseJournal(text, kept.run, kept.error) : summarizeJournal(text, kept.run, kept.error)) &&
               !kept.run.ended) {
      settle(kept, journals, fileSystem);
    }
    runs.push_back(std::move(kept));
  }
  return runs;
}

RenamePlan takeBack(const KeptRun& kept, FileSystem& fileSystem, JournalFolder* journals, RunProgress* progress) {
  JournalRun whole;
  if (kept.source != nullptr) {
    std::string text;
    std::wstring error = L"the journal cannot be read";
    if (!kept.source->read(kept.name, kLargestJournal, text) || !parseJournal(text, whole, error)) {
      RenamePlan refused{RenameEntry::title(L"Nothing was taken back:"), RenameEntry::candidate(L"", kept.name, kept.name)};
      refused[1].failed = true;
      refused[1].errorText = cannotTakeBack(error);
      return refused;
    }
  }
  const JournalRun& run = kept.source != nullptr ? whole : kept.run;
  std::vector<const JournalRow*> listed;  // renamed rows, and those the disk could not settle
  for (auto row = run.rows.rbegin(); row != run.rows.rend(); ++row) {
    if (row->outcome == RowOutcome::renamed || row->outcome == RowOutcome::unsure) listed.push_back(&*row);
  }
  // The rows that may go back, each with its item as the disk shows it before anything
  // moves; the others are refused now, whatever the disk shows.
  RenamePlan plan;
  plan.reserve(listed.size() + 1);
  JournalHead head = run.head;
  head.kind = L"undo " + kept.name;
  std::vector<JournalRow> rows;
  rows.reserve(listed.size());
  for (const JournalRow* row : listed) {
    const std::wstring& folder = folderOf(run, row->to);
    RenameEntry entry = RenameEntry::candidate(folder, row->to.substr(folder.size()), row->to.substr(folder.size()));
    if (!liesBelow(row->from, folder)) {
      // A rename never leaves its folder: a journal that says one did is not followed.
      entry.errorText = cannotTakeBack(L"its old and new names lie in different folders");
    } else {
      entry.newPath = row->from.substr(folder.size());
      if (row->outcome == RowOutcome::unsure) {
        entry.errorText = cannotTakeBack(L"the run was cut short, and the disk cannot tell whether this row was renamed");
      } else {
        rows.push_back({row->to, row->from, RowOutcome::pending, fileSystem.stamp(row->to)});
      }
    }
    entry.failed = !entry.errorText.empty();
    plan.push_back(std::move(entry));
  }
  RunJournal journal(rows.empty() ? nullptr : journals);
  journal.begin(head, rows);

  std::uint32_t takenBack = 0;
  std::size_t journalRow = 0;
  bool cancelled = false;
  for (std::size_t i = 0; i < listed.size(); ++i) {
    RenameEntry& entry = plan[i];
    if (entry.failed) continue;
    const JournalRow& row = *listed[i];
    const std::size_t at = journalRow++;
    cancelled = cancelled || (progress != nullptr && !progress->next(at, rows.size(), row.to));
    if (cancelled) {
      entry.failed = true;
      entry.errorText = cannotTakeBack(L"the take-back was cancelled before this row");
      journal.failed(at);
      continue;
    }
    // Judged at its turn: an earlier row of the take-back may have freed its old name.
    entry.errorText = refusal(row, fileSystem.stamp(row.to), fileSystem);
    if (entry.errorText.empty() && fileSystem.renameItem(row.to, row.from) != 0) entry.errorText = kFileOperationError;
    entry.failed = !entry.errorText.empty();
    if (entry.failed) {
      journal.failed(at);
    } else {
      journal.renamed(at);
      ++takenBack;
    }
  }
  journal.finish();
  std::wstring heading = L"Nothing was taken back:";
  if (takenBack != 0) heading = formatCount(L"Took back %d %s:", takenBack, takenBack == 1 ? L"rename" : L"renames");
  plan.insert(plan.begin(), RenameEntry::title(std::move(heading)));
  return plan;
}

RunSummary summarize(const KeptRun& kept) {
  RunSummary summary;
  const JournalHead& head = kept.run.head;
  summary.time = head.time.empty() ? kept.name : head.time;
  if (!kept.error.empty()) {
    summary.change = L"Unreadable journal: " + kept.error;
    return summary;
  }
  summary.folder = head.folders.front();
  if (head.folders.size() > 1) summary.folder += L" (+" + std::to_wstring(head.folders.size() - 1) + L")";
  summary.renamed = kept.inProgress ? L"running" : std::to_wstring(kept.run.renamedRows());
  const bool undo = head.kind != L"rename";
  summary.change = (undo ? L"Undo of " : L"") + head.match + L" \u2192 " + head.replace;
  return summary;
}

}  // namespace lark
