// Owners for Win32 handles and COM pointers: one small template, and one line per kind of
// handle naming how it is closed and what "no handle" looks like.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <unknwn.h>
#include <wininet.h>

#include <utility>

namespace lark {

// Owns one handle: closes it when the owner goes or takes another, moves, never copies.
template <typename Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;
  UniqueHandle() = default;
  explicit UniqueHandle(Handle handle) : handle_(handle) {}
  ~UniqueHandle() { reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    reset(other.release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != Traits::invalid(); }
  Handle release() { return std::exchange(handle_, Traits::invalid()); }
  void reset(Handle handle = Traits::invalid()) {
    const Handle old = std::exchange(handle_, handle);
    if (old != Traits::invalid()) Traits::close(old);
  }
  // For functions that hand out a handle through a pointer: closes the current one first.
  Handle* put() {
    reset();
    return &handle_;
  }

 private:
  Handle handle_ = Traits::invalid();
};

// Handles whose "none" is null, and those whose "none" is INVALID_HANDLE_VALUE.
template <typename H, auto Close>
struct NullIsNone {
  using Handle = H;
  static Handle invalid() { return nullptr; }
  static void close(Handle handle) { Close(handle); }
};
template <typename H, auto Close>
struct InvalidValueIsNone {
  using Handle = H;
  static Handle invalid() { return INVALID_HANDLE_VALUE; }
  static void close(Handle handle) { Close(handle); }
};

using UniqueKernelHandle = UniqueHandle<NullIsNone<HANDLE, &::CloseHandle>>;     // threads, mutexes
using UniqueFileHandle = UniqueHandle<InvalidValueIsNone<HANDLE, &::CloseHandle>>;  // CreateFileW
using UniqueFindHandle = UniqueHandle<InvalidValueIsNone<HANDLE, &::FindClose>>;  // FindFirstFileW
using UniqueRegistryKey = UniqueHandle<NullIsNone<HKEY, &::RegCloseKey>>;
using UniqueInternetHandle = UniqueHandle<NullIsNone<HINTERNET, &::InternetCloseHandle>>;
using UniqueLibrary = UniqueHandle<NullIsNone<HMODULE, &::FreeLibrary>>;          // a module reference
using UniqueGdiObject = UniqueHandle<NullIsNone<HGDIOBJ, &::DeleteObject>>;
using UniqueMemoryDc = UniqueHandle<NullIsNone<HDC, &::DeleteDC>>;                // CreateCompatibleDC
using UniqueGlobal = UniqueHandle<NullIsNone<HGLOBAL, &::GlobalFree>>;          // GlobalAlloc

// A storage medium filled by IDataObject::GetData, released with ReleaseStgMedium.
class UniqueStorageMedium {
 public:
  UniqueStorageMedium() = default;
  ~UniqueStorageMedium() {
    if (medium_.tymed != TYMED_NULL) ReleaseStgMedium(&medium_);
  }
  UniqueStorageMedium(const UniqueStorageMedium&) = delete;
  UniqueStorageMedium& operator=(const UniqueStorageMedium&) = delete;
  STGMEDIUM* put() { return &medium_; }
  const STGMEDIUM& get() const { return medium_; }

 private:
  STGMEDIUM medium_ = {};
};

// The lock on a global memory block, undone when the owner goes; null when locking failed.
class GlobalMemoryLock {
 public:
  explicit GlobalMemoryLock(HGLOBAL memory) : memory_(memory), data_(GlobalLock(memory)) {}
  ~GlobalMemoryLock() {
    if (data_) GlobalUnlock(memory_);
  }
  GlobalMemoryLock(const GlobalMemoryLock&) = delete;
  GlobalMemoryLock& operator=(const GlobalMemoryLock&) = delete;
  void* data() const { return data_; }

 private:
  HGLOBAL memory_;
  void* data_;
};

// A device context borrowed with GetDC or GetWindowDC, given back with ReleaseDC.
class WindowDc {
 public:
  WindowDc(HWND window, HDC dc) : window_(window), dc_(dc) {}
  ~WindowDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// Owns one COM reference.
template <typename Interface>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { reset(); }
  ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  ComPtr& operator=(ComPtr&&) = delete;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;

  Interface* get() const { return pointer_; }
  Interface* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }
  void reset() {
    if (pointer_) std::exchange(pointer_, nullptr)->Release();
  }
  Interface** put() {
    reset();
    return &pointer_;
  }
  void** putVoid() { return reinterpret_cast<void**>(put()); }

 private:
  Interface* pointer_ = nullptr;
};

}  // namespace lark
