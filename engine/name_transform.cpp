// Name transformation and the example preview of the rename page.
#include "engine/name_transform.h"

#include <stdexcept>
#include <vector>

#include "engine/page_controls.h"
#include "engine/path_helpers.h"
#include "engine/platform.h"
#include "engine/regex.h"

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

struct NameTransformer::Compiled {
  bool valid = false;
  Regex regex;
  std::string error;  // what() of the compile error when not valid
};

NameTransformer::NameTransformer(const std::wstring& pattern, const std::wstring& format)
    : pattern_(pattern), format_(format) {}

NameTransformer::~NameTransformer() = default;

const NameTransformer::Compiled& NameTransformer::compiled() const {
  if (!compiled_) {
    auto fresh = std::make_unique<Compiled>();
    try {
      fresh->regex.assign(pattern_, boost::regex_constants::normal);
      fresh->valid = true;
    } catch (const std::runtime_error& error) {
      fresh->error = error.what();
    }
    compiled_ = std::move(fresh);
  }
  return *compiled_;
}

TransformResult NameTransformer::transform(const std::wstring& name) const {
  const Compiled& expression = compiled();
  if (!expression.valid) return {false, widenText(expression.error)};
  try {
    return {true, boost::regex_replace(name, expression.regex, format_,
                                       boost::match_default | boost::format_default)};
  } catch (const std::runtime_error& error) {
    return {false, widenText(error.what())};
  }
}

bool NameTransformer::search(const std::wstring& name, std::wstring& matched) const {
  const Compiled& expression = compiled();
  if (!expression.valid) throw std::runtime_error(expression.error);
  boost::wsmatch match;
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

  std::vector<const std::wstring*> exampleCandidates;
  if (renameFolders) {
    for (const auto& folder : folders) exampleCandidates.push_back(&folder);
  }
  for (const auto& file : files) exampleCandidates.push_back(&file);

  const NameTransformer transformer(matchPattern, replaceFormat);
  // exampleIndex is reset whenever the candidate list changes; should it ever be out
  // of range anyway, start from the first candidate instead of reading past the list.
  std::uint32_t start = exampleIndex < exampleCandidates.size() ? exampleIndex : 0;
  std::uint32_t i = start;
  for (;;) {
    if (!exampleCandidates.empty()) {
      std::wstring path = *exampleCandidates[i];
      stripTrailingBackslash(path);
      exampleName = fileNamePart(path);
    }
    try {
      std::wstring matchedText;
      if (transformer.search(exampleName, matchedText)) {
        matched = true;
        exampleText = L"\"" + matchedText + L"\"";
      }
    } catch (const std::runtime_error& error) {
      exampleText = L"Invalid match - " + widenText(error.what());
    }
    if (matched) break;
    if (++i >= exampleCandidates.size()) i = 0;
    if (i == start) break;
    if (exampleName.empty()) break;
  }
  exampleIndex = i;

  if (matched) {
    const TransformResult result = transformer.transform(exampleName);
    if (result.success) {
      replaced = true;
      replaceText = L"\"" + result.text + L"\"";
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
