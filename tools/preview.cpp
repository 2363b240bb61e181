// Shows what the rename page's preview says for real files: the selection count, the
// example and its new name, through the same engine and file-system code as the page.
//   lark-preview [--match PATTERN] [--replace FORMAT] [--folders] PATH...
#include <windows.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "automation/console.h"
#include "engine/page_controls.h"
#include "engine/platform.h"
#include "engine/rename_state.h"
#include "win32/file_system.h"

using lark::printUtf8;

namespace {

// The page as this tool sees it: what the preview sets is kept, to be printed. It asks
// no question and shows no listing: the preview does neither.
class KeptPage : public lark::PageSurface {
 public:
  void setControlText(int id, const std::wstring& text) override { texts[id] = text; }
  void enableControl(int id, bool enabled) override { this->enabled[id] = enabled; }
  void showControl(int, bool) override {}
  bool askYesNo(const std::wstring&, const std::wstring&) override { return false; }
  void showListing(lark::RenamePlan&) override {}

  std::map<int, std::wstring> texts;
  std::map<int, bool> enabled;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  lark::RenameState state;
  std::vector<std::wstring> paths;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"--match" && i + 1 < argc) {
      state.matchPattern = argv[++i];
    } else if (arg == L"--replace" && i + 1 < argc) {
      state.replaceFormat = argv[++i];
    } else if (arg == L"--folders") {
      state.renameFolders = true;
    } else {
      paths.push_back(arg);
    }
  }
  if (paths.empty()) {
    std::fputs("usage: lark-preview [--match PATTERN] [--replace FORMAT] [--folders] PATH...\n", stderr);
    return 2;
  }
  lark::Win32FileSystem disk;
  state.setSelection(paths, disk);
  KeptPage page;
  state.refreshPreview(page);
  auto flag = [&page](int id) { return page.enabled[id] ? L"" : L"  (greyed)"; };
  printUtf8(L"Match:     " + state.matchPattern + L"\nReplace:   " + state.replaceFormat + L"\n");
  printUtf8(L"Selected:  " + page.texts[kSelectedCount] + L"\n");
  printUtf8(L"Example:   " + page.texts[kExampleText] + flag(kExampleText) + L"\n");
  printUtf8(L"will be renamed to:\n           " + page.texts[kReplaceText] + flag(kReplaceText) + L"\n");
  printUtf8(std::wstring(L"&Test... / &Rename: ") + (page.enabled[kTestButton] ? L"enabled" : L"disabled") + L"\n\n");
  return 0;
}
