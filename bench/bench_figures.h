// What both benchmark programs measure the same way, natively and under Wine: the
// timing, the reports, and the figures whose file system and page each program hands in.
// Every figure is measured beside its floor in the same run, the two taking turns, and
// reported as the median ratio.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "engine/platform.h"
#include "engine/rename_state.h"
#include "tests/support/fakes.h"

namespace lark::bench {

constexpr int kFolders = 1000;
constexpr int kFilesPerFolder = 100;
extern const wchar_t kTreePattern[];
extern const wchar_t kTreeFormat[];

using Clock = std::chrono::steady_clock;

double secondsOf(const std::function<void()>& work);
double median(std::vector<double> values);

struct Measured {
  double ours;
  double floor;
};

// The two take turns, so that a slower moment of the machine falls on both.
Measured sideBySide(int rounds, const std::function<void()>& ours, const std::function<void()>& floor);
// One line: both times and their ratio, with the target when there is one (> 0).
void report(const char* what, Measured m, double target);
// Ends the program when a figure would not measure what it says.
void require(bool condition, const char* what);
std::wstring numbered(const wchar_t* format, int number);

// A page that draws nothing: the preview's figure is the engine's own work.
class QuietPage : public fakes::NullPageSurface {
 public:
  void showListing(RenamePlan& plan) override { rows = plan.size(); }
  std::size_t rows = 0;
};

// Test's collection and plan over the tree of kFolders x kFilesPerFolder files at root,
// beside a bare walk: nativeWalk when given (the platform's own), else a walk through
// floorSystem's seam.
void benchTree(FileSystem& fileSystem, const std::wstring& root, int rounds, FileSystem* floorSystem,
               const std::function<std::size_t()>& nativeWalk);
void selectTree(RenameState& state, const std::wstring& root);
// The preview over 10,000 selected names, and per keystroke over 1,000 on the given page.
void benchPreview(PageSurface& keystrokePage);
// How long the sheet waits, as it closes, for an update check stuck in a read.
void benchUpdateBound();

struct RenameTimes {
  double total;   // the whole action
  double inside;  // inside the file system's rename calls
};

// Renames the given files (doc_N.txt to note_N.txt) through the page's own action, on
// `page` when given (its progress included), else on a page that shows nothing.
RenameTimes timeRenames(FileSystem& fileSystem, const std::vector<std::wstring>& files, JournalFolder* journals = nullptr,
                        PageSurface* page = nullptr);
// The same, reporting where the time went; moveBack, when given, puts the files back and
// returns its time, for a figure of one rename call against the platform's plain move.
void benchRenames(FileSystem& fileSystem, const std::vector<std::wstring>& files, double target,
                  const std::function<double()>& moveBack);

// One size of the large-selection figures, each beside its floor where it has one.
struct SelectionFigures {
  double intake = 0, intakeFloor = 0;   // the selection taken in, and one pass + one attribute query a path
  double test = 0, testFloor = 0;       // Test until its listing is shown, and the plan alone
  double dialog = 0;                    // the results dialog alone, until shown (Windows)
  double renameOutside = 0;             // share of Rename's time spent outside the shell's calls
  double bytesPerRow = 0;               // the plan's memory, per row (information)
};

constexpr int kSelectionSizes[] = {25000, 50000, 100000};

// Under Wine the figures have targets; natively they show the engine's own share.
void reportSelection(const SelectionFigures (&figures)[3], bool withDialog, bool withRenames);
// The plan's own memory per row: its rows and the text their strings hold.
double planBytesPerRow(const RenamePlan& plan);
// Rename's share of time outside the file system's rename calls, for these files.
double renameOutsideShare(FileSystem& fileSystem, const std::vector<std::wstring>& files);

struct Options {
  int renames = 10000;  // 0 leaves out every rename and the 10,000-row dialog
  std::wstring folder;  // where the Windows program keeps its trees; empty: the temporary folder
};
// lark-bench [--renames N] [--folder PATH]
Options readOptions(int argc, char** argv);

}  // namespace lark::bench
