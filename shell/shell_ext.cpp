// CShellExt: selection intake, the rename page and the page-bound lifetime.
#include "shell/shell_ext.h"

#include <shellapi.h>

#include <new>
#include <vector>

#include "engine/page_controls.h"
#include "shell/com_base.h"
#include "shell/win32_file_system.h"
#include "ui/isolation.h"
#include "ui/rename_page.h"
#include "update/update_checker.h"

namespace lark {

// {6B2E9A41-3C7D-4F58-9E1A-2D5C8B7F04A3}, also written in the registration script.
const CLSID CLSID_ShellExt = {0x6b2e9a41, 0x3c7d, 0x4f58, {0x9e, 0x1a, 0x2d, 0x5c, 0x8b, 0x7f, 0x04, 0xa3}};
const wchar_t kInstanceMutexName[] = L"Larkspindle_A83F5C12-7E94-4B6D-8C21-F0D93E6A5B47_Mutex";

namespace {
constexpr int kPageIcon = 203;
constexpr int kPathBuffer = 2048;
}  // namespace

CShellExt::CShellExt() {
  state.owner = this;
  instanceMutex = CreateMutexW(nullptr, FALSE, kInstanceMutexName);
}

// The mutex goes first; then the members: the state (stopping its update check), and
// last the module lock.
CShellExt::~CShellExt() {
  if (instanceMutex) CloseHandle(instanceMutex);
}

HRESULT CShellExt::create(REFIID iid, void** out) {
  auto* object = new (std::nothrow) CShellExt();
  if (!object) return E_OUTOFMEMORY;
  object->AddRef();
  const HRESULT result = object->QueryInterface(iid, out);
  object->Release();  // the query's reference is the only one left, or none on failure
  return result;
}

STDMETHODIMP CShellExt::QueryInterface(REFIID iid, void** out) {
  return queryInterfaceTable(iid, out, {{IID_IShellExtInit, static_cast<IShellExtInit*>(this)},
                                        {IID_IShellPropSheetExt, static_cast<IShellPropSheetExt*>(this)}});
}

STDMETHODIMP_(ULONG) CShellExt::AddRef() { return ++references; }

STDMETHODIMP_(ULONG) CShellExt::Release() {
  const LONG count = --references;
  if (count == 0) delete this;
  return count;
}

STDMETHODIMP CShellExt::Initialize(PCIDLIST_ABSOLUTE, IDataObject* data, HKEY) {
  isolatedInitCommonControls();
  if (!data) return S_OK;
  FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium = {};
  medium.tymed = TYMED_HGLOBAL;
  const HRESULT got = data->GetData(&format, &medium);
  if (got != S_OK) return got;
  if (!GlobalLock(medium.hGlobal)) {
    ReleaseStgMedium(&medium);
    return E_INVALIDARG;
  }
  HRESULT result = S_OK;
  try {
    auto drop = static_cast<HDROP>(medium.hGlobal);
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    std::vector<std::wstring> paths;
    for (UINT i = 0; i < count; ++i) {
      // A path longer than the buffer would come back cut short, naming another file:
      // ask for its length first and leave it out instead.
      const UINT length = DragQueryFileW(drop, i, nullptr, 0);
      if (length == 0 || length >= kPathBuffer) continue;
      std::vector<wchar_t> buffer(kPathBuffer + 1, L'\0');
      const UINT copied = DragQueryFileW(drop, i, buffer.data(), kPathBuffer);
      if (copied != 0) paths.emplace_back(buffer.data(), copied);
    }
    if (!paths.empty()) {
      Win32FileSystem disk;
      state.setSelection(paths, disk);
      startUpdateCheck(state);
    }
  } catch (...) {
    result = E_OUTOFMEMORY;
  }
  GlobalUnlock(medium.hGlobal);
  ReleaseStgMedium(&medium);
  return result;
}

STDMETHODIMP CShellExt::AddPages(LPFNSVADDPROPSHEETPAGE addPage, LPARAM parameter) {
  PROPSHEETPAGEW page;
  ZeroMemory(&page, sizeof page);
  page.dwSize = sizeof page;
  page.dwFlags = PSP_USEICONID | PSP_HASHELP | PSP_USEREFPARENT | PSP_USECALLBACK;
  page.hInstance = thisModule();
  page.pszTemplate = MAKEINTRESOURCEW(kRenamePageDialog);
  page.pszIcon = MAKEINTRESOURCEW(kPageIcon);
  page.pfnDlgProc = renamePageProc;
  page.lParam = reinterpret_cast<LPARAM>(&state);
  page.pfnCallback = renamePageCallback;
  page.pcRefParent = reinterpret_cast<UINT*>(ModuleLock::pointer());
  HPROPSHEETPAGE created = isolatedCreatePropertySheetPage(&page);
  if (!created) return E_FAIL;
  AddRef();  // the page's reference, given back by its release callback
  if (addPage(created, parameter)) return S_OK;
  isolatedDestroyPropertySheetPage(created);
  return E_FAIL;
}

STDMETHODIMP CShellExt::ReplacePage(EXPPS, LPFNSVADDPROPSHEETPAGE, LPARAM) { return E_FAIL; }

UINT CALLBACK CShellExt::renamePageCallback(HWND, UINT message, PROPSHEETPAGEW* page) {
  if (message == PSPCB_RELEASE && page && page->lParam) {
    reinterpret_cast<RenameState*>(page->lParam)->owner->Release();
  }
  return 1;
}

}  // namespace lark
