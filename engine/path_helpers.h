// Small helpers on wide path strings shared by the engine and the user interface.
#pragma once

#include <string>
#include <vector>

namespace lark {

// Changes every forward slash to a backslash.
void toBackslashes(std::wstring& text);
// Appends a backslash unless the text already ends in one; an empty text becomes "\".
void ensureTrailingBackslash(std::wstring& text);
// Removes one final backslash, if there is one.
void stripTrailingBackslash(std::wstring& text);

// The text after the last backslash or colon; the whole text when it holds neither.
std::wstring fileNamePart(const std::wstring& path);
// Where the name of a selected item lies inside its path, as [start, end): the
// fileNamePart of the path without one trailing backslash, found without copying.
inline void itemNameBounds(const std::wstring& path, std::size_t& start, std::size_t& end) {
  // A plain backward scan over locals, inline: find_last_of, a call, or writing through
  // the references at every step each cost the preview a good part of its time.
  const wchar_t* const first = path.data();
  const wchar_t* last = first + path.size();
  if (last != first && last[-1] == L'\\') --last;
  const wchar_t* name = last;
  while (name != first && name[-1] != L'\\' && name[-1] != L':') --name;
  start = static_cast<std::size_t>(name - first);
  end = static_cast<std::size_t>(last - first);
}

// The text up to and including the last backslash or colon; the whole text when it holds neither.
std::wstring folderPart(const std::wstring& path);
// The text from the last dot to the end; the whole text when it holds no dot.
// Deliberately does not stop at a separator: the icon lookup only wants a type hint.
std::wstring extensionPart(const std::wstring& name);

// True when a new name holds a character that no Windows file name can: < > : " | ? *
// or a control character (U+0000..U+001F). The shell reads ? and * in a destination as
// wildcards and would rename onto whatever file they match. Separators are not judged:
// a new name may end in a backslash, and the shell refuses a move to another folder.
bool holdsForbiddenNameCharacter(const std::wstring& name);

// True when any part of a new name between separators names a device that Windows keeps
// in every folder: CON, PRN, AUX, NUL, COM0-9 or LPT0-9 (the superscript 1, 2 and 3
// included), in any letter case, alone or before a dot, trailing blanks ignored. A local
// disk refuses such a name, but a network share may take it and leave an item that
// hardly any program can open, rename or delete again.
bool isReservedDeviceName(const std::wstring& name);

// True when path is a full path (below a drive root or a share) whose every part is a
// name a file may have: no character a name cannot hold, and no part that Windows
// resolves to another (".", "..", only dots and spaces). A folder's path ends in a
// backslash, any other does not.
bool isSoundPath(const std::wstring& path, bool folder);
// True when path starts with folder and goes on.
bool liesBelow(const std::wstring& path, const std::wstring& folder);
// True when path is sound and lies strictly below one of the folders.
bool liesBelowFolders(const std::wstring& path, const std::vector<std::wstring>& folders);

// The longest full path the shell and most programs reach: MAX_PATH less its terminating
// null. An item renamed past it can no longer be opened, renamed or deleted in Explorer.
constexpr std::size_t kLongestReachablePath = 259;

}  // namespace lark
