// Turning a fuzzer's bytes into the wide texts the engine takes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lark::fuzz {

// Bytes as UTF-16 code units: one unit per byte, except that 0x01 takes the next two
// bytes as a unit of its own, so surrogates and letters beyond Latin-1 are reachable.
inline std::wstring wideText(const std::uint8_t* data, std::size_t size) {
  std::wstring text;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0x01 && i + 2 < size) {
      text.push_back(static_cast<wchar_t>(data[i + 1] | (data[i + 2] << 8)));
      i += 2;
    } else {
      text.push_back(static_cast<wchar_t>(data[i]));
    }
  }
  return text;
}

// The input cut at every 0x00 byte.
inline std::vector<std::wstring> fields(const std::uint8_t* data, std::size_t size) {
  std::vector<std::wstring> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= size; ++i) {
    if (i == size || data[i] == 0) {
      parts.push_back(wideText(data + start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

}  // namespace lark::fuzz
