// The one place where Boost.Regex is included, so every user gets the same character traits.
#pragma once

// Boost's backtracking stack may grow to BOOST_REGEX_MAX_BLOCKS blocks of 4 KB before a
// search gives up with "Ran out of stack space". Some recursive patterns take about two
// seconds a name to exhaust the default 4 MB, which froze the page at every keystroke;
// at 512 KB they give up in a fiftieth of that. Patterns that need deep backtracking
// on a 255-character name, such as a recursion 255 levels deep, use at most a quarter.
#define BOOST_REGEX_MAX_BLOCKS 128

#if defined(_WIN32)
// Boost's config unconditionally sets BOOST_REGEX_NO_W32 for gcc on Windows (an old
// worry about <windows.h> and gcc code generation that does not apply to mingw-w64).
// Without the Windows traits, character classes and case folding would follow the C
// locale instead of the user's Windows locale. Choose the Win32 locale before the
// config decides for us, then lift the switch so regex_traits.hpp pulls the traits in.
// w32_regex_traits declares the few kernel32/user32 functions it needs itself, so no
// <windows.h> reaches the engine through here.
#define BOOST_REGEX_USE_WIN32_LOCALE
#include <boost/regex/config.hpp>
#undef BOOST_REGEX_NO_W32
#endif

#include <boost/regex.hpp>

namespace lark {

using Regex = boost::wregex;

#if defined(_WIN32)
static_assert(std::is_base_of<boost::w32_regex_traits<wchar_t>, Regex::traits_type>::value,
              "the Windows build must use the Windows character traits");
#endif

}  // namespace lark
