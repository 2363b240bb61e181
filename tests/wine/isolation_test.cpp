// The isolation-aware calls: the context around each call, the page description's flag,
// the plain path without activation functions, and the refusal when activation fails.
// Each test hands its own activation functions to the calls.
#include "ui/isolation.h"
#include "win32/module.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/page_controls.h"

namespace lark {
namespace {

std::vector<std::string> calls;
BOOL activateOk;

BOOL WINAPI fakeActivate(HANDLE, ULONG_PTR* cookie) {
  calls.push_back("activate");
  *cookie = 7;
  return activateOk;
}
BOOL WINAPI fakeDeactivate(DWORD, ULONG_PTR cookie) {
  calls.push_back(cookie == 7 ? "deactivate" : "deactivate with a stranger's cookie");
  SetLastError(0);  // a deactivation that disturbs the last error
  return TRUE;
}

INT_PTR CALLBACK closeAtOnce(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) EndDialog(dialog, 5);
  return FALSE;
}

class Isolation : public ::testing::Test {
 protected:
  void SetUp() override { isolatedInitCommonControls(); calls.clear(); activateOk = TRUE; }
  PROPSHEETPAGEW description(DWORD size, DWORD flags) {
    PROPSHEETPAGEW page = {};
    page.dwSize = size;
    page.dwFlags = flags;
    page.hInstance = thisModule();
    page.pszTemplate = MAKEINTRESOURCEW(kRenamePageDialog);
    page.pfnDlgProc = closeAtOnce;
    return page;
  }
};

TEST_F(Isolation, ActivatesAroundEachCallAndKeepsItsLastError) {
  const ActivationFunctions functions = {fakeActivate, fakeDeactivate};
  EXPECT_EQ(-1, isolatedDialogBoxParam(thisModule(), MAKEINTRESOURCEW(999), nullptr, closeAtOnce, 0, functions));
  EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND), GetLastError()) << "the call's error, not the deactivation's";
  EXPECT_EQ((std::vector<std::string>{"activate", "deactivate"}), calls);
  calls.clear();
  EXPECT_EQ(5, isolatedDialogBoxParam(thisModule(), MAKEINTRESOURCEW(kResultsDialog), nullptr, closeAtOnce, 0, functions));
  EXPECT_EQ((std::vector<std::string>{"activate", "deactivate"}), calls);
}

TEST_F(Isolation, MarksLargeEnoughPageDescriptionsWithTheModulesContext) {
  const ActivationFunctions functions = {fakeActivate, fakeDeactivate};
  PROPSHEETPAGEW full = description(sizeof(PROPSHEETPAGEW), PSP_DEFAULT);
  HPROPSHEETPAGE page = isolatedCreatePropertySheetPage(&full, functions);
  ASSERT_NE(nullptr, page);
  EXPECT_TRUE(full.dwFlags & PSP_USEFUSIONCONTEXT);
  EXPECT_TRUE(isolatedDestroyPropertySheetPage(page, functions));

  PROPSHEETPAGEW small = description(PROPSHEETPAGEW_V2_SIZE, PSP_DEFAULT);
  page = isolatedCreatePropertySheetPage(&small, functions);
  ASSERT_NE(nullptr, page);
  EXPECT_FALSE(small.dwFlags & PSP_USEFUSIONCONTEXT) << "too small to carry a context";
  isolatedDestroyPropertySheetPage(page, functions);
}

// A description carries hActCtx from 52 bytes in a 32-bit build (96 in a 64-bit one):
// from there on the page gets the flag and the module's own context, below it neither.
TEST_F(Isolation, MarksDescriptionsFromTheSizeThatCarriesAContext) {
  const ActivationFunctions functions = {fakeActivate, fakeDeactivate};
  HANDLE own = nullptr;
  ACTIVATION_CONTEXT_BASIC_INFORMATION info = {};
  if (QueryActCtxW(QUERY_ACTCTX_FLAG_ACTCTX_IS_ADDRESS | QUERY_ACTCTX_FLAG_NO_ADDREF,
                   reinterpret_cast<HANDLE>(reinterpret_cast<ULONG_PTR>(&closeAtOnce)), nullptr,
                   ActivationContextBasicInformation, &info, sizeof info, nullptr)) {
    own = info.hActCtx;
  }
  const DWORD carriesContext = sizeof(void*) == 4 ? 52 : 96;
  const HANDLE untouched = reinterpret_cast<HANDLE>(0x5a5a);
  for (const DWORD size : {carriesContext - 4, carriesContext, static_cast<DWORD>(sizeof(PROPSHEETPAGEW))}) {
    PROPSHEETPAGEW page = description(size, PSP_DEFAULT);
    page.hActCtx = untouched;
    HPROPSHEETPAGE created = isolatedCreatePropertySheetPage(&page, functions);
    ASSERT_NE(nullptr, created) << size;
    const bool carries = size >= carriesContext;
    EXPECT_EQ(carries, (page.dwFlags & PSP_USEFUSIONCONTEXT) != 0) << size;
    EXPECT_EQ(carries ? own : untouched, page.hActCtx) << size;
    isolatedDestroyPropertySheetPage(created, functions);
  }
}

TEST_F(Isolation, WithoutActivationFunctionsEveryCallIsPlain) {
  const ActivationFunctions functions = {nullptr, nullptr};
  PROPSHEETPAGEW full = description(sizeof(PROPSHEETPAGEW), PSP_USEFUSIONCONTEXT);
  HPROPSHEETPAGE page = isolatedCreatePropertySheetPage(&full, functions);
  ASSERT_NE(nullptr, page);
  EXPECT_FALSE(full.dwFlags & PSP_USEFUSIONCONTEXT) << "the flag is removed";
  isolatedDestroyPropertySheetPage(page, functions);
  EXPECT_EQ(5, isolatedDialogBoxParam(thisModule(), MAKEINTRESOURCEW(kResultsDialog), nullptr, closeAtOnce, 0, functions));
}

TEST_F(Isolation, AFailedActivationMakesNoCall) {
  activateOk = FALSE;
  const ActivationFunctions functions = {fakeActivate, fakeDeactivate};
  PROPSHEETPAGEW full = description(sizeof(PROPSHEETPAGEW), PSP_DEFAULT);
  EXPECT_EQ(nullptr, isolatedCreatePropertySheetPage(&full, functions));
  EXPECT_EQ(-1, isolatedDialogBoxParam(thisModule(), MAKEINTRESOURCEW(kResultsDialog), nullptr, closeAtOnce, 0, functions));
  EXPECT_EQ((std::vector<std::string>{"activate", "activate"}), calls) << "nothing to deactivate";
}

}  // namespace
}  // namespace lark
