// Arbitrary journals through the reader and the take-back. Besides crashes and sanitizer
// reports, it stops on a wrong answer: an accepted journal with a row outside its
// folders, a take-back that renames an item of a row the journal does not show as
// renamed, a list's summary that tells another story than the whole run, or a run that
// does not come back the same once written and read again.
#include <cstdlib>
#include <set>
#include <string>

#include "engine/journal.h"
#include "engine/take_back.h"
#include "tests/support/fakes.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

bool belowAFolder(const std::wstring& path, const std::vector<std::wstring>& folders) {
  for (const std::wstring& folder : folders) {
    if (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0) return true;
  }
  return false;
}

bool sameStamp(const lark::ItemStamp& a, const lark::ItemStamp& b) {
  return a.known == b.known && (!a.known || (a.folder == b.folder && a.size == b.size && a.written == b.written));
}

// Writes the run as the program writes runs, and reads it back.
void roundTrip(const lark::JournalRun& run) {
  using lark::RowOutcome;
  std::vector<std::size_t> settled;
  for (std::size_t i = 0; i < run.rows.size(); ++i) {
    const RowOutcome outcome = run.rows[i].outcome;
    if (outcome == RowOutcome::untouched || outcome == RowOutcome::unsure) settled.push_back(i);
  }
  if (!run.ended && !settled.empty()) return;  // settlement always ends a journal
  lark::fakes::MemoryJournalFolder folder;
  {
    lark::RunJournal journal(&folder);
    journal.begin(run.head, run.rows);
    for (std::size_t i = 0; i < run.rows.size(); ++i) {
      if (run.rows[i].outcome == RowOutcome::renamed) journal.renamed(i);
      if (run.rows[i].outcome == RowOutcome::failed) journal.failed(i);
    }
  }
  std::string& text = folder.journals.begin()->second;
  if (run.ended) text += lark::settledLines(run, settled);
  lark::JournalRun again;
  std::wstring error;
  require(lark::parseJournal(text, again, error));
  require(again.head.kind == run.head.kind && again.head.folders == run.head.folders &&
          again.head.renameFolders == run.head.renameFolders && again.head.searchSubfolders == run.head.searchSubfolders);
  require(again.ended == run.ended && again.rows.size() == run.rows.size());
  for (std::size_t i = 0; i < run.rows.size(); ++i) {
    require(again.rows[i].from == run.rows[i].from && again.rows[i].to == run.rows[i].to);
    require(again.rows[i].outcome == run.rows[i].outcome && sameStamp(again.rows[i].stamp, run.rows[i].stamp));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  lark::KeptRun kept;
  kept.name = L"run.txt";
  lark::JournalRun summary;
  std::wstring summaryError;
  const bool summarized = lark::summarizeJournal(text, summary, summaryError);
  if (!lark::parseJournal(text, kept.run, kept.error)) return 0;
  const lark::JournalRun& run = kept.run;
  // What the list shows of a run is what the whole run says.
  require(summarized && summary.ended == run.ended && summary.renamedRows() == run.renamedRows() &&
          summary.head.folders == run.head.folders && summary.head.kind == run.head.kind);
  require(!run.head.folders.empty());
  std::set<std::wstring> renamedFrom;  // where a take-back may find an item to move
  lark::fakes::MemoryFileSystem disk;
  for (const lark::JournalRow& row : run.rows) {
    require(belowAFolder(row.from, run.head.folders) && belowAFolder(row.to, run.head.folders));
    if (row.outcome == lark::RowOutcome::renamed) renamedFrom.insert(row.to);
    disk.addFile(row.to);
  }
  lark::fakes::RecordingFileSystem shell(disk);
  lark::takeBack(kept, shell, nullptr);
  for (const std::wstring& rename : shell.renames) {
    require(renamedFrom.count(rename.substr(0, rename.find(L" > "))) != 0);
  }
  roundTrip(run);
  return 0;
}
