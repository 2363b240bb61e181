// Arbitrary pattern, format and names through the name transformation and the preview.
// Besides crashes and sanitizer reports, it stops on a wrong answer: a cached compile
// that answers differently from a fresh one, an example index outside the candidates,
// or a preview text of a kind the page never shows (a new name no file name can hold is
// shown as its refusal).
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

#include "engine/name_transform.h"
#include "engine/regex.h"
#include "engine/page_controls.h"
#include "engine/rename_state.h"
#include "fuzz/fuzz_input.h"
#include "tests/support/fakes.h"

namespace {

bool startsWith(const std::wstring& text, const wchar_t* prefix) { return text.rfind(prefix, 0) == 0; }

void require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint8_t options = data[0];
  std::vector<std::wstring> parts = lark::fuzz::fields(data + 1, size - 1);
  if (parts.size() < 3) return 0;
  const std::wstring pattern = parts[0];
  const std::wstring format = parts[1];
  parts.erase(parts.begin(), parts.begin() + 2);
  if (parts.size() > 6) parts.resize(6);

  lark::RenameState state;
  state.matchPattern = pattern;
  state.replaceFormat = format;
  const lark::NameTransformer transformer(pattern, format);
  // The compile is cached by the transformer; a fresh compile must agree on every name,
  // and so must the library's own replace, whose format reader plain formats skip.
  const lark::TransformResult fresh = state.transformName(parts.back());
  std::unique_ptr<lark::Regex> library;
  try {
    library = std::make_unique<lark::Regex>(pattern);
  } catch (const std::runtime_error&) {
  }
  for (const std::wstring& name : parts) {
    const lark::TransformResult cached = transformer.transform(name);
    if (&name == &parts.back()) require(cached.success == fresh.success && cached.text == fresh.text);
    if (library && cached.success) {
      require(cached.text == boost::regex_replace(name, *library, format, boost::match_default | boost::format_default));
    }
  }

  // Names become selected files, or folders where the options' bits say so.
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (options & (1u << i)) {
      state.folders.push_back(L"C:\\Work\\" + parts[i] + L"\\");
    } else {
      state.files.push_back(L"C:\\Work\\" + parts[i]);
    }
  }
  state.renameFolders = (options & 0x80) != 0;
  state.exampleIndex = options % 11;
  lark::fakes::RecordingPage page;
  state.refreshPreview(page);

  const std::size_t candidates = state.files.size() + (state.renameFolders ? state.folders.size() : 0);
  require(state.exampleIndex < (candidates == 0 ? 1 : candidates));
  const std::wstring& example = page.texts[kExampleText];
  require(example == L"No match" || startsWith(example, L"\"") || startsWith(example, L"Invalid match - "));
  const std::wstring& replaced = page.texts[kReplaceText];
  require(replaced == L"Can't replace" || startsWith(replaced, L"\"") || startsWith(replaced, L"Invalid format - ") ||
          startsWith(replaced, L"[ERROR: Invalid file name \""));
  require(page.enabled[kExampleText] == startsWith(example, L"\""));
  return 0;
}
