// A registry that only records: what a registration script writes, as keys and values in
// memory. The MSI's registry rows are made with it from the module's own script, and the
// registrar's tests and fuzzer read it back.
#pragma once
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "shell/registrar.h"

namespace lark {

// Keys as paths, each with its values; a key exists when it is in the map.
class RecordingRegistry : public Registry {
 public:
  void createKey(const std::wstring& path) override {
    for (std::size_t at = path.find(L'\\'); at != std::wstring::npos; at = path.find(L'\\', at + 1)) keys[path.substr(0, at)];
    keys[path];
  }
  void deleteTree(const std::wstring& path) override {
    for (auto it = keys.begin(); it != keys.end();) {
      it = (it->first == path || it->first.compare(0, path.size() + 1, path + L"\\") == 0) ? keys.erase(it) : std::next(it);
    }
  }
  void setString(const std::wstring& path, const std::wstring& name, const std::wstring& data) override {
    if (!keys.count(path)) throw RegistryError("no such key", 2);
    keys[path][name] = data;
  }
  void deleteValue(const std::wstring& path, const std::wstring& name) override {
    if (keys.count(path)) keys[path].erase(name);
  }
  // "path" or "path : name = data" for every key and value, sorted.
  std::vector<std::wstring> dump() const {
    std::vector<std::wstring> lines;
    for (const auto& [path, values] : keys) {
      lines.push_back(path);
      for (const auto& [name, data] : values) lines.push_back(path + L" : " + name + L" = " + data);
    }
    return lines;
  }
  std::map<std::wstring, std::map<std::wstring, std::wstring>> keys;
};

}  // namespace lark
