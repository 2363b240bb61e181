// The contract cases against the real file system, through the Win32 side of the seam.
#include "win32/file_system.h"
#include "tests/contract/rename_contract.h"
#include "tests/support/temp_folder.h"

namespace lark::contract {
namespace {

class RealDisk {
 public:
  std::wstring root() const { return folder_.path(); }
  void addFile(const std::wstring& relative) { folder_.createFile(relative, "content of " + std::string(relative.begin(), relative.end())); }
  void addFolder(const std::wstring& relative) { folder_.createFolder(relative); }
  FileSystem& fileSystem() { return disk_; }
  TreeHashes snapshot() const { return hashTree(folder_.path()); }

 private:
  TempFolder folder_;
  Win32FileSystem disk_;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Win32, RenameContract, RealDisk);

}  // namespace
}  // namespace lark::contract
