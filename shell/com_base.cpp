// The module lock count, the interface table search and the class factory.
#include "shell/com_base.h"

#include <new>

namespace lark {

LONG* ModuleLock::pointer() {
  static LONG count = 0;
  return &count;
}

HRESULT queryInterfaceTable(REFIID iid, void** out, std::initializer_list<InterfaceEntry> table) {
  if (!out) return E_POINTER;
  *out = nullptr;
  for (const InterfaceEntry& entry : table) {
    if (IsEqualIID(iid, entry.iid) || (IsEqualIID(iid, IID_IUnknown) && &entry == table.begin())) {
      entry.pointer->AddRef();
      *out = entry.pointer;
      return S_OK;
    }
  }
  return E_NOINTERFACE;
}

CClassFactory::CClassFactory(Creator creator) : creator_(creator) { InitializeCriticalSection(&guard_); }

CClassFactory::~CClassFactory() { DeleteCriticalSection(&guard_); }

STDMETHODIMP CClassFactory::QueryInterface(REFIID iid, void** out) {
  return queryInterfaceTable(iid, out, {{IID_IClassFactory, this}});
}

STDMETHODIMP_(ULONG) CClassFactory::AddRef() {
  EnterCriticalSection(&guard_);
  const LONG count = InterlockedIncrement(&references_);
  if (count == 2) ModuleLock::lock();
  LeaveCriticalSection(&guard_);
  return count;
}

STDMETHODIMP_(ULONG) CClassFactory::Release() {
  EnterCriticalSection(&guard_);
  const LONG count = InterlockedDecrement(&references_);
  if (count == 1) ModuleLock::unlock();
  LeaveCriticalSection(&guard_);
  if (count == 0) delete this;
  return count;
}

STDMETHODIMP CClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  try {
    return creator_(iid, out);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

STDMETHODIMP CClassFactory::LockServer(BOOL lock) {
  if (lock) {
    ModuleLock::lock();
  } else {
    ModuleLock::unlock();
  }
  return S_OK;
}

}  // namespace lark
