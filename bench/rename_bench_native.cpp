// The benchmark natively: the engine on in-memory file systems, with Debian's rename as a
// reference for the plan.
//   lark-bench [--renames N]    (--renames 0 leaves out every rename)
#include <malloc.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "bench/bench_figures.h"
#include "engine/path_helpers.h"
#include "engine/rename_actions.h"
#include "engine/rename_state.h"
#include "engine/take_back.h"
#include "tests/support/fakes.h"

namespace lark::bench {
namespace {

// An in-memory tree built for size: each folder's entries in a vector, found by hash. The
// large figures (100,000 files) run on it because the tests' volume resolves and folds
// every path as Windows does, at a cost that would outweigh the engine's own work there:
// each ratio would then show the model, not the engine, against the same model's walk.
class FlatFileSystem : public FileSystem {
 public:
  void addFolder(const std::wstring& path) { add(path, kAttributeDirectory); }
  void addFile(const std::wstring& path) { add(path, 0x20); }
  std::uint32_t attributes(const std::wstring& path) override {
    const auto found = attributes_.find(path);
    return found == attributes_.end() ? kInvalidAttributes : found->second;
  }
  std::unique_ptr<FolderListing> listFolder(const std::wstring& pattern) override {
    const auto found = folders_.find(pattern.substr(0, pattern.size() - 2));  // without "\\*"
    if (found == folders_.end()) return nullptr;
    return std::make_unique<Listing>(found->second);
  }
  int renameItem(const std::wstring& from, const std::wstring& to) override {
    const auto source = attributes_.find(from);
    if (source == attributes_.end()) return 2;
    if (attributes_.count(to)) return 183;
    std::vector<FolderEntry>& entries = folders_[parentOf(from)];
    const std::wstring name = from.substr(from.rfind(L'\\') + 1);
    for (FolderEntry& entry : entries) {
      if (entry.name == name) entry.name = to.substr(to.rfind(L'\\') + 1);
    }
    attributes_[to] = source->second;
    attributes_.erase(source);
    return 0;
  }
  // The bench's names are ASCII, where a fold by table is what Windows' costs.
  std::wstring nameKey(const std::wstring& path) override {
    std::wstring key = path;
    for (wchar_t& unit : key) unit = static_cast<wchar_t>(std::towupper(static_cast<std::wint_t>(unit)));
    return key;
  }

 private:
  class Listing : public FolderListing {
   public:
    explicit Listing(const std::vector<FolderEntry>& entries) : entries_(entries) {}
    bool next(FolderEntry& entry) override {
      if (at_ == entries_.size()) return false;
      entry = entries_[at_++];
      return true;
    }

   private:
    const std::vector<FolderEntry>& entries_;
    std::size_t at_ = 0;
  };
  static std::wstring parentOf(const std::wstring& path) { return path.substr(0, path.rfind(L'\\')); }
  void add(const std::wstring& path, std::uint32_t attributes) {
    attributes_[path] = attributes;
    if (attributes & kAttributeDirectory) folders_[path];
    folders_[parentOf(path)].push_back({path.substr(path.rfind(L'\\') + 1), attributes});
  }
  std::unordered_map<std::wstring, std::uint32_t> attributes_;
  std::unordered_map<std::wstring, std::vector<FolderEntry>> folders_;
};

// How much of a large plan is the kernel's: glibc gives a freed plan's memory back, so
// every build faults its pages in afresh, which costs more than the engine's own work on
// machines where a fault is dear. Kept by the allocator, the same build is the engine
// alone. The two cannot take turns: a build that gives memory back leaves the next one
// without it.
void benchFreshMemory(const RenameState& state, FileSystem& fileSystem) {
  auto keepFreedMemory = [](bool keep) {
    mallopt(M_TRIM_THRESHOLD, keep ? INT_MAX : 128 * 1024);
    mallopt(M_MMAP_THRESHOLD, keep ? 32 * 1024 * 1024 : 128 * 1024);
  };
  auto fiveBuilds = [&] {
    std::vector<double> times;
    for (int i = 0; i < 5; ++i) times.push_back(secondsOf([&] { buildPlan(state, fileSystem); }));
    return median(times);
  };
  keepFreedMemory(false);
  const double givenBack = fiveBuilds();
  keepFreedMemory(true);
  const double kept = fiveBuilds();
  keepFreedMemory(false);
  report("  the same; floor: on memory malloc kept (information)", {givenBack, kept}, 0);
}

// Debian's rename over the same names, dry run, names read from a file.
double renameUtility(const std::vector<std::wstring>& relativePaths) {
  const char* listPath = "/tmp/lark-bench-names.txt";
  FILE* list = std::fopen(listPath, "w");
  require(list != nullptr, "cannot write the name list");
  for (const std::wstring& path : relativePaths) {
    std::string narrow(path.begin(), path.end());
    std::replace(narrow.begin(), narrow.end(), '\\', '/');
    std::fprintf(list, "%s\n", narrow.c_str());
  }
  std::fclose(list);
  const std::string command =
      std::string("rename -n -d 's/^IMG_(\\d+)\\.JPG$/Holiday-$1.jpg/' < ") + listPath + " > /dev/null";
  int status = 0;
  const double seconds = secondsOf([&] { status = std::system(command.c_str()); });
  require(status == 0, "Debian's rename (package rename) did not run");
  std::remove(listPath);
  return seconds;
}

// The same figures on the in-memory file system: the engine's own share of the work.
void benchSelection(int renames) {
  FlatFileSystem memory;
  std::vector<std::wstring> all;
  memory.addFolder(L"C:\\Selection");
  for (int i = 0; i < kSelectionSizes[2]; ++i) {
    const std::wstring folder = numbered(L"C:\\Selection\\Batch %03d", i / 1000);
    if (i % 1000 == 0) memory.addFolder(folder);
    all.push_back(folder + numbered(L"\\doc_%06d.txt", i));
    memory.addFile(all.back());
  }
  SelectionFigures figures[3];
  for (int size = 0; size < 3; ++size) {
    const std::vector<std::wstring> files(all.begin(), all.begin() + kSelectionSizes[size]);
    SelectionFigures& f = figures[size];
    RenameState state;
    std::size_t found = 0;
    const Measured intake = sideBySide(
        3, [&] { state.setSelection(files, memory); },
        [&] {
          found = 0;
          for (const std::wstring& path : files) found += memory.attributes(std::wstring(path)) != kInvalidAttributes;
        });
    require(state.files.size() == files.size() && found == files.size(), "the selection was not taken in whole");
    f.intake = intake.ours;
    f.intakeFloor = intake.floor;
    state.matchPattern = L"^doc_(\\d+)\\.txt$";
    state.replaceFormat = L"note_$1.txt";
    QuietPage page;
    const Measured test = sideBySide(3, [&] { testRename(state, page, memory); }, [&] { buildPlan(state, memory); });
    require(page.rows == files.size() + 1, "the listing does not hold every selected file");
    f.test = test.ours;
    f.testFloor = test.floor;
    f.bytesPerRow = planBytesPerRow(buildPlan(state, memory));
    if (renames != 0) {
      f.renameOutside = renameOutsideShare(memory, files);
      for (const std::wstring& file : files) {
        memory.renameItem(folderPart(file) + L"note_" + fileNamePart(file).substr(4), file);
      }
    }
  }
  reportSelection(figures, false, renames != 0);
}

// The Undo program's list of runs over 100 journals of 100,000 rows each, beside reading
// the same bytes: what the window costs each time it is shown.
void benchJournalList() {
  constexpr int kJournals = 100;
  constexpr int kRows = 100000;
  fakes::MemoryJournalFolder journals;
  JournalHead head;
  head.kind = L"rename";
  head.folders = {L"C:\\Bench\\"};
  head.match = L"IMG";
  head.replace = L"Holiday";
  std::vector<JournalRow> rows;
  for (int i = 0; i < kRows; ++i) {
    const std::wstring album = numbered(L"C:\\Bench\\Album %04d\\", i / kFilesPerFolder);
    rows.push_back({album + numbered(L"IMG_%05d.JPG", i), album + numbered(L"Holiday_%05d.JPG", i), RowOutcome::pending,
                    ItemStamp{true, false, 1000000u + static_cast<unsigned>(i), 133000000000000000u}});
  }
  for (int j = 0; j < kJournals; ++j) {
    RunJournal journal(&journals);
    journal.begin(head, rows);
    for (int i = 0; i < kRows; ++i) journal.renamed(i);
    journal.finish();
  }
  fakes::MemoryFileSystem disk;
  std::size_t bytes = 0;
  const Measured listing = sideBySide(
      3,
      [&] {
        const std::vector<KeptRun> runs = keptRuns(journals, disk);
        require(runs.size() == kJournals && runs.back().run.renamedRows() == kRows, "every run listed whole");
      },
      [&] {
        bytes = 0;
        std::string text;
        for (const std::wstring& name : journals.names()) {
          require(journals.read(name, kLargestJournal, text), "a journal read");
          bytes += text.size();
        }
      });
  std::printf("the list of runs reads %zu MB\n", bytes >> 20);
  report("the list of 100 runs of 100,000 rows, beside reading their bytes", listing, 1.5);
}

int run(int renames) {
  FlatFileSystem memory;
  const std::wstring root = L"C:\\Bench\\tree";
  memory.addFolder(L"C:\\Bench");
  memory.addFolder(root);
  std::vector<std::wstring> relative;
  for (int f = 0; f < kFolders; ++f) {
    const std::wstring album = numbered(L"Album %04d", f);
    memory.addFolder(root + L"\\" + album);
    for (int i = 0; i < kFilesPerFolder; ++i) {
      relative.push_back(L"tree\\" + album + numbered(L"\\IMG_%05d.JPG", f * kFilesPerFolder + i));
      memory.addFile(L"C:\\Bench\\" + relative.back());
    }
  }
  benchTree(memory, root, 5, &memory, nullptr);
  RenameState state;
  selectTree(state, root);
  std::vector<double> ours, theirs;
  for (int i = 0; i < 3; ++i) {
    theirs.push_back(renameUtility(relative));
    ours.push_back(secondsOf([&] { buildPlan(state, memory); }));
  }
  report("the same plan against Debian's rename -n (reference)", {median(ours), median(theirs)}, 0);
  benchFreshMemory(state, memory);

  benchJournalList();

  QuietPage page;
  benchPreview(page);
  benchUpdateBound();

  if (renames != 0) {
    // On the tests' volume, whose renames check names as the shell's do: where Rename's
    // time goes beside calls that do a rename's work.
    fakes::MemoryFileSystem volume;
    std::vector<std::wstring> files;
    volume.addFolder(L"C:\\Renames");
    for (int i = 0; i < renames; ++i) {
      files.push_back(numbered(L"C:\\Renames\\doc_%05d.txt", i));
      volume.addFile(files.back());
    }
    benchRenames(volume, files, 0, nullptr);
  }
  benchSelection(renames);
  return 0;
}

}  // namespace
}  // namespace lark::bench

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  return lark::bench::run(lark::bench::readOptions(argc, argv).renames);
}
