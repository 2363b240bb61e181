// The registrar's registry over the real Win32 registry.
#pragma once

#include "shell/registrar.h"

namespace lark {

class Win32Registry : public Registry {
 public:
  void createKey(const std::wstring& path) override;
  void deleteTree(const std::wstring& path) override;
  void setString(const std::wstring& path, const std::wstring& name, const std::wstring& data) override;
  void deleteValue(const std::wstring& path, const std::wstring& name) override;
};

}  // namespace lark
