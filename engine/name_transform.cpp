// Name transformation and the example preview of the rename page.
#include "engine/name_transform.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>
#include <vector>

#include "engine/page_controls.h"
#include "engine/path_helpers.h"
#include "engine/platform.h"
#include "engine/regex.h"
#include "engine/rename_plan.h"
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

bool NameTransformer::search(const std::wstring& name, std::wstring& matched) const {
  const Compiled& expression = compiled();
  if (!expression.valid) throw std::runtime_error(expression.error);
  boost::wsmatch& match = expression.match;
  if (!boost::regex_search(name, match, expression.regex, boost::match_default)) return false;
  matched = match[0].str();
  return true;
}


TransformResult RenameState::transformName(const std::wstring& name) const {
  return NameTransformer(matchPattern, replaceFormat).transform(name);
}

void RenameState::refreshPreview(PageSurface& page) {
  std::wstring exampleName;
  std::wstring exampleText = L"No match";
  bool matched = false;
  std::wstring replaceText = L"Can't replace";
  bool replaced = false;

  // Folders come first when they are renamed too; candidate k is looked up in place.
  const std::size_t folderCount = renameFolders ? folders.size() : 0;
  const std::size_t candidateCount = folderCount + files.size();
  auto candidate = [&](std::size_t k) -> const std::wstring& {
    return k < folderCount ? folders[k] : files[k - folderCount];
  };

  const NameTransformer transformer(matchPattern, replaceFormat);
  // An invalid pattern fails the same way on every name: say so without a throw each.
  const NameTransformer::Compiled& expression = transformer.compiled();
  const bool compiles = expression.valid;
  if (!compiles) exampleText = L"Invalid match - " + widenText(expression.error);
  // exampleIndex is reset whenever the candidate list changes; should it ever be out
  // of range anyway, start from the first candidate instead of reading past the list.
  std::uint32_t start = exampleIndex < candidateCount ? exampleIndex : 0;
  std::uint32_t i = start;
  std::wstring matchedText;
  // Each name is searched where it lies in its path; only the one that ends the walk is
  // copied out.
  const std::wstring noPath;
  const std::wstring* path = &noPath;
  std::size_t nameStart = 0, nameEnd = 0;
  for (;;) {
    if (candidateCount != 0) {
      path = &candidate(i);
      itemNameBounds(*path, nameStart, nameEnd);
    }
    if (compiles) {
      try {
        if (boost::regex_search(path->begin() + nameStart, path->begin() + nameEnd, expression.match, expression.regex,
                                boost::match_default)) {
          matchedText = expression.match[0].str();
          matched = true;
          exampleText = L"\"" + matchedText + L"\"";
        }
      } catch (const std::runtime_error& error) {
        exampleText = L"Invalid match - " + widenText(error.what());
      }
    }
    if (matched) break;
    if (++i >= candidateCount) i = 0;
    if (i == start) break;
    if (nameStart == nameEnd) break;
  }
  exampleIndex = i;
  exampleName.assign(*path, nameStart, nameEnd - nameStart);

  if (matched) {
    const TransformResult result = transformer.transform(exampleName);
    if (result.success) {
      replaced = true;
      // Said at once, in the words Test would use, rather than only when Test is pressed.
      const std::wstring refusal = newNameRefusal(result.text, nameStart + result.text.size());
      replaceText = refusal.empty() ? L"\"" + result.text + L"\"" : refusal;
    } else {
      replaceText = L"Invalid format - " + result.text;
    }
  }

  std::wstring countText = countPhrase(static_cast<std::uint32_t>(files.size()), L"File");
  if (!files.empty() && !folders.empty()) countText += L", ";
  countText += countPhrase(static_cast<std::uint32_t>(folders.size()), L"Folder");

  const bool buttonsEnabled = (matched && replaced) || (searchSubfolders && !folders.empty());
  page.setControlText(kSelectedCount, countText);
  page.setControlText(kExampleText, exampleText);
  page.enableControl(kExampleText, matched);
  page.enableControl(kRenamedToLabel, matched && replaced);
  page.setControlText(kReplaceText, replaceText);
  page.enableControl(kReplaceText, matched && replaced);
  page.enableControl(kTestButton, buttonsEnabled);
  page.enableControl(kRenameButton, buttonsEnabled);
}

}  // namespace lark
