// Win32 side of the file-system seam.
#include "shell/win32_file_system.h"

#include <windows.h>

namespace lark {

std::uint32_t Win32FileSystem::attributes(const std::wstring& path) { return GetFileAttributesW(path.c_str()); }

}  // namespace lark
