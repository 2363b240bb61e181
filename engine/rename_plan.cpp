// Rename rows and their error texts.
#include "engine/rename_plan.h"

namespace lark {

const wchar_t kMatchFailedPrefix[] = L"[ERROR: Match failed: ";
const wchar_t kSharedDestinationError[] = L"[ERROR: I refuse to rename multiple files to same destination!]";
const wchar_t kFileOperationError[] = L"[ERROR: File operation failed!]";

std::wstring forbiddenNameError(const std::wstring& newName) {
  std::wstring shown = newName;
  // U+2400 + c is the Control Pictures symbol for c, so a tab or a NUL can be seen in the list.
  for (wchar_t& unit : shown) {
    if (unit < 0x20) unit = static_cast<wchar_t>(0x2400 + unit);
  }
  return L"[ERROR: Invalid file name \"" + shown + L"\": names cannot contain < > : \" | ? * or control characters]";
}

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
