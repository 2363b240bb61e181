// Finding this module from an address inside it.
#include "win32/module.h"

namespace lark {

namespace {

HMODULE moduleOf(const void* address, DWORD extraFlags) {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | extraFlags, static_cast<LPCWSTR>(address), &module);
  return module;
}

}  // namespace

HINSTANCE thisModule() {
  return moduleOf(reinterpret_cast<const void*>(&thisModule), GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT);
}

UniqueLibrary referenceThisModule() { return UniqueLibrary(moduleOf(reinterpret_cast<const void*>(&thisModule), 0)); }

}  // namespace lark
