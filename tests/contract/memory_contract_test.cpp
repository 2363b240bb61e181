// The contract cases against the in-memory file system of the engine's tests.
#include "tests/contract/rename_contract.h"
#include "tests/support/fakes.h"

#include <map>

namespace lark::contract {
namespace {

class MemoryDisk {
 public:
  std::wstring root() const { return L"C:\\Root"; }
  void addFile(const std::wstring& relative) { disk_.addFile(root() + L"\\" + relative); }
  void addFolder(const std::wstring& relative) { disk_.addFolder(root() + L"\\" + relative); }
  FileSystem& fileSystem() { return disk_; }
  // Every path below the root with its attributes: the memory disk holds no content.
  std::map<std::wstring, std::uint64_t> snapshot() {
    std::map<std::wstring, std::uint64_t> out;
    for (const std::wstring& path : disk_.tree(root())) out[path] = disk_.attributes(path);
    return out;
  }

 private:
  fakes::MemoryFileSystem disk_;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Memory, RenameContract, MemoryDisk);

}  // namespace
}  // namespace lark::contract
