// Rename rows and their error texts.
#include "engine/rename_plan.h"

namespace lark {

const wchar_t kMatchFailedPrefix[] = L"[ERROR: Match failed: ";
const wchar_t kSharedDestinationError[] = L"[ERROR: I refuse to rename multiple files to same destination!]";
const wchar_t kFileOperationError[] = L"[ERROR: File operation failed!]";

RenameEntry RenameEntry::candidate(std::wstring baseFolder, std::wstring currentPath, std::wstring originalPath) {
  RenameEntry entry;
  entry.baseFolder = std::move(baseFolder);
  entry.currentPath = std::move(currentPath);
  entry.originalPath = std::move(originalPath);
  return entry;
}

RenameEntry RenameEntry::title(std::wstring heading) {
  RenameEntry entry;
  entry.baseFolder = std::move(heading);
  return entry;
}

}  // namespace lark
