// Cells of a report-view list.
#include "automation/list_view.h"

#include <commctrl.h>

namespace lark {

std::wstring listCell(HWND list, int row, int column) {
  wchar_t buffer[1024] = {};
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = buffer;
  item.cchTextMax = 1024;
  SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
  return buffer;
}

std::wstring listHeading(HWND list, int column) {
  wchar_t buffer[256] = {};
  LVCOLUMNW record = {};
  record.mask = LVCF_TEXT;
  record.pszText = buffer;
  record.cchTextMax = 256;
  SendMessageW(list, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&record));
  return buffer;
}

}  // namespace lark
