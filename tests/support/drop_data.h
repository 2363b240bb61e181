// A data object such as the shell hands to a property sheet handler: a CF_HDROP list of
// the test's own paths, none at all, or a handle that cannot be locked.
#pragma once
#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "win32/handles.h"

namespace lark {

// A data object with a CF_HDROP list of our own, or none at all.
class DropData : public IDataObject {
 public:
  explicit DropData(std::vector<std::wstring> paths, bool offerDrop = true) : paths_(std::move(paths)), offer_(offerDrop) {}
  // Hands out a handle that was freed before it is given, so locking it fails.
  bool staleHandle = false;
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IDataObject) {
      *out = this;
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
  STDMETHODIMP_(ULONG) Release() override { return --references_; }
  STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
    if (!offer_ || format->cfFormat != CF_HDROP) return DV_E_FORMATETC;
    // Built without std::wstring, so that a test injecting allocation failures into the
    // handler never fails inside the shell's side of the call.
    std::size_t units = 1;
    for (const auto& path : paths_) units += path.size() + 1;
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + units * sizeof(wchar_t));
    {
      const GlobalMemoryLock locked(memory);
      auto* drop = static_cast<DROPFILES*>(locked.data());
      drop->pFiles = sizeof(DROPFILES);
      drop->fWide = TRUE;
      auto* list = reinterpret_cast<wchar_t*>(drop + 1);
      for (const auto& path : paths_) {
        memcpy(list, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
        list += path.size() + 1;
      }
    }
    if (staleHandle) {
      GlobalFree(memory);
      memory = GlobalAlloc(GMEM_MOVEABLE, 0);  // a discarded block: GlobalLock gives null
    }
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = memory;
    medium->pUnkForRelease = nullptr;
    return S_OK;
  }
  STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  STDMETHODIMP QueryGetData(FORMATETC*) override { return E_NOTIMPL; }
  STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
  STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
  STDMETHODIMP DUnadvise(DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

 private:
  std::vector<std::wstring> paths_;
  bool offer_;
  ULONG references_ = 1;
};

}  // namespace lark
