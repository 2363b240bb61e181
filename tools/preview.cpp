// Shows what the rename page's preview says for real files: the selection count, the
// example and its new name, through the same engine and file-system code as the page.
//   lark-preview [--match PATTERN] [--replace FORMAT] [--folders] PATH...
#include <windows.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "engine/page_controls.h"
#include "engine/rename_state.h"
#include "shell/win32_file_system.h"

namespace {

// Keeps what the preview sets, to print it afterwards.
class PrintedPage : public lark::PageSurface {
 public:
  void setControlText(int id, const std::wstring& text) override { texts[id] = text; }
  void enableControl(int id, bool enabled) override { this->enabled[id] = enabled; }
  void showControl(int, bool) override {}
  // The preview never asks or lists anything.
  bool askYesNo(const std::wstring&, const std::wstring&) override { return false; }
  void showListing(lark::RenamePlan&) override {}
  std::map<int, std::wstring> texts;
  std::map<int, bool> enabled;
};

void print(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), size, nullptr, nullptr);
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
}

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
  PrintedPage page;
  state.refreshPreview(page);
  auto flag = [&page](int id) { return page.enabled[id] ? L"" : L"  (greyed)"; };
  print(L"Match:     " + state.matchPattern + L"\nReplace:   " + state.replaceFormat + L"\n");
  print(L"Selected:  " + page.texts[kSelectedCount] + L"\n");
  print(L"Example:   " + page.texts[kExampleText] + flag(kExampleText) + L"\n");
  print(L"will be renamed to:\n           " + page.texts[kReplaceText] + flag(kReplaceText) + L"\n");
  print(std::wstring(L"&Test... / &Rename: ") + (page.enabled[kTestButton] ? L"enabled" : L"disabled") + L"\n\n");
  return 0;
}
