// The contract cases against the in-memory file system of the engine's tests.
#include "tests/contract/rename_contract.h"
#include "tests/support/fakes.h"

#include <map>

namespace lark::contract {
namespace {

class MemoryDisk {
 public:
  std::wstring root() const { return L"C:\\Root"; }
  void addFile(const std::wstring& relative) {
    // The memory disk holds no content: a size of its own stands for each file's.
    disk_.addFile(root() + L"\\" + relative);
    disk_.setStamp(root() + L"\\" + relative, ++files_, 0);
  }
  void addFolder(const std::wstring& relative) { disk_.addFolder(root() + L"\\" + relative); }
  FileSystem& fileSystem() { return disk_; }
  // Every file below the root with what stands for its content.
  std::map<std::wstring, std::uint64_t> snapshot() {
    std::map<std::wstring, std::uint64_t> out;
    for (const std::wstring& path : disk_.tree(root())) {
      if (!(disk_.attributes(path) & kAttributeDirectory)) out[path] = disk_.stamp(path).size;
    }
    return out;
  }

 private:
  fakes::MemoryFileSystem disk_;
  std::uint64_t files_ = 0;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Memory, RenameContract, MemoryDisk);

}  // namespace
}  // namespace lark::contract
