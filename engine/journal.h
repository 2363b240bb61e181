// The rename journal: what a Rename run is about to do, written and forced to the disk
// before its first rename, then what each row came to. Plain UTF-8 text, one record per
// line, so that a person can read it and a crash loses at most the last second of
// outcomes, which the disk itself can settle afterwards.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/path_helpers.h"
#include "engine/platform.h"
#include "engine/text.h"

namespace lark {

// The first line of every journal; a journal of another version is not read.
extern const char kJournalMagic[];  // "Larkspindle rename journal 1"

struct JournalHead {
  std::wstring time;     // when the run began, as the journal folder tells it
  std::wstring kind;     // "rename", or "undo " and the name of the journal taken back
  std::vector<std::wstring> folders;  // the run's folders, each ending in a backslash
  std::wstring match;
  std::wstring replace;
  bool renameFolders = false;
  bool searchSubfolders = false;
};

// unsure: settled after a run was cut short, where the disk cannot tell whether the row
// was renamed; such a row is never taken back.
enum class RowOutcome { pending, renamed, failed, untouched, unsure };

struct JournalRow {
  std::wstring from;  // the full path when the row's own rename ran
  std::wstring to;    // the full path it was renamed to
  RowOutcome outcome = RowOutcome::pending;
  ItemStamp stamp;    // the item as it was before the run, when known
};

struct JournalRun {
  JournalHead head;
  std::vector<JournalRow> rows;
  bool ended = false;         // the run finished, or has been settled since
  std::size_t wholeText = 0;  // bytes up to the end of the last whole line
  std::size_t summaryRenamed = 0;  // rows renamed, where only a summary was read
  std::size_t renamedRows() const;
};

// Writes one run's journal. Whatever fails (no folder, no rights, a full disk, no memory)
// turns the journal silent and never reaches the run: a rename never waits on its record.
class RunJournal {
 public:
  // Makes a new, empty journal in folder, which may be null.
  explicit RunJournal(JournalFolder* folder);
  ~RunJournal();
  RunJournal(const RunJournal&) = delete;
  RunJournal& operator=(const RunJournal&) = delete;

  // Whether the run is being recorded.
  bool active() const { return file_ != nullptr; }
  // Writes the head and every row and forces them to the disk; then, where the folder
  // allows, removes the oldest runs.
  void begin(const JournalHead& head, const std::vector<JournalRow>& rows);
  // The run will not happen: its journal goes.
  void abandon();
  // Outcomes of rows by position (from 0), each written as it comes, so that a process
  // that is ended leaves nothing to guess; forced to the disk at least every second.
  void renamed(std::size_t row);
  void failed(std::size_t row);
  // Marks the run finished and forces everything to the disk.
  void finish();

 private:
  // Runs a step of the record; any failure in it (out of memory, say) silences the journal.
  template <typename Step>
  void silently(Step step) {
    if (!file_) return;
    try {
      step();
    } catch (...) {
      file_.reset();
    }
  }
  void prune();
  void add(const std::string& line);
  void write(const std::string& text, bool durable);

  JournalFolder* folder_;
  std::unique_ptr<JournalFile> file_;
  std::wstring name_;
  std::uint64_t lastDurable_ = 0;
  bool unforced_ = false;  // written since the disk was last forced
};

// The runs a folder keeps: the newest this many, older ones removed as a new one begins.
constexpr std::size_t kJournalsKept = 100;
// Limits past which a file is not a journal this program wrote.
constexpr std::size_t kLongestJournalLine = 65536;
constexpr std::size_t kLargestJournal = 128u << 20;

// Reads a journal's text; on failure returns false and says why in error.
bool parseJournal(const std::string& text, JournalRun& run, std::wstring& error);
// Reads what a list of runs shows, the head and how many rows were renamed, without
// reading or holding the rows' paths; a row's paths are judged when the run is read whole.
bool summarizeJournal(const std::string& text, JournalRun& run, std::wstring& error);

// Outcome lines for the given rows (by position), settled after the run was cut short,
// and the end mark.
std::string settledLines(const JournalRun& run, const std::vector<std::size_t>& settled);

// Whether a text begins with the journal's first line: the only files ever removed.
bool startsAsJournal(const std::string& text);

}  // namespace lark
