// The registrar against an in-memory registry: the script's markers, replacements and
// quoting, and the module's own script.
#include "shell/registrar.h"
#include "build_config.h"
#include "shell/recording_registry.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

namespace lark {
namespace {

std::wstring moduleScript() {
  std::ifstream file(LARK_REGISTRY_SCRIPT);
  std::stringstream text;
  text << file.rdbuf();
  const std::string narrow = text.str();
  EXPECT_FALSE(narrow.empty());
  return std::wstring(narrow.begin(), narrow.end());
}

const std::wstring kClsid = LARK_WIDE(LARK_CLSID_TEXT);

TEST(Registrar, TheModulesScriptWritesTheSixEntries) {
  RecordingRegistry registry;
  const std::wstring path = L"C:\\Program Files\\Lark's\\Larkspindle.dll";
  const auto keys = parseRegistryScript(moduleScript(), moduleReplacements(path));
  registerScript(keys, registry);
  registerScript(keys, registry);  // twice: ForceRemove keys are rebuilt, not merged
  const std::vector<std::wstring> values = [&] {
    std::vector<std::wstring> out;
    for (const auto& line : registry.dump()) if (line.find(L" : ") != std::wstring::npos) out.push_back(line);
    return out;
  }();
  EXPECT_EQ((std::vector<std::wstring>{
                L"HKCR\\*\\shellex\\PropertySheetHandlers\\Larkspindle :  = " + kClsid,
                L"HKCR\\CLSID\\" + kClsid + L" :  = Larkspindle Class",
                L"HKCR\\CLSID\\" + kClsid + L"\\InprocServer32 :  = " + path,
                L"HKCR\\CLSID\\" + kClsid + L"\\InprocServer32 : ThreadingModel = Apartment",
                L"HKCR\\Directory\\shellex\\PropertySheetHandlers\\Larkspindle :  = " + kClsid,
                L"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved : " + kClsid + L" = Larkspindle",
            }),
            values);

  unregisterScript(keys, registry);
  unregisterScript(keys, registry);  // a second time is no error
  EXPECT_EQ((std::vector<std::wstring>{
                L"HKCR", L"HKCR\\*", L"HKCR\\*\\shellex", L"HKCR\\*\\shellex\\PropertySheetHandlers", L"HKCR\\CLSID",
                L"HKCR\\Directory", L"HKCR\\Directory\\shellex", L"HKCR\\Directory\\shellex\\PropertySheetHandlers", L"HKLM",
                L"HKLM\\Software", L"HKLM\\Software\\Microsoft", L"HKLM\\Software\\Microsoft\\Windows",
                L"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion",
                L"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions",
                L"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved"}),
            registry.dump())
      << "only the NoRemove keys stay";
}

TEST(Registrar, ForceRemoveRebuildsAndNoRemoveKeepsWhatOthersWrote) {
  RecordingRegistry registry;
  registry.createKey(L"HKCR\\Shared\\Ours");
  registry.setString(L"HKCR\\Shared\\Ours", L"stale", L"x");
  registry.createKey(L"HKCR\\Shared\\Theirs");
  const auto keys = parseRegistryScript(L"HKCR { NoRemove Shared { ForceRemove Ours = s 'new' { val Kind = s 'k' } } }", {});
  registerScript(keys, registry);
  EXPECT_EQ((std::vector<std::wstring>{L"HKCR", L"HKCR\\Shared", L"HKCR\\Shared\\Ours", L"HKCR\\Shared\\Ours :  = new",
                                       L"HKCR\\Shared\\Ours : Kind = k", L"HKCR\\Shared\\Theirs"}),
            registry.dump())
      << "the stale value is gone, and the braces make no keys of their own";
  unregisterScript(keys, registry);
  EXPECT_EQ((std::vector<std::wstring>{L"HKCR", L"HKCR\\Shared", L"HKCR\\Shared\\Theirs"}), registry.dump());
}

TEST(Registrar, ReplacementsAndQuoting) {
  const struct {
    const wchar_t* script;
    const wchar_t* expected;  // the default value of HKCR\K
  } cases[] = {
      {L"HKCR { K = s '%MODULE%' }", L"C:\\it's\\x.dll"},
      {L"HKCR { K = s '%module%' }", L"C:\\it's\\x.dll"},
      {L"HKEY_CLASSES_ROOT { K = s 'a''b' }", L"a'b"},
      {L"HKCR { K = s '100%%' }", L"100%"},
      {L"HKCR\n{\n\tK = s '{braces} inside'\n}\n", L"{braces} inside"},
  };
  for (const auto& c : cases) {
    RecordingRegistry registry;
    registerScript(parseRegistryScript(c.script, {{L"Module", doubleQuotes(L"C:\\it's\\x.dll")}}), registry);
    EXPECT_EQ(std::wstring(c.expected), registry.keys[L"HKCR\\K"][L""]) << ::testing::PrintToString(std::wstring(c.script));
  }
}

TEST(Registrar, NamesEachRootInItsShortForm) {
  const struct {
    const wchar_t* root;
    const wchar_t* shortName;
  } cases[] = {
      {L"HKCR", L"HKCR"}, {L"hkey_classes_root", L"HKCR"}, {L"HKLM", L"HKLM"}, {L"HKEY_LOCAL_MACHINE", L"HKLM"},
      {L"HKCU", L"HKCU"}, {L"HKEY_CURRENT_USER", L"HKCU"}, {L"HKU", L"HKU"},   {L"HKEY_USERS", L"HKU"},
  };
  for (const auto& c : cases) {
    RecordingRegistry registry;
    registerScript(parseRegistryScript(std::wstring(c.root) + L" { K = s 'v' }", {}), registry);
    EXPECT_EQ((std::vector<std::wstring>{c.shortName, std::wstring(c.shortName) + L"\\K",
                                         std::wstring(c.shortName) + L"\\K :  = v"}),
              registry.dump())
        << ::testing::PrintToString(std::wstring(c.root));
  }
}

TEST(Registrar, RefusesMalformedScripts) {
  for (const wchar_t* script : {L"HKCR { K = s 'open }", L"HKCR { K = s '%NOPE%' }", L"HKCR { K", L"HKXX { K }",
                                L"HKCR { K = d '1' }", L"HKCR { val V = s 'x' }"}) {
    EXPECT_THROW(parseRegistryScript(script, {}), RegistryScriptError) << ::testing::PrintToString(std::wstring(script));
  }
}

}  // namespace
}  // namespace lark
