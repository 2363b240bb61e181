// The engine's narrow seam to the platform: the file system and the page it draws on.
// The Win32 side lives with the user interface and shell code; tests supply fakes.
#pragma once

#include <cstdint>
#include <string>

namespace lark {

// Attribute bits as the platform reports them.
constexpr std::uint32_t kAttributeDirectory = 0x10;
constexpr std::uint32_t kAttributeReparsePoint = 0x400;
// What an attribute query returns for a path it cannot read; every bit is set.
constexpr std::uint32_t kInvalidAttributes = 0xFFFFFFFF;

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // The attribute bits of a full path, or kInvalidAttributes.
  virtual std::uint32_t attributes(const std::wstring& path) = 0;
};

// The controls of the rename page, addressed by identifier.
class PageSurface {
 public:
  virtual ~PageSurface() = default;
  virtual void setControlText(int id, const std::wstring& text) = 0;
  virtual void enableControl(int id, bool enabled) = 0;
  virtual void showControl(int id, bool visible) = 0;
};

}  // namespace lark
