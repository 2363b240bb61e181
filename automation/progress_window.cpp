// Reading and answering the shell's progress window from any thread or process.
#include "automation/progress_window.h"

#include <cwctype>

namespace lark {
namespace {

struct Search {
  DWORD process;
  const std::wstring* title;
  HWND found;
};

std::wstring windowText(HWND window) {
  wchar_t buffer[512] = {};
  GetWindowTextW(window, buffer, 512);
  return buffer;
}

// The digits of a count as shown, separators dropped; false when no digit is there.
bool parseCount(const std::wstring& text, std::uint64_t& value) {
  value = 0;
  bool any = false;
  for (wchar_t c : text) {
    if (c >= L'0' && c <= L'9') {
      value = value * 10 + static_cast<std::uint64_t>(c - L'0');
      any = true;
    } else if (std::iswalpha(c)) {
      return false;
    }
  }
  return any;
}

struct CountSearch {
  std::uint64_t done = 0;
  std::uint64_t total = 0;
  bool found = false;
};

}  // namespace

namespace {

// Enumeration callbacks are stdcall in the i686 build, which a lambda cannot be.
BOOL CALLBACK matchProgressWindow(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<Search*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->process || !IsWindowVisible(window) || windowText(window) != *search->title) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

HWND findProgressWindow(DWORD process, const std::wstring& title) {
  Search search{process, &title, nullptr};
  EnumWindows(matchProgressWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

namespace {

BOOL CALLBACK matchProgressCount(HWND child, LPARAM parameter) {
  auto* search = reinterpret_cast<CountSearch*>(parameter);
  const std::wstring text = windowText(child);
  const std::size_t of = text.find(L" of ");
  if (of == std::wstring::npos) return TRUE;
  search->found = parseCount(text.substr(0, of), search->done) && parseCount(text.substr(of + 4), search->total);
  return search->found ? FALSE : TRUE;
}

}  // namespace

bool readProgressCount(HWND window, std::uint64_t& done, std::uint64_t& total) {
  CountSearch search;
  EnumChildWindows(window, matchProgressCount, reinterpret_cast<LPARAM>(&search));
  done = search.done;
  total = search.total;
  return search.found;
}

bool pressProgressCancel(HWND window) {
  HWND cancel = GetDlgItem(window, IDCANCEL);
  if (!cancel) return false;
  PostMessageW(cancel, BM_CLICK, 0, 0);
  return true;
}

}  // namespace lark
