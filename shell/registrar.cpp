// Parsing and applying registry scripts.
#include "shell/registrar.h"

#include <cwctype>

namespace lark {

namespace {

std::wstring lower(std::wstring text) {
  for (auto& unit : text) unit = static_cast<wchar_t>(std::towlower(unit));
  return text;
}

std::wstring replaceParameters(const std::wstring& script, const std::map<std::wstring, std::wstring>& replacements) {
  std::map<std::wstring, std::wstring> byName;
  for (const auto& [name, value] : replacements) byName[lower(name)] = value;
  std::wstring out;
  for (std::size_t i = 0; i < script.size(); ++i) {
    if (script[i] != L'%') {
      out.push_back(script[i]);
      continue;
    }
    const std::size_t end = script.find(L'%', i + 1);
    if (end == std::wstring::npos) throw RegistryScriptError("unterminated replacement");
    if (end == i + 1) {
      out.push_back(L'%');  // "%%" is a percent sign
    } else {
      const auto found = byName.find(lower(script.substr(i + 1, end - i - 1)));
      if (found == byName.end()) throw RegistryScriptError("unknown replacement");
      out += found->second;
    }
    i = end;
  }
  return out;
}

class Parser {
 public:
  explicit Parser(std::wstring text) : text_(std::move(text)) {}

  std::vector<ScriptKey> roots() {
    std::vector<ScriptKey> roots;
    while (!atEnd()) {
      ScriptKey root;
      root.name = rootName(word());
      expect(L"{");
      root.subkeys = keys();
      roots.push_back(std::move(root));
    }
    return roots;
  }

 private:
  // Keys up to the closing brace of the current block.
  std::vector<ScriptKey> keys(std::vector<std::pair<std::wstring, std::wstring>>* values = nullptr) {
    std::vector<ScriptKey> found;
    for (;;) {
      if (atEnd()) throw RegistryScriptError("missing }");
      std::wstring token = word();
      if (token == L"}") return found;
      if (lower(token) == L"val") {
        if (!values) throw RegistryScriptError("a value outside a key");
        std::wstring name = word();
        expect(L"=");
        values->emplace_back(name, stringData());
        continue;
      }
      ScriptKey key;
      if (lower(token) == L"noremove") {
        key.marker = ScriptKey::Marker::NoRemove;
        token = word();
      } else if (lower(token) == L"forceremove") {
        key.marker = ScriptKey::Marker::ForceRemove;
        token = word();
      }
      key.name = token;
      if (peek() == L"=") {
        word();
        key.hasDefault = true;
        key.defaultValue = stringData();
      }
      if (peek() == L"{") {
        word();
        key.subkeys = keys(&key.values);
      }
      found.push_back(std::move(key));
    }
  }

  std::wstring stringData() {
    if (lower(word()) != L"s") throw RegistryScriptError("only string data is supported");
    return word();
  }

  static std::wstring rootName(const std::wstring& name) {
    const std::wstring l = lower(name);
    if (l == L"hkcr" || l == L"hkey_classes_root") return L"HKCR";
    if (l == L"hklm" || l == L"hkey_local_machine") return L"HKLM";
    if (l == L"hkcu" || l == L"hkey_current_user") return L"HKCU";
    if (l == L"hku" || l == L"hkey_users") return L"HKU";
    throw RegistryScriptError("unknown root key");
  }

  void expect(const wchar_t* token) {
    if (word() != token) throw RegistryScriptError("unexpected token");
  }

  void skipSpace() {
    while (at_ < text_.size() && std::iswspace(text_[at_])) ++at_;
  }
  bool atEnd() {
    skipSpace();
    return at_ >= text_.size();
  }
  std::wstring peek() {
    const std::size_t saved = at_;
    std::wstring token = atEnd() ? std::wstring() : word();
    at_ = saved;
    return token;
  }
  // The next token: a brace standing alone, "=", a quoted string ('' inside is one quote),
  // or a bare word (which may itself begin with a brace, as a GUID does).
  std::wstring word() {
    skipSpace();
    if (at_ >= text_.size()) throw RegistryScriptError("unexpected end of script");
    const wchar_t first = text_[at_];
    if (first == L'=' || first == L'}' ||
        (first == L'{' && (at_ + 1 >= text_.size() || std::iswspace(text_[at_ + 1])))) {
      ++at_;
      return std::wstring(1, first);
    }
    std::wstring token;
    if (first == L'\'') {
      for (++at_;; ++at_) {
        if (at_ >= text_.size()) throw RegistryScriptError("unterminated string");
        if (text_[at_] == L'\'') {
          if (at_ + 1 < text_.size() && text_[at_ + 1] == L'\'') {
            token.push_back(L'\'');
            ++at_;
            continue;
          }
          ++at_;
          return token;
        }
        token.push_back(text_[at_]);
      }
    }
    if (first == L'{') {  // a GUID: everything up to its closing brace
      const std::size_t close = text_.find(L'}', at_);
      if (close == std::wstring::npos) throw RegistryScriptError("unterminated name");
      token = text_.substr(at_, close + 1 - at_);
      at_ = close + 1;
      return token;
    }
    while (at_ < text_.size() && !std::iswspace(text_[at_]) && text_[at_] != L'=' && text_[at_] != L'}') token.push_back(text_[at_++]);
    return token;
  }

  std::wstring text_;
  std::size_t at_ = 0;
};

void registerKey(const ScriptKey& key, const std::wstring& parent, Registry& registry) {
  const std::wstring path = parent + L"\\" + key.name;
  // A ForceRemove key is rebuilt, never merged with what was there.
  if (key.marker == ScriptKey::Marker::ForceRemove) registry.deleteTree(path);
  registry.createKey(path);
  if (key.hasDefault) registry.setString(path, L"", key.defaultValue);
  for (const auto& [name, data] : key.values) registry.setString(path, name, data);
  for (const ScriptKey& subkey : key.subkeys) registerKey(subkey, path, registry);
}

void unregisterKey(const ScriptKey& key, const std::wstring& parent, Registry& registry) {
  const std::wstring path = parent + L"\\" + key.name;
  for (const ScriptKey& subkey : key.subkeys) unregisterKey(subkey, path, registry);
  for (const auto& value : key.values) registry.deleteValue(path, value.first);
  if (key.marker != ScriptKey::Marker::NoRemove) registry.deleteTree(path);
}

}  // namespace

std::vector<ScriptKey> parseRegistryScript(const std::wstring& script, const std::map<std::wstring, std::wstring>& replacements) {
  return Parser(replaceParameters(script, replacements)).roots();
}

void registerScript(const std::vector<ScriptKey>& roots, Registry& registry) {
  for (const ScriptKey& root : roots) {
    for (const ScriptKey& key : root.subkeys) registerKey(key, root.name, registry);
  }
}

void unregisterScript(const std::vector<ScriptKey>& roots, Registry& registry) {
  for (const ScriptKey& root : roots) {
    for (const ScriptKey& key : root.subkeys) unregisterKey(key, root.name, registry);
  }
}

std::wstring doubleQuotes(const std::wstring& text) {
  std::wstring out;
  for (wchar_t unit : text) {
    out.push_back(unit);
    if (unit == L'\'') out.push_back(L'\'');
  }
  return out;
}

std::map<std::wstring, std::wstring> moduleReplacements(const std::wstring& modulePath) {
  // The script quotes every place a replacement goes, so a path's own quotes are doubled.
  const std::wstring quoted = doubleQuotes(modulePath);
  return {{L"APPID", L""}, {L"Module", quoted}, {L"Module_Raw", quoted}};
}

}  // namespace lark
