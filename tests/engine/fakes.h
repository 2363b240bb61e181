// Test doubles for the engine's seam: an in-memory file system and a page that records.
#pragma once

#include <map>
#include <string>

#include "engine/platform.h"

namespace lark::fakes {

// Paths map to attributes; a path it does not know reads as unreadable.
class MemoryFileSystem : public FileSystem {
 public:
  void addFile(const std::wstring& path) { entries_[path] = 0x20; }
  void addFolder(const std::wstring& path) { entries_[path] = kAttributeDirectory; }
  std::uint32_t attributes(const std::wstring& path) override {
    const auto found = entries_.find(path);
    return found == entries_.end() ? kInvalidAttributes : found->second;
  }

 private:
  std::map<std::wstring, std::uint32_t> entries_;
};

// Remembers the last text, enabled and visible state of every control it was given.
class RecordingPage : public PageSurface {
 public:
  void setControlText(int id, const std::wstring& text) override { texts[id] = text; }
  void enableControl(int id, bool enabled) override { this->enabled[id] = enabled; }
  void showControl(int id, bool visible) override { this->visible[id] = visible; }

  std::map<int, std::wstring> texts;
  std::map<int, bool> enabled;
  std::map<int, bool> visible;
};

}  // namespace lark::fakes
