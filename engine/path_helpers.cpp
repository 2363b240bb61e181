// Path helpers: separators, trailing backslashes, and the folder/name/extension split.
#include "engine/path_helpers.h"

#include <algorithm>
#include <cwctype>
#include <string_view>

namespace lark {

namespace {
const wchar_t kSeparators[] = L"\\:";
}

void toBackslashes(std::wstring& text) {
  std::replace(text.begin(), text.end(), L'/', L'\\');
}

void ensureTrailingBackslash(std::wstring& text) {
  if (text.empty() || text.back() != L'\\') text.push_back(L'\\');
}

void stripTrailingBackslash(std::wstring& text) {
  if (!text.empty() && text.back() == L'\\') text.pop_back();
}

std::wstring fileNamePart(const std::wstring& path) {
  const auto last = path.find_last_of(kSeparators);
  return last == std::wstring::npos ? path : path.substr(last + 1);
}

std::wstring folderPart(const std::wstring& path) {
  const auto last = path.find_last_of(kSeparators);
  return last == std::wstring::npos ? path : path.substr(0, last + 1);
}

std::wstring extensionPart(const std::wstring& name) {
  const auto dot = name.rfind(L'.');
  return dot == std::wstring::npos ? name : name.substr(dot);
}

namespace {

bool isForbiddenNameCharacter(wchar_t unit) {
  return unit < 0x20 || unit == L'<' || unit == L'>' || unit == L':' || unit == L'"' || unit == L'|' || unit == L'?' ||
         unit == L'*';
}

}  // namespace

bool holdsForbiddenNameCharacter(const std::wstring& name) {
  return std::any_of(name.begin(), name.end(), isForbiddenNameCharacter);
}

namespace {

bool isAsciiLetter(wchar_t unit, char upper) { return unit == upper || unit == upper + ('a' - 'A'); }

bool namesDevice(const wchar_t* first, const wchar_t* last) {
  const wchar_t* stem = std::find(first, last, L'.');
  while (stem != first && stem[-1] == L' ') --stem;
  const std::size_t length = static_cast<std::size_t>(stem - first);
  auto startsWith = [&](const char* word) {
    return isAsciiLetter(first[0], word[0]) && isAsciiLetter(first[1], word[1]) && isAsciiLetter(first[2], word[2]);
  };
  if (length == 3) return startsWith("CON") || startsWith("PRN") || startsWith("AUX") || startsWith("NUL");
  if (length != 4 || !(startsWith("COM") || startsWith("LPT"))) return false;
  const wchar_t digit = first[3];
  return (digit >= L'0' && digit <= L'9') || digit == L'\u00b9' || digit == L'\u00b2' || digit == L'\u00b3';
}

}  // namespace

bool isReservedDeviceName(const std::wstring& name) {
  const wchar_t* part = name.data();
  const wchar_t* const end = part + name.size();
  for (;;) {
    const wchar_t* partEnd = std::find_if(part, end, [](wchar_t unit) { return unit == L'\\' || unit == L'/'; });
    if (namesDevice(part, partEnd)) return true;
    if (partEnd == end) return false;
    part = partEnd + 1;
  }
}

namespace {

// A name that a part of a path may be: Windows resolves ".", ".." and any part made only
// of dots and spaces to another folder than the one it seems to name.
bool isSoundPart(std::wstring_view part) {
  return part.find_first_not_of(L". ") != std::wstring_view::npos && part.find(L'/') == std::wstring_view::npos &&
         std::none_of(part.begin(), part.end(), isForbiddenNameCharacter);
}

// A drive root ("C:\") or a share ("\\server\share\"): how long the root is, or 0.
std::size_t rootLength(const std::wstring& path) {
  if (path.size() >= 3 && std::iswalpha(path[0]) && path[0] < 0x80 && path[1] == L':' && path[2] == L'\\') return 3;
  if (path.size() < 5 || path.compare(0, 2, L"\\\\") != 0) return 0;
  const std::wstring_view whole = path;
  const std::size_t server = whole.find(L'\\', 2);
  if (server == std::wstring_view::npos || !isSoundPart(whole.substr(2, server - 2))) return 0;
  const std::size_t share = whole.find(L'\\', server + 1);
  if (share == std::wstring_view::npos || !isSoundPart(whole.substr(server + 1, share - server - 1))) return 0;
  return share + 1;
}

}  // namespace

bool isSoundPath(const std::wstring& path, bool folder) {
  const std::size_t root = rootLength(path);
  if (root == 0) return false;
  if (folder != (path.back() == L'\\')) return false;
  const std::wstring_view whole = path;
  std::size_t start = root;
  while (start < whole.size()) {
    std::size_t end = whole.find(L'\\', start);
    if (end == std::wstring_view::npos) end = whole.size();
    if (!isSoundPart(whole.substr(start, end - start))) return false;
    start = end + 1;
  }
  return true;
}

bool liesBelow(const std::wstring& path, const std::wstring& folder) {
  return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0;
}

bool liesBelowFolders(const std::wstring& path, const std::vector<std::wstring>& folders) {
  if (!isSoundPath(path, false)) return false;
  return std::any_of(folders.begin(), folders.end(), [&path](const std::wstring& folder) { return liesBelow(path, folder); });
}

}  // namespace lark
