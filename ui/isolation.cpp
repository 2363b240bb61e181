// The isolation-aware calls: activate the module's context, call, restore the previous
// context and the call's last-error value.
#include "ui/isolation.h"

#include <cstddef>

namespace lark {

namespace {

using ActivateFn = BOOL(WINAPI*)(HANDLE, ULONG_PTR*);
using DeactivateFn = BOOL(WINAPI*)(DWORD, ULONG_PTR);
using QueryFn = BOOL(WINAPI*)(DWORD, HANDLE, PVOID, ULONG, PVOID, SIZE_T, SIZE_T*);

// Looked up rather than imported, so that a platform without activation contexts
// still loads the module and simply makes every call plainly.
struct Activation {
  ActivateFn activate = nullptr;
  DeactivateFn deactivate = nullptr;
  HANDLE context = nullptr;
  bool available = false;
};

const Activation& platformActivation() {
  static const Activation found = [] {
    Activation a;
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    a.activate = reinterpret_cast<ActivateFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "ActivateActCtx")));
    a.deactivate = reinterpret_cast<DeactivateFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "DeactivateActCtx")));
    auto query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "QueryActCtxW")));
    a.available = a.activate && a.deactivate && query;
    if (a.available) {
      // The context the loader made from this module's manifest (resource 2).
      ACTIVATION_CONTEXT_BASIC_INFORMATION info = {};
      if (query(QUERY_ACTCTX_FLAG_ACTCTX_IS_ADDRESS | QUERY_ACTCTX_FLAG_NO_ADDREF,
                reinterpret_cast<HANDLE>(reinterpret_cast<ULONG_PTR>(&platformActivation)), nullptr,
                ActivationContextBasicInformation, &info, sizeof info, nullptr)) {
        a.context = info.hActCtx;
      }
    }
    return a;
  }();
  return found;
}

// The functions given, with the module's own context.
Activation activationWith(const ActivationFunctions& functions) {
  Activation a;
  a.activate = functions.activate;
  a.deactivate = functions.deactivate;
  a.context = platformActivation().context;
  a.available = functions.activate && functions.deactivate;
  return a;
}

// The module's context, active from construction (when activating succeeds) until the
// guard goes; the deactivation keeps the last-error value of the call made under it.
class ActiveContext {
 public:
  explicit ActiveContext(const Activation& a) : activation_(a) { active_ = a.activate(a.context, &cookie_) != FALSE; }
  ~ActiveContext() {
    if (!active_) return;
    const DWORD lastError = GetLastError();
    activation_.deactivate(0, cookie_);
    SetLastError(lastError);
  }
  ActiveContext(const ActiveContext&) = delete;
  ActiveContext& operator=(const ActiveContext&) = delete;
  bool active() const { return active_; }

 private:
  const Activation& activation_;
  ULONG_PTR cookie_ = 0;
  bool active_ = false;
};

// Runs a call under the module's context; `refused` when activating fails.
template <typename Result, typename Call>
Result underModuleContext(const Activation& a, Result refused, Call call) {
  if (!a.available) return call();
  const ActiveContext context(a);
  if (!context.active()) return refused;
  return call();
}

struct CommonControls {
  void(WINAPI* initCommonControls)() = nullptr;
  HPROPSHEETPAGE(WINAPI* createPage)(LPCPROPSHEETPAGEW) = nullptr;
  BOOL(WINAPI* destroyPage)(HPROPSHEETPAGE) = nullptr;
};

// Loaded once, under the module's context, so the version-6 library is the one found.
const CommonControls& commonControls() {
  static const CommonControls found = [] {
    CommonControls c;
    underModuleContext(platformActivation(), 0, [&c] {
      HMODULE library = LoadLibraryW(L"Comctl32.dll");
      if (library) {
        c.initCommonControls = reinterpret_cast<void(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(library, "InitCommonControls")));
        c.createPage = reinterpret_cast<HPROPSHEETPAGE(WINAPI*)(LPCPROPSHEETPAGEW)>(
            reinterpret_cast<void*>(GetProcAddress(library, "CreatePropertySheetPageW")));
        c.destroyPage = reinterpret_cast<BOOL(WINAPI*)(HPROPSHEETPAGE)>(
            reinterpret_cast<void*>(GetProcAddress(library, "DestroyPropertySheetPage")));
      }
      return 0;
    });
    return c;
  }();
  return found;
}

// The size from which a page description carries hActCtx (52 bytes in a 32-bit build).
constexpr DWORD kPageSizeWithContext = offsetof(PROPSHEETPAGEW, hActCtx) + sizeof(HANDLE);
static_assert(sizeof(void*) != 4 || kPageSizeWithContext == 52, "the 32-bit page description carries hActCtx from 52 bytes");

}  // namespace

ActivationFunctions platformActivationFunctions() {
  const Activation& a = platformActivation();
  return a.available ? ActivationFunctions{a.activate, a.deactivate} : ActivationFunctions{nullptr, nullptr};
}

void isolatedInitCommonControls(const ActivationFunctions& functions) {
  underModuleContext(activationWith(functions), 0, [] {
    if (auto init = commonControls().initCommonControls) init();
    return 0;
  });
}

HPROPSHEETPAGE isolatedCreatePropertySheetPage(PROPSHEETPAGEW* page, const ActivationFunctions& functions) {
  const Activation a = activationWith(functions);
  if (!a.available) {
    page->dwFlags &= ~PSP_USEFUSIONCONTEXT;
  } else if (page->dwSize >= kPageSizeWithContext && !(page->dwFlags & PSP_USEFUSIONCONTEXT)) {
    page->dwFlags |= PSP_USEFUSIONCONTEXT;
    page->hActCtx = a.context;
  }
  return underModuleContext(a, static_cast<HPROPSHEETPAGE>(nullptr), [page] {
    auto create = commonControls().createPage;
    return create ? create(page) : static_cast<HPROPSHEETPAGE>(nullptr);
  });
}

BOOL isolatedDestroyPropertySheetPage(HPROPSHEETPAGE page, const ActivationFunctions& functions) {
  return underModuleContext(activationWith(functions), FALSE, [page] {
    auto destroy = commonControls().destroyPage;
    return destroy ? destroy(page) : FALSE;
  });
}

INT_PTR isolatedDialogBoxParam(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC procedure, LPARAM parameter,
                               const ActivationFunctions& functions) {
  return underModuleContext(activationWith(functions), static_cast<INT_PTR>(-1), [&] {
    return DialogBoxParamW(instance, templateName, parent, procedure, parameter);
  });
}

}  // namespace lark
