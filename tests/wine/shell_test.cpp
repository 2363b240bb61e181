// Larkspindle.dll loaded by path, as the shell loads it: the class factory, the
// extension object's intake and page, the module's lock count and the named mutex.
#include <windows.h>
#include <shlobj.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "build_config.h"
#include "engine/page_controls.h"
#include "tests/support/drop_data.h"
#include "automation/properties_sheet.h"
#include "tests/support/temp_folder.h"

namespace {

using lark::DropData;

const CLSID kClsid = LARK_CLSID_PARTS;
const wchar_t kMutex[] = LARK_WIDE(LARK_MUTEX_NAME);

using GetClassObjectFn = HRESULT(__stdcall*)(REFCLSID, REFIID, void**);
using CanUnloadFn = HRESULT(__stdcall*)();

class ShellExtension : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    wchar_t unixPath[1024] = {};
    ASSERT_NE(0u, GetEnvironmentVariableW(L"LARK_DLL", unixPath, 1024)) << "run through CTest, which names the DLL";
    std::wstring path = L"Z:" + std::wstring(unixPath);
    for (auto& unit : path) if (unit == L'/') unit = L'\\';
    module = LoadLibraryW(path.c_str());
    ASSERT_NE(nullptr, module);
    getClassObject = reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    canUnload = reinterpret_cast<CanUnloadFn>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
    OleInitialize(nullptr);
    InitCommonControls();
  }
  IClassFactory* factory() {
    IClassFactory* result = nullptr;
    EXPECT_EQ(S_OK, getClassObject(kClsid, IID_IClassFactory, reinterpret_cast<void**>(&result)));
    return result;
  }
  IShellExtInit* create() {
    IClassFactory* classFactory = factory();
    IShellExtInit* object = nullptr;
    EXPECT_EQ(S_OK, classFactory->CreateInstance(nullptr, IID_IShellExtInit, reinterpret_cast<void**>(&object)));
    classFactory->Release();
    return object;
  }
  static bool mutexExists() {
    HANDLE found = OpenMutexW(SYNCHRONIZE, FALSE, kMutex);
    if (found) CloseHandle(found);
    return found != nullptr;
  }
  static HMODULE module;
  static GetClassObjectFn getClassObject;
  static CanUnloadFn canUnload;
};
HMODULE ShellExtension::module = nullptr;
GetClassObjectFn ShellExtension::getClassObject = nullptr;
CanUnloadFn ShellExtension::canUnload = nullptr;

TEST_F(ShellExtension, TheClassFactoryFollowsTheFailureTable) {
  EXPECT_EQ(S_OK, canUnload()) << "nothing holds the module yet";
  EXPECT_EQ(E_POINTER, getClassObject(kClsid, IID_IClassFactory, nullptr));
  void* result = reinterpret_cast<void*>(1);
  EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, getClassObject(IID_IUnknown, IID_IClassFactory, &result));
  EXPECT_EQ(nullptr, result);
  EXPECT_EQ(E_NOINTERFACE, getClassObject(kClsid, IID_IDataObject, &result));
  EXPECT_EQ(nullptr, result);

  IClassFactory* first = factory();
  IClassFactory* second = factory();
  EXPECT_EQ(first, second) << "one factory, created once";
  EXPECT_EQ(S_FALSE, canUnload()) << "a factory held from outside locks the module";
  IUnknown* outer = first;
  for (REFIID iid : {IID_IUnknown, IID_IShellExtInit}) {
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(CLASS_E_NOAGGREGATION, first->CreateInstance(outer, iid, &object));
    EXPECT_EQ(nullptr, object);
  }
  EXPECT_EQ(E_POINTER, first->CreateInstance(nullptr, IID_IShellExtInit, nullptr));
  void* nothing = nullptr;
  EXPECT_EQ(E_NOINTERFACE, first->CreateInstance(nullptr, IID_IDataObject, &nothing));
  second->Release();
  first->Release();
  EXPECT_EQ(S_OK, canUnload());

  IClassFactory* locking = factory();
  locking->LockServer(TRUE);
  locking->Release();
  EXPECT_EQ(S_FALSE, canUnload());
  locking = factory();
  locking->LockServer(FALSE);
  locking->Release();
  EXPECT_EQ(S_OK, canUnload());
}

TEST_F(ShellExtension, AnObjectHoldsTheModuleAndTheMutexForItsLife) {
  EXPECT_FALSE(mutexExists());
  IShellExtInit* one = create();
  IShellExtInit* two = create();
  EXPECT_TRUE(mutexExists());
  EXPECT_EQ(S_FALSE, canUnload());
  IShellPropSheetExt* sheetExt = nullptr;
  EXPECT_EQ(S_OK, one->QueryInterface(IID_IShellPropSheetExt, reinterpret_cast<void**>(&sheetExt)));
  EXPECT_EQ(E_FAIL, sheetExt->ReplacePage(0, nullptr, 0));
  sheetExt->Release();
  one->Release();
  EXPECT_TRUE(mutexExists()) << "the other object still lives";
  two->Release();
  EXPECT_FALSE(mutexExists());
  EXPECT_EQ(S_OK, canUnload());
}

TEST_F(ShellExtension, InitializeFollowsTheFailureTable) {
  IShellExtInit* object = create();
  EXPECT_EQ(S_OK, object->Initialize(nullptr, nullptr, nullptr));
  DropData nothing({}, false);
  EXPECT_EQ(DV_E_FORMATETC, object->Initialize(nullptr, &nothing, nullptr)) << "the data object's own error";
  DropData empty({});
  EXPECT_EQ(S_OK, object->Initialize(nullptr, &empty, nullptr));
  object->Release();
}

BOOL CALLBACK refuse(HPROPSHEETPAGE, LPARAM) { return FALSE; }
BOOL CALLBACK collect(HPROPSHEETPAGE page, LPARAM pages) {
  reinterpret_cast<std::vector<HPROPSHEETPAGE>*>(pages)->push_back(page);
  return TRUE;
}

TEST_F(ShellExtension, ARefusedPageLeavesTheCountBalanced) {
  IShellExtInit* object = create();
  IShellPropSheetExt* sheetExt = nullptr;
  object->QueryInterface(IID_IShellPropSheetExt, reinterpret_cast<void**>(&sheetExt));
  const ULONG before = sheetExt->AddRef() - 1;
  sheetExt->Release();
  EXPECT_EQ(E_FAIL, sheetExt->AddPages(refuse, 0));
  EXPECT_EQ(before, sheetExt->AddRef() - 1);
  sheetExt->Release();
  sheetExt->Release();
  object->Release();
  EXPECT_FALSE(mutexExists());
  EXPECT_EQ(S_OK, canUnload());
}


TEST_F(ShellExtension, ThePageKeepsTheModuleUntilTheSheetIsGone) {
  lark::TempFolder folder;
  const std::wstring file = folder.createFile(L"Report.doc", "r");
  std::vector<HPROPSHEETPAGE> pages;
  {
    IShellExtInit* object = create();
    DropData selection({file});
    EXPECT_EQ(S_OK, object->Initialize(nullptr, &selection, nullptr));
    IShellPropSheetExt* sheetExt = nullptr;
    object->QueryInterface(IID_IShellPropSheetExt, reinterpret_cast<void**>(&sheetExt));
    EXPECT_EQ(S_OK, sheetExt->AddPages(collect, reinterpret_cast<LPARAM>(&pages)));
    sheetExt->Release();
    object->Release();  // the shell lets go; the page keeps the object
  }
  ASSERT_EQ(1u, pages.size());
  EXPECT_TRUE(mutexExists());
  EXPECT_EQ(S_FALSE, canUnload());

  HWND sheet = lark::openModelessSheet(pages.data(), static_cast<UINT>(pages.size()));
  ASSERT_NE(nullptr, sheet);
  HWND page = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
  EXPECT_EQ(L"1 File", lark::controlText(page, kSelectedCount));
  EXPECT_EQ(L"\"Report.doc\"", lark::controlText(page, kExampleText));
  DestroyWindow(sheet);
  EXPECT_FALSE(mutexExists()) << "closing the sheet released the last reference";
  EXPECT_EQ(S_OK, canUnload());
}

TEST_F(ShellExtension, APathTooLongForTheBufferIsLeftOutNotCut) {
  lark::TempFolder folder;
  const std::wstring file = folder.createFile(L"short.txt", "s");
  // Cut to 2047 characters this would name another file; it must not be taken at all.
  const std::wstring tooLong = folder.path() + L"\\" + std::wstring(2100, L'x') + L".txt";
  std::vector<HPROPSHEETPAGE> pages;
  IShellExtInit* object = create();
  DropData selection({tooLong, file});
  EXPECT_EQ(S_OK, object->Initialize(nullptr, &selection, nullptr));
  IShellPropSheetExt* sheetExt = nullptr;
  object->QueryInterface(IID_IShellPropSheetExt, reinterpret_cast<void**>(&sheetExt));
  EXPECT_EQ(S_OK, sheetExt->AddPages(collect, reinterpret_cast<LPARAM>(&pages)));
  sheetExt->Release();
  object->Release();
  ASSERT_EQ(1u, pages.size());
  HWND sheet = lark::openModelessSheet(pages.data(), static_cast<UINT>(pages.size()));
  ASSERT_NE(nullptr, sheet);
  HWND page = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
  EXPECT_EQ(L"1 File", lark::controlText(page, kSelectedCount));
  EXPECT_EQ(L"\"short.txt\"", lark::controlText(page, kExampleText));
  DestroyWindow(sheet);
  EXPECT_EQ(S_OK, canUnload());
}

TEST_F(ShellExtension, CarriesItsFileVersion) {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(module, path, MAX_PATH);
  DWORD ignored = 0;
  std::vector<BYTE> block(GetFileVersionInfoSizeW(path, &ignored));
  ASSERT_FALSE(block.empty());
  ASSERT_TRUE(GetFileVersionInfoW(path, 0, static_cast<DWORD>(block.size()), block.data()));
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &length));
  EXPECT_EQ(0x00010000u, info->dwFileVersionMS);
  EXPECT_EQ(0x00000003u, info->dwFileVersionLS);
  EXPECT_EQ(static_cast<DWORD>(VFT_DLL), info->dwFileType);
}

}  // namespace
