// Renames on real folders never lose a file: every case hashes the content of every file
// in its tree before and after, and states what the disk looks like afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "engine/rename_actions.h"
#include "win32/file_system.h"
#include "tests/support/fakes.h"
#include "automation/modal_catcher.h"
#include "tests/support/temp_folder.h"

namespace lark {
namespace {

std::vector<std::uint64_t> contents(const TreeHashes& files) {
  std::vector<std::uint64_t> hashes;
  for (const auto& [path, hash] : files) hashes.push_back(hash);
  std::sort(hashes.begin(), hashes.end());
  return hashes;
}

bool exists(const std::wstring& path) { return GetFileAttributesW((L"\\\\?\\" + path).c_str()) != INVALID_FILE_ATTRIBUTES; }


class NoLoss : public ::testing::Test {
 protected:
  // Selects the given items, renames with the pattern and format, and checks that every
  // file is still there with its content, and that each row agrees with the disk.
  void rename(const std::vector<std::wstring>& selected, const std::wstring& pattern, const std::wstring& format,
              bool renameFolders = false) {
    if (before.empty()) before = hashTree(folder.path());
    std::vector<std::wstring> paths;
    for (const auto& name : selected) paths.push_back(folder.path() + L"\\" + name);
    state.setSelection(paths, disk);
    state.renameFolders = renameFolders;
    state.matchPattern = pattern;
    state.replaceFormat = format;
    {
      ModalCatcher shellWindows(IDCANCEL);
      performRename(state, page, disk);
      shellBoxes = shellWindows.caught.size();
    }
    if (!holdingFiles) expectNothingLost();
    ASSERT_EQ(1u, page.listings.size());
    shown = page.listings[0];
    for (std::size_t i = 1; i < shown.size(); ++i) {
      const RenameEntry& row = shown[i];
      if (!row.failed) {
        EXPECT_TRUE(exists(row.baseFolder + row.newPath)) << "renamed row without its new name: " << ::testing::PrintToString(row.newPath);
      } else if (row.errorText == L"[ERROR: File operation failed!]") {
        EXPECT_TRUE(exists(row.baseFolder + row.currentPath)) << "failed row without its item: " << ::testing::PrintToString(row.currentPath);
      }
    }
  }
  void expectNothingLost() {
    after = hashTree(folder.path());
    EXPECT_EQ(before.size(), after.size()) << "files lost";
    EXPECT_EQ(contents(before), contents(after)) << "content lost or changed";
  }
  std::vector<std::wstring> errors() {
    std::vector<std::wstring> texts;
    for (std::size_t i = 1; i < shown.size(); ++i) texts.push_back(shown[i].failed ? shown[i].errorText : L"ok");
    return texts;
  }
  std::uint64_t hashOf(const std::wstring& relative) { return after.at(relative); }

  TempFolder folder;
  Win32FileSystem disk;
  RenameState state;
  fakes::RecordingPage page;
  RenamePlan shown;  // the listing of the rename, title row first
  TreeHashes before, after;
  std::size_t shellBoxes = 0;
  bool holdingFiles = false;  // a held file cannot be read until it is let go
};

const std::wstring kFailed = L"[ERROR: File operation failed!]";
using Texts = std::vector<std::wstring>;
using Names = std::vector<std::wstring>;

Names names(const TreeHashes& files) {
  Names out;
  for (const auto& [path, hash] : files) out.push_back(path);
  return out;
}

TEST_F(NoLoss, AnExistingUnselectedDestinationIsNeverOverwritten) {
  folder.createFile(L"a.txt", "A");
  folder.createFile(L"b.txt", "B");
  rename({L"a.txt"}, L"^a", L"b");
  // Wine's shell refuses with 183 (Windows would choose another name): both stay as they were.
  EXPECT_EQ(Texts{kFailed}, errors());
  EXPECT_EQ((Names{L"a.txt", L"b.txt"}), names(after));
  EXPECT_EQ(before, after);
}

TEST_F(NoLoss, ASwapOfTwoNames) {
  folder.createFile(L"ab.txt", "first");
  folder.createFile(L"ba.txt", "second");
  rename({L"ab.txt", L"ba.txt"}, L"^(\\w)(\\w)", L"$2$1");
  // Each destination is the other file: both renames are refused, both files unchanged.
  EXPECT_EQ((Texts{kFailed, kFailed}), errors());
  EXPECT_EQ(before, after);
}

TEST_F(NoLoss, AChainOfRenames) {
  folder.createFile(L"a", "1");
  folder.createFile(L"aa", "2");
  folder.createFile(L"aaa", "3");
  rename({L"a", L"aa", L"aaa"}, L"^", L"a");
  // a -> aa and aa -> aaa meet existing files; only the last link of the chain moves.
  EXPECT_EQ((Texts{kFailed, kFailed, L"ok"}), errors());
  EXPECT_EQ((Names{L"a", L"aa", L"aaaa"}), names(after));
  EXPECT_EQ(before.at(L"aaa"), hashOf(L"aaaa"));
  EXPECT_EQ(before.at(L"a"), hashOf(L"a"));
}

TEST_F(NoLoss, AFolderWithItsContentsAndSubfolders) {
  folder.createFile(L"Album\\A1.jpg", "one");
  folder.createFile(L"Album\\Sub\\A2.jpg", "two");
  folder.createFile(L"Album\\Sub\\Deeper\\A3.jpg", "three");
  rename({L"Album"}, L"A", L"B", true);
  EXPECT_EQ((Texts{L"ok", L"ok", L"ok", L"ok"}), errors());
  EXPECT_EQ((Names{L"Blbum\\B1.jpg", L"Blbum\\Sub\\B2.jpg", L"Blbum\\Sub\\Deeper\\B3.jpg"}), names(after));
  EXPECT_EQ(before.at(L"Album\\Sub\\Deeper\\A3.jpg"), hashOf(L"Blbum\\Sub\\Deeper\\B3.jpg"));
  EXPECT_EQ((std::vector<std::wstring>{folder.path() + L"\\Blbum\\"}), state.folders);
}

TEST_F(NoLoss, AChangeOfLetterCaseOnly) {
  folder.createFile(L"report.txt", "r");
  rename({L"report.txt"}, L"^r", L"R");
  // Windows renames it; Wine's shell answers 183 for a case-only change and keeps the file.
  ASSERT_EQ(1u, errors().size());
  if (errors()[0] == L"ok") {
    EXPECT_EQ(Names{L"Report.txt"}, names(after));
  } else {
    EXPECT_EQ(Texts{kFailed}, errors());
    EXPECT_EQ(Names{L"report.txt"}, names(after));
  }
}

TEST_F(NoLoss, AFileHeldOpenWithoutSharing) {
  const std::wstring path = folder.createFile(L"held.txt", "held");
  folder.createFile(L"free.txt", "free");
  before = hashTree(folder.path());  // while the file can still be read
  HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  holdingFiles = true;
  rename({L"held.txt", L"free.txt"}, L"\\.txt$", L".bak");
  CloseHandle(held);
  expectNothingLost();
  // The free file is renamed; the held one is either refused (Windows) or renamed (Wine,
  // whose files are not locked), and its content survives in both cases.
  EXPECT_EQ(L"ok", errors()[1]);
  EXPECT_EQ(1u, after.count(L"free.bak"));
  EXPECT_EQ(1u, after.count(errors()[0] == L"ok" ? L"held.bak" : L"held.txt"));
}

TEST_F(NoLoss, APathLongerThanMaxPath) {
  std::wstring relative = L"Deep";
  while (folder.path().size() + relative.size() < 300) relative += L"\\" + std::wstring(40, L'd');
  CreateDirectoryW((L"\\\\?\\" + folder.path() + L"\\Deep").c_str(), nullptr);
  std::wstring path = folder.path() + L"\\Deep";
  for (std::size_t start = 5; start < relative.size(); start += 41) {
    path += L"\\" + relative.substr(start, 40);
    CreateDirectoryW((L"\\\\?\\" + path).c_str(), nullptr);
  }
  HANDLE file = CreateFileW((L"\\\\?\\" + path + L"\\bottom.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  DWORD written = 0;
  WriteFile(file, "bottom", 6, &written, nullptr);
  CloseHandle(file);
  folder.createFile(L"Deep\\top.txt", "top");
  rename({L"Deep"}, L"\\.txt$", L".md");
  // The shallow file is renamed. The deep one is renamed where the platform takes long
  // paths and otherwise left alone (not listed, or refused); it is never lost.
  EXPECT_EQ(1u, after.count(L"Deep\\top.md"));
  EXPECT_EQ(2u, after.size());
}

TEST_F(NoLoss, AThousandFilesAtOnce) {
  std::vector<std::wstring> selected;
  for (int i = 0; i < 1000; ++i) {
    const std::wstring name = L"f" + std::to_wstring(10000 + i).substr(1) + L".txt";
    folder.createFile(name, "file " + std::to_string(i));
    selected.push_back(name);
  }
  rename(selected, L"^f", L"g");
  EXPECT_EQ(L"Renamed 1000 files:", shown[0].baseFolder);
  EXPECT_EQ(1000u, after.size());
  EXPECT_EQ(1u, after.count(L"g0999.txt"));
  EXPECT_EQ(0u, after.count(L"f0000.txt"));
}

// New names that are not plain names, each applied in a folder of its own to "In\\a.txt",
// beside "In\\b.txt" and "In\\Sub\\". Whatever the shell makes of the name, no file is
// lost or overwritten, and the outcome is the rename the shell made or an error row. The
// rows state Wine's outcomes; where Windows differs, the row says how.
TEST(HostileNames, NoFileIsLostWhateverTheNewName) {
  const std::wstring refused = L"[ERROR: File operation failed!] | In\\a.txt | In\\b.txt";
  const std::wstring name255(255, L'n'), name300(300, L'n');
  auto invalid = [](const std::wstring& name, const std::wstring& why) {
    return L"[ERROR: Invalid file name \"" + name + L"\": " + why + L"] | In\\a.txt | In\\b.txt";
  };
  auto tooLong = [](const std::wstring& name) {
    return L"[ERROR: Invalid file name \"" + name +
           L"\": the new path would be %LENGTH% characters long, 259 at most] | In\\a.txt | In\\b.txt";
  };
  const struct {
    std::wstring format;   // replaces the whole name "a.txt"; "\\\\" is a backslash in a format
    std::wstring outcome;  // the listing's row ("renamed" or its error), then the files
  } cases[] = {
      // Into another folder: Windows refuses a rename that moves ("different folder");
      // Wine's shell moves the file, and the file is still whole.
      {L"Sub\\\\x.txt", L"renamed | In\\Sub\\x.txt | In\\b.txt"},
      {L"Sub/x.txt", L"renamed | In\\Sub\\x.txt | In\\b.txt"},
      {L"..\\\\x.txt", L"renamed | In\\b.txt | x.txt"},
      {L"Missing\\\\x.txt", refused},
      {L"", invalid(L"", L"names cannot be empty")},
      // Devices' names: a local disk refuses them, a network share may not.
      {L"CON", L"[ERROR: Invalid file name \"CON\": Windows reserves it for a device] | In\\a.txt | In\\b.txt"},
      {L"NUL.txt", L"[ERROR: Invalid file name \"NUL.txt\": Windows reserves it for a device] | In\\a.txt | In\\b.txt"},
      // Windows trims trailing dots and spaces, so the item would land under another name
      // than the listing shows, or on the neighbour's: refused before the shell sees them.
      {L"x.txt. . ", invalid(L"x.txt. . ", L"names cannot end in a dot or a space")},
      {L"b.txt ", invalid(L"b.txt ", L"names cannot end in a dot or a space")},
      // Windows renames a change of letter case; Wine refuses it.
      {L"A.TXT", refused},
      // Past the 259 characters the shell reaches, %LENGTH% the new path's length.
      {name255, tooLong(name255)},
      {name300, tooLong(name300)},
      {L"x?.txt", L"[ERROR: Invalid file name \"x?.txt\": names cannot contain < > : \" | ? * or control characters] | "
                  L"In\\a.txt | In\\b.txt"},
  };
  for (const auto& c : cases) {
    TempFolder folder;
    folder.createFile(L"In\\a.txt", "the file");
    folder.createFile(L"In\\b.txt", "its neighbour");
    folder.createFolder(L"In\\Sub");
    const TreeHashes before = hashTree(folder.path());
    RenameState state;
    Win32FileSystem disk;
    state.setSelection({folder.path() + L"\\In\\a.txt"}, disk);
    state.matchPattern = L"^a\\.txt$";
    state.replaceFormat = c.format;
    fakes::RecordingPage page;
    {
      ModalCatcher shellWindows(IDCANCEL);
      performRename(state, page, disk);
    }
    const TreeHashes after = hashTree(folder.path());
    const std::string shown = ::testing::PrintToString(c.format.substr(0, 40));
    EXPECT_EQ(before.size(), after.size()) << "files lost with " << shown;
    EXPECT_EQ(contents(before), contents(after)) << "content lost or overwritten with " << shown;
    ASSERT_EQ(1u, page.listings.size());
    ASSERT_EQ(2u, page.listings[0].size()) << shown;
    const RenameEntry& row = page.listings[0][1];
    std::wstring outcome = row.failed ? row.errorText : L"renamed";
    for (const auto& [path, hash] : after) outcome += L" | " + path;
    std::wstring expected = c.outcome;
    const std::size_t length = expected.find(L"%LENGTH%");
    if (length != std::wstring::npos) {
      expected.replace(length, 8, std::to_wstring(folder.path().size() + 4 + c.format.size()));
    }
    EXPECT_EQ(expected, outcome) << shown;
  }
}

// A folder holding a link back to itself, made on the Unix side by the test run.
TEST(NoLossLinks, ALinkLoopIsListedButNotWalked) {
  wchar_t unixPath[1024] = {};
  if (!GetEnvironmentVariableW(L"LARK_LINK_LOOP", unixPath, 1024)) GTEST_SKIP() << "run through CTest, which prepares the link";
  std::wstring root = L"Z:" + std::wstring(unixPath);
  std::replace(root.begin(), root.end(), L'/', L'\\');
  Win32FileSystem disk;
  const std::uint32_t linkAttributes = disk.attributes(root + L"\\Top\\Loop");
  ASSERT_NE(kInvalidAttributes, linkAttributes);
  ASSERT_NE(0u, linkAttributes & kAttributeDirectory);
  RenameState state;
  state.setSelection({root + L"\\Top"}, disk);
  state.renameFolders = true;
  state.matchPattern = L"^a|^Loop$";
  state.replaceFormat = L"b";
  const RenamePlan plan = buildPlan(state, disk);
  std::vector<std::wstring> rows;
  for (const RenameEntry& entry : plan) rows.push_back(entry.originalPath + L" > " + entry.newPath);
  if (linkAttributes & kAttributeReparsePoint) {
    // The link's own name changes like any folder's; nothing is reached through it.
    EXPECT_EQ((std::vector<std::wstring>{L"Top\\a.txt > Top\\b.txt", L"Top\\Loop > Top\\b"}), rows);
  } else {
    // Where the platform does not flag the link, the walk goes round until the paths
    // grow too long to list and then stops: it ends, and each row is a real path.
    EXPECT_LT(2u, rows.size());
    EXPECT_EQ(L"Top\\a.txt > Top\\b.txt", rows[0]);
  }
  fakes::RecordingPage page;
  performRename(state, page, disk);
  EXPECT_NE(kInvalidAttributes, disk.attributes(root + L"\\Top\\b.txt")) << "the file is renamed once";
  EXPECT_EQ(kInvalidAttributes, disk.attributes(root + L"\\Top\\a.txt"));
}

}  // namespace
}  // namespace lark
