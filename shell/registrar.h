// A registrar for registry scripts in the ATL Registrar's format: key blocks under root
// keys, NoRemove / ForceRemove markers, `val` values, `s` string data, quoted names and
// %NAME% replacements.
#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace lark {

// The registry as the registrar needs it. Paths are "Root\Key\Sub"; the root is one of
// HKCR, HKLM, HKCU, HKU (or their long forms), already shortened. Failures throw
// RegistryError with the platform's code.
class Registry {
 public:
  virtual ~Registry() = default;
  virtual void createKey(const std::wstring& path) = 0;
  // Deletes a key with everything below it; a missing key is no error.
  virtual void deleteTree(const std::wstring& path) = 0;
  virtual void setString(const std::wstring& path, const std::wstring& name, const std::wstring& data) = 0;
  // A missing value or key is no error.
  virtual void deleteValue(const std::wstring& path, const std::wstring& name) = 0;
};

struct RegistryError : std::runtime_error {
  RegistryError(const std::string& what, long code) : std::runtime_error(what), code(code) {}
  long code;
};

struct RegistryScriptError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// One key of a script, with what it holds.
struct ScriptKey {
  enum class Marker { None, NoRemove, ForceRemove };
  Marker marker = Marker::None;
  std::wstring name;
  bool hasDefault = false;
  std::wstring defaultValue;
  std::vector<std::pair<std::wstring, std::wstring>> values;  // `val` name = s 'data'
  std::vector<ScriptKey> subkeys;
};

// Parses a script after replacing every %NAME% (names matched without regard to case).
std::vector<ScriptKey> parseRegistryScript(const std::wstring& script, const std::map<std::wstring, std::wstring>& replacements);

// Applies a parsed script: register creates, rebuilding ForceRemove keys; unregister
// removes what is listed and every key not marked NoRemove.
void registerScript(const std::vector<ScriptKey>& roots, Registry& registry);
void unregisterScript(const std::vector<ScriptKey>& roots, Registry& registry);

// Doubles every single quote, so a text can stand inside a quoted script string.
std::wstring doubleQuotes(const std::wstring& text);

// The replacements DllRegisterServer makes in the module's script for the module at
// modulePath: %MODULE% and %MODULE_RAW% name it, %APPID% is empty. The packages' rows are
// made with the same table, from the path each package installs the module at.
std::map<std::wstring, std::wstring> moduleReplacements(const std::wstring& modulePath);

}  // namespace lark
