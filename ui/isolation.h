// Common-controls calls made under this module's own activation context, so that the
// windows they create come from common controls 6 even in a host without a manifest.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

namespace lark {

// The activation functions the calls use: the platform's, found once, or a test's own to
// reach the plain path (functions missing: both null) and the refused one.
struct ActivationFunctions {
  BOOL(WINAPI* activate)(HANDLE, ULONG_PTR*);
  BOOL(WINAPI* deactivate)(DWORD, ULONG_PTR);
};
ActivationFunctions platformActivationFunctions();

void isolatedInitCommonControls(const ActivationFunctions& functions = platformActivationFunctions());
// Adds PSP_USEFUSIONCONTEXT and the module's context to a description large enough to
// carry them; null when the context cannot be activated.
HPROPSHEETPAGE isolatedCreatePropertySheetPage(PROPSHEETPAGEW* page,
                                               const ActivationFunctions& functions = platformActivationFunctions());
BOOL isolatedDestroyPropertySheetPage(HPROPSHEETPAGE page,
                                      const ActivationFunctions& functions = platformActivationFunctions());
// -1 when the context cannot be activated.
INT_PTR isolatedDialogBoxParam(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC procedure, LPARAM parameter,
                               const ActivationFunctions& functions = platformActivationFunctions());

}  // namespace lark
