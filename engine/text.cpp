// Widening narrow text byte by byte, and counted nouns.
#include "engine/text.h"

namespace lark {

std::wstring widenText(const std::string& text) {
  std::wstring wide;
  wide.reserve(text.size());
  for (char byte : text) {
    // Sign-extend to 16 bits, then keep 16 bits, so a 32-bit wchar_t gets the same unit.
    const auto unit = static_cast<std::uint16_t>(static_cast<std::int16_t>(static_cast<signed char>(byte)));
    wide.push_back(static_cast<wchar_t>(unit));
  }
  return wide;
}

std::wstring countPhrase(std::uint32_t count, const std::wstring& noun) {
  if (count == 0) return std::wstring();
  std::wstring phrase = std::to_wstring(count) + L" " + noun;
  if (count > 1) phrase += L"s";
  return phrase;
}

}  // namespace lark
