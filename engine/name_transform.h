// Turning one name into its new name, and the texts the preview is made of.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/rename_state.h"

namespace lark {

// A Match pattern and Replace format applied to many names. The pattern is compiled on
// first use and the result, or the compile error, reused: every name would compile to
// the same expression or fail with the same message, so callers see exactly what
// compiling afresh for each name would give them, without paying for it per name.
class NameTransformer {
 public:
  NameTransformer(const std::wstring& pattern, const std::wstring& format);
  ~NameTransformer();
  NameTransformer(const NameTransformer&) = delete;
  NameTransformer& operator=(const NameTransformer&) = delete;

  // The new name, or the library's failure text. Only errors of the runtime-error
  // family are turned into failures; anything else passes to the caller.
  TransformResult transform(const std::wstring& name) const;

  // False when the pattern does not compile, with the library's message in `error`.
  bool compiles(std::string& error) const;

  // Searches [first, last) of a name for the leftmost match; true with the matched text.
  // The pattern must compile. Throws the library's runtime error when the search
  // exceeds the library's limits.
  bool search(std::wstring::const_iterator first, std::wstring::const_iterator last, std::wstring& matched) const;

 private:
  struct Compiled;
  const Compiled& compiled() const {
    if (compiled_) return *compiled_;
    return compileNow();
  }
  const Compiled& compileNow() const;

  std::wstring pattern_;
  std::wstring format_;
  mutable std::unique_ptr<Compiled> compiled_;
};

}  // namespace lark
