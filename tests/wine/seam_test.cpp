// The Win32 sides of the engine's seam, against real files and real windows.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "engine/name_transform.h"
#include "engine/page_controls.h"
#include "shell/win32_file_system.h"
#include "tests/wine/temp_folder.h"
#include "ui/win32_page.h"

namespace lark {
namespace {

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

  std::wstring text(int id) {
    wchar_t buffer[512] = {};
    GetDlgItemTextW(window, id, buffer, 512);
    return buffer;
  }
  bool enabled(int id) { return IsWindowEnabled(GetDlgItem(window, id)) != FALSE; }
  bool visible(int id) { return (GetWindowLongW(GetDlgItem(window, id), GWL_STYLE) & WS_VISIBLE) != 0; }

  HWND window = nullptr;
};

TEST_F(PageWindow, SetsTextsEnablesAndShowsControls) {
  Win32PageSurface page(window);
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
  Win32PageSurface page(window);
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

}  // namespace
}  // namespace lark
