// The rename page's dialog procedure: the record in the window, the preview on every
// change, the two actions, the links and the update poll on the timer.
#include "ui/rename_page.h"

#include <commctrl.h>
#include <shellapi.h>

#include <stdexcept>

#include "engine/page_controls.h"
#include "engine/platform.h"
#include "engine/rename_actions.h"
#include "engine/rename_state.h"
#include "ui/error_reporting.h"
#include "ui/page_surface.h"
#include "ui/update_link.h"

namespace lark {

const wchar_t kPatternHelpUrl[] = L"https://www.boost.org/doc/libs/release/libs/regex/doc/html/boost_regex/syntax/perl_syntax.html";

namespace {

constexpr UINT_PTR kTimerId = 1;
constexpr UINT kTimerPeriod = 1600;
constexpr int kEditBuffer = 2048;  // 2047 characters and the terminator
constexpr COLORREF kLinkColour = 0x00FF0000;

RenameState* stateOf(HWND page) { return reinterpret_cast<RenameState*>(GetWindowLongPtrW(page, DWLP_USER)); }

// The file system the page's actions work on, from the source its maker handed in.
std::unique_ptr<FileSystem> openFileSystem(HWND page, RenameState& state) {
  if (!state.fileSystems) throw std::logic_error("the page was made without a file system");
  return state.fileSystems->open(reinterpret_cast<std::uintptr_t>(page));
}

std::wstring editText(HWND page, int id) {
  wchar_t buffer[kEditBuffer] = {};
  GetDlgItemTextW(page, id, buffer, kEditBuffer);
  return buffer;
}

// A folder option's new value after a click on its box. Without a selected folder the
// boxes are disabled; a click that reaches one anyway (a BM_CLICK from a program, which a
// disabled button still obeys) leaves the option off and the box cleared.
bool folderOption(HWND page, const RenameState& state, int box) {
  if (state.folders.empty()) {
    CheckDlgButton(page, box, BST_UNCHECKED);
    return false;
  }
  return IsDlgButtonChecked(page, box) == BST_CHECKED;
}

void initialise(HWND page, RenameState& state) {
  state.timerId = static_cast<std::uint32_t>(SetTimer(page, kTimerId, kTimerPeriod, nullptr));
  SetDlgItemTextW(page, kMatchEdit, state.matchPattern.c_str());
  SetDlgItemTextW(page, kReplaceEdit, state.replaceFormat.c_str());
  const BOOL haveFolders = state.folders.empty() ? FALSE : TRUE;
  EnableWindow(GetDlgItem(page, kRenameFoldersCheck), haveFolders);
  CheckDlgButton(page, kRenameFoldersCheck, state.renameFolders ? BST_CHECKED : BST_UNCHECKED);
  EnableWindow(GetDlgItem(page, kSearchSubfoldersCheck), haveFolders);
  CheckDlgButton(page, kSearchSubfoldersCheck, state.searchSubfolders ? BST_CHECKED : BST_UNCHECKED);
  Win32PageSurface surface(page);
  pollUpdateLink(state, surface);
  state.refreshPreview(surface);
}

// Whether the page may start an action: not while its sheet is disabled, which a run in
// progress or a modal window on it does. A person's click cannot reach a disabled sheet,
// but a program's BM_CLICK still can, and the page's queue is pumped during a run: a second
// Rename would then start inside the first.
bool acceptsActions(HWND page) { return IsWindowEnabled(GetAncestor(page, GA_ROOT)) != FALSE; }

void command(HWND page, RenameState& state, int id, int code) {
  Win32PageSurface surface(page);
  switch (id) {
    case kMatchEdit:
    case kReplaceEdit:
      if (code != EN_CHANGE) return;
      (id == kMatchEdit ? state.matchPattern : state.replaceFormat) = editText(page, id);
      break;
    case kRenameFoldersCheck:
      if (code != BN_CLICKED) return;
      state.exampleIndex = 0;
      state.renameFolders = folderOption(page, state, kRenameFoldersCheck);
      break;
    case kSearchSubfoldersCheck:
      if (code != BN_CLICKED) return;
      state.searchSubfolders = folderOption(page, state, kSearchSubfoldersCheck);
      break;
    case kTestButton:
      if (code != BN_CLICKED || !acceptsActions(page)) return;
      testRename(state, surface, *openFileSystem(page, state));
      break;
    case kRenameButton:
      if (code != BN_CLICKED || !acceptsActions(page)) return;
      performRename(state, surface, *openFileSystem(page, state));
      break;
    case kSiteLink:
      if (code == STN_CLICKED) ShellExecuteW(nullptr, L"open", state.siteUrl.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
      return;
    default:
      return;
  }
  state.refreshPreview(surface);
}

}  // namespace

INT_PTR CALLBACK renamePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      // First, before any control can send a notification that needs the record.
      auto* description = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
      SetWindowLongPtrW(page, DWLP_USER, description->lParam);
      guarded(page, [&] { initialise(page, *stateOf(page)); });
      return TRUE;
    }
    case WM_COMMAND:
      guarded(page, [&] {
        if (RenameState* state = stateOf(page)) command(page, *state, LOWORD(wParam), HIWORD(wParam));
      });
      return TRUE;
    case WM_NOTIFY:
      guarded(page, [&] {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        RenameState* state = stateOf(page);
        if (header->code == static_cast<UINT>(PSN_HELP)) {
          ShellExecuteW(nullptr, L"open", kPatternHelpUrl, nullptr, nullptr, SW_SHOWNORMAL);
        } else if (header->code == static_cast<UINT>(PSN_SETACTIVE) && state) {
          Win32PageSurface surface(page);
          state->refreshPreview(surface);
        }
      });
      return 0;
    case WM_TIMER:
      guarded(page, [&] {
        if (RenameState* state = stateOf(page)) {
          Win32PageSurface surface(page);
          pollUpdateLink(*state, surface);
        }
      });
      return 0;
    case WM_CTLCOLORSTATIC:
      if (GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == kSiteLink) SetTextColor(reinterpret_cast<HDC>(wParam), kLinkColour);
      return 0;
    case WM_DESTROY:
      if (RenameState* state = stateOf(page)) {
        if (state->timerId != 0) KillTimer(page, state->timerId);
      }
      return 0;
    default:
      return FALSE;
  }
}

}  // namespace lark
