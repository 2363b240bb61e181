// The figures both benchmark programs measure the same way, and their reports.
#include "bench/bench_figures.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <memory>
#include <mutex>
#include <stdexcept>

#include "engine/regex.h"
#include "engine/rename_actions.h"
#include "update/update_checker.h"

namespace lark::bench {

const wchar_t kTreePattern[] = L"^IMG_(\\d+)\\.JPG$";
const wchar_t kTreeFormat[] = L"Holiday-$1.jpg";

namespace {

constexpr int kPreviewNames = 10000;
constexpr int kKeystrokeNames = 1000;
const wchar_t kNoMatchPattern[] = L"^Holiday-(\\d+)\\.jpg$";

}  // namespace

double secondsOf(const std::function<void()>& work) {
  const auto start = Clock::now();
  work();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

Measured sideBySide(int rounds, const std::function<void()>& ours, const std::function<void()>& floor) {
  std::vector<double> a, b;
  for (int i = 0; i < rounds; ++i) {
    b.push_back(secondsOf(floor));
    a.push_back(secondsOf(ours));
  }
  return {median(a), median(b)};
}

void report(const char* what, Measured m, double target) {
  const double ratio = m.ours / m.floor;
  std::printf("%-58s %9.2f ms  floor %9.2f ms  ratio %5.2f", what, m.ours * 1e3, m.floor * 1e3, ratio);
  if (target > 0) std::printf("  (target <= %.2f: %s)", target, ratio <= target ? "met" : "MISSED");
  std::printf("\n");
}

void require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "lark-bench: %s\n", what);
    std::exit(2);
  }
}

std::wstring numbered(const wchar_t* format, int number) {
  wchar_t text[64];
  std::swprintf(text, 64, format, number);
  return text;
}

namespace {

// Adds up the time spent inside the platform's rename calls.
class TimedRenames : public fakes::ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;
  int renameItem(const std::wstring& from, const std::wstring& to) override {
    int result = 0;
    inside += secondsOf([&] { result = ForwardingFileSystem::renameItem(from, to); });
    ++calls;
    return result;
  }
  double inside = 0;
  int calls = 0;
};

// The floor of collection: every entry of the tree visited once through the seam.
std::size_t walkThroughSeam(FileSystem& fileSystem, const std::wstring& folder) {
  std::size_t files = 0;
  std::vector<std::wstring> subfolders;
  {
    std::unique_ptr<FolderListing> listing = fileSystem.listFolder(folder + L"\\*");
    FolderEntry entry;
    while (listing && listing->next(entry)) {
      if (!(entry.attributes & kAttributeDirectory)) {
        ++files;
      } else if (entry.name != L"." && entry.name != L"..") {
        subfolders.push_back(folder + L"\\" + entry.name);
      }
    }
  }
  for (const std::wstring& sub : subfolders) files += walkThroughSeam(fileSystem, sub);
  return files;
}

// The floor of the preview: one compile, one search of every bare name.
std::size_t compileAndSearch(const std::wstring& pattern, const std::vector<std::wstring>& names) {
  const Regex regex(pattern);
  std::size_t matches = 0;
  boost::wsmatch match;
  for (const std::wstring& name : names) matches += boost::regex_search(name, match, regex) ? 1 : 0;
  return matches;
}

}  // namespace

void selectTree(RenameState& state, const std::wstring& root) {
  state.folders = {root + L"\\"};
  state.files.clear();
  state.searchSubfolders = true;
  state.renameFolders = false;
  state.matchPattern = kTreePattern;
  state.replaceFormat = kTreeFormat;
}

void benchTree(FileSystem& fileSystem, const std::wstring& root, int rounds, FileSystem* floorSystem,
               const std::function<std::size_t()>& nativeWalk) {
  RenameState state;
  selectTree(state, root);
  std::size_t rows = 0, walked = 0;
  const Measured m = sideBySide(
      rounds, [&] { rows = buildPlan(state, fileSystem).size(); },
      [&] { walked = nativeWalk ? nativeWalk() : walkThroughSeam(*floorSystem, root); });
  require(rows == kFolders * kFilesPerFolder && walked == rows, "the tree is not the expected 100,000 files");
  report("Test's collection + plan, 100,000 files in 1,000 folders", m, nativeWalk ? 1.3 : 0);
  // A selected folder that gets a longer name without its subfolders searched: what lies
  // inside it is measured by a walk of its own, so that no path is pushed out of reach.
  state.searchSubfolders = false;
  state.renameFolders = true;
  state.matchPattern = L"^tree$";
  state.replaceFormat = L"tree renamed";
  const Measured grown = sideBySide(
      rounds, [&] { rows = buildPlan(state, fileSystem).size(); },
      [&] { walked = nativeWalk ? nativeWalk() : walkThroughSeam(*floorSystem, root); });
  require(rows == 1, "the tree's folder is not the one row");
  report("  its folder renamed longer, not searched (information)", grown, 0);
  if (nativeWalk) {
    // Where the rest goes: the same walk through the engine's seam, then the plan alone.
    const Measured seam = sideBySide(rounds, [&] { walked = walkThroughSeam(fileSystem, root); }, nativeWalk);
    report("  of which the walk through the seam (information)", seam, 0);
  }
}

void benchPreview(PageSurface& keystrokePage) {
  RenameState state;
  std::vector<std::wstring> names;
  for (int i = 0; i < kPreviewNames; ++i) {
    names.push_back(numbered(L"IMG_%05d.JPG", i));
    state.files.push_back(L"C:\\Photos\\" + names.back());
  }
  state.matchPattern = kNoMatchPattern;
  QuietPage quiet;
  std::size_t matches = 1;
  const Measured m = sideBySide(
      21, [&] { state.refreshPreview(quiet); }, [&] { matches = compileAndSearch(kNoMatchPattern, names); });
  require(matches == 0, "the preview's pattern matched");
  report("preview, 10,000 selected files, none matching (per call)", m, 1.2);

  // Typing the tree's pattern one character at a time over 1,000 names.
  state.files.resize(kKeystrokeNames);
  names.resize(kKeystrokeNames);
  const std::wstring typed = kTreePattern;
  const Measured k = sideBySide(
      5,
      [&] {
        for (std::size_t length = 1; length <= typed.size(); ++length) {
          state.matchPattern = typed.substr(0, length);
          state.exampleIndex = 0;
          state.refreshPreview(keystrokePage);
        }
      },
      [&] {
        for (std::size_t length = 1; length <= typed.size(); ++length) {
          try {
            compileAndSearch(typed.substr(0, length), names);
          } catch (const std::runtime_error&) {
          }
        }
      });
  const double perKey = 1.0 / static_cast<double>(typed.size());
  report("preview per keystroke, 1,000 selected files", {k.ours * perKey, k.floor * perKey}, 0);
}

RenameTimes timeRenames(FileSystem& fileSystem, const std::vector<std::wstring>& files, JournalFolder* journals,
                        PageSurface* page) {
  RenameState state;
  state.journals = journals;
  state.files = files;
  state.matchPattern = L"^doc_(\\d+)\\.txt$";
  state.replaceFormat = L"note_$1.txt";
  TimedRenames timed(fileSystem);
  QuietPage quiet;
  const double total = secondsOf([&] { performRename(state, page ? *page : quiet, timed); });
  require(timed.calls == static_cast<int>(files.size()), "not every file was renamed");
  return {total, timed.inside};
}

void benchRenames(FileSystem& fileSystem, const std::vector<std::wstring>& files, double target,
                  const std::function<double()>& moveBack) {
  const auto [total, inside] = timeRenames(fileSystem, files);
  const double outside = total - inside;
  char label[64];
  std::snprintf(label, sizeof label, "Rename, %zu files, whole action", files.size());
  std::printf("%-58s %9.2f ms  in the rename calls %9.2f ms  outside %5.1f%%", label, total * 1e3, inside * 1e3, 100.0 * outside / total);
  if (target > 0) std::printf("  (target <= %.0f%%: %s)", target * 100, outside / total <= target ? "met" : "MISSED");
  std::printf("\n");
  if (moveBack) {
    const double moves = moveBack();
    report("one shell rename call against MoveFileW (information)", {inside / files.size(), moves / files.size()},
           0);
  }
}

namespace {

// A download that never ends its first read: the worker stays inside it for good.
class StalledDownload : public VersionDownload {
 public:
  explicit StalledDownload(std::promise<void>& reading) : reading_(reading) {}
  void open(const std::wstring&) override {}
  std::size_t read(char*, std::size_t) override {
    reading_.set_value();
    std::unique_lock<std::mutex> lock(mutex_);
    never_.wait(lock, [] { return false; });
    return 0;
  }

 private:
  std::promise<void>& reading_;
  std::mutex mutex_;
  std::condition_variable never_;
};

}  // namespace

// The end of an update check whose worker is stuck in a read: the sheet waits this long
// for it before it closes.
void benchUpdateBound() {
  static std::promise<void> reading;  // the stuck worker holds on to it until the process ends
  auto checker = std::make_unique<UpdateChecker>(L"http://127.0.0.1/v",
                                                 [] { return std::make_unique<StalledDownload>(reading); });
  reading.get_future().wait();
  const double waited = secondsOf([&] { checker.reset(); });
  std::printf("%-58s %9.2f ms  (bound %lld ms)\n", "update check ended with its worker stuck (information)",
              waited * 1e3, static_cast<long long>(kWorkerFinishBound.count()));
}


void reportSelection(const SelectionFigures (&figures)[3], bool withDialog, bool withRenames) {
  std::printf("\nlarge selection, files selected directly %13s %10s %10s   growth (linear 4.00)\n", "25,000", "50,000",
              "100,000");
  // Growth is judged for times; a share or a size per row should stay flat.
  auto row = [&](const char* what, double SelectionFigures::*field, double scale, const char* unit) {
    std::printf("  %-44s", what);
    for (const SelectionFigures& f : figures) std::printf(" %8.1f%-2s", f.*field * scale, unit);
    const double growth = figures[0].*field > 0 ? figures[2].*field / figures[0].*field : 0;
    const bool time = std::strcmp(unit, "ms") == 0;
    std::printf("   %5.2f%s\n", growth, !withDialog || !time || growth <= 4.5 ? "" : "  (target <= 4.50: MISSED)");
  };
  auto ratio = [&](const char* what, double SelectionFigures::*ours, double SelectionFigures::*floor, double target) {
    std::printf("  %-44s", what);
    for (const SelectionFigures& f : figures) std::printf(" %8.2f  ", f.*ours / f.*floor);
    const double last = figures[2].*ours / figures[2].*floor;
    if (target > 0) std::printf("   (target <= %.2f at 100,000: %s)", target, last <= target ? "met" : "MISSED");
    std::printf("\n");
  };
  row("intake, the selection taken in", &SelectionFigures::intake, 1e3, "ms");
  row("  floor: one pass, one attribute query a path", &SelectionFigures::intakeFloor, 1e3, "ms");
  ratio("  ratio", &SelectionFigures::intake, &SelectionFigures::intakeFloor, withDialog ? 1.5 : 0);
  row(withDialog ? "Test, from the click to the listing shown" : "Test, to the listing handed over",
      &SelectionFigures::test, 1e3, "ms");
  row("  floor: the same plan without a listing", &SelectionFigures::testFloor, 1e3, "ms");
  ratio("  ratio", &SelectionFigures::test, &SelectionFigures::testFloor, 0);
  if (withDialog) {
    row("results dialog alone, until shown", &SelectionFigures::dialog, 1e3, "ms");
    std::printf("  %-44s %s\n", "", figures[2].dialog < 3.0 ? "(target < 3000 ms at 100,000: met)"
                                                                : "(target < 3000 ms at 100,000: MISSED)");
  }
  if (withRenames) row("Rename, work outside the shell's calls", &SelectionFigures::renameOutside, 100, "% ");
  if (withDialog && withRenames) {
    std::printf("  %-44s %s\n", "",
                figures[2].renameOutside < 0.10 ? "(target < 10% at 100,000: met)" : "(target < 10% at 100,000: MISSED)");
  }
  row("plan memory per row, bytes (information)", &SelectionFigures::bytesPerRow, 1, "B ");
}

// The plan's own memory: its rows and the text their strings hold beyond what fits in
// the strings themselves (the allocator's own overhead left out).
double planBytesPerRow(const RenamePlan& plan) {
  auto held = [](const std::wstring& text) {
    const std::wstring empty;
    return text.capacity() > empty.capacity() ? (text.capacity() + 1) * sizeof(wchar_t) : 0;
  };
  std::size_t bytes = plan.capacity() * sizeof(RenameEntry);
  for (const RenameEntry& entry : plan) {
    bytes += held(entry.baseFolder) + held(entry.currentPath) + held(entry.newPath) + held(entry.originalPath) +
             held(entry.errorText);
  }
  return plan.empty() ? 0 : static_cast<double>(bytes) / plan.size();
}

double renameOutsideShare(FileSystem& fileSystem, const std::vector<std::wstring>& files) {
  const RenameTimes times = timeRenames(fileSystem, files);
  return (times.total - times.inside) / times.total;
}

Options readOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--renames") == 0) options.renames = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--folder") == 0) {
      const std::string narrow = argv[i + 1];
      options.folder.assign(narrow.begin(), narrow.end());
    }
  }
  return options;
}

}  // namespace lark::bench
