// Name transformation: one bare name into its new name, under a pattern compiled once.
#include "engine/name_transform.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>
#include <vector>

#include "engine/regex.h"
#include "engine/text.h"

namespace lark {

namespace {

// A piece of a Replace format: plain text, or the text of one group (0 for the whole match).
struct FormatPiece {
  std::wstring text;
  int group = -1;
};

// Reads a format made only of plain text, $1..$9 (not followed by another digit, each
// naming a group the pattern has) and $&: the forms nearly every rename uses. The
// library re-reads a format for every match, which costs a large tree more than its
// search; these are applied from the pieces instead. Any other format (a backslash, a
// $ in any other use) is left to the library. In the library's Perl mode only the
// dollar and the backslash are special, so every other character is plain text.
bool readPlainFormat(const std::wstring& format, unsigned groups, std::vector<FormatPiece>& pieces) {
  std::wstring text;
  for (std::size_t i = 0; i < format.size(); ++i) {
    const wchar_t c = format[i];
    if (c == L'\\') return false;
    if (c != L'$') {
      text.push_back(c);
      continue;
    }
    const wchar_t next = i + 1 < format.size() ? format[i + 1] : L'\0';
    const wchar_t after = i + 2 < format.size() ? format[i + 2] : L'\0';
    int group = -1;
    if (next == L'&') {
      group = 0;
    } else if (next >= L'1' && next <= L'9' && !(after >= L'0' && after <= L'9')) {
      group = next - L'0';
    }
    if (group < 0 || static_cast<unsigned>(group) > groups) return false;
    if (!text.empty()) pieces.push_back({std::move(text), -1});
    text.clear();
    pieces.push_back({std::wstring(), group});
    ++i;
  }
  if (!text.empty()) pieces.push_back({std::move(text), -1});
  return true;
}

using TextOut = std::back_insert_iterator<std::wstring>;

// The library's replace loop with the pieces as its formatter: which text is matched,
// and how empty matches advance, stay the library's own.
struct PieceFormatter {
  const std::vector<FormatPiece>* pieces;
  TextOut operator()(const boost::wsmatch& match, TextOut out) const {
    for (const FormatPiece& piece : *pieces) {
      if (piece.group < 0) {
        out = std::copy(piece.text.begin(), piece.text.end(), out);
      } else if (match[piece.group].matched) {
        out = std::copy(match[piece.group].first, match[piece.group].second, out);
      }
    }
    return out;
  }
};

}  // namespace

struct NameTransformer::Compiled {
  bool valid = false;
  Regex regex;
  std::string error;  // what() of the compile error when not valid
  mutable boost::wsmatch match;  // reused by every search, so a search allocates nothing
  bool plainFormat = false;
  std::vector<FormatPiece> pieces;
};

NameTransformer::NameTransformer(const std::wstring& pattern, const std::wstring& format)
    : pattern_(pattern), format_(format) {}

NameTransformer::~NameTransformer() = default;

const NameTransformer::Compiled& NameTransformer::compileNow() const {
  auto fresh = std::make_unique<Compiled>();
  try {
    fresh->regex.assign(pattern_, boost::regex_constants::normal);
    fresh->valid = true;
    fresh->plainFormat = readPlainFormat(format_, fresh->regex.mark_count(), fresh->pieces);
  } catch (const std::runtime_error& error) {
    fresh->error = error.what();
  }
  compiled_ = std::move(fresh);
  return *compiled_;
}

TransformResult NameTransformer::transform(const std::wstring& name) const {
  const Compiled& expression = compiled();
  if (!expression.valid) return {false, widenText(expression.error)};
  try {
    if (expression.plainFormat) {
      std::wstring text;
      text.reserve(name.size() + format_.size());
      boost::regex_replace(std::back_inserter(text), name.begin(), name.end(), expression.regex,
                           PieceFormatter{&expression.pieces}, boost::match_default | boost::format_default);
      return {true, std::move(text)};
    }
    return {true, boost::regex_replace(name, expression.regex, format_,
                                       boost::match_default | boost::format_default)};
  } catch (const std::runtime_error& error) {
    return {false, widenText(error.what())};
  }
}

bool NameTransformer::compiles(std::string& error) const {
  const Compiled& expression = compiled();
  if (!expression.valid) error = expression.error;
  return expression.valid;
}

bool NameTransformer::search(std::wstring::const_iterator first, std::wstring::const_iterator last,
                             std::wstring& matched) const {
  const Compiled& expression = compiled();
  // The match record is reused: thousands of names per keystroke allocate nothing.
  boost::wsmatch& match = expression.match;
  if (!boost::regex_search(first, last, match, expression.regex, boost::match_default)) return false;
  matched = match[0].str();
  return true;
}

TransformResult RenameState::transformName(const std::wstring& name) const {
  return NameTransformer(matchPattern, replaceFormat).transform(name);
}

}  // namespace lark
