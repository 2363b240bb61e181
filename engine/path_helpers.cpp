// Path helpers: separators, trailing backslashes, and the folder/name/extension split.
#include "engine/path_helpers.h"

#include <algorithm>

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

bool holdsForbiddenNameCharacter(const std::wstring& name) {
  return std::any_of(name.begin(), name.end(), [](wchar_t unit) {
    return unit < 0x20 || unit == L'<' || unit == L'>' || unit == L':' || unit == L'"' || unit == L'|' ||
           unit == L'?' || unit == L'*';
  });
}

}  // namespace lark
