// Test doubles for the engine's seam: an in-memory file system, file systems that pass
// calls on, and pages that draw nothing or record.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/platform.h"

namespace lark::fakes {

// A Windows volume in miniature, holding full paths ("C:\Work\a.txt"). Names compare
// without regard to letter case, by the platform's own table where the tests run under
// Windows or Wine and by Unicode's simple upper case natively, and keep the case they
// were given. A path is resolved as Windows resolves it: doubled separators and "." and
// ".." parts go, a last part loses its trailing dots and spaces, any other part one
// trailing dot. Renames behave as the shell's do: a missing source, an existing
// destination (another item under any case), or a destination in another folder is
// refused; a change of case alone is made; a folder takes its whole subtree along.
class MemoryFileSystem : public FileSystem {
 public:
  static constexpr std::uint32_t kNormalFile = 0x20;

  void addFile(const std::wstring& path, std::uint32_t attributes = kNormalFile);
  void addFolder(const std::wstring& path, std::uint32_t attributes = kAttributeDirectory);
  bool exists(const std::wstring& path) const { return items_.count(keyOf(path)) != 0; }
  // Every path below (and including) the given folder, as its items spell them, sorted.
  std::vector<std::wstring> tree(const std::wstring& folder) const;

  // Failure injection.
  void refuseListing(const std::wstring& folder) { unlistable_.insert(keyOf(folder)); }
  void throwWhileListing(const std::wstring& folder, int afterEntries) { throwing_[keyOf(folder)] = afterEntries; }
  void refuseRename(const std::wstring& from) { locked_.insert(keyOf(from)); }
  // A file's size and last-write time, which travel with it when it is renamed.
  void setStamp(const std::wstring& path, std::uint64_t size, std::uint64_t written) {
    stamps_[keyOf(path)] = {size, written};
  }

  std::uint32_t attributes(const std::wstring& path) override;
  std::unique_ptr<FolderListing> listFolder(const std::wstring& pattern) override;
  int renameItem(const std::wstring& from, const std::wstring& to) override;
  std::wstring nameKey(const std::wstring& path) override { return foldCase(path); }
  ItemStamp stamp(const std::wstring& path) override;

  // Every code unit of a text in upper case, as this volume compares names.
  static std::wstring foldCase(std::wstring text);
  // A full path as Windows resolves it, spelled as given.
  static std::wstring resolved(const std::wstring& path);

  std::vector<std::pair<std::wstring, std::wstring>> renames;  // every call, in order
  int openListings = 0;
  int mostOpenListings = 0;

 private:
  struct Item {
    std::wstring path;  // as its creator or its last rename spelled it
    std::uint32_t attributes = 0;
  };
  static std::wstring keyOf(const std::wstring& path) { return foldCase(resolved(path)); }
  static std::wstring parentOf(const std::wstring& path);
  void add(const std::wstring& path, std::uint32_t attributes);
  template <typename Map, typename Move>
  static void moveSubtree(Map& map, const std::wstring& source, const std::wstring& destination, Move move);
  friend class MemoryListing;

  std::map<std::wstring, Item> items_;  // by key
  std::set<std::wstring> unlistable_;
  std::map<std::wstring, int> throwing_;
  std::set<std::wstring> locked_;
  std::map<std::wstring, std::pair<std::uint64_t, std::uint64_t>> stamps_;
};

// Draws nothing and answers every question with yes: the base for pages that watch only
// part of what the engine does.
class NullPageSurface : public PageSurface {
 public:
  void setControlText(int, const std::wstring&) override {}
  void enableControl(int, bool) override {}
  void showControl(int, bool) override {}
  bool askYesNo(const std::wstring&, const std::wstring&) override { return true; }
  void showListing(RenamePlan&) override {}
};

// Remembers what the page was told and asked, and answers questions as configured.
class RecordingPage : public NullPageSurface {
 public:
  void setControlText(int id, const std::wstring& text) override { texts[id] = text; }
  void enableControl(int id, bool enabled) override { this->enabled[id] = enabled; }
  void showControl(int id, bool visible) override { this->visible[id] = visible; }
  bool askYesNo(const std::wstring& text, const std::wstring& caption) override {
    questions.push_back({caption, text});
    return answerYes;
  }
  void showListing(RenamePlan& plan) override { listings.push_back(plan); }

  std::map<int, std::wstring> texts;
  std::map<int, bool> enabled;
  std::map<int, bool> visible;
  bool answerYes = true;
  std::vector<std::pair<std::wstring, std::wstring>> questions;  // caption, text
  std::vector<RenamePlan> listings;
};

// Forwards every call to another file system: the base for fakes that watch or change
// only some of its calls.
class ForwardingFileSystem : public FileSystem {
 public:
  explicit ForwardingFileSystem(FileSystem& target) : target_(target) {}
  std::uint32_t attributes(const std::wstring& path) override { return target_.attributes(path); }
  std::unique_ptr<FolderListing> listFolder(const std::wstring& pattern) override { return target_.listFolder(pattern); }
  int renameItem(const std::wstring& from, const std::wstring& to) override { return target_.renameItem(from, to); }
  std::wstring nameKey(const std::wstring& path) override { return target_.nameKey(path); }
  ItemStamp stamp(const std::wstring& path) override { return target_.stamp(path); }

 private:
  FileSystem& target_;
};

// Records every rename it is asked for, as "from > to", and passes it on.
class RecordingFileSystem : public ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;
  int renameItem(const std::wstring& from, const std::wstring& to) override {
    renames.push_back(from + L" > " + to);
    return ForwardingFileSystem::renameItem(from, to);
  }
  std::vector<std::wstring> renames;
};

// Journals kept in memory, with a clock that moves only when told. A crash is modelled
// by `lost`: from then on nothing reaches the "disk", as when a process is ended.
class MemoryJournalFolder : public JournalFolder {
 public:
  std::unique_ptr<JournalFile> create(std::wstring& name) override;
  std::vector<std::wstring> names() override;
  bool read(const std::wstring& name, std::size_t limit, std::string& text) override;
  std::unique_ptr<JournalFile> reopen(const std::wstring& name) override;
  void remove(const std::wstring& name) override { journals.erase(name); }
  bool prunable() override { return ownFolder; }
  std::wstring now() override { return L"2026-12-10 08:00:" + std::to_wstring(10 + created_); }
  std::uint64_t milliseconds() override { return clock; }

  std::map<std::wstring, std::string> journals;  // name, the text on the "disk"
  std::set<std::wstring> held;                   // journals a live run still writes
  std::uint64_t clock = 0;
  bool lost = false;
  bool refuseCreate = false;
  bool ownFolder = true;  // false: a folder the user named, never pruned

 private:
  int created_ = 0;
};

}  // namespace lark::fakes
