// The in-memory file system of the engine's tests.
#include "tests/support/fakes.h"

#include <algorithm>
#include <cwchar>
#include <stdexcept>
#include <tuple>

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

template <typename Map>
void MemoryFileSystem::moveSubtree(Map& map, const std::wstring& source, const std::wstring& destination) {
  Map moved;
  for (auto it = map.begin(); it != map.end();) {
    if (it->first == source || it->first.compare(0, source.size() + 1, source + L"\\") == 0) {
      moved[destination + it->first.substr(source.size())] = it->second;
      it = map.erase(it);
    } else {
      ++it;
    }
  }
  map.insert(moved.begin(), moved.end());
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
  moveSubtree(entries_, source, destination);
  moveSubtree(stamps_, source, destination);
  return 0;
}

ItemStamp MemoryFileSystem::stamp(const std::wstring& path) {
  ItemStamp stamp = FileSystem::stamp(path);
  const auto found = stamps_.find(key(path));
  if (stamp.known && found != stamps_.end()) std::tie(stamp.size, stamp.written) = found->second;
  return stamp;
}

namespace {

class MemoryJournalFile : public JournalFile {
 public:
  MemoryJournalFile(MemoryJournalFolder& folder, std::wstring name) : folder_(folder), name_(std::move(name)) {
    folder_.held.insert(name_);
  }
  ~MemoryJournalFile() override { folder_.held.erase(name_); }
  bool append(const std::string& bytes, bool) override {
    if (folder_.lost) return true;  // the process is gone: nothing more reaches the disk
    const auto journal = folder_.journals.find(name_);
    if (journal == folder_.journals.end()) return false;
    journal->second += bytes;
    return true;
  }

 private:
  MemoryJournalFolder& folder_;
  std::wstring name_;
};

}  // namespace

std::unique_ptr<JournalFile> MemoryJournalFolder::create() {
  if (refuseCreate) return nullptr;
  wchar_t name[32];
  std::swprintf(name, 32, L"run-%04d.txt", ++created_);
  journals[name];
  return std::make_unique<MemoryJournalFile>(*this, name);
}

std::vector<std::wstring> MemoryJournalFolder::names() {
  std::vector<std::wstring> names;
  for (const auto& journal : journals) names.push_back(journal.first);
  return names;
}

bool MemoryJournalFolder::read(const std::wstring& name, std::size_t limit, std::string& text) {
  const auto journal = journals.find(name);
  if (journal == journals.end()) return false;
  text = journal->second.substr(0, limit + 1);
  return true;
}

std::unique_ptr<JournalFile> MemoryJournalFolder::reopen(const std::wstring& name) {
  if (held.count(name) || !journals.count(name)) return nullptr;
  return std::make_unique<MemoryJournalFile>(*this, name);
}

}  // namespace lark::fakes
