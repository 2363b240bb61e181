// The engine's narrow seam to the platform: the file system, the page window that the
// preview draws on and the actions run for, and the background version check the page
// polls. The Win32 side lives in win32/ and ui/, the check's worker in update/; tests
// supply fakes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/rename_plan.h"

namespace lark {

// Attribute bits as the platform reports them.
constexpr std::uint32_t kAttributeDirectory = 0x10;
constexpr std::uint32_t kAttributeReparsePoint = 0x400;
// What an attribute query returns for a path it cannot read; every bit is set.
constexpr std::uint32_t kInvalidAttributes = 0xFFFFFFFF;

struct FolderEntry {
  std::wstring name;
  std::uint32_t attributes = 0;
};

// What tells an item from another that later takes its name: whether it is a folder,
// and a file's size and last-write time (the platform's 100 ns ticks).
struct ItemStamp {
  bool known = false;
  bool folder = false;
  std::uint64_t size = 0;
  std::uint64_t written = 0;
};

// One open enumeration of a folder; destroying it closes the enumeration.
class FolderListing {
 public:
  virtual ~FolderListing() = default;
  // The next entry, the first one included; false at the end. May throw.
  virtual bool next(FolderEntry& entry) = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // The attribute bits of a full path, or kInvalidAttributes.
  virtual std::uint32_t attributes(const std::wstring& path) = 0;
  // Lists the entries matching a search pattern such as "C:\Work\*"; null when the
  // folder cannot be enumerated.
  virtual std::unique_ptr<FolderListing> listFolder(const std::wstring& pattern) = 0;
  // Renames one item, full path to full path; 0 on success, the platform's code otherwise.
  virtual int renameItem(const std::wstring& from, const std::wstring& to) = 0;
  // The form in which this file system compares names: two paths name one item when
  // their keys are equal. Windows ignores letter case by a table of its own (the rule of
  // CompareStringOrdinal), which neither the C runtime nor the engine can know.
  virtual std::wstring nameKey(const std::wstring& path) = 0;
  // The stamp of a full path; not known when the path cannot be read. A file system
  // that keeps no sizes or times reports only what its attributes say.
  virtual ItemStamp stamp(const std::wstring& path) {
    const std::uint32_t bits = attributes(path);
    ItemStamp stamp;
    stamp.known = bits != kInvalidAttributes;
    stamp.folder = stamp.known && (bits & kAttributeDirectory) != 0;
    return stamp;
  }
};

// Opens the file system that a page's Test and Rename work on. The extension hands in the
// platform's where it makes the page; a test hands in its own, so that no process-wide
// hook decides it.
class FileSystemSource {
 public:
  virtual ~FileSystemSource() = default;
  // pageWindow: the page's window handle, which owns the shell's own windows.
  virtual std::unique_ptr<FileSystem> open(std::uintptr_t pageWindow) = 0;
};

// One journal open for writing, held so that no one else writes it meanwhile; closing it
// lets the Undo program settle it.
class JournalFile {
 public:
  virtual ~JournalFile() = default;
  // Appends the bytes; durable also forces them to the disk. False on any failure.
  virtual bool append(const std::string& bytes, bool durable) = 0;
  // Keeps only the first length bytes: a line that a crash cut off goes before anything
  // is added after it. False on any failure.
  virtual bool cut(std::size_t length) = 0;
};

// The folder of rename journals, and the clocks that stamp them.
class JournalFolder {
 public:
  virtual ~JournalFolder() = default;
  // A new, empty journal named after the present time, and its name; null when none can
  // be made.
  virtual std::unique_ptr<JournalFile> create(std::wstring& name) = 0;
  // The names of the journals kept; names sort from the oldest to the newest.
  virtual std::vector<std::wstring> names() = 0;
  // A journal's text, up to limit bytes and one more; false when it cannot be read.
  virtual bool read(const std::wstring& name, std::size_t limit, std::string& text) = 0;
  // A journal opened to add to it; null while its run still holds it, or on failure.
  virtual std::unique_ptr<JournalFile> reopen(const std::wstring& name) = 0;
  virtual void remove(const std::wstring& name) = 0;
  // Whether old runs may be removed from this folder: only from the one the program keeps
  // for itself, never from one a user named, which may hold anything.
  virtual bool prunable() = 0;
  // The present time as a person reads it, and a steady count of milliseconds.
  virtual std::wstring now() = 0;
  virtual std::uint64_t milliseconds() = 0;
};

// A long run's progress as the user sees it, and the user's wish to stop it.
class RunProgress {
 public:
  virtual ~RunProgress() = default;
  // Before each row: how many of total are done, and the item next. False once the user
  // has asked to stop: the run ends before that row.
  virtual bool next(std::size_t done, std::size_t total, const std::wstring& item) = 0;
};

// The rename page as the engine sees it: controls addressed by identifier, and the
// user in front of it.
class PageSurface {
 public:
  virtual ~PageSurface() = default;
  virtual void setControlText(int id, const std::wstring& text) = 0;
  virtual void enableControl(int id, bool enabled) = 0;
  virtual void showControl(int id, bool visible) = 0;
  // A yes/no question owned by the page; true for yes.
  virtual bool askYesNo(const std::wstring& text, const std::wstring& caption) = 0;
  // Shows a plan (title row at index 0) in the results dialog until the user closes it.
  virtual void showListing(RenamePlan& plan) = 0;
  // The progress of a run about to start under the given title; null where none is
  // shown. Destroying it closes whatever it showed.
  virtual std::unique_ptr<RunProgress> startProgress(const std::wstring& title) {
    (void)title;
    return nullptr;
  }
};

// A running check for a newer version, as the page's record holds it; update/ makes the
// real one (UpdateChecker). Destroying it cancels the check.
class VersionCheck {
 public:
  virtual ~VersionCheck() = default;
  // False until a result is published, and when the result has no space; otherwise the
  // packed version and the link text.
  virtual bool poll(std::uint32_t& version, std::wstring& link) const = 0;
};

}  // namespace lark
