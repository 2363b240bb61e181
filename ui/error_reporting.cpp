// Message boxes for exceptions caught at the edge of a window handler.
#include "ui/error_reporting.h"

#include <string>

#include "engine/text.h"

namespace lark {

void reportException(HWND owner, const std::exception& error) noexcept {
  try {
    const std::wstring text = L"C++ Exception was caught:\n\n" + widenText(std::string(error.what()));
    MessageBoxW(owner, text.c_str(), L"Rename", MB_ICONERROR);
  } catch (...) {
    // Composing the report failed (out of memory, most likely): show nothing rather
    // than let an exception out of a window procedure.
  }
}

void reportUnknownException(HWND owner) noexcept {
  // First, before any call can change it.
  const DWORD code = GetLastError();
  wchar_t* text = nullptr;
  // A code of 0 says nothing of the failure (the system's text for it is "The operation
  // completed successfully"), and catching can leave 0 behind: the ARM64 build's C++
  // runtime clears the last error between some throws and their handler.
  const DWORD length = code == ERROR_SUCCESS ? 0 :
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM, nullptr,
                     code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&text), 0, nullptr);
  if (length != 0) {
    MessageBoxW(owner, text, L"Rename", MB_ICONERROR);
    LocalFree(text);
  } else {
    MessageBoxW(owner, L"Unknown C++ Exception was caught!", L"Rename", MB_ICONERROR);
  }
}

}  // namespace lark
