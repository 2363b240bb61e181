// Every way into the extension, driven while allocations fail one at a time: the four
// exports, the class factory's and the extension object's methods, the page callback,
// the rename page's window procedure (typing, options, Test, Rename, the timer) and the
// results dialog's. The product is linked in statically, so this program's operator new
// reaches its allocations. After each run nothing may have escaped, every reference
// and lock must be back, and no file may be lost.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "build_config.h"
#include "engine/page_controls.h"
#include "tests/support/drop_data.h"
#include "tests/support/fault_injection.h"
#include "automation/modal_catcher.h"
#include "automation/properties_sheet.h"
#include "tests/support/temp_folder.h"
#include "win32/journal_folder.h"
#include "shell/shell_ext.h"
#include "ui/isolation.h"
#include "win32/handles.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*);
extern "C" HRESULT __stdcall DllCanUnloadNow();
extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID clsid, REFIID iid, void** out);
extern "C" HRESULT __stdcall DllRegisterServer();
extern "C" HRESULT __stdcall DllUnregisterServer();

namespace lark {
namespace {

const CLSID kClsid = LARK_CLSID_PARTS;
const CLSID kOtherClsid = [] {  // one bit away from the module's class
  CLSID other = LARK_CLSID_PARTS;
  other.Data4[7] ^= 1;
  return other;
}();
const wchar_t kMutex[] = LARK_WIDE(LARK_MUTEX_NAME);

struct Pages {
  HPROPSHEETPAGE page[4];
  int count = 0;
};

BOOL CALLBACK collect(HPROPSHEETPAGE page, LPARAM pages) {
  auto* into = reinterpret_cast<Pages*>(pages);
  if (into->count == 4) return FALSE;
  into->page[into->count++] = page;
  return TRUE;
}

void click(HWND page, int id) {
  SendMessageW(page, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(page, id)));
}

// A sheet of the test's own around the page, used as a person would use it.
void usePage(HPROPSHEETPAGE handle) {
  HWND sheet = openModelessSheet(&handle, 1);
  if (!sheet) return;
  HWND page = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
  if (page) {
    SetDlgItemTextW(page, kMatchEdit, L"^(.+)\\.txt$");
    SetDlgItemTextW(page, kReplaceEdit, L"$1.md");
    click(page, kRenameFoldersCheck);
    click(page, kSearchSubfoldersCheck);
    click(page, kTestButton);
    click(page, kRenameButton);
    SendMessageW(page, WM_TIMER, 1, 0);
    SetDlgItemTextW(page, kMatchEdit, L"(");  // an invalid pattern in the preview
    RedrawWindow(sheet, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  }
  DestroyWindow(sheet);
}

// The shell's whole conversation with the extension, from the class object to the page.
// The page belongs to an object made as the class factory makes one, but handed the
// test's journal folder: the factory's own would journal in the user's.
void converse(DropData& selection, std::unique_ptr<JournalFolder> journals) {
  IClassFactory* factory = nullptr;
  DllGetClassObject(kOtherClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  DllGetClassObject(kClsid, IID_IClassFactory, nullptr);
  if (FAILED(DllGetClassObject(kClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)))) return;
  factory->LockServer(TRUE);
  factory->LockServer(FALSE);
  IUnknown* outer = factory;
  IUnknown* refused = nullptr;
  factory->CreateInstance(outer, IID_IUnknown, reinterpret_cast<void**>(&refused));
  IShellExtInit* made = nullptr;
  if (SUCCEEDED(factory->CreateInstance(nullptr, IID_IShellExtInit, reinterpret_cast<void**>(&made)))) made->Release();
  factory->Release();
  IShellExtInit* init = nullptr;
  if (FAILED(CShellExt::create(IID_IShellExtInit, reinterpret_cast<void**>(&init), platformActivationFunctions(),
                               std::move(journals)))) {
    return;
  }
  init->Initialize(nullptr, &selection, nullptr);
  IShellPropSheetExt* sheetExt = nullptr;
  Pages pages;
  if (SUCCEEDED(init->QueryInterface(IID_IShellPropSheetExt, reinterpret_cast<void**>(&sheetExt)))) {
    sheetExt->AddPages(collect, reinterpret_cast<LPARAM>(&pages));
    sheetExt->ReplacePage(0, collect, reinterpret_cast<LPARAM>(&pages));
    sheetExt->Release();
  }
  init->Release();  // the shell lets go; a page keeps the object alive
  for (int i = 0; i < pages.count; ++i) {
    if (i == 0) {
      usePage(pages.page[i]);
    } else {
      DestroyPropertySheetPage(pages.page[i]);
    }
  }
  DllCanUnloadNow();
}

bool mutexExists() {
  HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, kMutex);
  if (mutex) CloseHandle(mutex);
  return mutex != nullptr;
}

std::size_t filesBelow(const std::wstring& folder) {
  std::size_t count = 0;
  WIN32_FIND_DATAW data;
  const UniqueFindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &data));
  if (!find) return 0;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    count += (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? filesBelow(folder + L"\\" + name) : 1;
  } while (FindNextFileW(find.get(), &data));
  return count;
}

class EntryPoints : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    DllMain(GetModuleHandleW(nullptr), DLL_PROCESS_ATTACH, nullptr);
    isolatedInitCommonControls();
    OleInitialize(nullptr);
  }

  // Runs the work once to count its allocations, then again failing the first sixty
  // and a spread of the rest, one failure per run. The test's own machinery is set up
  // before each run, so that every allocation counted is the product's.
  void underFailures(const char* what, const std::function<void()>& prepare, const std::function<void()>& work,
                     const std::function<void()>& check) {
    auto once = [&](long failAt) {
      bool escaped = false;
      std::unique_ptr<ModalCatcher> catcher;
      {
        const faults::Pause setup;
        prepare();
        catcher = std::make_unique<ModalCatcher>(IDYES, nullptr, ModalCatcher::Bracket{faults::pause, faults::resume});
      }
      faults::arm(failAt);
      try {
        work();
      } catch (...) {
        escaped = true;
      }
      faults::disarm();
      catcher.reset();
      EXPECT_FALSE(escaped) << what << ": an exception escaped with allocation " << failAt << " failing";
      check();
    };
    once(0x7fffffff);  // warms up what is made once per process
    once(0x7fffffff);
    const long total = faults::counted();
    ASSERT_GT(total, 10) << what << " allocates: otherwise nothing here is tested";
    std::vector<long> points;
    for (long n = 0; n < std::min(total, 60L); ++n) points.push_back(n);
    for (long step = 1; step <= 140; ++step) {
      const long n = total * step / 141;
      if (n >= 60 && n != points.back()) points.push_back(n);
    }
    int fired = 0;
    for (long n : points) {
      once(n);
      fired += faults::fired() ? 1 : 0;
    }
    EXPECT_EQ(static_cast<int>(points.size()), fired) << what << ": every chosen allocation was reached and failed";
    std::printf("%s: %ld allocations, %zu runs with one failing\n", what, total, points.size());
  }
};

TEST_F(EntryPoints, NothingEscapesTheShellsConversationOrThePage) {
  TempFolder folder;
  const std::wstring journalFolder = folder.path() + L"\\Journal";
  std::unique_ptr<DropData> selection;
  std::unique_ptr<JournalFolder> journals;
  underFailures(
      "conversation and page",
      [&] {
        removeTree(folder.path() + L"\\Work");
        selection = std::make_unique<DropData>(std::vector<std::wstring>{
            folder.createFile(L"Work\\a.txt", "a"), folder.createFile(L"Work\\b.txt", "b"),
            folder.createFolder(L"Work\\Inner")});
        folder.createFile(L"Work\\Inner\\c.txt", "c");
        journals = std::make_unique<Win32JournalFolder>(journalFolder);
      },
      [&] { converse(*selection, std::move(journals)); },
      [&] {
        EXPECT_EQ(S_OK, DllCanUnloadNow()) << "every reference and lock is given back";
        EXPECT_FALSE(mutexExists());
        EXPECT_EQ(3u, filesBelow(folder.path() + L"\\Work")) << "no file is lost";
      });
  EXPECT_FALSE(Win32JournalFolder(journalFolder).names().empty()) << "the page's Rename runs are on record in the folder handed in";
}

// An extension object made by the module's class factory, as one of its interfaces.
template <typename Interface>
Interface* createObject(REFIID iid) {
  IClassFactory* factory = nullptr;
  EXPECT_EQ(S_OK, DllGetClassObject(kClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
  Interface* object = nullptr;
  EXPECT_EQ(S_OK, factory->CreateInstance(nullptr, iid, reinterpret_cast<void**>(&object)));
  factory->Release();
  return object;
}

TEST_F(EntryPoints, InitializeTurnsAnUnlockableHandleIntoAnError) {
  IShellExtInit* init = createObject<IShellExtInit>(IID_IShellExtInit);
  ASSERT_NE(nullptr, init);
  DropData selection({L"C:\\windows\\win.ini"});
  selection.staleHandle = true;
  EXPECT_EQ(E_INVALIDARG, init->Initialize(nullptr, &selection, nullptr));
  init->Release();
  EXPECT_EQ(S_OK, DllCanUnloadNow());
}

BOOL WINAPI refuseActivation(HANDLE, ULONG_PTR*) { return FALSE; }
BOOL WINAPI noDeactivation(DWORD, ULONG_PTR) { return TRUE; }

TEST_F(EntryPoints, AddPagesFailsAndHoldsNothingWhenThePageCannotBeMade) {
  // The module's context cannot be activated, so the page is never created.
  const ActivationFunctions refusing = {refuseActivation, noDeactivation};
  IShellPropSheetExt* sheetExt = nullptr;
  ASSERT_EQ(S_OK, CShellExt::create(IID_IShellPropSheetExt, reinterpret_cast<void**>(&sheetExt), refusing, nullptr));
  Pages pages;
  EXPECT_EQ(E_FAIL, sheetExt->AddPages(collect, reinterpret_cast<LPARAM>(&pages)));
  EXPECT_EQ(0, pages.count);
  EXPECT_EQ(0u, sheetExt->Release()) << "no reference is left for a page that does not exist";
  EXPECT_EQ(S_OK, DllCanUnloadNow());
}

TEST_F(EntryPoints, InitializeReportsAnAllocationFailureAsOutOfMemory) {
  TempFolder folder;
  DropData selection({folder.createFile(L"a.txt", "a")});
  int outOfMemory = 0;
  underFailures(
      "Initialize", [] {},
      [&] {
        IClassFactory* factory = nullptr;
        if (FAILED(DllGetClassObject(kClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)))) return;
        IShellExtInit* init = nullptr;
        const HRESULT created = factory->CreateInstance(nullptr, IID_IShellExtInit, reinterpret_cast<void**>(&init));
        factory->Release();
        if (FAILED(created)) return;
        const HRESULT result = init->Initialize(nullptr, &selection, nullptr);
        outOfMemory += result == E_OUTOFMEMORY ? 1 : 0;
        init->Release();
      },
      [] { EXPECT_EQ(S_OK, DllCanUnloadNow()); });
  EXPECT_GT(outOfMemory, 0) << "some failure landed inside Initialize and was answered E_OUTOFMEMORY";
}

TEST_F(EntryPoints, RegistrationFailsCleanlyAndCanAlwaysBeUndone) {
  underFailures(
      "registration", [] {},
      [] {
        DllRegisterServer();
        DllUnregisterServer();
      },
      [] {});
  EXPECT_EQ(S_OK, DllRegisterServer());
  EXPECT_EQ(S_OK, DllUnregisterServer());
  HKEY key = nullptr;
  EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID\\" LARK_WIDE(LARK_CLSID_TEXT), 0,
                                         KEY_READ, &key));
}

}  // namespace
}  // namespace lark
