// Printing wide text to the console as UTF-8, for tools whose output a script reads.
#pragma once

#include <string>

namespace lark {

void printUtf8(const std::wstring& text);

}  // namespace lark
