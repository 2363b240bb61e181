// The engine's file-system seam over the Win32 file API and the shell's file operation.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "engine/platform.h"

namespace lark {

class Win32FileSystem : public FileSystem {
 public:
  // The shell's flags for each rename: 0x3258. Undo is allowed; neither FOF_SILENT nor
  // FOF_NOERRORUI is set, so the shell may show its own progress and error windows.
  static constexpr FILEOP_FLAGS kRenameFlags = FOF_RENAMEONCOLLISION | FOF_NOCONFIRMATION | FOF_ALLOWUNDO |
                                               FOF_NOCONFIRMMKDIR | FOF_NORECURSION | FOF_NO_CONNECTED_ELEMENTS;

  // Renames run on behalf of `owner`, which owns any window the shell shows meanwhile.
  explicit Win32FileSystem(HWND owner = nullptr) : owner_(owner) {}

  std::uint32_t attributes(const std::wstring& path) override;
  std::unique_ptr<FolderListing> listFolder(const std::wstring& pattern) override;
  int renameItem(const std::wstring& from, const std::wstring& to) override;
  std::wstring nameKey(const std::wstring& path) override;
  ItemStamp stamp(const std::wstring& path) override;

 private:
  HWND owner_;
};

// Opens a Win32FileSystem on behalf of the page window: what the extension hands a page.
class Win32FileSystemSource : public FileSystemSource {
 public:
  std::unique_ptr<FileSystem> open(std::uintptr_t pageWindow) override {
    return std::make_unique<Win32FileSystem>(reinterpret_cast<HWND>(pageWindow));
  }
};

}  // namespace lark
