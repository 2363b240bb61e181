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

std::wstring cannotTakeBack(const std::wstring& why) { return L"[ERROR: Cannot take back: " + why + L"]"; }

// Why a renamed row cannot go back now, or empty when it can. now: the new path's stamp.
std::wstring refusal(const JournalRow& row, const ItemStamp& now, FileSystem& fileSystem) {
  if (!now.known) return cannotTakeBack(L"the renamed item is no longer there");
  if (!sameItemName(fileSystem, row.from, row.to) && exists(fileSystem, row.from)) {
    return cannotTakeBack(L"another item now has the old name");
  }
  const ItemStamp& then = row.stamp;
  if (then.known && (then.folder != now.folder || (!now.folder && (then.size != now.size || then.written != now.written)))) {
    return cannotTakeBack(L"another item, or a changed one, now has the new name");
  }
  return std::wstring();
}

}  // namespace

std::vector<std::size_t> settleRun(JournalRun& run, FileSystem& fileSystem) {
  std::vector<std::size_t> settled;
  for (std::size_t i = 0; i < run.rows.size(); ++i) {
    JournalRow& row = run.rows[i];
    if (row.outcome != RowOutcome::pending) continue;
    const bool renamed = exists(fileSystem, row.to) && (sameItemName(fileSystem, row.from, row.to) || !exists(fileSystem, row.from));
    row.outcome = renamed ? RowOutcome::renamed : RowOutcome::untouched;
    settled.push_back(i);
  }
  run.ended = true;
  return settled;
}

std::vector<KeptRun> keptRuns(JournalFolder& journals, FileSystem& fileSystem) {
  std::vector<std::wstring> names = journals.names();
  std::sort(names.rbegin(), names.rend());
  std::vector<KeptRun> runs;
  for (const std::wstring& name : names) {
    KeptRun kept;
    kept.name = name;
    std::string text;
    if (!journals.read(name, kLargestJournal, text)) {
      kept.error = L"the journal cannot be read";
    } else if (parseJournal(text, kept.run, kept.error) && !kept.run.ended) {
      std::unique_ptr<JournalFile> file = journals.reopen(name);
      kept.inProgress = !file;
      if (file) {
        const std::vector<std::size_t> settled = settleRun(kept.run, fileSystem);
        file->append(settledLines(kept.run, settled), true);
      }
    }
    runs.push_back(std::move(kept));
  }
  return runs;
}

RenamePlan takeBack(const KeptRun& kept, FileSystem& fileSystem, JournalFolder* journals) {
  const JournalRun& run = kept.run;
  std::vector<const JournalRow*> renamed;
  for (auto row = run.rows.rbegin(); row != run.rows.rend(); ++row) {
    if (row->outcome == RowOutcome::renamed) renamed.push_back(&*row);
  }
  JournalHead head = run.head;
  head.kind = L"undo " + kept.name;
  std::vector<JournalRow> rows;
  rows.reserve(renamed.size());
  for (const JournalRow* row : renamed) rows.push_back({row->to, row->from, RowOutcome::pending, {}});
  RunJournal journal(renamed.empty() ? nullptr : journals, head, rows);

  RenamePlan plan;
  plan.reserve(renamed.size() + 1);
  std::uint32_t takenBack = 0;
  for (std::size_t i = 0; i < renamed.size(); ++i) {
    const JournalRow& row = *renamed[i];
    const std::wstring& folder = folderOf(run, row.to);
    RenameEntry entry = RenameEntry::candidate(folder, row.to.substr(folder.size()), row.to.substr(folder.size()));
    entry.newPath = row.from.substr(folder.size());
    const ItemStamp now = fileSystem.stamp(row.to);
    entry.errorText = refusal(row, now, fileSystem);
    if (entry.errorText.empty() && fileSystem.renameItem(row.to, row.from) != 0) entry.errorText = kFileOperationError;
    entry.failed = !entry.errorText.empty();
    if (entry.failed) {
      journal.failed(i);
    } else {
      journal.renamed(i, now);
      ++takenBack;
    }
    plan.push_back(std::move(entry));
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
