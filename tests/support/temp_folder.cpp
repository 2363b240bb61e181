// Temporary folders for the Win32 tests.
#include "tests/support/temp_folder.h"

#include <stdexcept>
#include <vector>

#include "win32/handles.h"

namespace lark {

TempFolder::TempFolder() {
  wchar_t base[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, base);
  static unsigned counter = 0;
  for (;;) {
    path_ = std::wstring(base) + L"lark-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
    if (CreateDirectoryW(path_.c_str(), nullptr)) return;
    if (GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("cannot create a temporary folder");
  }
}

TempFolder::~TempFolder() { removeTree(path_); }

std::wstring TempFolder::createFolder(const std::wstring& relative) {
  std::wstring full = path_;
  std::size_t start = 0;
  while (start <= relative.size()) {
    const std::size_t end = relative.find(L'\\', start);
    full += L"\\" + relative.substr(start, end - start);
    CreateDirectoryW(full.c_str(), nullptr);
    if (end == std::wstring::npos) break;
    start = end + 1;
  }
  return full;
}

std::wstring TempFolder::createFile(const std::wstring& relative, const std::string& content) {
  const std::size_t slash = relative.rfind(L'\\');
  if (slash != std::wstring::npos) createFolder(relative.substr(0, slash));
  const std::wstring full = path_ + L"\\" + relative;
  const UniqueFileHandle file(CreateFileW(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) throw std::runtime_error("cannot create a test file");
  DWORD written = 0;
  WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  return full;
}

void removeTree(const std::wstring& path) {
  WIN32_FIND_DATAW data;
  const UniqueFindHandle find(FindFirstFileW((path + L"\\*").c_str(), &data));
  if (find) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = path + L"\\" + name;
      SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
      if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        removeTree(child);
      } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveDirectoryW(child.c_str());
      } else {
        DeleteFileW(child.c_str());
      }
    } while (FindNextFileW(find.get(), &data));
  }
  RemoveDirectoryW(path.c_str());
}

namespace {

std::uint64_t hashFile(const std::wstring& path) {
  const UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return 0;
  std::uint64_t hash = 1469598103934665603ull;
  char buffer[4096];
  DWORD count = 0;
  while (ReadFile(file.get(), buffer, sizeof buffer, &count, nullptr) && count) {
    for (DWORD i = 0; i < count; ++i) hash = (hash ^ static_cast<unsigned char>(buffer[i])) * 1099511628211ull;
  }
  return hash;
}

void hashTree(const std::wstring& folder, const std::wstring& prefix, TreeHashes& out, int depth) {
  if (depth > 40) return;
  WIN32_FIND_DATAW data;
  UniqueFindHandle find(FindFirstFileW((L"\\\\?\\" + folder + L"\\*").c_str(), &data));
  if (!find) return;
  std::vector<std::wstring> subfolders;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) subfolders.push_back(name);
      continue;
    }
    out[prefix + name] = hashFile(L"\\\\?\\" + folder + L"\\" + name);
  } while (FindNextFileW(find.get(), &data));
  find.reset();  // one listing open at a time, however deep
  for (const auto& name : subfolders) hashTree(folder + L"\\" + name, prefix + name + L"\\", out, depth + 1);
}

}  // namespace

TreeHashes hashTree(const std::wstring& folder) {
  TreeHashes out;
  hashTree(folder, std::wstring(), out, 0);
  return out;
}

}  // namespace lark
