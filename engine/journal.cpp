// Writing and reading rename journals.
#include "engine/journal.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "engine/path_helpers.h"

namespace lark {

const char kJournalMagic[] = "Larkspindle rename journal 1";

namespace {

const char kMagicStem[] = "Larkspindle rename journal ";
constexpr std::uint64_t kForceEvery = 1000;  // milliseconds between forcing outcomes to the disk
// A Match or Replace as long as an edit box takes (32,767 units) can outgrow a line once
// written as UTF-8 with escapes; only the start of one that does is kept, for display.
constexpr std::size_t kLongestShownText = kLongestJournalLine - 1024;

// Every word of the format, typed once for the writer, the reader and the settlement.
namespace key {
constexpr char time[] = "time";
constexpr char kind[] = "kind";
constexpr char folder[] = "folder";
constexpr char match[] = "match";
constexpr char replace[] = "replace";
constexpr char renameFolders[] = "rename folders";
constexpr char searchSubfolders[] = "search subfolders";
constexpr char rows[] = "rows";
constexpr char row[] = "row";
constexpr char renamed[] = "renamed";
constexpr char failed[] = "failed";
constexpr char settled[] = "settled";
constexpr char untouched[] = "untouched";
constexpr char unsure[] = "unsure";
constexpr char end[] = "end";
constexpr char file[] = "file";  // a stamp: "file", size, time; or "folder"
constexpr char yes[] = "yes";
constexpr char no[] = "no";
}  // namespace key

std::string line(const char* key, const std::wstring& value) {
  return std::string(key) + '\t' + toJournalText(value) + '\n';
}

std::string row(const char* key, std::size_t index) { return std::string(key) + '\t' + std::to_string(index + 1); }

// A stamp as the fields that follow a row: none when unknown.
std::string stampFields(const ItemStamp& stamp) {
  if (!stamp.known) return std::string();
  if (stamp.folder) return std::string("\t") + key::folder;
  return std::string("\t") + key::file + '\t' + std::to_string(stamp.size) + '\t' + std::to_string(stamp.written);
}

std::wstring shownText(const std::wstring& text) {
  std::wstring shown = text;
  while (toJournalText(shown).size() > kLongestShownText) shown.resize(shown.size() / 2);
  if (shown.size() != text.size()) shown += L'\u2026';
  return shown;
}

// Splits a line at its tabs.
std::vector<std::string> fieldsOf(std::string_view text) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = text.find('\t', start);
    fields.emplace_back(text.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
    if (tab == std::string_view::npos) return fields;
    start = tab + 1;
  }
}

bool readNumber(std::string_view text, std::uint64_t& value) {
  if (text.empty() || text.size() > 19 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return false;
  }
  value = 0;
  for (const char digit : text) value = value * 10 + static_cast<std::uint64_t>(digit - '0');
  return true;
}

// Whether a line begins with a key and a tab; rest is what follows.
bool keyed(std::string_view line, const char* key, std::string_view& rest) {
  const std::string_view name(key);
  if (line.size() <= name.size() || line.compare(0, name.size(), name) != 0 || line[name.size()] != '\t') return false;
  rest = line.substr(name.size() + 1);
  return true;
}

// Reads a journal line by line; each failure names the line.
class JournalParser {
 public:
  // keepRows: read every row's paths; otherwise only count the rows and their outcomes,
  // which is all a list of runs shows.
  JournalParser(JournalRun& run, std::wstring& error, bool keepRows) : run_(run), error_(error), keepRows_(keepRows) {}

  bool parse(const std::string& text) {
    if (text.size() > kLargestJournal) {
      error_ = L"the journal is larger than any Larkspindle writes";
      return false;
    }
    std::size_t start = 0;
    while (start < text.size()) {
      ++number_;
      const std::size_t end = text.find('\n', start);
      const bool whole = end != std::string::npos;
      std::string_view current = std::string_view(text).substr(start, whole ? end - start : std::string::npos);
      start = whole ? end + 1 : text.size();
      if (current.size() > kLongestJournalLine) return fail(L"the line is longer than any Larkspindle writes");
      if (!current.empty() && current.back() == '\r') current.remove_suffix(1);
      if (!whole && stage_ == Stage::outcomes) break;  // the last outcome, cut off by a crash
      if (!whole) return fail(L"the journal ends inside its list of rows");
      if (!take(current)) return false;
      run_.wholeText = start;
    }
    if (stage_ != Stage::outcomes && stage_ != Stage::ended) {
      ++number_;
      return fail(L"the journal ends before its list of rows does");
    }
    run_.ended = stage_ == Stage::ended;
    run_.summaryRenamed = keepRows_ ? 0 : renamed_;
    return true;
  }

 private:
  enum class Stage { magic, head, rows, outcomes, ended };

  bool fail(const std::wstring& why) {
    error_ = L"line " + std::to_wstring(number_) + L": " + why;
    return false;
  }

  bool text(const std::string& field, std::wstring& value) {
    return fromJournalText(field, value) || fail(L"the text is not UTF-8 as Larkspindle writes it");
  }

  bool option(const std::string& field, bool& value) {
    if (field != key::yes && field != key::no) return fail(L"an option is neither yes nor no");
    value = field == key::yes;
    return true;
  }

  // The fields of a stamp from position at on: none, "folder", or "file", size, time.
  static bool stampOf(const std::vector<std::string>& fields, std::size_t at, ItemStamp& stamp) {
    if (fields.size() == at) return true;
    if (fields.size() == at + 1 && fields[at] == key::folder) {
      stamp.known = stamp.folder = true;
      return true;
    }
    stamp.known = fields.size() == at + 3 && fields[at] == key::file && readNumber(fields[at + 1], stamp.size) &&
                  readNumber(fields[at + 2], stamp.written);
    return stamp.known;
  }

  bool take(std::string_view current) {
    // Most lines of a large journal are rows and plain outcomes: read without splitting.
    std::string_view rest;
    if (stage_ == Stage::rows && !keepRows_ && keyed(current, key::row, rest)) return countRow(rest);
    std::uint64_t index = 0;
    if (stage_ == Stage::outcomes && keyed(current, key::renamed, rest) && readNumber(rest, index)) {
      return outcome(index, RowOutcome::renamed, ItemStamp());
    }
    if (stage_ == Stage::outcomes && keyed(current, key::failed, rest) && readNumber(rest, index)) {
      return outcome(index, RowOutcome::failed, ItemStamp());
    }
    const std::vector<std::string> fields = fieldsOf(current);
    switch (stage_) {
      case Stage::magic:
        if (current == kJournalMagic) {
          stage_ = Stage::head;
          return true;
        }
        if (current.compare(0, sizeof kMagicStem - 1, kMagicStem) == 0) {
          return fail(L"the journal is of another version than this program reads (1)");
        }
        return fail(L"this is not a Larkspindle rename journal");
      case Stage::head:
        return headLine(fields);
      case Stage::rows:
        return rowLine(fields);
      case Stage::outcomes:
        return outcomeLine(fields);
      case Stage::ended:
        return fail(L"the journal goes on after its end");
    }
    return false;
  }

  bool headLine(const std::vector<std::string>& fields) {
    if (fields.size() != 2) return fail(L"a line of the head is not a name and a value");
    const std::string& name = fields[0];
    JournalHead& head = run_.head;
    if (name == key::time) return text(fields[1], head.time);
    if (name == key::kind) return text(fields[1], head.kind);
    if (name == key::match) return text(fields[1], head.match);
    if (name == key::replace) return text(fields[1], head.replace);
    if (name == key::renameFolders) return option(fields[1], head.renameFolders);
    if (name == key::searchSubfolders) return option(fields[1], head.searchSubfolders);
    if (name == key::folder) {
      std::wstring folder;
      if (!text(fields[1], folder)) return false;
      if (!isSoundPath(folder, true)) return fail(L"the folder is not a full path to a folder");
      head.folders.push_back(std::move(folder));
      return true;
    }
    if (name == key::rows) {
      if (!readNumber(fields[1], rowCount_)) return fail(L"the number of rows is not a number");
      if (head.folders.empty()) return fail(L"the journal names no folder");
      if (head.kind != L"rename" && head.kind.compare(0, 5, L"undo ") != 0) return fail(L"the kind of run is unknown");
      const std::size_t expected = static_cast<std::size_t>(std::min<std::uint64_t>(rowCount_, 1u << 20));
      if (keepRows_) run_.rows.reserve(expected);
      outcomes_.reserve(expected);
      stage_ = rowCount_ == 0 ? Stage::outcomes : Stage::rows;
      return true;
    }
    return fail(L"the head holds an unknown line");
  }

  bool rowLine(const std::vector<std::string>& fields) {
    JournalRow row;
    if (fields.size() < 3 || fields[0] != key::row || !stampOf(fields, 3, row.stamp)) {
      return fail(L"a row is not \"row\", its old and its new path");
    }
    if (!text(fields[1], row.from) || !text(fields[2], row.to)) return false;
    if (!liesBelowFolders(row.from, run_.head.folders) || !liesBelowFolders(row.to, run_.head.folders)) {
      return fail(L"a row names a path outside the run's folders, or one no file can have");
    }
    run_.rows.push_back(std::move(row));
    return rowRead();
  }

  // A row counted, not read: "row", two paths, and a stamp of none, one or three fields.
  bool countRow(std::string_view rest) {
    std::size_t tabs = 0;
    for (const char* at = rest.data(), *end = at + rest.size();
         (at = static_cast<const char*>(std::memchr(at, '\t', static_cast<std::size_t>(end - at)))) != nullptr; ++at) {
      ++tabs;
    }
    if (tabs != 1 && tabs != 2 && tabs != 4) return fail(L"a row is not \"row\", its old and its new path");
    return rowRead();
  }

  bool rowRead() {
    outcomes_.push_back(RowOutcome::pending);
    if (outcomes_.size() == rowCount_) stage_ = Stage::outcomes;
    return true;
  }

  // Records a row's outcome; index counts from 1.
  bool outcome(std::uint64_t index, RowOutcome outcome, const ItemStamp& stamp) {
    if (index == 0 || index > outcomes_.size()) return fail(L"an outcome names no row of the journal");
    if (outcomes_[index - 1] != RowOutcome::pending) return fail(L"a row has two outcomes");
    outcomes_[index - 1] = outcome;
    if (outcome == RowOutcome::renamed) ++renamed_;
    if (keepRows_) {
      JournalRow& row = run_.rows[index - 1];
      row.outcome = outcome;
      if (stamp.known) row.stamp = stamp;
    }
    return true;
  }

  bool outcomeLine(const std::vector<std::string>& fields) {
    if (fields.size() == 1 && fields[0] == key::end) {
      stage_ = Stage::ended;
      return true;
    }
    std::uint64_t index = 0;
    if (fields.size() < 2 || !readNumber(fields[1], index) || index == 0 || index > outcomes_.size()) {
      return fail(L"an outcome names no row of the journal");
    }
    const std::string& kind = fields[0];
    ItemStamp stamp;
    if (kind == key::failed && fields.size() == 2) return outcome(index, RowOutcome::failed, stamp);
    if (kind == key::settled && fields.size() == 3) {
      if (fields[2] == key::renamed) return outcome(index, RowOutcome::renamed, stamp);
      if (fields[2] == key::untouched) return outcome(index, RowOutcome::untouched, stamp);
      if (fields[2] == key::unsure) return outcome(index, RowOutcome::unsure, stamp);
    }
    // Earlier journals carried the stamp here, taken just before the rename.
    if (kind == key::renamed && stampOf(fields, 2, stamp)) return outcome(index, RowOutcome::renamed, stamp);
    if (outcomes_[index - 1] != RowOutcome::pending) return fail(L"a row has two outcomes");
    return fail(L"an outcome is not one that Larkspindle writes");
  }

  JournalRun& run_;
  std::wstring& error_;
  bool keepRows_;
  Stage stage_ = Stage::magic;
  std::size_t number_ = 0;
  std::uint64_t rowCount_ = 0;
  std::vector<RowOutcome> outcomes_;  // one for each row read
  std::size_t renamed_ = 0;
};

}  // namespace

std::size_t JournalRun::renamedRows() const {
  return summaryRenamed + static_cast<std::size_t>(std::count_if(
                              rows.begin(), rows.end(), [](const JournalRow& row) { return row.outcome == RowOutcome::renamed; }));
}

bool parseJournal(const std::string& text, JournalRun& run, std::wstring& error) {
  run = JournalRun();
  return JournalParser(run, error, true).parse(text);
}

bool summarizeJournal(const std::string& text, JournalRun& run, std::wstring& error) {
  run = JournalRun();
  return JournalParser(run, error, false).parse(text);
}

std::string settledLines(const JournalRun& run, const std::vector<std::size_t>& settled) {
  std::string lines;
  for (const std::size_t i : settled) {
    const RowOutcome outcome = run.rows[i].outcome;
    lines += row(key::settled, i) + '\t' +
             (outcome == RowOutcome::renamed ? key::renamed : outcome == RowOutcome::unsure ? key::unsure : key::untouched) +
             '\n';
  }
  return lines + key::end + '\n';
}

bool startsAsJournal(const std::string& text) {
  const std::size_t length = sizeof kJournalMagic - 1;
  return text.compare(0, length, kJournalMagic) == 0 && text.size() > length &&
         (text[length] == '\n' || text.compare(length, 2, "\r\n") == 0);
}

RunJournal::RunJournal(JournalFolder* folder) : folder_(folder) {
  if (!folder_) return;
  try {
    file_ = folder_->create(name_);
  } catch (...) {
    // No journal: the run goes on unrecorded.
  }
}

void RunJournal::begin(const JournalHead& head, const std::vector<JournalRow>& rows) {
  silently([&] {
    std::string text = std::string(kJournalMagic) + '\n';
    text += line(key::time, folder_->now());
    text += line(key::kind, head.kind);
    for (const std::wstring& name : head.folders) text += line(key::folder, name);
    text += line(key::match, shownText(head.match));
    text += line(key::replace, shownText(head.replace));
    text += std::string(key::renameFolders) + '\t' + (head.renameFolders ? key::yes : key::no) + '\n';
    text += std::string(key::searchSubfolders) + '\t' + (head.searchSubfolders ? key::yes : key::no) + '\n';
    text += std::string(key::rows) + '\t' + std::to_string(rows.size()) + '\n';
    for (const JournalRow& entry : rows) {
      text += std::string(key::row) + '\t' + toJournalText(entry.from) + '\t' + toJournalText(entry.to) +
              stampFields(entry.stamp) + '\n';
    }
    write(text, true);
  });
  if (!file_) return;
  try {
    prune();
  } catch (...) {
    // A folder that cannot be pruned keeps its runs; this one is recorded all the same.
  }
}

void RunJournal::prune() {
  if (!folder_->prunable()) return;
  std::vector<std::wstring> names = folder_->names();
  std::sort(names.begin(), names.end());
  std::string start;
  for (std::size_t i = 0; i + kJournalsKept < names.size(); ++i) {
    if (folder_->read(names[i], 64, start) && startsAsJournal(start)) folder_->remove(names[i]);
  }
}

void RunJournal::abandon() {
  if (!file_) return;
  file_.reset();
  try {
    folder_->remove(name_);
  } catch (...) {
  }
}

RunJournal::~RunJournal() {
  // A run ended by an exception has written its outcomes: they go to the disk, and the
  // Undo program settles the rest.
  if (!file_ || !unforced_) return;
  try {
    file_->append(std::string(), true);
  } catch (...) {
  }
}

void RunJournal::renamed(std::size_t index) {
  silently([&] { add(row(key::renamed, index)); });
}

void RunJournal::failed(std::size_t index) {
  silently([&] { add(row(key::failed, index)); });
}

void RunJournal::finish() {
  silently([&] { write(std::string(key::end) + '\n', true); });
  file_.reset();
}

void RunJournal::add(const std::string& text) {
  write(text + '\n', folder_->milliseconds() - lastDurable_ >= kForceEvery);
}

void RunJournal::write(const std::string& text, bool durable) {
  if (!file_ || !file_->append(text, durable)) {
    file_.reset();  // the record is lost, never the run
    return;
  }
  unforced_ = !durable;
  if (durable) lastDurable_ = folder_->milliseconds();
}

}  // namespace lark
