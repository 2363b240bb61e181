// The rename journals' folder on disk: %LOCALAPPDATA%\Larkspindle\Journal by default.
#pragma once

#include <windows.h>

#include "engine/platform.h"

namespace lark {

class Win32JournalFolder : public JournalFolder {
 public:
  // folder: where the journals live; empty for the user's own, found when first needed.
  // A folder the user names is never pruned: it may hold files of the user's own.
  explicit Win32JournalFolder(std::wstring folder = std::wstring()) : folder_(std::move(folder)), own_(folder_.empty()) {
    if (!folder_.empty() && folder_.back() != L'\\') folder_ += L'\\';
  }

  std::unique_ptr<JournalFile> create(std::wstring& name) override;
  std::vector<std::wstring> names() override;
  bool read(const std::wstring& name, std::size_t limit, std::string& text) override;
  std::unique_ptr<JournalFile> reopen(const std::wstring& name) override;
  void remove(const std::wstring& name) override;
  bool prunable() override { return own_; }
  std::wstring now() override;
  std::uint64_t milliseconds() override { return GetTickCount64(); }

  // The folder, ending in a backslash; empty when the user's folder cannot be found.
  const std::wstring& folder();

 private:
  std::wstring folder_;
  bool own_;
};

}  // namespace lark
