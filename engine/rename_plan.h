// One planned rename, and the ordered plan of them that Test and Rename work through.
#pragma once

#include <string>
#include <vector>

namespace lark {

struct RenameEntry {
  // A candidate row: where it is rooted, where it will be when its own rename runs, and
  // where it lies now. newPath (or an error) is filled in afterwards.
  static RenameEntry candidate(std::wstring baseFolder, std::wstring currentPath, std::wstring originalPath);
  // A title row: the heading of a listing, carried in baseFolder.
  static RenameEntry title(std::wstring heading);

  std::wstring baseFolder;
  std::wstring currentPath;
  std::wstring newPath;
  std::wstring originalPath;
  bool failed = false;
  std::wstring errorText;
};

// Rows in collection order (a folder before its contents); a displayed plan has a title
// row at index 0. Never re-sorted.
using RenamePlan = std::vector<RenameEntry>;

// The error texts a row can carry.
extern const wchar_t kMatchFailedPrefix[];      // "[ERROR: Match failed: "
extern const wchar_t kSharedDestinationError[]; // appended to newPath
extern const wchar_t kFileOperationError[];     // "[ERROR: File operation failed!]"
extern const wchar_t kCancelledError[];         // a row the run did not reach, cancelled first

// Why a new name must never reach the shell, as a row's error text, or empty when it
// may: a character no file name holds (control characters drawn as their visible
// symbols), a name Windows would change (empty, or ending in a dot or a space), a
// device's name, or a full new path of newPathLength characters, longer than the shell
// reaches. Each text shows the name and says what is wrong.
std::wstring newNameRefusal(const std::wstring& newName, std::size_t newPathLength);
// The text of a row inside a folder that is not renamed: its path names the folder's new
// name, where another item may stand. folderPath: the folder's own path in its row.
std::wstring folderKeepsItsNameError(const std::wstring& folderPath);
// The text of a folder whose new name would put a path inside it at longestInside
// characters, longer than the shell reaches.
std::wstring folderContentsTooLongError(const std::wstring& newName, std::size_t longestInside);

}  // namespace lark
