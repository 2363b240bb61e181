// RenameState construction and selection intake.
#include "engine/rename_state.h"

#include "build_config.h"
#include "engine/path_helpers.h"
#include "engine/platform.h"

namespace lark {

std::wstring defaultSiteUrl() { return LARK_WIDE(LARKSPINDLE_SITE_URL); }

RenameState::RenameState() : siteUrl(defaultSiteUrl()) {}

// Out of line, where VersionCheck is a complete type.
RenameState::~RenameState() = default;

void RenameState::setSelection(const std::vector<std::wstring>& paths, FileSystem& fileSystem) {
  std::vector<std::wstring>().swap(files);
  std::vector<std::wstring>().swap(folders);
  for (const std::wstring& path : paths) {
    std::wstring copy = path;
    toBackslashes(copy);
    // An unreadable path reports all bits set and so counts as a folder: the shell
    // listed it, so it is taken as it comes rather than dropped.
    if (fileSystem.attributes(copy) & kAttributeDirectory) {
      ensureTrailingBackslash(copy);
      folders.push_back(std::move(copy));
    } else {
      files.push_back(std::move(copy));
    }
  }
  if (!folders.empty()) searchSubfolders = true;
  exampleIndex = 0;
}

}  // namespace lark
