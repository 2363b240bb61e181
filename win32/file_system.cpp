// Win32 side of the file-system seam.
#include "win32/file_system.h"

#include <shellapi.h>

#include "win32/handles.h"

namespace lark {

namespace {

class FindListing : public FolderListing {
 public:
  FindListing(UniqueFindHandle find, const WIN32_FIND_DATAW& first) : find_(std::move(find)), data_(first) {}

  bool next(FolderEntry& entry) override {
    if (!pending_ && !FindNextFileW(find_.get(), &data_)) return false;
    pending_ = false;
    entry.name = data_.cFileName;
    entry.attributes = data_.dwFileAttributes;
    return true;
  }

 private:
  UniqueFindHandle find_;
  WIN32_FIND_DATAW data_;
  bool pending_ = true;  // FindFirstFileW has already produced the first entry
};

}  // namespace

std::uint32_t Win32FileSystem::attributes(const std::wstring& path) { return GetFileAttributesW(path.c_str()); }

std::unique_ptr<FolderListing> Win32FileSystem::listFolder(const std::wstring& pattern) {
  WIN32_FIND_DATAW data = {};
  UniqueFindHandle find(FindFirstFileW(pattern.c_str(), &data));
  if (!find) return nullptr;
  return std::make_unique<FindListing>(std::move(find), data);
}

std::wstring Win32FileSystem::nameKey(const std::wstring& path) {
  // Upper case without LCMAP_LINGUISTIC_CASING is the file system's own table, the one
  // CompareStringOrdinal ignores case by; it maps one code unit to one.
  std::wstring key(path.size(), L'\0');
  const int length = static_cast<int>(path.size());
  if (length == 0 || LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, path.data(), length, key.data(), length,
                                   nullptr, nullptr, 0) != length) {
    return path;
  }
  return key;
}

ItemStamp Win32FileSystem::stamp(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  ItemStamp stamp;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return stamp;
  stamp.known = true;
  stamp.folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  stamp.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  stamp.written = (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
  return stamp;
}

int Win32FileSystem::renameItem(const std::wstring& from, const std::wstring& to) {
  // Each list holds one path and ends in two NULs.
  std::wstring source = from;
  source.append(2, L'\0');
  std::wstring destination = to;
  destination.append(2, L'\0');
  SHFILEOPSTRUCTW operation = {};
  operation.hwnd = owner_;
  operation.wFunc = FO_RENAME;
  operation.pFrom = source.c_str();
  operation.pTo = destination.c_str();
  operation.fFlags = kRenameFlags;
  return SHFileOperationW(&operation);
}

}  // namespace lark
