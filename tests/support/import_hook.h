// Watching the calls a program makes to the platform: one imported function of a module
// replaced, for as long as the hook lives, by rewriting the module's import table. The
// Win32 tests link the product in, so they see its calls to ShellExecuteW,
// SHFileOperationW, KillTimer or InternetOpenW without a seam in the product.
#pragma once

#include <windows.h>

namespace lark {

class ImportHook {
 public:
  // Replaces `function` of `dll` (for example "shell32.dll") in the import table of
  // `module`; throws when the module does not import it.
  ImportHook(HMODULE module, const char* dll, const char* function, void* replacement);
  ~ImportHook();
  ImportHook(const ImportHook&) = delete;
  ImportHook& operator=(const ImportHook&) = delete;

  // The function the hook replaced, to call through to.
  template <typename Function>
  Function original() const {
    return reinterpret_cast<Function>(original_);
  }

 private:
  void** slot_ = nullptr;
  void* original_ = nullptr;
};

}  // namespace lark
