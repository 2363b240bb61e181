// Reading a drop record's path list in one pass.
#include "win32/drop_list.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>

namespace lark {

namespace {

// The record's list may start at any offset, so its units are read without assuming
// their alignment.
template <typename Unit>
Unit unitAt(const unsigned char* bytes, std::size_t index) {
  Unit unit;
  std::memcpy(&unit, bytes + index * sizeof(Unit), sizeof(Unit));
  return unit;
}

std::wstring widenAnsi(const char* text, std::size_t length) {
  if (length == 0) return std::wstring();
  const int units = MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  if (units > 0) MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), wide.data(), units);
  return wide;
}

}  // namespace

std::vector<std::wstring> readDropPaths(const void* record, std::size_t size, std::size_t bufferLength) {
  std::vector<std::wstring> paths;
  if (!record || size < sizeof(DROPFILES)) return paths;
  DROPFILES header;
  std::memcpy(&header, record, sizeof header);
  if (header.pFiles >= size) return paths;
  const unsigned char* list = static_cast<const unsigned char*>(record) + header.pFiles;
  const std::size_t bytes = size - header.pFiles;
  // The first path is read even when it is empty (and then left out, as DragQueryFileW
  // gives it no length); after it, an empty path ends the list.
  if (header.fWide) {
    const std::size_t units = bytes / sizeof(wchar_t);
    std::size_t at = 0;
    do {
      std::size_t end = at;
      while (end < units && unitAt<wchar_t>(list, end) != L'\0') ++end;
      if (end == units) break;  // unterminated: the record ends inside it
      if (end != at && end - at < bufferLength) {
        std::wstring path(end - at, L'\0');
        std::memcpy(path.data(), list + at * sizeof(wchar_t), path.size() * sizeof(wchar_t));
        paths.push_back(std::move(path));
      }
      at = end + 1;
    } while (at < units && unitAt<wchar_t>(list, at) != L'\0');
  } else {
    const char* text = reinterpret_cast<const char*>(list);
    std::size_t at = 0;
    do {
      const void* nul = std::memchr(text + at, '\0', bytes - at);
      if (!nul) break;
      const std::size_t end = static_cast<std::size_t>(static_cast<const char*>(nul) - text);
      std::wstring path = widenAnsi(text + at, end - at);
      if (!path.empty() && path.size() < bufferLength) paths.push_back(std::move(path));
      at = end + 1;
    } while (at < bytes && text[at] != '\0');
  }
  return paths;
}

}  // namespace lark
