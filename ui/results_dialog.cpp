// The results list dialog (205).
#include "ui/results_dialog.h"

#include <commctrl.h>
#include <shellapi.h>

#include <memory>

#include "engine/page_controls.h"
#include "engine/path_helpers.h"
#include "ui/error_reporting.h"
#include "ui/isolation.h"
#include "win32/module.h"

namespace lark {

namespace {

constexpr UINT kTypeLookup = SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES | SHGFI_SMALLICON;

RECT childRect(HWND dialog, HWND child) {
  RECT rect;
  GetWindowRect(child, &rect);
  // A RECT is its two corners, mapped as points.
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), sizeof rect / sizeof(POINT));
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
  // Redrawing after every row would cost far more than the rows themselves.
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  struct RedrawAgain {
    HWND list;
    ~RedrawAgain() {
      SendMessageW(list, WM_SETREDRAW, TRUE, 0);
      InvalidateRect(list, nullptr, TRUE);
    }
  } redrawAgain{list};
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

// What one open dialog keeps, behind its user data from WM_INITDIALOG to WM_NCDESTROY:
// the icon answers it has had from the shell, one per file type. The rows point at the
// plan's entries themselves, which the caller keeps alive until the dialog ends.
struct ResultsDialogState {
  IconTypeCache iconTypes;
};

ResultsDialogState* stateOf(HWND dialog) {
  return reinterpret_cast<ResultsDialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

// Answers the list's question for a row's icon, once: the list keeps the answer. The
// second column asks the list for the first one's, which it knows or asks us for.
void supplyIcon(HWND dialog, HWND list, NMLVDISPINFOW& info) {
  if (!(info.item.mask & LVIF_IMAGE)) return;
  LVITEMW row = {};
  row.mask = LVIF_PARAM | (info.item.iSubItem == 1 ? LVIF_IMAGE : 0);
  row.iItem = info.item.iItem;
  if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&row)) || row.lParam == 0) return;
  ResultsDialogState* state = stateOf(dialog);
  IconTypeCache* types = state ? &state->iconTypes : nullptr;
  const int* firstColumn = info.item.iSubItem == 1 && row.iImage != I_IMAGECALLBACK ? &row.iImage : nullptr;
  info.item.iImage = rowIcon(*reinterpret_cast<const RenameEntry*>(row.lParam), info.item.iSubItem, types, firstColumn);
  info.item.mask |= LVIF_DI_SETITEM;
}

}  // namespace

void showResultsDialog(HWND parent, RenamePlan& plan) {
  isolatedDialogBoxParam(thisModule(), MAKEINTRESOURCEW(kResultsDialog), parent, resultsDialogProc,
                         reinterpret_cast<LPARAM>(&plan));
}

bool smallIconIndex(const std::wstring& path, int& index, IconTypeCache* types) {
  SHFILEINFOW info = {};
  const std::wstring type = extensionPart(path);
  DWORD_PTR result = 0;
  const auto known = types ? types->find(type) : IconTypeCache::iterator();
  if (types && known != types->end()) {
    result = known->second.result;
    info.iIcon = known->second.icon;
  } else {
    result = SHGetFileInfoW(type.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info, kTypeLookup);
    if (types) types->emplace(type, IconTypeAnswer{result, info.iIcon});
  }
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
  // The icons are looked up when the list first draws a row (LVN_GETDISPINFOW): the
  // shell takes milliseconds per lookup, far too long for ten thousand rows up front.
  std::wstring original = L"  " + entry.originalPath;
  LVITEMW item = {};
  item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_IMAGE;
  item.iItem = index;
  item.pszText = original.data();
  item.lParam = reinterpret_cast<LPARAM>(&entry);
  item.iImage = I_IMAGECALLBACK;
  SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));

  std::wstring newName = entry.failed ? entry.errorText : entry.newPath;
  item.mask = LVIF_TEXT | LVIF_IMAGE;
  item.iSubItem = 1;
  item.pszText = newName.data();
  SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

int rowIcon(const RenameEntry& entry, int column, IconTypeCache* types, const int* firstColumn) {
  int index = I_IMAGENONE;
  // Without an icon of its own, the second column repeats the first one's.
  if (column == 1 && smallIconIndex(entry.baseFolder + entry.newPath, index, types)) return index;
  if (column == 1 && firstColumn) return *firstColumn;
  smallIconIndex(entry.baseFolder + entry.originalPath, index, types);
  return index;
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
      guarded(dialog, [&] {
        SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(std::make_unique<ResultsDialogState>().release()));
      });
      guarded(dialog, [&] { initialise(dialog, *reinterpret_cast<RenamePlan*>(lParam)); });
      return TRUE;
    case WM_SIZING: {
      auto* rect = reinterpret_cast<RECT*>(lParam);
      if (rect->right - rect->left < 320) rect->right = rect->left + 320;
      if (rect->bottom - rect->top < 200) rect->bottom = rect->top + 200;
      return TRUE;
    }
    case WM_SIZE:
      // A minimised dialog has no client area: laid out there, the list and its columns
      // would shrink to nothing and keep that width when the dialog is restored.
      if (wParam != SIZE_MINIMIZED) layoutResultsDialog(dialog);
      return TRUE;
    case WM_NCDESTROY: {
      const std::unique_ptr<ResultsDialogState> state(stateOf(dialog));
      SetWindowLongPtrW(dialog, DWLP_USER, 0);
      return FALSE;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      LRESULT result = 0;
      if (header->idFrom == kResultsList && header->code == NM_CUSTOMDRAW) {
        result = customDraw(*reinterpret_cast<const NMLVCUSTOMDRAW*>(lParam));
      } else if (header->idFrom == kResultsList && header->code == LVN_GETDISPINFOW) {
        guarded(dialog, [&] { supplyIcon(dialog, header->hwndFrom, *reinterpret_cast<NMLVDISPINFOW*>(lParam)); });
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
