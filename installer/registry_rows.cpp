// The registry rows that DllRegisterServer writes for one module path, read through the
// module's own registration script with the registrar itself: as a WiX include, so that
// the MSI writes them as rows of its own Registry table; as plain lines to check an MSI
// against; or as the setup program's macros that write and remove them.
//   lark-registry-rows SCRIPT MODULE_PATH [--per-user] --wxi        (RegistryValue elements for a component)
//   lark-registry-rows SCRIPT MODULE_PATH [--per-user] --rows VIEW  (VIEW, root, key, name, value: a line each)
//   lark-registry-rows SCRIPT MODULE_PATH [--per-user] --nsis VIEW  (Lark{User,Machine}{Register,Unregister}VIEW)
// --per-user moves each row where a user's own registration lives.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "shell/registrar.h"
#include "shell/recording_registry.h"

namespace {

struct Row {
  std::string root, subkey, name, data;
};

std::string narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t unit : text) {
    if (unit > 0x7F) throw std::runtime_error("the registration script is plain ASCII");
    out.push_back(static_cast<char>(unit));
  }
  return out;
}

// Where a per-user install keeps a row of the given root and subkey.
void toPerUser(Row& row) {
  if (row.root == "HKCR") row.subkey = "Software\\Classes\\" + row.subkey;
  row.root = "HKCU";
}

// Every value DllRegisterServer writes for the module at modulePath, in the registrar's
// order.
std::vector<Row> registrationRows(const std::string& scriptPath, const std::string& modulePath, bool perUser) {
  std::ifstream file(scriptPath);
  std::stringstream text;
  text << file.rdbuf();
  const std::string script = text.str();
  if (script.empty()) throw std::runtime_error("cannot read the registration script");
  // DllRegisterServer's replacements, with the module's path as the package installs it.
  const auto keys = lark::parseRegistryScript(std::wstring(script.begin(), script.end()),
                                              lark::moduleReplacements(std::wstring(modulePath.begin(), modulePath.end())));
  lark::RecordingRegistry registry;
  lark::registerScript(keys, registry);
  std::vector<Row> rows;
  for (const auto& [path, values] : registry.keys) {
    for (const auto& [name, data] : values) {
      const std::string key = narrow(path);
      const auto slash = key.find('\\');
      Row row{key.substr(0, slash), key.substr(slash + 1), narrow(name), narrow(data)};
      if (perUser) toPerUser(row);
      rows.push_back(std::move(row));
    }
  }
  return rows;
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

// RegistryValue elements, the first of them the component's key path.
void printWxi(const std::vector<Row>& rows) {
  std::cout << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!-- Made by lark-registry-rows from the module's "
               "registration script. -->\n<Include>\n";
  bool keyPath = true;
  for (const Row& row : rows) {
    std::cout << "  <RegistryValue Root=\"" << row.root << "\" Key=\"" << xmlText(row.subkey) << "\"";
    if (!row.name.empty()) std::cout << " Name=\"" << xmlText(row.name) << "\"";
    std::cout << " Type=\"string\" Value=\"" << xmlText(row.data) << "\"" << (keyPath ? " KeyPath=\"yes\"" : "") << "/>\n";
    keyPath = false;
  }
  std::cout << "</Include>\n";
}

void printRows(const std::vector<Row>& rows, const std::string& view) {
  for (const Row& row : rows) {
    std::cout << view << '\t' << row.root << '\t' << row.subkey << '\t' << row.name << '\t' << row.data << '\n';
  }
}

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

// Keys every Windows has, where removing emptied keys stops. HKLM's Approved holds the
// system's own approvals; a user's has none until something approves a class for them.
bool isStandingKey(const std::string& root, const std::string& subkey) {
  return subkey == "Software" || subkey == "Software\\Classes" || subkey == "Software\\Microsoft\\Windows\\CurrentVersion" ||
         (root == "HKLM" && subkey == "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved");
}

// Two macros for the setup program: one writes the rows, one removes them and then every
// key they leave empty, deepest first (DeleteKeyIfEmpty, which the setup script defines).
void printNsis(const std::vector<Row>& rows, const std::string& view, bool perUser) {
  const std::string scope = perUser ? "User" : "Machine";
  std::cout << "; Made by lark-registry-rows from the module's registration script.\n!macro Lark" << scope << "Register"
            << view << "\n  SetRegView " << view << '\n';
  for (const Row& row : rows) {
    std::cout << "  WriteRegStr " << row.root << ' ' << nsisText(row.subkey) << ' ' << nsisText(row.name) << ' '
              << nsisText(row.data) << '\n';
  }
  std::cout << "!macroend\n!macro Lark" << scope << "Unregister" << view << "\n  SetRegView " << view << '\n';
  std::set<std::tuple<std::size_t, std::string, std::string>, std::greater<>> emptied;  // depth, root, key
  for (const Row& row : rows) {
    std::cout << "  DeleteRegValue " << row.root << ' ' << nsisText(row.subkey) << ' ' << nsisText(row.name) << '\n';
    for (std::string key = row.subkey; !isStandingKey(row.root, key);) {
      emptied.emplace(static_cast<std::size_t>(std::count(key.begin(), key.end(), '\\')), row.root, key);
      const auto slash = key.rfind('\\');
      if (slash == std::string::npos) break;
      key.resize(slash);
    }
  }
  for (const auto& [depth, root, key] : emptied) {
    std::cout << "  !insertmacro DeleteKeyIfEmpty " << root << ' ' << nsisText(key) << '\n';
  }
  std::cout << "!macroend\n";
}

struct Options {
  std::string script, module, format, view;
  bool perUser = false;
};

// The command line, or nothing when it is not one of the usage's.
bool parse(std::vector<std::string> args, Options& options) {
  if (args.size() > 3 && args[3] == "--per-user") {
    options.perUser = true;
    args.erase(args.begin() + 3);
  }
  if (args.size() < 4) return false;
  options.script = args[1];
  options.module = args[2];
  options.format = args[3];
  if (options.format == "--wxi") return args.size() == 4;
  options.view = args.size() == 5 ? args[4] : "";
  return (options.format == "--rows" || options.format == "--nsis") && args.size() == 5;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parse(std::vector<std::string>(argv, argv + argc), options)) {
    std::fputs("usage: lark-registry-rows SCRIPT MODULE_PATH [--per-user] (--wxi | --rows VIEW | --nsis VIEW)\n", stderr);
    return 2;
  }
  try {
    const std::vector<Row> rows = registrationRows(options.script, options.module, options.perUser);
    if (options.format == "--wxi") {
      printWxi(rows);
    } else if (options.format == "--rows") {
      printRows(rows, options.view);
    } else {
      printNsis(rows, options.view, options.perUser);
    }
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "lark-registry-rows: %s\n", error.what());
    return 1;
  }
}
