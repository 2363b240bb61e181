// Opens Wine's (or Windows') own Properties sheet for files with the Rename tab in front,
// writes a screenshot of it, and closes it again unless asked to stay open.
//   lark-show [--stay] [--demo] SCREENSHOT.bmp FOLDER NAME...
// --demo types a pattern, runs Test and Rename, and prints the listings.
#include <windows.h>
#include <ole2.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/page_controls.h"
#include "automation/console.h"
#include "automation/modal_catcher.h"
#include "automation/properties_sheet.h"
#include "automation/screenshot.h"

namespace {

using lark::printUtf8;

struct Options {
  bool stay = false;
  bool demo = false;
  std::wstring screenshot;
};

void runPage(HWND sheet, const Options& options) {
  HWND page = lark::showTab(sheet, L"Rename");
  if (!page) {
    printUtf8(L"the sheet has no Rename tab: is the extension registered?\n");
    PostMessageW(sheet, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return;
  }
  if (options.demo) {
    printUtf8(L"Match:   ^IMG_(\\d+)\\.JPG$\nReplace: Holiday-$1.jpg\n");
    SetDlgItemTextW(page, kMatchEdit, L"^IMG_(\\d+)\\.JPG$");
    SetDlgItemTextW(page, kReplaceEdit, L"Holiday-$1.jpg");
  }
  UpdateWindow(sheet);
  if (lark::saveScreenshotTo(sheet, options.screenshot)) printUtf8(L"screenshot: " + options.screenshot + L"\n");
  if (options.demo) {
    SendDlgItemMessageW(page, kTestButton, BM_CLICK, 0, 0);
    SendDlgItemMessageW(page, kRenameButton, BM_CLICK, 0, 0);
  }
  if (!options.stay) PostMessageW(sheet, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::wstring> args(argv + 1, argv + argc);
  Options options;
  std::size_t at = 0;
  for (; at < args.size() && args[at].rfind(L"--", 0) == 0; ++at) {
    if (args[at] == L"--stay") options.stay = true;
    if (args[at] == L"--demo") options.demo = true;
  }
  if (args.size() < at + 3) {
    std::fputs("usage: lark-show [--stay] [--demo] SCREENSHOT.bmp FOLDER NAME...\n", stderr);
    return 2;
  }
  options.screenshot = args[at];
  const std::wstring folder = args[at + 1];
  const std::vector<std::wstring> names(args.begin() + static_cast<long>(at) + 2, args.end());
  OleInitialize(nullptr);
  InitCommonControls();
  // Each window the sheet opens is handled as a person at the screen would: the sheet
  // is used, a question is answered yes, a listing is printed and closed.
  lark::ModalCatcher catcher(IDYES, [&](HWND window) {
    if (SendMessageW(window, PSM_GETTABCONTROL, 0, 0)) return runPage(window, options);
    const lark::CaughtWindow& seen = catcher.caught.back();
    if (!seen.title.empty()) {
      printUtf8(L"\n" + seen.title + L"\n");
      for (const std::wstring& row : seen.rows) printUtf8(row + L"\n");
    } else {
      printUtf8(L"\n[" + seen.caption + L"] " + seen.text + L"\n  -> Yes\n");
    }
  });
  const long result = lark::openProperties(folder, names);
  if (result != 0) {
    std::fprintf(stderr, "lark-show: the shell could not open the Properties (0x%08lx)\n", static_cast<unsigned long>(result));
    return 1;
  }
  return 0;
}
