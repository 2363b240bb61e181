// Name transformation, the narrow-to-wide conversion and the count texts.
#include "engine/name_transform.h"

#include <gtest/gtest.h>

#include <new>

#include "engine/regex.h"
#include "engine/text.h"

namespace lark {
namespace {

// The library's own message for a pattern that does not compile.
std::wstring compileMessage(const std::wstring& pattern) {
  try {
    Regex regex(pattern);
  } catch (const std::runtime_error& error) {
    return widenText(error.what());
  }
  ADD_FAILURE() << "pattern compiled";
  return std::wstring();
}

TEST(WidenText, SignExtendsEveryByteWithoutACodePage) {
  const struct {
    std::string narrow;
    std::wstring wide;
  } cases[] = {
      {"", L""},
      {"abc", L"abc"},
      {std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
      {"\x7f", L"\x7f"},
      {"\x80", L"\xff80"},
      {"caf\xe9", L"caf\xffe9"},
      {"\xff\xfe", L"\xffff\xfffe"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.wide, widenText(c.narrow)) << ::testing::PrintToString(c.narrow);
}

TEST(CountPhrase, NamesTheCountWithItsNoun) {
  EXPECT_EQ(L"", countPhrase(0, L"File"));
  EXPECT_EQ(L"1 File", countPhrase(1, L"File"));
  EXPECT_EQ(L"5 Files", countPhrase(5, L"File"));
  EXPECT_EQ(L"1 Folder", countPhrase(1, L"Folder"));
  EXPECT_EQ(L"4294967295 Folders", countPhrase(4294967295u, L"Folder"));
}

struct TransformCase {
  const wchar_t* pattern;
  const wchar_t* format;
  const wchar_t* name;
  const wchar_t* expected;
};

template <std::size_t N>
void expectTransforms(const TransformCase (&cases)[N]) {
  RenameState state;
  for (const auto& c : cases) {
    state.matchPattern = c.pattern;
    state.replaceFormat = c.format;
    const TransformResult result = state.transformName(c.name);
    EXPECT_TRUE(result.success) << ::testing::PrintToString(c.pattern);
    EXPECT_EQ(std::wstring(c.expected), result.text)
        << ::testing::PrintToString(c.pattern) << " / " << ::testing::PrintToString(c.format) << " on "
        << ::testing::PrintToString(c.name);
  }
}

TEST(TransformName, AppliesTheFormatToEveryMatch) {
  const TransformCase cases[] = {
      {L"(.*)", L"\\1", L"Report.doc", L"Report.doc"},
      // "(.*)" also matches the empty text at the end, so the format applies twice.
      {L"(.*)", L"x\\1", L"abc", L"xabcx"},
      {L"oc", L"", L"Report.doc", L"Report.d"},
      {L"o", L"0", L"foo.doc", L"f00.d0c"},
      {L"nothing", L"x", L"Report.doc", L"Report.doc"},
      {L"\\.txt$", L".md", L"notes.txt", L"notes.md"},
      {L"^", L"New ", L"name", L"New name"},
      {L"(\\w+)-(\\w+)", L"$2-$1", L"left-right.txt", L"right-left.txt"},
      {L"(\\d{4})(\\d{2})(\\d{2})", L"$3.$2.$1", L"20261208.log", L"08.12.2026.log"},
      {L"(.*)", L"\\U$1", L"shout.txt", L"SHOUT.TXT"},
      {L"(?i)REPORT", L"Memo", L"report.doc", L"Memo.doc"},
      {L"REPORT", L"Memo", L"report.doc", L"report.doc"},
      {L"(a)|b", L"[$1]", L"ab", L"[a][]"},
      {L"x", L"y", L"", L""},
      // Only "$" and "\\" are special: "&" and digits alone are plain text.
      {L"(b)", L"a&b", L"xbx", L"xa&bx"},
      {L"(b)", L"1$1", L"xbx", L"x1bx"},
  };
  expectTransforms(cases);
}

// Formats made of plain text, $1..$9 and $& are applied without the library's format
// reader; every result must still be exactly the library's.
TEST(NameTransformer, AppliesPlainFormatsExactlyAsTheLibraryDoes) {
  const wchar_t* patterns[] = {L"^IMG_(\\d+)\\.JPG$", L"(a)|(b)", L"(.*)", L"x*", L"(\\w)(\\w)?", L"^", L"$", L"(?i)É", L"[.]",
                               L"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)"};
  const wchar_t* formats[] = {L"Holiday-$1.jpg", L"[$1|$2]", L"$&$&", L"$3", L"$12", L"$1$", L"$$", L"$0", L"\\1",
                              L"(?1:x)", L"plain", L"", L"$&.bak", L"${1}", L"a$1b$2c", L"$9", L"$`", L"$'",
                              L"a&b", L"x1", L"&1$1", L"$10", L"$1$"};
  const wchar_t* names[] = {L"IMG_0001.JPG", L"abba", L"", L"Caf\u00e9.txt", L"xxayx", L"a.b.c", L"\u00c9t\u00e9",
                            L"abcdefghij.txt"};
  for (const wchar_t* pattern : patterns) {
    const Regex regex(pattern);
    for (const wchar_t* format : formats) {
      const NameTransformer transformer(pattern, format);
      for (const wchar_t* name : names) {
        const std::wstring subject = name;
        const std::wstring expected =
            boost::regex_replace(subject, regex, std::wstring(format), boost::match_default | boost::format_default);
        const TransformResult result = transformer.transform(subject);
        EXPECT_TRUE(result.success);
        EXPECT_EQ(expected, result.text) << ::testing::PrintToString(pattern) << " / " << ::testing::PrintToString(format)
                                         << " on " << ::testing::PrintToString(subject);
      }
    }
  }
}

// The README's examples, exactly as a user would type them.
TEST(TransformName, DoesWhatTheReadmesExamplesShow) {
  const TransformCase cases[] = {
      {L"\\.jpeg$", L".jpg", L"Beach.jpeg", L"Beach.jpg"},
      {L"^", L"2026 ", L"Beach.jpg", L"2026 Beach.jpg"},
      {L"^(.+) - (.+)\\.mp3$", L"$2 - $1.mp3", L"Artist - Song.mp3", L"Song - Artist.mp3"},
      {L"(\\d{2})\\.(\\d{2})\\.(\\d{4})", L"$3-$2-$1", L"Minutes 08.12.2026.doc", L"Minutes 2026-12-08.doc"},
      {L"^[^.]+", L"\\U$&", L"readme.txt", L"README.txt"},
      {L"\\.[^.]+$", L"\\L$&", L"IMG_0001.JPG", L"IMG_0001.jpg"},
      {L" ", L"_", L"my holiday notes.txt", L"my_holiday_notes.txt"},
      {L"(?i)^copy of ", L"", L"Copy of report.doc", L"report.doc"},
      {L"^IMG_(\\d+)\\.JPG$", L"Holiday-$1.jpg", L"IMG_0001.JPG", L"Holiday-0001.jpg"},
  };
  expectTransforms(cases);
}

TEST(TransformName, ReportsTheLibrarysMessageForAnInvalidPattern) {
  RenameState state;
  for (const wchar_t* pattern : {L"(", L"\\", L"a{2,1}", L"(?<name", L"\\2(a)", L"[z-a]"}) {
    state.matchPattern = pattern;
    const TransformResult result = state.transformName(L"abc");
    EXPECT_FALSE(result.success) << ::testing::PrintToString(pattern);
    EXPECT_EQ(compileMessage(pattern), result.text) << ::testing::PrintToString(pattern);
    EXPECT_FALSE(result.text.empty());
  }
}

TEST(NameTransformer, GivesTheSameAnswerForEveryNameAsACompileForEachWould) {
  const NameTransformer invalid(L"(", L"x");
  const TransformResult first = invalid.transform(L"a");
  const TransformResult second = invalid.transform(L"b");
  EXPECT_FALSE(second.success);
  EXPECT_EQ(first.text, second.text);
  std::string error;
  EXPECT_FALSE(invalid.compiles(error));
  EXPECT_EQ(std::string(first.text.begin(), first.text.end()), error) << "the same message as every transform";

  const NameTransformer valid(L"b+", L"B");
  EXPECT_TRUE(valid.compiles(error));
  EXPECT_EQ(L"aBc", valid.transform(L"abbbc").text);
  EXPECT_EQ(L"aBcBc", valid.transform(L"abcbc").text);
  const std::wstring name = L"abbc";
  std::wstring matched;
  EXPECT_TRUE(valid.search(name.begin(), name.end(), matched));
  EXPECT_EQ(L"bb", matched);
  EXPECT_FALSE(valid.search(name.begin(), name.begin() + 1, matched)) << "only the range is searched";
}

// The library gives up on runaway searches with a message rather than an answer, and
// its backtracking limit is set low enough to give up quickly.
TEST(TransformName, TurnsTheLibrarysLimitsIntoFailures) {
  const struct {
    const wchar_t* pattern;
    std::wstring name;
    const wchar_t* failure;  // a part of the library's message
  } cases[] = {
      {L"(a+)+$", std::wstring(40, L'a') + L"!", L"complexity"},
      {L"(b|(?1)+|(?0)+)e", std::wstring(20, L'b'), L"Ran out of stack space"},
  };
  RenameState state;
  state.replaceFormat = L"x";
  for (const auto& c : cases) {
    state.matchPattern = c.pattern;
    const TransformResult result = state.transformName(c.name);
    EXPECT_FALSE(result.success) << ::testing::PrintToString(c.pattern);
    EXPECT_NE(std::wstring::npos, result.text.find(c.failure)) << ::testing::PrintToString(result.text);
  }
}

// That limit still leaves room for patterns that legitimately backtrack or recurse once
// per character of a 255-character name.
TEST(TransformName, AnswersPatternsThatGoDeepOnTheLongestName) {
  const std::wstring longA(255, L'a');
  const std::wstring longText = longA.substr(4) + L".txt";
  const std::wstring bracketed = L"[" + longA + L"]";
  const TransformCase cases[] = {
      {L"(?<x>a(?&x)?)", L"[$&]", longA.c_str(), bracketed.c_str()},
      {L"(.)(?1)*\\.txt", L"[$1]", longText.c_str(), L"[a]"},
      {L"(a|b|c| )*\\.txt", L"[$1]", longText.c_str(), L"[a]"},
  };
  expectTransforms(cases);
}

// Character classes and case folding follow the Windows locale only where the library's
// Windows traits are in use; elsewhere the classic locale knows only ASCII letters.
TEST(TransformName, ClassifiesLettersByThePlatformsTraits) {
#if defined(_WIN32)
  const bool windowsTraits = true;
#else
  const bool windowsTraits = false;
#endif
  const struct {
    const wchar_t* pattern;
    const wchar_t* format;
    const wchar_t* name;
    const wchar_t* windows;
    const wchar_t* classic;
  } cases[] = {
      {L"^\\w+", L"X", L"Caf\u00e9.txt", L"X.txt", L"X\u00e9.txt"},
      {L"(?i)\u00c9t\u00e9", L"summer", L"\u00e9t\u00e9.jpg", L"summer.jpg", L"\u00e9t\u00e9.jpg"},
      {L"[[:upper:]]", L"_", L"\u00c0b", L"_b", L"\u00c0b"},
      {L"(.*)", L"\\U$1", L"\u00e9a", L"\u00c9A", L"\u00e9A"},
  };
  RenameState state;
  for (const auto& c : cases) {
    state.matchPattern = c.pattern;
    state.replaceFormat = c.format;
    EXPECT_EQ(std::wstring(windowsTraits ? c.windows : c.classic), state.transformName(c.name).text)
        << ::testing::PrintToString(c.pattern);
  }
}

}  // namespace
}  // namespace lark
