// The real client: Wine's own Properties sheet for a file, opened through the shell's
// context menu with the registered extension, its Rename tab found and used.
#include <windows.h>
#include <shlobj.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "engine/page_controls.h"
#include "tests/wine/modal_catcher.h"
#include "tools/screenshot.h"
#include "tools/shell_properties.h"
#include "tests/wine/temp_folder.h"

namespace lark {
namespace {

std::wstring text(HWND window, int id) {
  wchar_t buffer[512] = {};
  GetDlgItemTextW(window, id, buffer, 512);
  return buffer;
}

TEST(RealClient, TheShellsPropertiesSheetShowsAWorkingRenamePage) {
  OleInitialize(nullptr);
  InitCommonControls();
  TempFolder folder;
  folder.createFile(L"Report.doc", "r");
  bool sawPage = false;
  ModalCatcher catcher(IDCANCEL, [&](HWND sheet) {
    if (!GetDlgItem(sheet, 0x3020)) return;  // not the sheet: the results dialog or a box
    HWND page = showTab(sheet, L"Rename");
    if (!page) return;
    sawPage = true;
    EXPECT_EQ(L"(.*)", text(page, kMatchEdit));
    EXPECT_EQ(L"\\1", text(page, kReplaceEdit));
    EXPECT_EQ(L"1 File", text(page, kSelectedCount));
    EXPECT_EQ(L"\"Report.doc\"", text(page, kExampleText));
    SetDlgItemTextW(page, kMatchEdit, L"\\.doc$");
    SetDlgItemTextW(page, kReplaceEdit, L".txt");
    EXPECT_EQ(L"\"Report.txt\"", text(page, kReplaceText));
    saveScreenshot(sheet, L"shell-properties");
    SendDlgItemMessageW(page, kTestButton, BM_CLICK, 0, 0);
  });
  EXPECT_EQ(S_OK, openProperties(folder.path(), {L"Report.doc"}));
  EXPECT_TRUE(sawPage) << "the Rename tab was in the sheet";
  bool sawListing = false;
  for (const auto& window : catcher.caught) {
    if (window.title.empty()) continue;
    sawListing = true;
    EXPECT_EQ(L"The following 1 file will be renamed:", window.title);
    EXPECT_EQ(std::vector<std::wstring>{L"  Report.doc | Report.txt"}, window.rows);
  }
  EXPECT_TRUE(sawListing);
}

}  // namespace
}  // namespace lark
