// Arbitrary registry scripts through the parser and the registrar. Stops on a wrong
// answer as well as a crash: registering twice must leave what registering once left,
// and so must unregistering twice.
#include <cstdlib>
#include <map>
#include <string>

#include "fuzz/fuzz_input.h"
#include "shell/registrar.h"
#include "shell/recording_registry.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::wstring script = lark::fuzz::wideText(data, size);
  const std::map<std::wstring, std::wstring> replacements = {
      {L"MODULE", lark::doubleQuotes(L"C:\\Program Files\\Lark's\\Larkspindle.dll")}};
  std::vector<lark::ScriptKey> roots;
  try {
    roots = lark::parseRegistryScript(script, replacements);
  } catch (const lark::RegistryScriptError&) {
    return 0;
  }
  lark::RecordingRegistry registry;
  try {
    lark::registerScript(roots, registry);
  } catch (const lark::RegistryError&) {
    return 0;  // a root the registrar does not know
  }
  const auto once = registry.keys;
  lark::registerScript(roots, registry);
  require(registry.keys == once);
  lark::unregisterScript(roots, registry);
  const auto removed = registry.keys;
  lark::unregisterScript(roots, registry);
  require(registry.keys == removed);
  return 0;
}
