// A real temporary folder for tests, removed with everything in it afterwards.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>

namespace lark {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // Full path, without a trailing backslash.
  const std::wstring& path() const { return path_; }
  // Creates a file (and any missing folders on its way) below the folder; returns its full path.
  std::wstring createFile(const std::wstring& relative, const std::string& content);
  std::wstring createFolder(const std::wstring& relative);

 private:
  std::wstring path_;
};

// Removes a folder and everything below it.
void removeTree(const std::wstring& path);

// Relative path -> FNV-1a hash of the content, for every file below a folder (0 for one
// that cannot be read). Long paths are read through the \\?\ form; links are not
// followed, and depth is bounded so a link the platform does not flag cannot loop.
using TreeHashes = std::map<std::wstring, std::uint64_t>;
TreeHashes hashTree(const std::wstring& folder);

}  // namespace lark
