// The record behind one rename page: the selection, the user's texts and options, and
// the page's small pieces of state.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The COM interface every object of the platform answers to, named here only so that the
// record can point back at the object that holds it.
struct IUnknown;

namespace lark {

// The object that holds a record, as the engine may name it: the shell extension's
// IUnknown, which the page releases when the sheet lets the page go. The engine itself
// never uses it.
using StateOwner = ::IUnknown;

class FileSystem;
class FileSystemSource;
class JournalFolder;
class PageSurface;
class VersionCheck;

// The outcome of transforming one name: the new name, or the failure text.
struct TransformResult {
  bool success = false;
  std::wstring text;
};

// The address behind the page's link until the update check names another.
std::wstring defaultSiteUrl();

struct RenameState {
  RenameState();
  ~RenameState();
  RenameState(const RenameState&) = delete;
  RenameState& operator=(const RenameState&) = delete;

  // Replaces the selection with full paths as the shell lists them; folders get a
  // trailing backslash and turn subfolder search on.
  void setSelection(const std::vector<std::wstring>& paths, FileSystem& fileSystem);

  // The new name of a bare name (never a path) under matchPattern and replaceFormat.
  TransformResult transformName(const std::wstring& name) const;

  // Recomputes the example, the counts and the button states on the page.
  void refreshPreview(PageSurface& page);

  StateOwner* owner = nullptr;
  // Where the page's actions open the file system, handed in with the page by whoever
  // makes it; the record does not own it.
  FileSystemSource* fileSystems = nullptr;
  // Where Rename records each run so that it can be taken back; none when null. Handed
  // in like fileSystems.
  JournalFolder* journals = nullptr;
  // Declaration order matters: members are destroyed in reverse, so the update checker
  // (and with it its worker) goes last. It is an UpdateChecker of update/, held through
  // the engine's side of the seam so that the engine never depends on update/.
  std::unique_ptr<VersionCheck> updateChecker;
  std::uint32_t timerId = 0;
  bool updateLinkVisible = true;
  std::wstring siteUrl;
  std::vector<std::wstring> files;
  std::vector<std::wstring> folders;
  std::uint32_t exampleIndex = 0;
  bool renameFolders = false;
  bool searchSubfolders = false;
  std::wstring matchPattern = L"(.*)";
  std::wstring replaceFormat = L"\\1";
};

}  // namespace lark
