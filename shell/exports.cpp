// The module's entry point and its four exports: the class table, the cached class
// factory, and registration through the registry script in resource 101.
#include <windows.h>

#include <atomic>
#include <string>
#include <new>
#include <vector>

#include "shell/com_base.h"
#include "shell/registrar.h"
#include "shell/resource_ids.h"
#include "shell/shell_ext.h"
#include "shell/win32_registry.h"
#include "win32/module.h"

namespace lark {
namespace {

// The one class of the module, with its factory created once, on first request. The
// factory is made under the lock and published with release order, so a thread that
// sees the pointer without taking the lock also sees the finished factory.
struct ClassEntry {
  const CLSID& clsid;
  CClassFactory::Creator creator;
  std::atomic<IUnknown*> cachedFactory;
};
ClassEntry classTable[] = {{CLSID_ShellExt, &CShellExt::create, {nullptr}}};
CRITICAL_SECTION classTableLock;

HRESULT updateRegistry(bool registering) {
  try {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(thisModule(), path, MAX_PATH);
    if (length == 0) return HRESULT_FROM_WIN32(GetLastError());
    if (length >= MAX_PATH) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    HRSRC found = FindResourceW(thisModule(), MAKEINTRESOURCEW(kRegistryScript), L"REGISTRY");
    if (!found) return HRESULT_FROM_WIN32(GetLastError());
    const auto* bytes = static_cast<const char*>(LockResource(LoadResource(thisModule(), found)));
    const std::string narrow(bytes, SizeofResource(thisModule(), found));
    const std::wstring script(narrow.begin(), narrow.end());  // the script is plain ASCII
    const auto keys = parseRegistryScript(script, moduleReplacements(path));
    Win32Registry registry;
    if (registering) {
      registerScript(keys, registry);
    } else {
      unregisterScript(keys, registry);
    }
    return S_OK;
  } catch (const RegistryError& error) {
    return HRESULT_FROM_WIN32(error.code);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace
}  // namespace lark

using namespace lark;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
  if (reason == DLL_PROCESS_ATTACH) {
    InitializeCriticalSection(&classTableLock);
    DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH) {
    for (ClassEntry& entry : classTable) {
      if (IUnknown* factory = entry.cachedFactory.exchange(nullptr)) factory->Release();
    }
    DeleteCriticalSection(&classTableLock);
  }
  return TRUE;
}

extern "C" HRESULT __stdcall DllCanUnloadNow() { return ModuleLock::value() == 0 ? S_OK : S_FALSE; }

extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  for (ClassEntry& entry : classTable) {
    if (!IsEqualCLSID(clsid, entry.clsid)) continue;
    IUnknown* cached = entry.cachedFactory.load(std::memory_order_acquire);
    if (!cached) {
      EnterCriticalSection(&classTableLock);
      cached = entry.cachedFactory.load(std::memory_order_relaxed);
      if (!cached) {
        auto* factory = new (std::nothrow) CClassFactory(entry.creator);
        if (factory) {
          factory->AddRef();  // the cache's own reference: count 1, no module lock
          cached = factory;
          entry.cachedFactory.store(cached, std::memory_order_release);
        }
      }
      LeaveCriticalSection(&classTableLock);
      if (!cached) return E_OUTOFMEMORY;
    }
    return cached->QueryInterface(iid, out);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT __stdcall DllRegisterServer() { return updateRegistry(true); }

extern "C" HRESULT __stdcall DllUnregisterServer() { return updateRegistry(false); }
