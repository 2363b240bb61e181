// The in-memory file system of the engine's tests.
#include "tests/support/fakes.h"

#include <algorithm>
#include <stdexcept>

namespace lark::fakes {

namespace {
constexpr int kErrorAlreadyExists = 183;
constexpr int kShellSourceMissing = 0x402;
constexpr int kErrorAccessDenied = 5;
}  // namespace

std::wstring MemoryFileSystem::key(std::wstring path) {
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

std::wstring MemoryFileSystem::parentOf(const std::wstring& path) {
  const auto slash = path.rfind(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

void MemoryFileSystem::addFolder(const std::wstring& path, std::uint32_t attributes) {
  const std::wstring k = key(path);
  const std::wstring parent = parentOf(k);
  if (!parent.empty() && !exists(parent)) addFolder(parent);
  entries_[k] = attributes;
}

void MemoryFileSystem::addFile(const std::wstring& path, std::uint32_t attributes) {
  const std::wstring parent = parentOf(path);
  if (!parent.empty() && !exists(parent)) addFolder(parent);
  entries_[path] = attributes;
}

std::vector<std::wstring> MemoryFileSystem::tree(const std::wstring& folder) const {
  const std::wstring root = key(folder);
  std::vector<std::wstring> paths;
  for (const auto& [path, attributes] : entries_) {
    if (path == root || path.compare(0, root.size() + 1, root + L"\\") == 0) paths.push_back(path);
  }
  return paths;
}

std::uint32_t MemoryFileSystem::attributes(const std::wstring& path) {
  const auto found = entries_.find(key(path));
  return found == entries_.end() ? kInvalidAttributes : found->second;
}

class MemoryListing : public FolderListing {
 public:
  MemoryListing(MemoryFileSystem& disk, std::vector<FolderEntry> entries, int throwAfter)
      : disk_(disk), entries_(std::move(entries)), throwAfter_(throwAfter) {
    disk_.mostOpenListings = std::max(disk_.mostOpenListings, ++disk_.openListings);
  }
  ~MemoryListing() override { --disk_.openListings; }
  bool next(FolderEntry& entry) override {
    if (throwAfter_ >= 0 && position_ == static_cast<std::size_t>(throwAfter_)) throw std::runtime_error("listing failed");
    if (position_ == entries_.size()) return false;
    entry = entries_[position_++];
    return true;
  }

 private:
  MemoryFileSystem& disk_;
  std::vector<FolderEntry> entries_;
  int throwAfter_;
  std::size_t position_ = 0;
};

std::unique_ptr<FolderListing> MemoryFileSystem::listFolder(const std::wstring& pattern) {
  if (pattern.size() < 2 || pattern.compare(pattern.size() - 2, 2, L"\\*") != 0) return nullptr;
  const std::wstring folder = key(pattern.substr(0, pattern.size() - 1));
  if (unlistable_.count(folder) || !(attributes(folder) & kAttributeDirectory) || attributes(folder) == kInvalidAttributes) {
    return nullptr;
  }
  std::vector<FolderEntry> entries{{L".", kAttributeDirectory}, {L"..", kAttributeDirectory}};
  for (const auto& [path, attributes] : entries_) {
    if (parentOf(path) == folder) entries.push_back({path.substr(folder.size() + 1), attributes});
  }
  const auto throwing = throwing_.find(folder);
  return std::make_unique<MemoryListing>(*this, std::move(entries), throwing == throwing_.end() ? -1 : throwing->second);
}

int MemoryFileSystem::renameItem(const std::wstring& from, const std::wstring& to) {
  renames.emplace_back(from, to);
  if (locked_.count(from)) return kErrorAccessDenied;
  const std::wstring source = key(from);
  const std::wstring destination = key(to);
  if (!exists(source)) return kShellSourceMissing;
  if (exists(destination) || !exists(parentOf(destination)) || destination.empty()) return kErrorAlreadyExists;
  std::map<std::wstring, std::uint32_t> moved;
  for (auto it = entries_.begin(); it != entries_.end();) {
    if (it->first == source || it->first.compare(0, source.size() + 1, source + L"\\") == 0) {
      moved[destination + it->first.substr(source.size())] = it->second;
      it = entries_.erase(it);
    } else {
      ++it;
    }
  }
  entries_.insert(moved.begin(), moved.end());
  return 0;
}

}  // namespace lark::fakes
