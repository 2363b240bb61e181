// Widening narrow text byte by byte, counted nouns, and the journal's text escapes.
#include "engine/text.h"

#include <algorithm>

namespace lark {

namespace {

void appendUtf8(std::string& out, std::uint32_t point) {
  if (point < 0x80) {
    out.push_back(static_cast<char>(point));
  } else if (point < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (point >> 6)));
    out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
  } else if (point < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (point >> 12)));
    out.push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (point >> 18)));
    out.push_back(static_cast<char>(0x80 | ((point >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
  }
}

const char kHex[] = "0123456789ABCDEF";

void appendEscape(std::string& out, std::uint32_t value, int digits) {
  out.push_back('%');
  if (digits == 4) out.push_back('u');
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) out.push_back(kHex[(value >> shift) & 0xF]);
}

bool readHex(const std::string& text, std::size_t at, int digits, std::uint32_t& value) {
  if (at + digits > text.size()) return false;
  value = 0;
  for (int i = 0; i < digits; ++i) {
    const char c = text[at + i];
    const char* digit = std::find(kHex, kHex + 16, c >= 'a' && c <= 'f' ? c - 'a' + 'A' : c);
    if (digit == kHex + 16) return false;
    value = value * 16 + static_cast<std::uint32_t>(digit - kHex);
  }
  return true;
}

void appendUnit(std::wstring& wide, std::uint32_t point) {
  if (sizeof(wchar_t) == 2 && point >= 0x10000) {
    point -= 0x10000;
    wide.push_back(static_cast<wchar_t>(0xD800 + (point >> 10)));
    wide.push_back(static_cast<wchar_t>(0xDC00 + (point & 0x3FF)));
  } else {
    wide.push_back(static_cast<wchar_t>(point));
  }
}

bool isSurrogate(std::uint32_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

}  // namespace

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

std::string toJournalText(const std::wstring& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t unit = static_cast<std::uint32_t>(text[i]);
    if (sizeof(wchar_t) == 2 && unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() &&
        text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (static_cast<std::uint32_t>(text[++i]) - 0xDC00));
    } else if (isSurrogate(unit)) {
      appendEscape(out, unit, 4);
    } else if (unit < 0x20 || unit == '%' || unit == 0x7F) {
      appendEscape(out, unit, 2);
    } else {
      appendUtf8(out, unit > 0x10FFFF ? 0xFFFD : unit);
    }
  }
  return out;
}

bool fromJournalText(const std::string& text, std::wstring& wide) {
  wide.clear();
  wide.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    std::uint32_t value = 0;
    if (byte == '%') {
      if (i + 1 < text.size() && text[i + 1] == 'u') {
        if (!readHex(text, i + 2, 4, value) || !isSurrogate(value)) return false;
        i += 6;
      } else {
        if (!readHex(text, i + 1, 2, value) || !(value < 0x20 || value == '%' || value == 0x7F)) return false;
        i += 3;
      }
      wide.push_back(static_cast<wchar_t>(value));
      continue;
    }
    if (byte < 0x20 || byte == 0x7F) return false;
    int extra = 0;
    std::uint32_t least = 0;
    if (byte < 0x80) {
      value = byte;
    } else if ((byte & 0xE0) == 0xC0) {
      value = byte & 0x1F, extra = 1, least = 0x80;
    } else if ((byte & 0xF0) == 0xE0) {
      value = byte & 0x0F, extra = 2, least = 0x800;
    } else if ((byte & 0xF8) == 0xF0) {
      value = byte & 0x07, extra = 3, least = 0x10000;
    } else {
      return false;
    }
    if (i + extra >= text.size()) return false;
    for (int k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      value = (value << 6) | (next & 0x3F);
    }
    if (value < least || value > 0x10FFFF || isSurrogate(value)) return false;
    appendUnit(wide, value);
    i += 1 + extra;
  }
  return true;
}

}  // namespace lark
