// Win32 side of the registrar.
#include "shell/win32_registry.h"

#include <windows.h>

#include "win32/handles.h"

namespace lark {

namespace {

// Splits "HKCR\A\B" into the root key and "A\B".
HKEY split(const std::wstring& path, std::wstring& subkey) {
  const auto slash = path.find(L'\\');
  const std::wstring root = path.substr(0, slash);
  subkey = slash == std::wstring::npos ? std::wstring() : path.substr(slash + 1);
  if (root == L"HKCR") return HKEY_CLASSES_ROOT;
  if (root == L"HKLM") return HKEY_LOCAL_MACHINE;
  if (root == L"HKCU") return HKEY_CURRENT_USER;
  return HKEY_USERS;
}

void check(LONG status, const char* what) {
  if (status != ERROR_SUCCESS) throw RegistryError(what, status);
}

bool missing(LONG status) { return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND; }

}  // namespace

void Win32Registry::createKey(const std::wstring& path) {
  std::wstring subkey;
  HKEY root = split(path, subkey);
  UniqueRegistryKey key;
  check(RegCreateKeyExW(root, subkey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr), "RegCreateKeyEx");
}

void Win32Registry::deleteTree(const std::wstring& path) {
  std::wstring subkey;
  HKEY root = split(path, subkey);
  const LONG status = RegDeleteTreeW(root, subkey.c_str());
  if (!missing(status)) check(status, "RegDeleteTree");
  const LONG removed = RegDeleteKeyW(root, subkey.c_str());
  if (!missing(removed)) check(removed, "RegDeleteKey");
}

void Win32Registry::setString(const std::wstring& path, const std::wstring& name, const std::wstring& data) {
  std::wstring subkey;
  HKEY root = split(path, subkey);
  UniqueRegistryKey key;
  check(RegOpenKeyExW(root, subkey.c_str(), 0, KEY_SET_VALUE, key.put()), "RegOpenKeyEx");
  check(RegSetValueExW(key.get(), name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(data.c_str()), static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))),
        "RegSetValueEx");
}

void Win32Registry::deleteValue(const std::wstring& path, const std::wstring& name) {
  std::wstring subkey;
  HKEY root = split(path, subkey);
  UniqueRegistryKey key;
  const LONG opened = RegOpenKeyExW(root, subkey.c_str(), 0, KEY_SET_VALUE, key.put());
  if (missing(opened)) return;
  check(opened, "RegOpenKeyEx");
  const LONG status = RegDeleteValueW(key.get(), name.empty() ? nullptr : name.c_str());
  if (!missing(status)) check(status, "RegDeleteValue");
}

}  // namespace lark
