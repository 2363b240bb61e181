// Win32 side of the file-system seam.
#include "shell/win32_file_system.h"

#include <shellapi.h>

namespace lark {

namespace {

class FindListing : public FolderListing {
 public:
  FindListing(HANDLE find, const WIN32_FIND_DATAW& first) : find_(find), data_(first) {}
  ~FindListing() override { FindClose(find_); }
  FindListing(const FindListing&) = delete;
  FindListing& operator=(const FindListing&) = delete;

  bool next(FolderEntry& entry) override {
    if (!pending_) {
      ZeroMemory(&data_, sizeof data_);
      if (!FindNextFileW(find_, &data_)) return false;
    }
    pending_ = false;
    entry.name = data_.cFileName;
    entry.attributes = data_.dwFileAttributes;
    return true;
  }

 private:
  HANDLE find_;
  WIN32_FIND_DATAW data_;
  bool pending_ = true;  // FindFirstFileW has already produced the first entry
};

}  // namespace

std::uint32_t Win32FileSystem::attributes(const std::wstring& path) { return GetFileAttributesW(path.c_str()); }

std::unique_ptr<FolderListing> Win32FileSystem::listFolder(const std::wstring& pattern) {
  WIN32_FIND_DATAW data;
  ZeroMemory(&data, sizeof data);
  HANDLE find = FindFirstFileW(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<FindListing>(find, data);
}

int Win32FileSystem::renameItem(const std::wstring& from, const std::wstring& to) {
  // Each list holds one path and ends in two NULs.
  std::wstring source = from;
  source.append(2, L'\0');
  std::wstring destination = to;
  destination.append(2, L'\0');
  SHFILEOPSTRUCTW operation;
  ZeroMemory(&operation, sizeof operation);
  operation.hwnd = owner_;
  operation.wFunc = FO_RENAME;
  operation.pFrom = source.c_str();
  operation.pTo = destination.c_str();
  operation.fFlags = FOF_RENAMEONCOLLISION | FOF_NOCONFIRMATION | FOF_ALLOWUNDO | FOF_NOCONFIRMMKDIR |
                     FOF_NORECURSION | FOF_NO_CONNECTED_ELEMENTS;
  operation.fAnyOperationsAborted = FALSE;
  return SHFileOperationW(&operation);
}

}  // namespace lark
