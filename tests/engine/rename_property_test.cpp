// Random trees, selections, patterns and options, renamed on the model of a Windows
// volume, sometimes with items put at planned names between the plan and the renames.
// Whatever happens, only planned items change their names, nothing leaves its folder,
// every file is still there once, and the listing, its heading and the journal say what
// the disk shows. A failure prints the seed that replays it:
//   LARK_PROPERTY_SEED=<seed> LARK_PROPERTY_CASES=1 lark_engine_tests --gtest_filter='RenameProperty.*'
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "engine/journal.h"
#include "engine/rename_actions.h"
#include "tests/support/fakes.h"
#include "tests/support/plan_rows.h"

namespace lark {
namespace {

using fakes::MemoryFileSystem;

const std::wstring kRoot = L"C:\\P";

std::uint64_t fromEnvironment(const char* name, std::uint64_t otherwise) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 10) : otherwise;
}

std::wstring keyOf(const std::wstring& path) { return MemoryFileSystem::foldCase(MemoryFileSystem::resolved(path)); }

std::wstring lastPart(const std::wstring& path) { return path.substr(path.rfind(L'\\') + 1); }

std::wstring parentPart(const std::wstring& path) { return path.substr(0, path.rfind(L'\\')); }

// Each item of the volume by the number in its stamp, which travels with it.
struct Census {
  std::map<std::uint64_t, std::wstring> paths;  // item, its path
  std::map<std::wstring, std::uint64_t> items;  // key of a path, its item
  std::uint64_t itemAt(const std::wstring& path) const {
    const auto found = items.find(keyOf(path));
    return found == items.end() ? 0 : found->second;
  }
};

Census census(MemoryFileSystem& disk) {
  Census out;
  for (const std::wstring& path : disk.tree(kRoot)) {
    const std::uint64_t item = disk.stamp(path).size;
    out.paths[item] = path;
    out.items[keyOf(path)] = item;
  }
  return out;
}

class RandomCase {
 public:
  explicit RandomCase(std::uint64_t seed) : random_(seed) {}

  std::size_t below(std::size_t count) { return std::uniform_int_distribution<std::size_t>(0, count - 1)(random_); }
  bool chance(int percent) { return below(100) < static_cast<std::size_t>(percent); }
  template <typename T, std::size_t N>
  const T& pick(const T (&choices)[N]) { return choices[below(N)]; }

  // Names that differ only in case, hold dots and spaces, or letters Windows folds.
  // Half of them from a few short ones, so that folders share the names of their contents.
  std::wstring name() {
    static const wchar_t* const kPieces[] = {L"a", L"A", L"b", L"B", L"\u00e9", L"\u00c9", L".", L" ", L"x", L"ab"};
    static const wchar_t* const kCommon[] = {L"a", L"b", L"A", L"ab", L"ba", L"aB", L"\u00e9", L"x\u00c9"};
    if (chance(50)) return pick(kCommon);
    std::wstring out;
    for (std::size_t n = 1 + below(3); n != 0; --n) out += pick(kPieces);
    while (!out.empty() && (out.back() == L'.' || out.back() == L' ')) out.pop_back();  // no volume keeps them
    return out;
  }

  void fill(MemoryFileSystem& disk, const std::wstring& folder, int depth) {
    for (std::size_t n = below(5); n != 0; --n) {
      const std::wstring path = folder + L"\\" + name();
      if (lastPart(path).empty() || disk.exists(path)) continue;
      if (depth < 3 && chance(40)) {
        disk.addFolder(path);
        disk.setStamp(path, ++items, 0);
        fill(disk, path, depth + 1);
      } else {
        disk.addFile(path);
        disk.setStamp(path, ++items, 0);
        // A twin that "^x" or "^." turns into the same name in the other case.
        const std::wstring twin = folder + L"\\x" + otherCase(lastPart(path));
        if (chance(25) && !disk.exists(twin)) {
          disk.addFile(twin);
          disk.setStamp(twin, ++items, 0);
        }
      }
    }
  }

  static std::wstring otherCase(std::wstring name) {
    for (wchar_t& unit : name) {
      const std::wstring lower = L"ab\u00e9", upper = L"AB\u00c9";
      if (const auto at = lower.find(unit); at != std::wstring::npos) {
        unit = upper[at];
      } else if (const auto up = upper.find(unit); up != std::wstring::npos) {
        unit = lower[up];
      }
    }
    return name;
  }

  std::uint64_t items = 0;

 private:
  std::mt19937_64 random_;
};

// Puts items of its own at some planned new names once the plan is made, as another
// program might while the user reads the question.
class PlacingPage : public fakes::RecordingPage {
 public:
  PlacingPage(MemoryFileSystem& disk, RandomCase& random, RenamePlan plan)
      : disk_(disk), random_(random), plan_(std::move(plan)) {}
  bool askYesNo(const std::wstring& text, const std::wstring& caption) override {
    for (const RenameEntry& entry : plan_) {
      // Refused rows too: a folder refused for its shared destination may find one there.
      const std::wstring path = MemoryFileSystem::resolved(entry.baseFolder + entry.newPath);
      if (entry.newPath.empty() || !random_.chance(30) || disk_.exists(path) || !disk_.exists(parentPart(path))) continue;
      const std::wstring original = entry.baseFolder + entry.originalPath;
      const bool folder = (disk_.attributes(original) & kAttributeDirectory) != 0 && disk_.attributes(original) != kInvalidAttributes;
      place(path, folder);
      // Namesakes of the renamed folder's contents, where its rows would address them.
      for (const std::wstring& inner : folder ? disk_.tree(original) : std::vector<std::wstring>()) {
        const std::wstring namesake = path + inner.substr(original.size());
        if (inner.size() == original.size() || !random_.chance(70) || disk_.exists(namesake) ||
            !disk_.exists(parentPart(namesake))) {
          continue;
        }
        place(namesake, (disk_.attributes(inner) & kAttributeDirectory) != 0);
      }
    }
    return RecordingPage::askYesNo(text, caption);
  }
  std::map<std::uint64_t, std::pair<std::wstring, std::uint64_t>> placed;  // item: its name, its folder

 private:
  void place(const std::wstring& path, bool folder) {
    const std::uint64_t parent = disk_.stamp(parentPart(path)).size;
    if (folder) {
      disk_.addFolder(path);
    } else {
      disk_.addFile(path);
    }
    disk_.setStamp(path, ++random_.items, 0);
    placed[random_.items] = {lastPart(path), parent};
  }

  MemoryFileSystem& disk_;
  RandomCase& random_;
  RenamePlan plan_;
};

// Counts the renames the volume made, and notes any rename of an item aimed at a name
// that an earlier rename of the same run gave another item still standing there: the
// plan promised that no two of its rows share a destination. (An item that a nested
// selection plans twice is gone from its old name by its second row.)
class CountingFileSystem : public fakes::ForwardingFileSystem {
 public:
  explicit CountingFileSystem(MemoryFileSystem& disk) : ForwardingFileSystem(disk), disk_(disk) {}
  int renameItem(const std::wstring& from, const std::wstring& to) override {
    const auto given = given_.find(keyOf(to));
    const ItemStamp source = disk_.stamp(from);
    if (given != given_.end() && source.known && source.size != given->second && disk_.stamp(to).size == given->second) {
      sharedDestinations.push_back(to);
    }
    const int result = ForwardingFileSystem::renameItem(from, to);
    if (result == 0) {
      ++made;
      given_[keyOf(to)] = disk_.stamp(to).size;
    }
    return result;
  }
  std::uint32_t made = 0;
  std::vector<std::wstring> sharedDestinations;

 private:
  MemoryFileSystem& disk_;
  std::map<std::wstring, std::uint64_t> given_;  // key of a new path, the item renamed to it
};

// Runs one case and returns what went wrong, or nothing.
std::vector<std::string> runCase(std::uint64_t seed, std::string& described) {
  static const wchar_t* const kPatterns[] = {L"a", L"A", L"[ab]", L"^.", L".$", L"\u00e9", L"(.*)", L"\\.", L" ",
                                             L"b(.)", L"^(.*)$", L"x|a", L"^x"};
  static const wchar_t* const kFormats[] = {L"", L"b", L"B", L"$&$&", L"\\U$&", L"\\L$&", L"\u00c9", L".",
                                            L" ", L"$1", L"x.", L"a", L"ab"};
  RandomCase random(seed);
  MemoryFileSystem disk;
  disk.addFolder(kRoot);
  disk.setStamp(kRoot, ++random.items, 0);
  random.fill(disk, kRoot, 0);
  const std::vector<std::wstring> everything = disk.tree(kRoot);
  std::vector<std::wstring> selection;
  for (std::size_t n = 1 + random.below(4); n != 0 && everything.size() > 1; --n) {
    selection.push_back(everything[1 + random.below(everything.size() - 1)]);
  }
  RenameState state;
  fakes::MemoryJournalFolder journals;
  state.journals = &journals;
  state.setSelection(selection, disk);
  state.renameFolders = random.chance(60);
  state.searchSubfolders = random.chance(60);
  state.matchPattern = random.pick(kPatterns);
  state.replaceFormat = random.pick(kFormats);
  const bool placing = random.chance(40);

  std::wostringstream text;
  text << L"match \"" << state.matchPattern << L"\" replace \"" << state.replaceFormat << L"\" folders "
       << state.renameFolders << L" subfolders " << state.searchSubfolders << L" placing " << placing << L"\n";
  for (const std::wstring& path : everything) text << L"  " << path << L"\n";
  for (const std::wstring& path : selection) text << L"  selected " << path << L"\n";

  const Census before = census(disk);
  PlacingPage page(disk, random, placing ? buildPlan(state, disk) : RenamePlan());
  CountingFileSystem volume(disk);
  performRename(state, page, volume);

  std::vector<std::string> faults;
  auto fault = [&](const std::wstring& what) { faults.push_back(::testing::PrintToString(what)); };
  if (page.listings.size() != 1) {
    fault(L"no listing");
    described = ::testing::PrintToString(text.str());
    return faults;
  }
  const RenamePlan& listing = page.listings[0];
  const Census after = census(disk);

  // The last row that renamed each item, by the item it planned for.
  std::map<std::uint64_t, const RenameEntry*> renamedBy;
  std::uint32_t usable = 0;
  for (std::size_t i = 1; i < listing.size(); ++i) {
    const RenameEntry& row = listing[i];
    if (row.failed) {
      if (row.errorText.find(L"[ERROR: ") == std::wstring::npos) fault(L"an error row without an error: " + row.errorText);
      continue;
    }
    ++usable;
    const std::uint64_t item = before.itemAt(row.baseFolder + row.originalPath);
    if (item == 0) {
      fault(L"a row renamed an item that was not there: " + row.baseFolder + row.originalPath);
    } else {
      renamedBy[item] = &row;
    }
  }
  for (const auto& [item, path] : before.paths) {
    if (!after.paths.count(item)) fault(L"lost: " + path);
  }
  for (const auto& [item, path] : after.paths) {
    if (path == kRoot) continue;
    const auto was = before.paths.find(item);
    if (was == before.paths.end()) {
      const auto put = page.placed.find(item);
      if (put == page.placed.end()) {
        fault(L"an item from nowhere: " + path);
      } else if (lastPart(path) != put->second.first || after.itemAt(parentPart(path)) != put->second.second) {
        fault(L"a placed item was moved: " + path);
      }
      continue;
    }
    const auto row = renamedBy.find(item);
    const std::wstring expectedName = row == renamedBy.end() ? lastPart(was->second) : lastPart(row->second->newPath);
    if (lastPart(path) != expectedName) fault(L"renamed by no row of its own: " + was->second + L" -> " + path);
    if (after.itemAt(parentPart(path)) != before.itemAt(parentPart(was->second))) {
      fault(L"left its folder: " + was->second + L" -> " + path);
    }
  }
  for (const std::wstring& path : volume.sharedDestinations) fault(L"two rows aimed at " + path);
  if (usable != volume.made) {
    fault(L"the listing counts " + std::to_wstring(usable) + L" renames, the volume made " + std::to_wstring(volume.made));
  }
  const std::wstring heading = listing[0].baseFolder;
  if (usable == 0 ? heading != L"No files were renamed:" : heading.find(L"Renamed " + std::to_wstring(usable) + L" ") != 0) {
    fault(L"heading: " + heading);
  }
  // The journal tells the same story, or there is none because nothing was to be renamed.
  if (journals.journals.size() == 1) {
    JournalRun run;
    std::wstring error;
    if (!parseJournal(journals.journals.begin()->second, run, error)) {
      fault(L"the journal is unreadable: " + error);
    } else if (run.renamedRows() != usable || !run.ended) {
      fault(L"the journal records " + std::to_wstring(run.renamedRows()) + L" renames");
    }
  } else if (usable != 0) {
    fault(L"no journal");
  }
  if (!faults.empty()) described = ::testing::PrintToString(text.str());
  return faults;
}

TEST(RenameProperty, OnlyPlannedItemsChangeAndEveryFileStays) {
  const std::uint64_t first = fromEnvironment("LARK_PROPERTY_SEED", 1);
  const std::uint64_t cases = fromEnvironment("LARK_PROPERTY_CASES", 3000);
  // Cases that once failed, kept: nested selections that planned an item twice, whose
  // second row met another item moved into the first one's old name.
  std::vector<std::uint64_t> seeds = {110031, 142577, 143898};
  for (std::uint64_t seed = first; seed != first + cases; ++seed) seeds.push_back(seed);
  int failures = 0;
  for (const std::uint64_t seed : seeds) {
    if (failures == 3) break;
    std::string described;
    const std::vector<std::string> faults = runCase(seed, described);
    if (faults.empty()) continue;
    ++failures;
    ADD_FAILURE() << "seed " << seed << " (replay: LARK_PROPERTY_SEED=" << seed << " LARK_PROPERTY_CASES=1)\n"
                  << ::testing::PrintToString(faults) << "\n"
                  << described;
  }
}

}  // namespace
}  // namespace lark
