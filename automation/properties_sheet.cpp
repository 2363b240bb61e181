// The "properties" verb through the shell's context menu, and sheets of our own.
#include "automation/properties_sheet.h"

#include <shlobj.h>
#include <commctrl.h>

#include "win32/handles.h"

namespace lark {

namespace {

// An item identifier list from the shell's allocator.
struct ItemIdList {
  ItemIdList() = default;
  ItemIdList(const ItemIdList&) = delete;
  ItemIdList& operator=(const ItemIdList&) = delete;
  ~ItemIdList() { CoTaskMemFree(id); }
  PIDLIST_RELATIVE id = nullptr;
};

}  // namespace

long openProperties(const std::wstring& folder, const std::vector<std::wstring>& names) {
  ComPtr<IShellFolder> desktop;
  HRESULT result = SHGetDesktopFolder(desktop.put());
  if (FAILED(result)) return result;
  ItemIdList folderId;
  ComPtr<IShellFolder> parent;
  result = desktop->ParseDisplayName(nullptr, nullptr, const_cast<wchar_t*>(folder.c_str()), nullptr, &folderId.id, nullptr);
  if (SUCCEEDED(result)) result = desktop->BindToObject(folderId.id, nullptr, IID_IShellFolder, parent.putVoid());
  std::vector<ItemIdList> items(names.size());
  std::vector<PCUITEMID_CHILD> children;
  for (std::size_t i = 0; i < names.size() && SUCCEEDED(result); ++i) {
    result = parent->ParseDisplayName(nullptr, nullptr, const_cast<wchar_t*>(names[i].c_str()), nullptr, &items[i].id, nullptr);
    if (SUCCEEDED(result)) children.push_back(reinterpret_cast<PCUITEMID_CHILD>(items[i].id));
  }
  ComPtr<IContextMenu> menu;
  if (SUCCEEDED(result)) {
    result = parent->GetUIObjectOf(nullptr, static_cast<UINT>(children.size()), children.data(), IID_IContextMenu,
                                   nullptr, menu.putVoid());
  }
  if (SUCCEEDED(result)) {
    CMINVOKECOMMANDINFO command = {};
    command.cbSize = sizeof command;
    command.lpVerb = "properties";
    command.nShow = SW_SHOWNORMAL;
    result = menu->InvokeCommand(&command);
  }
  return result;
}

HWND openModelessSheet(HPROPSHEETPAGE* pages, UINT count, DWORD extraFlags) {
  PROPSHEETHEADERW header = {};
  header.dwSize = sizeof header;
  header.dwFlags = PSH_MODELESS | extraFlags;
  header.pszCaption = L"Properties";
  header.nPages = count;
  header.phpage = pages;
  HWND sheet = reinterpret_cast<HWND>(PropertySheetW(&header));
  if (sheet) ShowWindow(sheet, SW_SHOW);
  return sheet;
}

HWND showTab(HWND sheet, const std::wstring& label) {
  HWND tabs = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0));
  const int count = static_cast<int>(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    wchar_t text[64] = {};
    TCITEMW tab = {};
    tab.mask = TCIF_TEXT;
    tab.pszText = text;
    tab.cchTextMax = 64;
    SendMessageW(tabs, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&tab));
    if (label == text) {
      SendMessageW(sheet, PSM_SETCURSEL, i, 0);
      return reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    }
  }
  return nullptr;
}

std::wstring controlText(HWND dialog, int id) {
  wchar_t buffer[4096] = {};
  GetDlgItemTextW(dialog, id, buffer, 4096);
  return buffer;
}

}  // namespace lark
