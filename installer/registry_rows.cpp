// The registry rows that DllRegisterServer writes for one module path, read through the
// module's own registration script with the registrar itself: as a WiX include, so that
// the MSI writes them as rows of its own Registry table, or as plain lines to check an
// MSI against.
//   lark-registry-rows SCRIPT MODULE_PATH --wxi        (RegistryValue elements for a component)
//   lark-registry-rows SCRIPT MODULE_PATH --rows VIEW  (VIEW, root, key, name, value: a line each)
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "shell/registrar.h"
#include "shell/recording_registry.h"

namespace {

std::string narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t unit : text) {
    if (unit > 0x7F) throw std::runtime_error("the registration script is plain ASCII");
    out.push_back(static_cast<char>(unit));
  }
  return out;
}

std::string xmlText(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

// Where a per-user install keeps a row of the given root and subkey.
void toPerUser(std::string& root, std::string& subkey) {
  if (root == "HKCR") subkey = "Software\\Classes\\" + subkey;
  root = "HKCU";
}

struct Row {
  std::string root, subkey, name, data;
};

// NSIS text in double quotes, quotes and dollars escaped. The installer's folders, named
// as the MSI names them ([INSTALLDIR], [X86DIR]), become the setup program's $INSTDIR.
std::string nsisText(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '"' ? std::string("$\\\"") : c == '$' ? std::string("$$") : std::string(1, c);
  for (const auto& [folder, variable] : {std::pair<std::string, std::string>{"[INSTALLDIR]", "$INSTDIR\\"},
                                         {"[X86DIR]", "$INSTDIR\\x86\\"}}) {
    for (auto at = out.find(folder); at != std::string::npos; at = out.find(folder)) out.replace(at, folder.size(), variable);
  }
  return '"' + out + '"';
}

// Keys every Windows has, where removing emptied keys stops.
bool isStandingKey(const std::string& subkey) {
  return subkey == "Software" || subkey == "Software\\Classes" || subkey == "Software\\Microsoft\\Windows\\CurrentVersion";
}

void printNsis(const std::vector<Row>& rows, const std::string& view) {
  std::cout << "; Made by lark-registry-rows from the module's registration script.\n!macro LarkRegister" << view
            << "\n  SetRegView " << view << '\n';
  for (const Row& row : rows) {
    std::cout << "  WriteRegStr " << row.root << ' ' << nsisText(row.subkey) << ' ' << nsisText(row.name) << ' '
              << nsisText(row.data) << '\n';
  }
  std::cout << "!macroend\n!macro LarkUnregister" << view << "\n  SetRegView " << view << '\n';
  std::set<std::pair<std::size_t, std::string>, std::greater<>> emptied;  // by depth, deepest first
  for (const Row& row : rows) {
    std::cout << "  DeleteRegValue " << row.root << ' ' << nsisText(row.subkey) << ' ' << nsisText(row.name) << '\n';
    for (std::string key = row.subkey; !isStandingKey(key) && key.find('\\') != std::string::npos;
         key = key.substr(0, key.rfind('\\'))) {
      emptied.emplace(static_cast<std::size_t>(std::count(key.begin(), key.end(), '\\')), key);
    }
  }
  for (const auto& [depth, key] : emptied) {
    std::cout << "  !insertmacro DeleteKeyIfEmpty " << rows.front().root << ' ' << nsisText(key) << '\n';
  }
  std::cout << "!macroend\n";
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  const bool perUser = args.size() > 3 && args[3] == "--per-user";
  if (perUser) args.erase(args.begin() + 3);
  const std::string mode = args.size() > 3 ? args[3] : "";
  if (!((mode == "--wxi" && args.size() == 4) || ((mode == "--rows" || mode == "--nsis") && args.size() == 5))) {
    std::fputs("usage: lark-registry-rows SCRIPT MODULE_PATH [--per-user] (--wxi | --rows VIEW | --nsis VIEW)\n", stderr);
    return 2;
  }
  try {
    std::ifstream file(args[1]);
    std::stringstream text;
    text << file.rdbuf();
    const std::string script = text.str();
    if (script.empty()) throw std::runtime_error("cannot read the registration script");
    const std::string module = args[2];
    // The same replacements as DllRegisterServer's, with the module's path as the MSI will
    // install it.
    const std::wstring quoted = lark::doubleQuotes(std::wstring(module.begin(), module.end()));
    const auto keys = lark::parseRegistryScript(std::wstring(script.begin(), script.end()),
                                                {{L"APPID", L""}, {L"Module", quoted}, {L"Module_Raw", quoted}});
    lark::RecordingRegistry registry;
    lark::registerScript(keys, registry);

    std::vector<Row> rows;
    for (const auto& [path, values] : registry.keys) {
      for (const auto& [name, data] : values) {
        const std::string key = narrow(path);
        const auto slash = key.find('\\');
        Row row{key.substr(0, slash), key.substr(slash + 1), narrow(name), narrow(data)};
        if (perUser) toPerUser(row.root, row.subkey);
        rows.push_back(std::move(row));
      }
    }
    if (mode == "--nsis") {
      printNsis(rows, args[4]);
      return 0;
    }
    if (mode == "--wxi") {
      std::cout << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!-- Made by lark-registry-rows from the module's "
                   "registration script. -->\n<Include>\n";
    }
    bool keyPath = true;
    for (const Row& row : rows) {
      if (mode == "--rows") {
        std::cout << args[4] << '\t' << row.root << '\t' << row.subkey << '\t' << row.name << '\t' << row.data << '\n';
        continue;
      }
      std::cout << "  <RegistryValue Root=\"" << row.root << "\" Key=\"" << xmlText(row.subkey) << "\"";
      if (!row.name.empty()) std::cout << " Name=\"" << xmlText(row.name) << "\"";
      std::cout << " Type=\"string\" Value=\"" << xmlText(row.data) << "\"" << (keyPath ? " KeyPath=\"yes\"" : "")
                << "/>\n";
      keyPath = false;
    }
    if (mode == "--wxi") std::cout << "</Include>\n";
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "lark-registry-rows: %s\n", error.what());
    return 1;
  }
}
