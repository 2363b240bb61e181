// The results list dialog (205).
#include "ui/results_dialog.h"

#include <commctrl.h>
#include <shellapi.h>

#include "engine/page_controls.h"
#include "engine/path_helpers.h"
#include "ui/error_reporting.h"
#include "ui/isolation.h"

namespace lark {

namespace {

constexpr UINT kTypeLookup = SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES | SHGFI_SMALLICON;

RECT childRect(HWND dialog, HWND child) {
  RECT rect;
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

void initialise(HWND dialog, RenamePlan& plan) {
  layoutResultsDialog(dialog);
  HWND list = GetDlgItem(dialog, kResultsList);
  RECT client;
  GetClientRect(list, &client);
  const wchar_t* headings[] = {L"Original File", L"New Name"};
  for (int column = 0; column < 2; ++column) {
    LVCOLUMNW record = {};
    record.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    record.fmt = LVCFMT_LEFT;
    record.cx = client.right / 2;
    record.pszText = const_cast<wchar_t*>(headings[column]);
    SendMessageW(list, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&record));
  }
  SHFILEINFOW info = {};
  auto images = reinterpret_cast<HIMAGELIST>(
      SHGetFileInfoW(L".txt", FILE_ATTRIBUTE_NORMAL, &info, sizeof info, kTypeLookup));
  if (images) SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_SUBITEMIMAGES);
  SendMessageW(list, LVM_SETITEMCOUNT, plan.size() - 1, 0);
  SetDlgItemTextW(dialog, kResultsTitle, plan[0].baseFolder.c_str());
  for (std::size_t row = 1; row < plan.size(); ++row) addResultRow(list, plan[row], static_cast<int>(row - 1));
}

LRESULT customDraw(const NMLVCUSTOMDRAW& draw) {
  switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: {
      const auto* entry = reinterpret_cast<const RenameEntry*>(draw.nmcd.lItemlParam);
      if (entry && entry->failed) {
        const_cast<NMLVCUSTOMDRAW&>(draw).clrText = RGB(255, 0, 0);
        return CDRF_NEWFONT;
      }
      return CDRF_DODEFAULT;
    }
    default:
      return 0;
  }
}

}  // namespace

void showResultsDialog(HWND parent, RenamePlan& plan) {
  isolatedDialogBoxParam(thisModule(), MAKEINTRESOURCEW(kResultsDialog), parent, resultsDialogProc,
                         reinterpret_cast<LPARAM>(&plan));
}

bool smallIconIndex(const std::wstring& path, int& index) {
  SHFILEINFOW info = {};
  DWORD_PTR result = SHGetFileInfoW(extensionPart(path).c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info, kTypeLookup);
  if (info.iIcon == 0) {
    // The type told nothing: ask about the real item on disk.
    info = SHFILEINFOW{};
    result = SHGetFileInfoW(path.c_str(), 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
  }
  if (result == 0) return false;
  index = info.iIcon;
  return true;
}

void addResultRow(HWND list, const RenameEntry& entry, int index) {
  std::wstring original = L"  " + entry.originalPath;
  LVITEMW item = {};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = index;
  item.pszText = original.data();
  item.lParam = reinterpret_cast<LPARAM>(&entry);
  if (smallIconIndex(entry.baseFolder + entry.originalPath, item.iImage)) item.mask |= LVIF_IMAGE;
  SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));

  std::wstring newName = entry.failed ? entry.errorText : entry.newPath;
  item.mask &= ~LVIF_PARAM;
  item.iSubItem = 1;
  item.lParam = 0;
  item.pszText = newName.data();
  // Without an icon of its own, the second column repeats the first one's.
  if (smallIconIndex(entry.baseFolder + entry.newPath, item.iImage)) item.mask |= LVIF_IMAGE;
  SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

void layoutResultsDialog(HWND dialog) {
  HWND ok = GetDlgItem(dialog, IDOK);
  HWND list = GetDlgItem(dialog, kResultsList);
  RECT client;
  GetClientRect(dialog, &client);
  const RECT button = childRect(dialog, ok);
  const RECT old = childRect(dialog, list);
  const int oldColumn = static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0));
  const int margin = old.left;
  const int buttonWidth = button.right - button.left;
  const int buttonHeight = button.bottom - button.top;
  const int buttonTop = client.bottom - margin - buttonHeight;
  MoveWindow(ok, (client.right - buttonWidth) / 2, buttonTop, buttonWidth, buttonHeight, TRUE);
  const int listWidth = client.right - 2 * margin;
  const int listBottom = buttonTop - (button.top - old.bottom);
  MoveWindow(list, margin, old.top, listWidth, listBottom - old.top, TRUE);
  const int oldWidth = old.right - old.left;
  if (oldWidth <= 0) return;
  const int column = static_cast<int>(static_cast<double>(listWidth * oldColumn) / oldWidth + 0.5);
  SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(column, 0));
  SendMessageW(list, LVM_SETCOLUMNWIDTH, 1, MAKELPARAM(listWidth - column - 4, 0));
}

INT_PTR CALLBACK resultsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      guarded(dialog, [&] { initialise(dialog, *reinterpret_cast<RenamePlan*>(lParam)); });
      return TRUE;
    case WM_SIZING: {
      auto* rect = reinterpret_cast<RECT*>(lParam);
      if (rect->right - rect->left < 320) rect->right = rect->left + 320;
      if (rect->bottom - rect->top < 200) rect->bottom = rect->top + 200;
      return TRUE;
    }
    case WM_SIZE:
      layoutResultsDialog(dialog);
      return TRUE;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      LRESULT result = 0;
      if (header->idFrom == kResultsList && header->code == NM_CUSTOMDRAW) {
        result = customDraw(*reinterpret_cast<const NMLVCUSTOMDRAW*>(lParam));
      }
      SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
      return result;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK && HIWORD(wParam) == BN_CLICKED) {
        EndDialog(dialog, 1);
        return FALSE;
      }
      return TRUE;  // Escape (IDCANCEL) and everything else leave the dialog open
    default:
      return FALSE;
  }
}

}  // namespace lark
