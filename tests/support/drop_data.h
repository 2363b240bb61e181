// A data object such as the shell hands to a property sheet handler: a CF_HDROP list of
// the test's own paths, none at all, or a handle that cannot be locked.
#pragma once
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "win32/handles.h"

namespace lark {

// A drop record in movable global memory: a DROPFILES header, each path with its NUL, and
// a NUL more. An empty path after the first ends the list early, as it would for the
// shell. Built without new strings, so that a test injecting allocation failures into the
// handler never fails inside the shell's side of the call.
inline HGLOBAL makeDropRecord(const std::vector<std::wstring>& paths, bool wide) {
  // Two NULs more than the paths' own: an empty list is still a double NUL.
  std::size_t bytes = wide ? 2 * sizeof(wchar_t) : 2;
  for (const auto& path : paths) {
    bytes += wide ? (path.size() + 1) * sizeof(wchar_t)
                  : static_cast<std::size_t>(WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr));
  }
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + bytes);
  const GlobalMemoryLock locked(memory);
  auto* drop = static_cast<DROPFILES*>(locked.data());
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = wide;
  auto* list = reinterpret_cast<char*>(drop + 1);
  for (const auto& path : paths) {
    if (wide) {
      memcpy(list, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
      list += (path.size() + 1) * sizeof(wchar_t);
    } else {
      list += WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, list, static_cast<int>(bytes), nullptr, nullptr);
    }
  }
  return memory;
}

// The selection read index by index, each DragQueryFileW call walking the list from its
// start: the reference the one-pass reading must equal. A path of bufferLength
// characters or more is left out.
inline std::vector<std::wstring> readDropPathsByIndex(HDROP drop, UINT bufferLength) {
  std::vector<std::wstring> paths;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  std::vector<wchar_t> buffer(bufferLength + 1, L'\0');
  for (UINT i = 0; i < count; ++i) {
    const UINT length = DragQueryFileW(drop, i, nullptr, 0);
    if (length == 0 || length >= bufferLength) continue;
    const UINT copied = DragQueryFileW(drop, i, buffer.data(), bufferLength);
    if (copied != 0) paths.emplace_back(buffer.data(), copied);
  }
  return paths;
}

// A data object with a CF_HDROP list of our own, or none at all.
class DropData : public IDataObject {
 public:
  explicit DropData(std::vector<std::wstring> paths, bool offerDrop = true) : paths_(std::move(paths)), offer_(offerDrop) {}
  // Hands out a handle that was freed before it is given, so locking it fails.
  bool staleHandle = false;
  // Lists the paths in the ANSI code page, as older programs' drop records do.
  bool ansi = false;
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
    HGLOBAL memory = makeDropRecord(paths_, !ansi);
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
