// COM boilerplate written once: QueryInterface over a table of interfaces, the module's
// lock count that keeps the DLL loaded while anything needs it, and the class factory.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <atomic>
#include <initializer_list>

namespace lark {

// Reasons to stay loaded: live objects, an externally held class factory, LockServer,
// and every existing page description (the sheet counts those through pcRefParent).
class ModuleLock {
 public:
  static void lock() { InterlockedIncrement(pointer()); }
  static void unlock() { InterlockedDecrement(pointer()); }
  static LONG value() { return InterlockedCompareExchange(pointer(), 0, 0); }
  static LONG* pointer();
};

struct InterfaceEntry {
  const IID& iid;
  IUnknown* pointer;
};

// QISearch-style: the first entry also answers IUnknown; a hit adds one reference.
HRESULT queryInterfaceTable(REFIID iid, void** out, std::initializer_list<InterfaceEntry> table);

// The module's one class factory, cached in the class table: the cache holds its first
// reference, which does not lock the module; every further reference does.
class CClassFactory : public IClassFactory {
 public:
  using Creator = HRESULT (*)(REFIID iid, void** out);
  explicit CClassFactory(Creator creator);

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
  STDMETHODIMP LockServer(BOOL lock) override;

 private:
  virtual ~CClassFactory();
  LONG references_ = 0;
  Creator creator_;
  CRITICAL_SECTION guard_;
};

}  // namespace lark
