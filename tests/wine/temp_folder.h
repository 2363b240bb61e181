// A real temporary folder for tests, removed with everything in it afterwards.
#pragma once

#include <windows.h>

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

}  // namespace lark
