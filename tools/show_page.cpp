// Opens Wine's (or Windows') own Properties sheet for files with the Rename tab in front,
// writes a screenshot of it, and closes it again unless asked to stay open.
//   lark-show [--stay] [--demo] SCREENSHOT.bmp FOLDER NAME...
// --demo types a pattern, runs Test and Rename, and prints the listings.
#include <windows.h>
#include <shlobj.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/page_controls.h"
#include "tools/screenshot.h"
#include "tools/shell_properties.h"

namespace {

struct Options {
  bool stay = false;
  bool demo = false;
  std::wstring screenshot;
};
Options options;
HHOOK hook = nullptr;

void print(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), size, nullptr, nullptr);
  std::fputs(utf8.c_str(), stdout);
  std::fflush(stdout);
}

std::wstring textOf(HWND window) {
  wchar_t buffer[1024] = {};
  GetWindowTextW(window, buffer, 1024);
  return buffer;
}

// Prints a results dialog or answers a question box, as a person at the screen would.
void answer(HWND window) {
  if (HWND list = GetDlgItem(window, kResultsList)) {
    print(L"\n" + textOf(GetDlgItem(window, kResultsTitle)) + L"\n");
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) print(lark::listCell(list, row, 0) + L"  ->  " + lark::listCell(list, row, 1) + L"\n");
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  } else if (HWND text = GetDlgItem(window, 0xFFFF)) {
    print(L"\n[" + textOf(window) + L"] " + textOf(text) + L"\n  -> Yes\n");
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);
  }
}

void runPage(HWND sheet) {
  HWND page = lark::showTab(sheet, L"Rename");
  if (!page) {
    print(L"the sheet has no Rename tab: is the extension registered?\n");
    PostMessageW(sheet, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return;
  }
  if (options.demo) {
    print(L"Match:   ^IMG_(\\d+)\\.JPG$\nReplace: Holiday-$1.jpg\n");
    SetDlgItemTextW(page, kMatchEdit, L"^IMG_(\\d+)\\.JPG$");
    SetDlgItemTextW(page, kReplaceEdit, L"Holiday-$1.jpg");
  }
  UpdateWindow(sheet);
  if (lark::saveScreenshotTo(sheet, options.screenshot)) print(L"screenshot: " + options.screenshot + L"\n");
  if (options.demo) {
    SendDlgItemMessageW(page, kTestButton, BM_CLICK, 0, 0);
    SendDlgItemMessageW(page, kRenameButton, BM_CLICK, 0, 0);
  }
  if (!options.stay) PostMessageW(sheet, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

std::vector<HWND> pending;

void CALLBACK tick(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  std::vector<HWND> windows;
  windows.swap(pending);
  for (HWND window : windows) {
    if (!IsWindow(window)) continue;
    if (SendMessageW(window, PSM_GETTABCONTROL, 0, 0)) {
      runPage(window);
    } else {
      answer(window);
    }
  }
}

LRESULT CALLBACK watch(int code, WPARAM wParam, LPARAM lParam) {
  static std::vector<HWND> seen;
  if (code == HCBT_ACTIVATE) {
    HWND window = reinterpret_cast<HWND>(wParam);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    bool known = false;
    for (HWND old : seen) known = known || old == window;
    if (std::wstring(className) == L"#32770" && !known) {
      seen.push_back(window);
      pending.push_back(window);
      SetTimer(nullptr, 0, 1, tick);
    }
  }
  return CallNextHookEx(hook, code, wParam, lParam);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::wstring> args(argv + 1, argv + argc);
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
  hook = SetWindowsHookExW(WH_CBT, watch, nullptr, GetCurrentThreadId());
  const long result = lark::openProperties(folder, names);
  UnhookWindowsHookEx(hook);
  if (result != 0) {
    std::fprintf(stderr, "lark-show: the shell could not open the Properties (0x%08lx)\n", static_cast<unsigned long>(result));
    return 1;
  }
  return 0;
}
