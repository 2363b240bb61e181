// Cases that the in-memory file system and the real Win32 one must both pass, so that the
// engine's tests cannot drift from the disk they stand in for. Each test binary
// instantiates them with its own disk type.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "engine/path_helpers.h"
#include "engine/platform.h"
#include "engine/rename_actions.h"
#include "tests/support/fakes.h"
#include "tests/support/plan_rows.h"

namespace lark::contract {

// Relative paths below the disk's root, listed through the seam itself, sorted; folders end in "\".
inline void listTree(FileSystem& disk, const std::wstring& folder, const std::wstring& prefix,
                     std::vector<std::wstring>& out) {
  std::vector<std::wstring> subfolders;
  if (auto listing = disk.listFolder(folder + L"\\*")) {
    FolderEntry entry;
    while (listing->next(entry)) {
      if (entry.name == L"." || entry.name == L"..") continue;
      if (entry.attributes & kAttributeDirectory) {
        out.push_back(prefix + entry.name + L"\\");
        subfolders.push_back(entry.name);
      } else {
        out.push_back(prefix + entry.name);
      }
    }
  }
  for (const auto& name : subfolders) listTree(disk, folder + L"\\" + name, prefix + name + L"\\", out);
}

template <typename Disk>
class RenameContract : public ::testing::Test {
 protected:
  std::vector<std::wstring> tree() {
    std::vector<std::wstring> out;
    listTree(disk.fileSystem(), disk.root(), std::wstring(), out);
    std::sort(out.begin(), out.end());
    return out;
  }
  std::wstring full(const std::wstring& relative) { return disk.root() + L"\\" + relative; }
  Disk disk;
};

TYPED_TEST_SUITE_P(RenameContract);

TYPED_TEST_P(RenameContract, ReportsAttributes) {
  this->disk.addFile(L"a.txt");
  this->disk.addFolder(L"Sub");
  FileSystem& fs = this->disk.fileSystem();
  EXPECT_EQ(0u, fs.attributes(this->full(L"a.txt")) & kAttributeDirectory);
  EXPECT_NE(kInvalidAttributes, fs.attributes(this->full(L"a.txt")));
  EXPECT_NE(0u, fs.attributes(this->full(L"Sub")) & kAttributeDirectory);
  EXPECT_EQ(kInvalidAttributes, fs.attributes(this->full(L"missing")));
}

TYPED_TEST_P(RenameContract, ListsAFolderWithItsDotEntries) {
  this->disk.addFile(L"Sub\\a.txt");
  this->disk.addFolder(L"Sub\\Inner");
  FileSystem& fs = this->disk.fileSystem();
  std::vector<std::wstring> names;
  auto listing = fs.listFolder(this->full(L"Sub\\*"));
  ASSERT_NE(nullptr, listing);
  FolderEntry entry;
  while (listing->next(entry)) names.push_back(entry.name + ((entry.attributes & kAttributeDirectory) ? L"\\" : L""));
  std::sort(names.begin(), names.end());
  EXPECT_EQ((std::vector<std::wstring>{L"..\\", L".\\", L"Inner\\", L"a.txt"}), names);
  EXPECT_EQ(nullptr, fs.listFolder(this->full(L"missing\\*")));
  EXPECT_EQ(nullptr, fs.listFolder(this->full(L"Sub\\a.txt\\*")));
}

TYPED_TEST_P(RenameContract, RenamesAFileOrAFolderWithItsContents) {
  this->disk.addFile(L"a.txt");
  this->disk.addFile(L"Folder\\Inner\\b.txt");
  FileSystem& fs = this->disk.fileSystem();
  EXPECT_EQ(0, fs.renameItem(this->full(L"a.txt"), this->full(L"c.txt")));
  EXPECT_EQ(0, fs.renameItem(this->full(L"Folder"), this->full(L"Renamed")));
  EXPECT_EQ((std::vector<std::wstring>{L"Renamed\\", L"Renamed\\Inner\\", L"Renamed\\Inner\\b.txt", L"c.txt"}), this->tree());
}

TYPED_TEST_P(RenameContract, RefusesAnExistingDestinationAndAMissingSource) {
  this->disk.addFile(L"a.txt");
  this->disk.addFile(L"b.txt");
  FileSystem& fs = this->disk.fileSystem();
  // Wine's shell refuses (183); Windows' would pick another name. Neither overwrites.
  EXPECT_NE(0, fs.renameItem(this->full(L"a.txt"), this->full(L"b.txt")));
  EXPECT_NE(0, fs.renameItem(this->full(L"missing.txt"), this->full(L"c.txt")));
  EXPECT_EQ((std::vector<std::wstring>{L"a.txt", L"b.txt"}), this->tree());
}

TYPED_TEST_P(RenameContract, RunsAWholeRenameOnTheDisk) {
  this->disk.addFile(L"Photos\\one.jpg");
  this->disk.addFile(L"Photos\\Trip\\two.jpg");
  this->disk.addFile(L"top.jpg");
  RenameState state;
  state.setSelection({this->full(L"Photos"), this->full(L"top.jpg")}, this->disk.fileSystem());
  state.renameFolders = true;
  state.matchPattern = L"o";
  state.replaceFormat = L"0";
  fakes::RecordingPage page;
  performRename(state, page, this->disk.fileSystem());
  EXPECT_EQ((std::vector<std::wstring>{L"Ph0t0s\\", L"Ph0t0s\\0ne.jpg", L"Ph0t0s\\Trip\\", L"Ph0t0s\\Trip\\tw0.jpg",
                                       L"t0p.jpg"}),
            this->tree());
  ASSERT_EQ(1u, page.listings.size());
  ASSERT_EQ(5u, page.listings[0].size());
  EXPECT_EQ(L"Renamed 4 files and folders:", page.listings[0][0].baseFolder);
  EXPECT_EQ((std::vector<std::wstring>{this->full(L"Ph0t0s") + L"\\"}), state.folders);
  EXPECT_EQ((std::vector<std::wstring>{this->full(L"t0p.jpg")}), state.files);
}

// The shell reads ? and * in a destination as a pattern: a.txt renamed to "a*b.log"
// overwrote ab.log, and "a.t?t" was reported renamed while nothing moved. Such names,
// and every other one a file name cannot hold, become error rows the shell never sees;
// a folder refused so is not entered. Every file keeps its name and content.
TYPED_TEST_P(RenameContract, RefusesNewNamesThatFileNamesCannotHold) {
  for (const wchar_t* file : {L"a.txt", L"ab.log", L"a.log", L"Album\\m.txt", L"Album\\Sub\\m2.txt", L"Albuq\\m.txt"}) {
    this->disk.addFile(file);
  }
  auto refused = [](const std::wstring& item, const std::wstring& shown) {
    return item + L" ! [ERROR: Invalid file name \"" + shown +
           L"\": names cannot contain < > : \" | ? * or control characters] (" + item + L")";
  };
  const struct {
    const wchar_t* selected;
    const wchar_t* pattern;
    const wchar_t* format;
    std::wstring row;
  } cases[] = {
      {L"a.txt", L"\\.txt$", L"*b.log", refused(L"a.txt", L"a*b.log")},  // would overwrite ab.log
      {L"a.txt", L"\\.txt$", L"?log", refused(L"a.txt", L"a?log")},       // would overwrite a.log
      {L"a.txt", L"x", L"?", refused(L"a.txt", L"a.t?t")},                  // matches only itself
      {L"Album", L"m", L"*", refused(L"Album", L"Albu*")},                 // nothing below it either
      {L"a.txt", L"^a", L"<", refused(L"a.txt", L"<.txt")},
      {L"a.txt", L"^a", L">", refused(L"a.txt", L">.txt")},
      {L"a.txt", L"^a", L":", refused(L"a.txt", L":.txt")},
      {L"a.txt", L"^a", L"\"", refused(L"a.txt", L"\".txt")},
      {L"a.txt", L"^a", L"|", refused(L"a.txt", L"|.txt")},
      {L"a.txt", L"^a", L"a \\t", refused(L"a.txt", L"a \x2409.txt")},  // a tab, shown as its symbol; a blank as it is
  };
  fakes::RecordingFileSystem shell(this->disk.fileSystem());
  const auto before = this->disk.snapshot();
  for (const auto& c : cases) {
    RenameState state;
    state.setSelection({this->full(c.selected)}, shell);
    state.renameFolders = true;
    state.matchPattern = c.pattern;
    state.replaceFormat = c.format;
    fakes::RecordingPage page;
    performRename(state, page, shell);
    ASSERT_EQ(1u, page.listings.size());
    const RenamePlan& shown = page.listings[0];
    EXPECT_EQ(L"No files were renamed:", shown[0].baseFolder) << ::testing::PrintToString(c.format);
    EXPECT_EQ(std::vector<std::wstring>{c.row}, fakes::rows(RenamePlan(shown.begin() + 1, shown.end())));
  }
  EXPECT_EQ(std::vector<std::wstring>{}, shell.renames) << "the shell saw none of these names";
  EXPECT_EQ(before, this->disk.snapshot()) << "every file keeps its name and its content";
}

// A device's name is taken by a network share and leaves an item hardly any program can
// reach again, and so does a path longer than the shell reaches (259 characters). Both
// are refused as above; a path of exactly 259 is renamed. A folder whose longer name
// would push a path inside it past 259 is refused, walked or not, and nothing inside a
// refused folder is renamed. Each case runs on a disk of its own.
TYPED_TEST_P(RenameContract, RefusesDeviceNamesAndPathsPastTheShellsReach) {
  const std::size_t room = kLongestReachablePath - this->full(L"").size();  // the longest name an item of the root takes
  const std::wstring longest(room, L'n');
  const std::wstring deep = std::wstring(room - 8, L'd') + L".txt";     // F\deep is 257 long
  const std::wstring deeper = std::wstring(room - 10, L'd') + L".txt";  // and so is H\I\deeper
  auto refused = [](const std::wstring& item, const std::wstring& name, const std::wstring& why) {
    return item + L" ! [ERROR: Invalid file name \"" + name + L"\": " + why + L"] (" + item + L")";
  };
  auto repeated = [](const std::wstring& text, std::size_t times) {
    std::wstring out;
    while (times-- != 0) out += text;
    return out;
  };
  const std::wstring device = L"Windows reserves it for a device";
  const std::wstring path260 = L"the new path would be 260 characters long, 259 at most";
  const std::wstring inside260 = L"a path inside the folder would be 260 characters long, 259 at most";
  const struct {
    const wchar_t* selected;
    const wchar_t* pattern;
    std::wstring format;
    bool searchSubfolders;
    std::wstring row;
    std::wstring renamedTo;  // what the selected item is called afterwards, when it is renamed
  } cases[] = {
      {L"a.txt", L"^a\\.txt$", L"CON", false, refused(L"a.txt", L"CON", device), L""},
      {L"a.txt", L"^a\\.txt$", L"NUL.txt", false, refused(L"a.txt", L"NUL.txt", device), L""},
      {L"a.txt", L"^a\\.txt$", L"prn.log.txt", false, refused(L"a.txt", L"prn.log.txt", device), L""},
      {L"a.txt", L"^a\\.txt$", L"Com1.txt", false, refused(L"a.txt", L"Com1.txt", device), L""},
      {L"a.txt", L"^a\\.txt$", L"lPt9", false, refused(L"a.txt", L"lPt9", device), L""},
      {L"a.txt", L"^a\\.txt$", L"AUX .txt", false, refused(L"a.txt", L"AUX .txt", device), L""},
      {L"a.txt", L"^a\\.txt$", L"COM\u00b2.txt", false, refused(L"a.txt", L"COM\u00b2.txt", device), L""},
      {L"a.txt", L"^a\\.txt$", longest + L"n", false, refused(L"a.txt", longest + L"n", path260), L""},
      {L"a.txt", L"^a\\.txt$", longest, false, L"a.txt > " + longest + L" (a.txt)", longest},
      // Album's files would be renamed to NUL2.txt were the folder entered.
      {L"Album", L"^A?l?b?u?m", L"NUL", true, refused(L"Album", L"NUL", device), L""},
      // s.txt would be renamed to FFFF were the folder entered.
      {L"F", L"^F$|^s\\.txt$", L"FFFF", true, refused(L"F", L"FFFF", inside260), L""},
      {L"F", L"^F$|^s\\.txt$", L"FFFF", false, refused(L"F", L"FFFF", inside260), L""},
      {L"F", L"^F$", L"FFF", false, L"F > FFF (F)", L"FFF"},
      {L"H", L"^H$", L"HHHH", true, refused(L"H", L"HHHH", inside260), L""},
      {L"H", L"^H$", L"HHHH", false, refused(L"H", L"HHHH", inside260), L""},
      // I's new name is refused for its own length, so I is not entered; what lies inside it
      // still counts for H.
      {L"H", L"^(H)$|^(I)$", L"$1$1$1$1" + repeated(L"$2", room - 4), true, refused(L"H", L"HHHH", inside260), L""},
  };
  for (const auto& c : cases) {
    TypeParam disk;
    for (const std::wstring& file : {std::wstring(L"a.txt"), std::wstring(L"Album\\m.txt"), std::wstring(L"Album\\Sub\\m2.txt"),
                                     L"F\\" + deep, std::wstring(L"F\\s.txt"), L"H\\I\\" + deeper}) {
      disk.addFile(file);
    }
    std::vector<std::wstring> expectedTree;
    listTree(disk.fileSystem(), disk.root(), std::wstring(), expectedTree);
    const std::wstring selected = c.selected;
    for (std::wstring& path : expectedTree) {
      const bool below = path.compare(0, selected.size() + 1, selected + L"\\") == 0;
      if (!c.renamedTo.empty() && (path == selected || below)) path = c.renamedTo + path.substr(selected.size());
    }
    std::sort(expectedTree.begin(), expectedTree.end());
    const auto before = disk.snapshot();
    fakes::RecordingFileSystem shell(disk.fileSystem());
    RenameState state;
    state.setSelection({disk.root() + L"\\" + selected}, shell);
    state.renameFolders = true;
    state.searchSubfolders = c.searchSubfolders;
    state.matchPattern = c.pattern;
    state.replaceFormat = c.format;
    fakes::RecordingPage page;
    performRename(state, page, shell);
    const std::string shown = ::testing::PrintToString(c.format.substr(0, 12)) + " on " + ::testing::PrintToString(selected);
    ASSERT_EQ(1u, page.listings.size()) << shown;
    const RenamePlan& listed = page.listings[0];
    EXPECT_EQ(std::vector<std::wstring>{c.row}, fakes::rows(RenamePlan(listed.begin() + 1, listed.end()))) << shown;
    EXPECT_EQ(c.renamedTo.empty() ? 0u : 1u, shell.renames.size()) << shown;
    std::vector<std::wstring> after;
    listTree(disk.fileSystem(), disk.root(), std::wstring(), after);
    std::sort(after.begin(), after.end());
    EXPECT_EQ(expectedTree, after) << shown;
    if (c.renamedTo.empty()) {
      EXPECT_EQ(before, disk.snapshot()) << "every file keeps its name and content: " << shown;
    }
  }
}

// Only the selection and what its folders hold is ever renamed. A folder that keeps its
// name (its rename fails, or the plan refuses it) leaves every row inside it unattempted,
// since those rows address its items under the new name, where another item may stand.
// Destinations that are one name to Windows are refused together, and so are names
// Windows would change. Each case runs on a disk of its own; every file's content is
// still there afterwards, under the names the case expects.
TYPED_TEST_P(RenameContract, RenamesNothingTheSelectionDoesNotHold) {
  const std::wstring failedOp = kFileOperationError;
  const std::wstring shared = L"[ERROR: I refuse to rename multiple files to same destination!]";
  auto invalid = [](const std::wstring& name, const std::wstring& why) {
    return L"[ERROR: Invalid file name \"" + name + L"\": " + why + L"]";
  };
  const struct {
    const char* what;
    std::vector<std::wstring> files;
    std::vector<std::wstring> selected;
    const wchar_t* pattern;
    const wchar_t* format;
    std::vector<std::wstring> rows;  // sorted
    std::vector<std::wstring> tree;  // the disk afterwards
    const wchar_t* untried;          // what no path handed to the shell holds; null: nothing is
  } cases[] = {
      {"a folder whose rename fails",
       {L"W\\Photos\\one.jpg", L"W\\Ph0t0s\\one.jpg"}, {L"W\\Photos"}, L"o", L"0",
       {L"Ph0t0s\\one.jpg ! " + failedOp + L" (Photos\\one.jpg)", L"Photos ! " + failedOp + L" (Photos)"},
       {L"W\\", L"W\\Ph0t0s\\", L"W\\Ph0t0s\\one.jpg", L"W\\Photos\\", L"W\\Photos\\one.jpg"}, L"Ph0t0s\\"},
      {"folders refused for one destination",
       {L"A\\q\\fq.dat", L"A\\r\\fq.dat", L"B\\q\\x.dat"}, {L"A\\q", L"B\\q"}, L"q", L"r",
       {L"q ! r" + shared + L" (q)", L"q ! r" + shared + L" (q)",
        L"r\\fq.dat ! [ERROR: Not renamed: its folder \"q\" is not renamed] (q\\fq.dat)"},
       {L"A\\", L"A\\q\\", L"A\\q\\fq.dat", L"A\\r\\", L"A\\r\\fq.dat", L"B\\", L"B\\q\\", L"B\\q\\x.dat"}, nullptr},
      {"an emptied folder name",
       {L"R\\a\\ab.T", L"R\\ab.T"}, {L"R\\a"}, L"a", L"",
       {L"a ! " + invalid(L"", L"names cannot be empty") + L" (a)"},
       {L"R\\", L"R\\a\\", L"R\\a\\ab.T", L"R\\ab.T"}, nullptr},
      {"destinations that differ in case",
       {L"D\\ab.T", L"D\\ba.t", L"D\\x\u00e9.t", L"D\\y\u00c9.t"}, {L"D\\ab.T", L"D\\ba.t", L"D\\x\u00e9.t", L"D\\y\u00c9.t"},
       L"^[xy]|a", L"",
       {L"ab.T ! b.T" + shared + L" (ab.T)", L"ba.t ! b.t" + shared + L" (ba.t)",
        L"x\u00e9.t ! \u00e9.t" + shared + L" (x\u00e9.t)", L"y\u00c9.t ! \u00c9.t" + shared + L" (y\u00c9.t)"},
       {L"D\\", L"D\\ab.T", L"D\\ba.t", L"D\\x\u00e9.t", L"D\\y\u00c9.t"}, nullptr},
      {"a name ending in a dot", {L"N\\x.txt"}, {L"N\\x.txt"}, L"$", L".",
       {L"x.txt ! " + invalid(L"x.txt.", L"names cannot end in a dot or a space") + L" (x.txt)"}, {L"N\\", L"N\\x.txt"}, nullptr},
      {"a name ending in a space", {L"N\\x.txt"}, {L"N\\x.txt"}, L"$", L" ",
       {L"x.txt ! " + invalid(L"x.txt ", L"names cannot end in a dot or a space") + L" (x.txt)"}, {L"N\\", L"N\\x.txt"}, nullptr},
      {"a name of dots and spaces", {L"N\\x.txt"}, {L"N\\x.txt"}, L".+", L". .",
       {L"x.txt ! " + invalid(L". .", L"names cannot be only dots and spaces") + L" (x.txt)"}, {L"N\\", L"N\\x.txt"}, nullptr},
      {"a chain whose middle folder fails",
       {L"Top\\Mid\\Low\\file.txt", L"Top\\M_d", L"Top\\Side\\fi.txt"}, {L"Top"}, L"i|o", L"_",
       {L"T_p\\M_d\\L_w\\file.txt ! " + failedOp + L" (Top\\Mid\\Low\\file.txt)",
        L"T_p\\M_d\\Low ! " + failedOp + L" (Top\\Mid\\Low)", L"T_p\\Mid ! " + failedOp + L" (Top\\Mid)",
        L"T_p\\S_de\\fi.txt > T_p\\S_de\\f_.txt (Top\\Side\\fi.txt)", L"T_p\\Side > T_p\\S_de (Top\\Side)",
        L"Top > T_p (Top)"},
       {L"T_p\\", L"T_p\\M_d", L"T_p\\Mid\\", L"T_p\\Mid\\Low\\", L"T_p\\Mid\\Low\\file.txt", L"T_p\\S_de\\",
        L"T_p\\S_de\\f_.txt"}, L"M_d\\"},
  };
  for (const auto& c : cases) {
    TypeParam disk;
    for (const std::wstring& file : c.files) disk.addFile(file);
    const auto before = disk.snapshot();
    fakes::RecordingFileSystem shell(disk.fileSystem());
    RenameState state;
    std::vector<std::wstring> selection;
    for (const std::wstring& item : c.selected) selection.push_back(disk.root() + L"\\" + item);
    state.setSelection(selection, shell);
    state.renameFolders = state.searchSubfolders = true;
    state.matchPattern = c.pattern;
    state.replaceFormat = c.format;
    fakes::RecordingPage page;
    performRename(state, page, shell);
    ASSERT_EQ(1u, page.listings.size()) << c.what;
    std::vector<std::wstring> rows = fakes::rows(RenamePlan(page.listings[0].begin() + 1, page.listings[0].end()));
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(c.rows, rows) << c.what;
    std::vector<std::wstring> after;
    listTree(disk.fileSystem(), disk.root(), std::wstring(), after);
    std::sort(after.begin(), after.end());
    EXPECT_EQ(c.tree, after) << c.what;
    std::multiset<std::uint64_t> contentsBefore, contentsAfter;
    for (const auto& [path, content] : before) contentsBefore.insert(content);
    for (const auto& [path, content] : disk.snapshot()) contentsAfter.insert(content);
    EXPECT_EQ(contentsBefore, contentsAfter) << "every file's content is still there: " << c.what;
    for (const std::wstring& rename : shell.renames) {
      EXPECT_TRUE(c.untried != nullptr && rename.find(c.untried) == std::wstring::npos)
          << "the shell was handed " << ::testing::PrintToString(rename) << ": " << c.what;
    }
  }
}

REGISTER_TYPED_TEST_SUITE_P(RenameContract, ReportsAttributes, ListsAFolderWithItsDotEntries,
                            RenamesAFileOrAFolderWithItsContents, RefusesAnExistingDestinationAndAMissingSource,
                            RunsAWholeRenameOnTheDisk, RefusesNewNamesThatFileNamesCannotHold,
                            RefusesDeviceNamesAndPathsPastTheShellsReach, RenamesNothingTheSelectionDoesNotHold);

}  // namespace lark::contract
