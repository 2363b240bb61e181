// Taking a journaled run back: runs cut short settled from the disk, the runs a folder
// keeps, and one run renamed back row by row without ever overwriting an item.
#pragma once

#include <string>
#include <vector>

#include "engine/journal.h"
#include "engine/platform.h"
#include "engine/rename_plan.h"

namespace lark {

struct KeptRun {
  std::wstring name;
  JournalRun run;           // whole, or only what a list shows when source is set
  std::wstring error;       // why the journal cannot be read; empty when it can
  bool inProgress = false;  // its run still holds the journal open
  JournalFolder* source = nullptr;  // where the rest of the run is read from when needed
};

// Gives every row without an outcome the one the disk shows: renamed when its new path
// exists and its old one does not (for a change of letter case alone, when the new path
// exists), untouched otherwise. Returns the positions of the rows it settled.
std::vector<std::size_t> settleRun(JournalRun& run, FileSystem& fileSystem);

// Every journal of the folder, newest first: the newest whole, the others with what a list
// shows of each, their head and how many rows were renamed, not the rows themselves. A
// run that was cut short and is no longer held is settled, and its settlement added to
// its journal.
std::vector<KeptRun> keptRuns(JournalFolder& journals, FileSystem& fileSystem);

// Renames every renamed row of a run back, in reverse order, one rename per row, and
// only when the new path still holds the item the run renamed and the old path is free.
// Journaled in journals (may be null) as a run of its own. A run kept only as a summary is
// read whole from its source first. Returns the listing: a title row, then one row per
// renamed row, refused ones with their reason.
// progress, when given, is told of each row and may stop the take-back between rows.
RenamePlan takeBack(const KeptRun& kept, FileSystem& fileSystem, JournalFolder* journals,
                    RunProgress* progress = nullptr);

// A line for the list of runs: time, folder, rows renamed, Match -> Replace.
struct RunSummary {
  std::wstring time;
  std::wstring folder;
  std::wstring renamed;
  std::wstring change;
};
RunSummary summarize(const KeptRun& kept);

}  // namespace lark
