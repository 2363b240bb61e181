// The in-memory file system of the engine's tests.
#include "tests/support/fakes.h"

#include <algorithm>
#include <cwchar>
#include <stdexcept>
#include <tuple>

#ifdef _WIN32
#include <windows.h>
#else
#include <locale.h>
#include <wctype.h>
#endif

namespace lark::fakes {

namespace {
constexpr int kErrorAlreadyExists = 183;
constexpr int kShellSourceMissing = 0x402;
constexpr int kErrorAccessDenied = 5;
constexpr int kShellDifferentFolder = 0x73;
}  // namespace

std::wstring MemoryFileSystem::foldCase(std::wstring text) {
#ifdef _WIN32
  // Under Windows or Wine the model takes the platform's own table.
  const int length = static_cast<int>(text.size());
  std::wstring upper(text.size(), L'\0');
  if (length != 0 && LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, text.data(), length, upper.data(), length,
                                   nullptr, nullptr, 0) != length) {
    throw std::runtime_error("LCMapStringEx failed");
  }
  text = std::move(upper);
#else
  static const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t());
  if (unicode == locale_t()) throw std::runtime_error("the C.UTF-8 locale is missing");
  for (wchar_t& unit : text) {
    // Windows folds UTF-16 code units one by one, and never a surrogate.
    if (unit >= 0xD800 && (unit <= 0xDFFF || unit > 0xFFFF)) continue;
    const auto upper = static_cast<wchar_t>(towupper_l(static_cast<wint_t>(unit), unicode));
    if (upper <= 0xFFFF) unit = upper;
  }
#endif
  return text;
}

std::wstring MemoryFileSystem::resolved(const std::wstring& path) {
  std::vector<std::wstring> parts;
  std::size_t at = 0;
  while (at <= path.size()) {
    std::size_t end = path.find(L'\\', at);
    if (end == std::wstring::npos) end = path.size();
    std::wstring part = path.substr(at, end - at);
    at = end + 1;
    if (part.empty() || part == L".") continue;
    if (part == L"..") {
      if (parts.size() > 1) parts.pop_back();
      continue;
    }
    parts.push_back(std::move(part));
  }
  std::wstring out;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    std::wstring part = parts[i];
    if (i + 1 == parts.size()) {
      while (!part.empty() && (part.back() == L'.' || part.back() == L' ')) part.pop_back();
      if (part.empty()) break;  // "C:\R\. ." names C:\R itself
    } else if (i != 0 && part.back() == L'.') {
      part.pop_back();
    }
    if (i != 0) out += L'\\';
    out += part;
  }
  return out;
}

std::wstring MemoryFileSystem::parentOf(const std::wstring& path) {
  const auto slash = path.rfind(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

template <typename Map, typename Move>
void MemoryFileSystem::moveSubtree(Map& map, const std::wstring& source, const std::wstring& destination, Move move) {
  Map moved;
  for (auto it = map.lower_bound(source); it != map.end() && it->first.compare(0, source.size(), source) == 0;) {
    if (it->first.size() == source.size() || it->first[source.size()] == L'\\') {
      moved.emplace(destination + it->first.substr(source.size()), move(it->second));
      it = map.erase(it);
    } else {
      ++it;
    }
  }
  for (auto& entry : moved) map.insert_or_assign(entry.first, std::move(entry.second));
}

void MemoryFileSystem::add(const std::wstring& path, std::uint32_t attributes) {
  const std::wstring spelled = resolved(path);
  const std::wstring parent = parentOf(spelled);
  Item item{spelled, attributes};
  if (!parent.empty()) {
    if (!exists(parent)) addFolder(parent);
    // A name keeps its own case below a parent that is spelled as the volume holds it.
    item.path = items_.at(keyOf(parent)).path + spelled.substr(parent.size());
  }
  items_[keyOf(spelled)] = std::move(item);
}

void MemoryFileSystem::addFolder(const std::wstring& path, std::uint32_t attributes) { add(path, attributes); }

void MemoryFileSystem::addFile(const std::wstring& path, std::uint32_t attributes) { add(path, attributes); }

std::vector<std::wstring> MemoryFileSystem::tree(const std::wstring& folder) const {
  const std::wstring root = keyOf(folder);
  std::vector<std::wstring> paths;
  for (const auto& [key, item] : items_) {
    if (key == root || key.compare(0, root.size() + 1, root + L"\\") == 0) paths.push_back(item.path);
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

std::uint32_t MemoryFileSystem::attributes(const std::wstring& path) {
  const auto found = items_.find(keyOf(path));
  return found == items_.end() ? kInvalidAttributes : found->second.attributes;
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
  const std::wstring folder = keyOf(pattern.substr(0, pattern.size() - 2));
  const std::uint32_t bits = attributes(folder);
  if (unlistable_.count(folder) || bits == kInvalidAttributes || !(bits & kAttributeDirectory)) return nullptr;
  std::vector<FolderEntry> entries{{L".", kAttributeDirectory}, {L"..", kAttributeDirectory}};
  for (const auto& [key, item] : items_) {
    if (parentOf(key) == folder) entries.push_back({item.path.substr(item.path.rfind(L'\\') + 1), item.attributes});
  }
  const auto throwing = throwing_.find(folder);
  return std::make_unique<MemoryListing>(*this, std::move(entries), throwing == throwing_.end() ? -1 : throwing->second);
}

int MemoryFileSystem::renameItem(const std::wstring& from, const std::wstring& to) {
  renames.emplace_back(from, to);
  const std::wstring source = keyOf(from);
  const std::wstring destination = keyOf(to);
  if (locked_.count(source)) return kErrorAccessDenied;
  const auto found = items_.find(source);
  if (found == items_.end()) return kShellSourceMissing;
  if (destination.empty() || parentOf(destination) != parentOf(source)) return kShellDifferentFolder;
  if (destination != source && items_.count(destination)) return kErrorAlreadyExists;
  // The renamed item takes the new name as written, its contents their own names below it.
  const std::wstring oldPath = found->second.path;
  const std::wstring newPath = oldPath.substr(0, oldPath.rfind(L'\\')) + resolved(to).substr(parentOf(resolved(to)).size());
  moveSubtree(items_, source, destination, [&](Item item) {
    item.path = newPath + item.path.substr(oldPath.size());
    return item;
  });
  moveSubtree(stamps_, source, destination, [](auto stamp) { return stamp; });
  return 0;
}

ItemStamp MemoryFileSystem::stamp(const std::wstring& path) {
  ItemStamp stamp = FileSystem::stamp(path);
  const auto found = stamps_.find(keyOf(path));
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
  bool cut(std::size_t length) override {
    const auto journal = folder_.journals.find(name_);
    if (folder_.lost || journal == folder_.journals.end() || length > journal->second.size()) return false;
    journal->second.resize(length);
    return true;
  }

 private:
  MemoryJournalFolder& folder_;
  std::wstring name_;
};

}  // namespace

std::unique_ptr<JournalFile> MemoryJournalFolder::create(std::wstring& name) {
  if (refuseCreate) return nullptr;
  wchar_t made[32];
  std::swprintf(made, 32, L"run-%04d.txt", ++created_);
  name = made;
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
