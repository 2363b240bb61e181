// The Win32 sides of the engine's seam, against real files and real windows.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>

#include "engine/name_transform.h"
#include "engine/rename_actions.h"
#include "engine/page_controls.h"
#include "win32/drop_list.h"
#include "win32/file_system.h"
#include "tests/support/drop_data.h"
#include "tests/support/import_hook.h"
#include "automation/modal_catcher.h"
#include "automation/properties_sheet.h"
#include "tests/support/temp_folder.h"
#include "ui/page_surface.h"

namespace lark {
namespace {

// The selection read in one pass is exactly what DragQueryFileW gives index by index.
TEST(DropList, OnePassReadsWhatTheIndexByIndexReadingGives) {
  const std::wstring longest(2047, L'x'), tooLong(2048, L'y');
  const std::vector<std::vector<std::wstring>> lists = {
      {},
      {L"C:\\a.txt"},
      {L"C:\\Work\\a.txt", L"C:\\Work\\Folder", L"\\\\server\\share\\b", L"C:\\caf\u00e9 \u00e0 la carte.txt"},
      {L"C:\\a", L"", L"C:\\after the end"},  // an empty path ends the list
      {L"", L"C:\\a"},
      {longest, L"C:\\b", tooLong, L"C:\\" + std::wstring(5000, L'z'), L"C:\\c"},
  };
  for (const auto& paths : lists) {
    for (const bool wide : {true, false}) {
      const UniqueGlobal memory(makeDropRecord(paths, wide));
      const GlobalMemoryLock locked(memory.get());
      const std::vector<std::wstring> expected = readDropPathsByIndex(static_cast<HDROP>(memory.get()), 2048);
      EXPECT_EQ(expected, readDropPaths(locked.data(), GlobalSize(memory.get()), 2048))
          << paths.size() << " paths, " << (wide ? "wide" : "ANSI");
    }
  }
  // Index by index, 100,000 paths take minutes: the whole list is compared with what was
  // put in, and a sample of it with DragQueryFileW.
  std::vector<std::wstring> many;
  for (int i = 0; i < 100000; ++i) many.push_back(L"C:\\Photos\\IMG_" + std::to_wstring(i) + L".JPG");
  const UniqueGlobal memory(makeDropRecord(many, true));
  const GlobalMemoryLock locked(memory.get());
  const auto drop = static_cast<HDROP>(memory.get());
  const std::vector<std::wstring> read = readDropPaths(locked.data(), GlobalSize(memory.get()), 2048);
  EXPECT_EQ(many, read);
  EXPECT_EQ(100000u, DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0));
  wchar_t buffer[2049];
  for (UINT i = 0; i < 100000 && read.size() == many.size(); i += 9973) {
    ASSERT_NE(0u, DragQueryFileW(drop, i, buffer, 2048));
    EXPECT_EQ(std::wstring(buffer), read[i]) << i;
  }
}

TEST(Win32FileSystem, ReportsFilesFoldersAndUnreadablePaths) {
  TempFolder folder;
  const std::wstring file = folder.createFile(L"a.txt", "text");
  const std::wstring sub = folder.createFolder(L"Sub");
  Win32FileSystem disk;
  EXPECT_EQ(0u, disk.attributes(file) & kAttributeDirectory);
  EXPECT_NE(kInvalidAttributes, disk.attributes(file));
  EXPECT_NE(0u, disk.attributes(sub) & kAttributeDirectory);
  EXPECT_NE(0u, disk.attributes(sub + L"\\") & kAttributeDirectory);
  EXPECT_EQ(kInvalidAttributes, disk.attributes(folder.path() + L"\\missing.txt"));
}

TEST(Win32FileSystem, FeedsTheSelectionIntake) {
  TempFolder folder;
  const std::wstring file = folder.createFile(L"a.txt", "");
  const std::wstring sub = folder.createFolder(L"Sub");
  std::wstring forward = file;
  for (auto& unit : forward) if (unit == L'\\') unit = L'/';
  Win32FileSystem disk;
  RenameState state;
  state.setSelection({forward, sub, folder.path() + L"\\gone"}, disk);
  EXPECT_EQ(std::vector<std::wstring>{file}, state.files);
  EXPECT_EQ((std::vector<std::wstring>{sub + L"\\", folder.path() + L"\\gone\\"}), state.folders);
  EXPECT_TRUE(state.searchSubfolders);
}

// Two paths share a key exactly when the platform's own file-name comparison calls them
// equal: every code unit of the Basic Multilingual Plane against its key, and pairs that
// look alike but are not the same name.
TEST(Win32FileSystem, KeysNamesAsTheFileNameComparisonDoes) {
  Win32FileSystem disk;
  auto equal = [](const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
  };
  int mismatches = 0;
  for (unsigned unit = 1; unit <= 0xFFFF && mismatches < 5; ++unit) {
    if (unit >= 0xD800 && unit <= 0xDFFF) continue;
    const std::wstring name(1, static_cast<wchar_t>(unit));
    const std::wstring key = disk.nameKey(name);
    if (key.size() != 1 || !equal(name, key) || disk.nameKey(key) != key) {
      ADD_FAILURE() << "U+" << std::hex << unit << " keys as U+" << static_cast<unsigned>(key[0]);
      ++mismatches;
    }
  }
  const struct {
    const wchar_t* a;
    const wchar_t* b;
  } pairs[] = {{L"C:\\W\\\u00e9t\u00e9.txt", L"c:\\w\\\u00c9T\u00c9.TXT"}, {L"\u03c3", L"\u03a3"}, {L"\u0434", L"\u0414"},
               {L"\uff41", L"\uff21"}, {L"stra\u00dfe", L"STRASSE"}, {L"e", L"\u00e9"}, {L"a", L"a "}, {L"\u0131", L"i"}};
  for (const auto& pair : pairs) {
    EXPECT_EQ(equal(pair.a, pair.b), disk.nameKey(pair.a) == disk.nameKey(pair.b)) << ::testing::PrintToString(pair.a);
  }
  EXPECT_TRUE(disk.nameKey(pairs[0].a) == disk.nameKey(pairs[0].b)) << "the table folds accented letters";
}

// What Win32FileSystem hands the shell, watched in this program's import table.
SHFILEOPSTRUCTW seenOperation;
std::wstring seenFrom, seenTo;
ImportHook* fileOperationHook = nullptr;
// A list of paths as the shell reads it: up to and including the double NUL.
std::wstring pathList(const wchar_t* list) {
  std::size_t length = 0;
  while (list[length] || list[length + 1]) ++length;
  return std::wstring(list, length + 2);
}
int WINAPI recordFileOperation(LPSHFILEOPSTRUCTW operation) {
  seenOperation = *operation;
  seenFrom = pathList(operation->pFrom);
  seenTo = pathList(operation->pTo);
  return fileOperationHook->original<decltype(&SHFileOperationW)>()(operation);
}

TEST(Win32FileSystem, RenamesOneItemThroughTheShellOnBehalfOfItsOwner) {
  TempFolder folder;
  const std::wstring from = folder.createFile(L"a.txt", "a");
  const std::wstring to = folder.path() + L"\\b.txt";
  HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ImportHook hook(GetModuleHandleW(nullptr), "shell32.dll", "SHFileOperationW", reinterpret_cast<void*>(recordFileOperation));
  fileOperationHook = &hook;
  Win32FileSystem disk(owner);
  EXPECT_EQ(0, disk.renameItem(from, to));
  EXPECT_EQ(owner, seenOperation.hwnd);
  EXPECT_EQ(static_cast<UINT>(FO_RENAME), seenOperation.wFunc);
  EXPECT_EQ(0x3258, seenOperation.fFlags);
  EXPECT_EQ(from + std::wstring(2, L'\0'), seenFrom);
  EXPECT_EQ(to + std::wstring(2, L'\0'), seenTo);
  EXPECT_EQ(nullptr, seenOperation.hNameMappings);
  EXPECT_EQ(nullptr, seenOperation.lpszProgressTitle);
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(to.c_str()));
  DestroyWindow(owner);
}

// The page surface with the listing recorded instead of shown.
class ListingPage : public Win32PageSurface {
 public:
  using Win32PageSurface::Win32PageSurface;
  void showListing(RenamePlan& plan) override { listings.push_back(plan); }
  std::vector<RenamePlan> listings;
};

// A plain top-level window with child controls carrying the page's identifiers.
class PageWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    window = CreateWindowExW(0, L"STATIC", L"page", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    for (int id : {kSelectedCount, kExampleText, kRenamedToLabel, kReplaceText, kSiteLink}) {
      CreateWindowExW(0, L"STATIC", L"placeholder", WS_CHILD | WS_VISIBLE, 0, 0, 100, 20, window,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    }
    for (int id : {kTestButton, kRenameButton}) {
      CreateWindowExW(0, L"BUTTON", L"button", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 0, 100, 20, window,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    }
  }
  void TearDown() override { DestroyWindow(window); }

  std::wstring text(int id) { return controlText(window, id); }
  bool enabled(int id) { return IsWindowEnabled(GetDlgItem(window, id)) != FALSE; }
  bool visible(int id) { return (GetWindowLongW(GetDlgItem(window, id), GWL_STYLE) & WS_VISIBLE) != 0; }

  HWND window = nullptr;
};

TEST_F(PageWindow, SetsTextsEnablesAndShowsControls) {
  ListingPage page(window);
  page.setControlText(kExampleText, L"\"caf\u00e9\"");
  EXPECT_EQ(L"\"caf\u00e9\"", text(kExampleText));
  page.enableControl(kTestButton, false);
  EXPECT_FALSE(enabled(kTestButton));
  page.enableControl(kTestButton, true);
  EXPECT_TRUE(enabled(kTestButton));
  page.showControl(kSiteLink, false);
  EXPECT_FALSE(visible(kSiteLink));
  page.showControl(kSiteLink, true);
  EXPECT_TRUE(visible(kSiteLink));
}

TEST_F(PageWindow, ShowsThePreviewOnRealControls) {
  RenameState state;
  state.files = {L"C:\\Work\\Report.doc", L"C:\\Work\\Notes.txt"};
  state.matchPattern = L"\\.txt$";
  state.replaceFormat = L".md";
  ListingPage page(window);
  state.refreshPreview(page);
  EXPECT_EQ(L"2 Files", text(kSelectedCount));
  EXPECT_EQ(L"\".txt\"", text(kExampleText));
  EXPECT_EQ(L"\"Notes.md\"", text(kReplaceText));
  EXPECT_TRUE(enabled(kExampleText));
  EXPECT_TRUE(enabled(kRenameButton));

  state.matchPattern = L"(";
  state.refreshPreview(page);
  EXPECT_EQ(0u, text(kExampleText).find(L"Invalid match - "));
  EXPECT_EQ(L"Can't replace", text(kReplaceText));
  EXPECT_FALSE(enabled(kExampleText));
  EXPECT_FALSE(enabled(kRenamedToLabel));
  EXPECT_FALSE(enabled(kReplaceText));
  EXPECT_FALSE(enabled(kTestButton));
}

TEST_F(PageWindow, AsksForConfirmationInAYesNoBoxOwnedByThePage) {
  ListingPage page(window);
  const std::wstring question = L"Renaming cannot be undone! This operation will rename 2 file(s).\n\nAre you sure you wish to continue?";
  for (int answer : {IDYES, IDNO}) {
    ModalCatcher catcher(answer);
    EXPECT_EQ(answer == IDYES, page.askYesNo(question, L"Rename"));
    ASSERT_EQ(1u, catcher.caught.size());
    EXPECT_EQ(L"Rename", catcher.caught[0].caption);
    EXPECT_EQ(question, catcher.caught[0].text);
    EXPECT_TRUE(catcher.caught[0].hasYes);
    EXPECT_TRUE(catcher.caught[0].hasNo);
  }
}

TEST_F(PageWindow, RenameRunsThroughTheShellAndTheRealBox) {
  TempFolder folder;
  folder.createFile(L"a1.txt", "one");
  folder.createFile(L"b1.txt", "two");
  Win32FileSystem disk(window);
  RenameState state;
  state.setSelection({folder.path() + L"\\a1.txt", folder.path() + L"\\b1.txt"}, disk);
  state.matchPattern = L"1";
  state.replaceFormat = L"2";
  ListingPage page(window);
  ModalCatcher catcher(IDYES);
  performRename(state, page, disk);
  ASSERT_EQ(1u, catcher.caught.size());
  EXPECT_NE(std::wstring::npos, catcher.caught[0].text.find(L"rename 2 file(s)"));
  ASSERT_EQ(1u, page.listings.size());
  EXPECT_EQ(L"Renamed 2 files:", page.listings[0][0].baseFolder);
  EXPECT_NE(kInvalidAttributes, disk.attributes(folder.path() + L"\\a2.txt"));
  EXPECT_EQ(kInvalidAttributes, disk.attributes(folder.path() + L"\\a1.txt"));
}

// wsprintfW is what the headings must agree with.
TEST(FormatCount, AgreesWithWsprintf) {
  for (const wchar_t* format : {L"The following %d %s will be renamed:", L"Renamed %d %s:", L"100%% of %d %s"}) {
    for (unsigned count : {0u, 1u, 12345u}) {
      wchar_t expected[1024] = {};
      wsprintfW(expected, format, count, L"files and folders");
      EXPECT_EQ(std::wstring(expected), formatCount(format, count, L"files and folders"));
    }
  }
}

}  // namespace
}  // namespace lark
