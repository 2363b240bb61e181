// The example preview of the rename page: which selected name serves as the example,
// what the pattern matches in it and what it becomes, the selection's count, and whether
// Test and Rename can run. Three steps: find the example, compose the texts, put them on
// the page.
#include <cstdint>
#include <stdexcept>
#include <string>

#include "engine/name_transform.h"
#include "engine/page_controls.h"
#include "engine/path_helpers.h"
#include "engine/platform.h"
#include "engine/rename_plan.h"
#include "engine/rename_state.h"
#include "engine/text.h"

namespace lark {

namespace {

// The example as the search left it: the candidate it stopped at, its bare name, and
// what the pattern said of it.
struct Example {
  std::uint32_t index = 0;
  std::wstring name;
  std::size_t folderLength = 0;  // how much of the candidate's path comes before the name
  bool matched = false;
  std::wstring exampleText = L"No match";  // or the quoted match, or the library's message
};

// What the page shows, and which controls are on.
struct PreviewTexts {
  std::wstring count;
  std::wstring example;
  std::wstring replace = L"Can't replace";
  bool exampleOn = false;
  bool replaceOn = false;
  bool buttonsOn = false;
};

// Finds the first candidate, from exampleIndex on and wrapping round once, whose bare
// name the pattern matches; with none, the walk ends where it began. Candidates are the
// selected folders (when folders are renamed) and then the selected files.
Example findExample(const RenameState& state, const NameTransformer& transformer) {
  // Folders come first when they are renamed too; candidate k is looked up in place.
  const std::size_t folderCount = state.renameFolders ? state.folders.size() : 0;
  const std::size_t candidateCount = folderCount + state.files.size();
  auto candidate = [&](std::size_t k) -> const std::wstring& {
    return k < folderCount ? state.folders[k] : state.files[k - folderCount];
  };

  Example example;
  // An invalid pattern fails the same way on every name: say so without a throw each.
  std::string compileError;
  const bool compiles = transformer.compiles(compileError);
  if (!compiles) example.exampleText = L"Invalid match - " + widenText(compileError);
  // exampleIndex is reset whenever the candidate list changes; should it ever be out
  // of range anyway, start from the first candidate instead of reading past the list.
  const std::uint32_t start = state.exampleIndex < candidateCount ? state.exampleIndex : 0;
  std::uint32_t i = start;
  // Each name is searched where it lies in its path; only the one that ends the walk is
  // copied out.
  const std::wstring noPath;
  const std::wstring* path = &noPath;
  std::size_t nameStart = 0, nameEnd = 0;
  std::wstring matchedText;
  for (;;) {
    if (candidateCount != 0) {
      path = &candidate(i);
      itemNameBounds(*path, nameStart, nameEnd);
    }
    if (compiles) {
      try {
        if (transformer.search(path->begin() + nameStart, path->begin() + nameEnd, matchedText)) {
          example.matched = true;
          example.exampleText = L"\"" + matchedText + L"\"";
        }
      } catch (const std::runtime_error& error) {
        example.exampleText = L"Invalid match - " + widenText(error.what());
      }
    }
    if (example.matched) break;
    if (++i >= candidateCount) i = 0;
    if (i == start) break;
    if (nameStart == nameEnd) break;
  }
  example.index = i;
  example.name.assign(*path, nameStart, nameEnd - nameStart);
  example.folderLength = nameStart;
  return example;
}

// Composes the page's texts from the example: its new name (or why it has none, or why
// it would be refused, in the words Test would use), the counts, and the controls' states.
PreviewTexts composePreview(const RenameState& state, const NameTransformer& transformer, const Example& example) {
  PreviewTexts texts;
  texts.example = example.exampleText;
  bool replaced = false;
  if (example.matched) {
    const TransformResult result = transformer.transform(example.name);
    if (result.success) {
      replaced = true;
      // Said at once, rather than only when Test is pressed; the empty name that stands
      // for folders that are not renamed names no item.
      const std::wstring refusal =
          example.name.empty() ? std::wstring() : newNameRefusal(result.text, example.folderLength + result.text.size());
      texts.replace = refusal.empty() ? L"\"" + result.text + L"\"" : refusal;
    } else {
      texts.replace = L"Invalid format - " + result.text;
    }
  }
  texts.count = countPhrase(static_cast<std::uint32_t>(state.files.size()), L"File");
  if (!state.files.empty() && !state.folders.empty()) texts.count += L", ";
  texts.count += countPhrase(static_cast<std::uint32_t>(state.folders.size()), L"Folder");
  texts.exampleOn = example.matched;
  texts.replaceOn = example.matched && replaced;
  texts.buttonsOn = texts.replaceOn || (state.searchSubfolders && !state.folders.empty());
  return texts;
}

// Puts the texts and the controls' states on the page.
void showPreview(PageSurface& page, const PreviewTexts& texts) {
  page.setControlText(kSelectedCount, texts.count);
  page.setControlText(kExampleText, texts.example);
  page.enableControl(kExampleText, texts.exampleOn);
  page.enableControl(kRenamedToLabel, texts.replaceOn);
  page.setControlText(kReplaceText, texts.replace);
  page.enableControl(kReplaceText, texts.replaceOn);
  page.enableControl(kTestButton, texts.buttonsOn);
  page.enableControl(kRenameButton, texts.buttonsOn);
}

}  // namespace

void RenameState::refreshPreview(PageSurface& page) {
  const NameTransformer transformer(matchPattern, replaceFormat);
  const Example example = findExample(*this, transformer);
  exampleIndex = example.index;
  showPreview(page, composePreview(*this, transformer, example));
}

}  // namespace lark
