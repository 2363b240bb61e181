// Rename rows and their error texts.
#include "engine/rename_plan.h"

#include "engine/path_helpers.h"

namespace lark {

const wchar_t kMatchFailedPrefix[] = L"[ERROR: Match failed: ";
const wchar_t kSharedDestinationError[] = L"[ERROR: I refuse to rename multiple files to same destination!]";
const wchar_t kFileOperationError[] = L"[ERROR: File operation failed!]";
const wchar_t kCancelledError[] = L"[ERROR: Not renamed: the run was cancelled]";

namespace {

std::wstring invalidNameError(const std::wstring& shownName, const std::wstring& reason) {
  return L"[ERROR: Invalid file name \"" + shownName + L"\": " + reason + L"]";
}

std::wstring pathLengthReason(const wchar_t* what, std::size_t length) {
  return what + std::to_wstring(length) + L" characters long, " + std::to_wstring(kLongestReachablePath) +
         L" at most";
}

}  // namespace

std::wstring newNameRefusal(const std::wstring& newName, std::size_t newPathLength) {
  if (holdsForbiddenNameCharacter(newName)) {
    std::wstring shown = newName;
    // U+2400 + c is the Control Pictures symbol for c, so a tab or a NUL can be seen in the list.
    for (wchar_t& unit : shown) {
      if (unit < 0x20) unit = static_cast<wchar_t>(0x2400 + unit);
    }
    return invalidNameError(shown, L"names cannot contain < > : \" | ? * or control characters");
  }
  // Windows drops a name's trailing dots and spaces: the item would end under another
  // name than the one planned, or under its folder's own.
  if (newName.empty()) return invalidNameError(newName, L"names cannot be empty");
  if (newName.find_first_not_of(L". ") == std::wstring::npos) {
    return invalidNameError(newName, L"names cannot be only dots and spaces");
  }
  if (newName.back() == L'.' || newName.back() == L' ') {
    return invalidNameError(newName, L"names cannot end in a dot or a space");
  }
  if (isReservedDeviceName(newName)) return invalidNameError(newName, L"Windows reserves it for a device");
  if (newPathLength > kLongestReachablePath) {
    return invalidNameError(newName, pathLengthReason(L"the new path would be ", newPathLength));
  }
  return std::wstring();
}

std::wstring folderKeepsItsNameError(const std::wstring& folderPath) {
  return L"[ERROR: Not renamed: its folder \"" + folderPath + L"\" is not renamed]";
}

std::wstring folderContentsTooLongError(const std::wstring& newName, std::size_t longestInside) {
  return invalidNameError(newName, pathLengthReason(L"a path inside the folder would be ", longestInside));
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
