// The real client: Wine's own Properties sheet for a file, opened through the shell's
// context menu with the registered extension, its Rename tab found and used.
#include <windows.h>
#include <shlobj.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "build_config.h"
#include "engine/page_controls.h"
#include "automation/modal_catcher.h"
#include "automation/screenshot.h"
#include "automation/properties_sheet.h"
#include "tests/support/temp_folder.h"

namespace lark {
namespace {

// The file of the module that holds an address.
std::wstring moduleOf(const void* address) {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     static_cast<LPCWSTR>(address), &module);
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(module, path, MAX_PATH);
  return CharLowerW(path);
}

// The identity and manifest file of the first assembly of this thread's active context.
std::wstring activeAssembly() {
  HANDLE context = nullptr;
  if (!GetCurrentActCtx(&context)) return L"none";
  alignas(ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION) char buffer[4096] = {};
  DWORD index = 1;
  const BOOL ok = QueryActCtxW(0, context, &index, AssemblyDetailedInformationInActivationContext, buffer, sizeof buffer, nullptr);
  ReleaseActCtx(context);
  const auto* assembly = reinterpret_cast<const ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION*>(buffer);
  if (!ok || !assembly->lpAssemblyEncodedAssemblyIdentity || !assembly->lpAssemblyManifestPath) return L"none";
  std::wstring manifest = assembly->lpAssemblyManifestPath;
  return std::wstring(assembly->lpAssemblyEncodedAssemblyIdentity) + L" in " + CharLowerW(manifest.data());
}

// The DLL the shell should have loaded: the one registered for this test, as a Windows path.
std::wstring expectedDll() {
  wchar_t path[MAX_PATH] = {};
  GetEnvironmentVariableW(L"LARK_EXPECT_DLL", path, MAX_PATH);
  return CharLowerW(path);
}

TEST(RealClient, TheShellsPropertiesSheetShowsAWorkingRenamePage) {
  OleInitialize(nullptr);
  InitCommonControls();
  TempFolder folder;
  folder.createFile(L"Report.doc", "r");
  bool sawPage = false;
  std::wstring dialogContext;
  ModalCatcher catcher(IDCANCEL, [&](HWND sheet) {
    if (!GetDlgItem(sheet, 0x3020)) {
      // The results dialog runs under the context of the DLL's own manifest, whose
      // processor architecture is the build's.
      dialogContext = activeAssembly();
      return;
    }
    HWND page = showTab(sheet, L"Rename");
    if (!page) return;
    sawPage = true;
    EXPECT_EQ(expectedDll(), moduleOf(reinterpret_cast<void*>(GetWindowLongPtrW(page, DWLP_DLGPROC))))
        << "the page comes from the registered DLL";
    EXPECT_EQ(L"(.*)", controlText(page, kMatchEdit));
    EXPECT_EQ(L"\\1", controlText(page, kReplaceEdit));
    EXPECT_EQ(L"1 File", controlText(page, kSelectedCount));
    EXPECT_EQ(L"\"Report.doc\"", controlText(page, kExampleText));
    SetDlgItemTextW(page, kMatchEdit, L"\\.doc$");
    SetDlgItemTextW(page, kReplaceEdit, L".txt");
    EXPECT_EQ(L"\"Report.txt\"", controlText(page, kReplaceText));
    saveScreenshot(sheet, L"shell-properties");
    SendDlgItemMessageW(page, kTestButton, BM_CLICK, 0, 0);
  });
  EXPECT_EQ(S_OK, openProperties(folder.path(), {L"Report.doc"}));
  EXPECT_TRUE(sawPage) << "the Rename tab was in the sheet";
  bool sawListing = false;
  for (const auto& window : catcher.caught) {
    if (window.title.empty()) continue;
    sawListing = true;
    EXPECT_EQ(L"The following 1 file will be renamed:", window.title);
    EXPECT_EQ(std::vector<std::wstring>{L"  Report.doc | Report.txt"}, window.rows);
  }
  EXPECT_TRUE(sawListing);
#if defined(__aarch64__)
  const wchar_t* architecture = L"arm64";
#else
  const wchar_t* architecture = sizeof(void*) == 4 ? L"X86" : L"amd64";
#endif
  EXPECT_EQ(L"Qev.Larkspindle,processorArchitecture=\"" + std::wstring(architecture) +
                L"\",type=\"win32\",version=\"" LARK_WIDE(LARK_VERSION_TEXT) L"\" in " + expectedDll(),
            dialogContext);
}

}  // namespace
}  // namespace lark
