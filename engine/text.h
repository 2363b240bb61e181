// Small text helpers shared by the preview, error reporting, the update check and the journal.
#pragma once

#include <cstdint>
#include <string>

namespace lark {

// Narrow text to wide, one code unit per byte, each byte sign-extended (0x80..0xFF
// become U+FF80..U+FFFF). No code page is consulted, on any platform.
std::wstring widenText(const std::string& text);

// "" for 0, "1 File", "5 Files".
std::wstring countPhrase(std::uint32_t count, const std::wstring& noun);

// UTF-8 with %XX for control characters and '%', %uXXXX for a lone surrogate: text that
// fits a tab-separated line whatever it holds; and back (false when the text is not what
// toJournalText makes).
std::string toJournalText(const std::wstring& text);
bool fromJournalText(const std::string& text, std::wstring& wide);

}  // namespace lark
