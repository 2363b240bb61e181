// Small helpers on wide path strings shared by the engine and the user interface.
#pragma once

#include <string>

namespace lark {

// Changes every forward slash to a backslash.
void toBackslashes(std::wstring& text);
// Appends a backslash unless the text already ends in one; an empty text becomes "\".
void ensureTrailingBackslash(std::wstring& text);
// Removes one final backslash, if there is one.
void stripTrailingBackslash(std::wstring& text);

// The text after the last backslash or colon; the whole text when it holds neither.
std::wstring fileNamePart(const std::wstring& path);
// The text up to and including the last backslash or colon; the whole text when it holds neither.
std::wstring folderPart(const std::wstring& path);
// The text from the last dot to the end; the whole text when it holds no dot.
// Deliberately does not stop at a separator: the icon lookup only wants a type hint.
std::wstring extensionPart(const std::wstring& name);

}  // namespace lark
