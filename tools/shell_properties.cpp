// The "properties" verb through the shell's context menu.
#include "tools/shell_properties.h"

#include <windows.h>
#include <shlobj.h>
#include <commctrl.h>

namespace lark {

long openProperties(const std::wstring& folder, const std::vector<std::wstring>& names) {
  IShellFolder* desktop = nullptr;
  HRESULT result = SHGetDesktopFolder(&desktop);
  if (FAILED(result)) return result;
  PIDLIST_RELATIVE folderId = nullptr;
  IShellFolder* parent = nullptr;
  std::vector<PIDLIST_RELATIVE> items;
  std::vector<PCUITEMID_CHILD> children;
  result = desktop->ParseDisplayName(nullptr, nullptr, const_cast<wchar_t*>(folder.c_str()), nullptr, &folderId, nullptr);
  if (SUCCEEDED(result)) result = desktop->BindToObject(folderId, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&parent));
  for (const auto& name : names) {
    if (FAILED(result)) break;
    PIDLIST_RELATIVE item = nullptr;
    result = parent->ParseDisplayName(nullptr, nullptr, const_cast<wchar_t*>(name.c_str()), nullptr, &item, nullptr);
    if (SUCCEEDED(result)) {
      items.push_back(item);
      children.push_back(reinterpret_cast<PCUITEMID_CHILD>(item));
    }
  }
  IContextMenu* menu = nullptr;
  if (SUCCEEDED(result)) {
    result = parent->GetUIObjectOf(nullptr, static_cast<UINT>(items.size()),
                                   children.data(), IID_IContextMenu, nullptr,
                                   reinterpret_cast<void**>(&menu));
  }
  if (SUCCEEDED(result)) {
    CMINVOKECOMMANDINFO command = {};
    command.cbSize = sizeof command;
    command.lpVerb = "properties";
    command.nShow = SW_SHOWNORMAL;
    result = menu->InvokeCommand(&command);
    menu->Release();
  }
  for (auto item : items) CoTaskMemFree(item);
  if (parent) parent->Release();
  CoTaskMemFree(folderId);
  desktop->Release();
  return result;
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

std::wstring listCell(HWND list, int row, int column) {
  wchar_t buffer[1024] = {};
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = buffer;
  item.cchTextMax = 1024;
  SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
  return buffer;
}

}  // namespace lark
