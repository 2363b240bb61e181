// CShellExt: selection intake, the rename page and the page-bound lifetime.
#include "shell/shell_ext.h"

#include <new>
#include <vector>

#include "build_config.h"
#include "engine/page_controls.h"
#include "shell/com_base.h"
#include "shell/resource_ids.h"
#include "ui/isolation.h"
#include "ui/rename_page.h"
#include "update/update_checker.h"
#include "win32/drop_list.h"
#include "win32/file_system.h"
#include "win32/journal_folder.h"
#include "win32/module.h"

namespace lark {

const CLSID CLSID_ShellExt = LARK_CLSID_PARTS;
const wchar_t kInstanceMutexName[] = LARK_WIDE(LARK_MUTEX_NAME);

namespace {
constexpr int kPathBuffer = 2048;
}  // namespace

CShellExt::CShellExt(const ActivationFunctions& functions, std::unique_ptr<JournalFolder> journalFolder)
    : activation(functions), journals(std::move(journalFolder)),
      instanceMutex(CreateMutexW(nullptr, FALSE, kInstanceMutexName)) {
  state.owner = static_cast<IShellExtInit*>(this);
}

CShellExt::~CShellExt() = default;

HRESULT CShellExt::create(REFIID iid, void** out) {
  std::unique_ptr<JournalFolder> journals(new (std::nothrow) Win32JournalFolder());
  if (!journals) return E_OUTOFMEMORY;
  return create(iid, out, platformActivationFunctions(), std::move(journals));
}

HRESULT CShellExt::create(REFIID iid, void** out, const ActivationFunctions& activation,
                          std::unique_ptr<JournalFolder> journals) {
  CShellExt* object = nullptr;
  try {
    object = new CShellExt(activation, std::move(journals));  // its record allocates too
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
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
  isolatedInitCommonControls(activation);
  if (!data) return S_OK;
  FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  UniqueStorageMedium medium;
  const HRESULT got = data->GetData(&format, medium.put());
  if (got != S_OK) return got;
  const GlobalMemoryLock locked(medium.get().hGlobal);
  if (!locked.data()) return E_INVALIDARG;
  try {
    const std::vector<std::wstring> paths =
        readDropPaths(locked.data(), GlobalSize(medium.get().hGlobal), kPathBuffer);
    if (!paths.empty()) {
      Win32FileSystem disk;
      state.setSelection(paths, disk);
      startUpdateCheck(state);
    }
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
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
  state.fileSystems = &fileSystems;  // the page's context, made with the page
  state.journals = journals.get();
  page.lParam = reinterpret_cast<LPARAM>(&state);
  page.pfnCallback = renamePageCallback;
  page.pcRefParent = reinterpret_cast<UINT*>(ModuleLock::pointer());
  HPROPSHEETPAGE created = isolatedCreatePropertySheetPage(&page, activation);
  if (!created) return E_FAIL;
  AddRef();  // the page's reference, given back by its release callback
  if (addPage(created, parameter)) return S_OK;
  isolatedDestroyPropertySheetPage(created, activation);
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
