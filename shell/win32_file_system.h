// The engine's file-system seam over the Win32 file API.
#pragma once

#include "engine/platform.h"

namespace lark {

class Win32FileSystem : public FileSystem {
 public:
  std::uint32_t attributes(const std::wstring& path) override;
};

}  // namespace lark
