// The rename journal: what a Rename run is about to do, written and forced to the disk
// before its first rename, then what each row came to. Plain UTF-8 text, one record per
// line, so that a person can read it and a crash loses at most the last second of
// outcomes, which the disk itself can settle afterwards.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/platform.h"

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

enum class RowOutcome { pending, renamed, failed, untouched };

struct JournalRow {
  std::wstring from;  // the full path when the row's own rename ran
  std::wstring to;    // the full path it was renamed to
  RowOutcome outcome = RowOutcome::pending;
  ItemStamp stamp;    // the item as it was just before its rename, when known
};

struct JournalRun {
  JournalHead head;
  std::vector<JournalRow> rows;
  bool ended = false;  // the run finished, or has been settled since
  std::size_t renamedRows() const;
};

// Writes one run's journal. Whatever fails (no folder, no rights, a full disk, no memory)
// turns the journal silent and never reaches the run: a rename never waits on its record.
class RunJournal {
 public:
  // Writes the head and every row, and forces them to the disk. folder may be null.
  RunJournal(JournalFolder* folder, const JournalHead& head, const std::vector<JournalRow>& rows);
  ~RunJournal();
  RunJournal(const RunJournal&) = delete;
  RunJournal& operator=(const RunJournal&) = delete;

  bool active() const { return file_ != nullptr; }
  // Outcomes of rows by position (from 0), buffered and written at least every second.
  void renamed(std::size_t row, const ItemStamp& stamp);
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
  void begin(const JournalHead& head, const std::vector<JournalRow>& rows);
  void add(const std::string& line);
  void write();

  JournalFolder* folder_;
  std::unique_ptr<JournalFile> file_;
  std::string pending_;
  std::uint64_t lastWrite_ = 0;
};

// The runs a folder keeps: the newest this many, older ones removed as a new one begins.
constexpr std::size_t kJournalsKept = 100;
// Limits past which a file is not a journal this program wrote.
constexpr std::size_t kLongestJournalLine = 65536;
constexpr std::size_t kLargestJournal = 128u << 20;

// Reads a journal's text; on failure returns false and says why in error.
bool parseJournal(const std::string& text, JournalRun& run, std::wstring& error);

// Outcome lines for the given rows (by position), settled after the run was cut short,
// and the end mark.
std::string settledLines(const JournalRun& run, const std::vector<std::size_t>& settled);

// UTF-8 with %XX for control characters and '%', %uXXXX for a lone surrogate; and back
// (false when the text is not what toJournalText makes).
std::string toJournalText(const std::wstring& text);
bool fromJournalText(const std::string& text, std::wstring& wide);

// True when path is absolute, holds no character a name cannot, no "." or ".." part,
// and lies strictly below one of the folders (compared without regard to case).
bool liesBelowFolders(const std::wstring& path, const std::vector<std::wstring>& folders);
// True when path starts with folder (compared without regard to case) and goes on.
bool liesBelow(const std::wstring& path, const std::wstring& folder);
// Equal but for letter case, as Windows compares names.
bool sameIgnoringCase(const std::wstring& a, const std::wstring& b);

}  // namespace lark
