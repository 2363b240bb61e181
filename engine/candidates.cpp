// Candidate collection: the selection walked into rows, each with its new relative path.
#include "engine/candidates.h"

#include <vector>

#include "engine/path_helpers.h"

namespace lark {

TransformResult addCandidate(CandidateWalk& walk, const std::wstring& baseFolder, const std::wstring& sourcePath,
                             const std::wstring& destinationPath, const std::wstring& name) {
  RenameEntry entry = RenameEntry::candidate(baseFolder, destinationPath + name, sourcePath + name);
  TransformResult result = walk.transformer.transform(name);
  if (result.success && holdsForbiddenNameCharacter(result.text)) {
    // Never handed to the shell, which would read a wildcard as a pattern and rename
    // onto another file; a folder refused here is not entered, as after a failed match.
    entry.failed = true;
    entry.errorText = forbiddenNameError(result.text);
    result.success = false;
  } else if (result.success) {
    entry.newPath = destinationPath + result.text;
  } else {
    entry.failed = true;
    entry.errorText = kMatchFailedPrefix + (L"\"" + result.text + L"\"]");
  }
  walk.plan.push_back(std::move(entry));
  return result;
}

namespace {

// One folder of the walk, selected or found: its own row when folders are renamed, then
// its contents when subfolders are searched. A folder whose name fails to transform is
// not entered, and neither is a link.
void visitFolder(CandidateWalk& walk, const std::wstring& baseFolder, const std::wstring& sourcePath,
                 const std::wstring& destinationPath, const std::wstring& name, bool isLink, bool renameFolders,
                 bool searchSubfolders) {
  std::wstring newName = name;
  if (renameFolders) {
    TransformResult result = addCandidate(walk, baseFolder, sourcePath, destinationPath, name);
    if (!result.success) return;
    newName = std::move(result.text);
  }
  if (!searchSubfolders || isLink) return;
  std::wstring source = name;
  std::wstring destination = newName;
  ensureTrailingBackslash(source);
  ensureTrailingBackslash(destination);
  collectFolder(walk, baseFolder, sourcePath + source, destinationPath + destination, renameFolders, searchSubfolders);
}

}  // namespace

void collectFolder(CandidateWalk& walk, const std::wstring& baseFolder, const std::wstring& sourcePath,
                   const std::wstring& destinationPath, bool renameFolders, bool searchSubfolders) {
  struct Subfolder {
    std::wstring name;
    bool isLink;
  };
  std::vector<Subfolder> subfolders;
  {
    std::unique_ptr<FolderListing> listing = walk.fileSystem.listFolder(baseFolder + sourcePath + L"*");
    if (!listing) return;
    // A failure inside one folder's listing ends that listing only: the rows made so
    // far stay and the subfolders already seen are still walked.
    try {
      FolderEntry entry;
      while (listing->next(entry)) {
        if (entry.name.empty()) continue;
        if (entry.attributes & kAttributeDirectory) {
          if (entry.name != L"." && entry.name != L"..") {
            subfolders.push_back({entry.name, (entry.attributes & kAttributeReparsePoint) != 0});
          }
        } else {
          addCandidate(walk, baseFolder, sourcePath, destinationPath, entry.name);
        }
      }
    } catch (...) {
    }
  }  // the enumeration is closed before any subfolder is entered

  if (!searchSubfolders) return;
  for (const Subfolder& subfolder : subfolders) {
    visitFolder(walk, baseFolder, sourcePath, destinationPath, subfolder.name, subfolder.isLink, renameFolders,
                searchSubfolders);
  }
}

void collectCandidates(const RenameState& state, RenamePlan& plan, FileSystem& fileSystem) {
  const NameTransformer transformer(state.matchPattern, state.replaceFormat);
  CandidateWalk walk{fileSystem, transformer, plan};
  for (const std::wstring& path : state.files) {
    addCandidate(walk, folderPart(path), std::wstring(), std::wstring(), fileNamePart(path));
  }
  for (const std::wstring& path : state.folders) {
    const std::wstring folder = path.substr(0, path.size() - 1);  // without its trailing backslash
    // A selected link is entered: the user chose it, and links inside it are not.
    visitFolder(walk, folderPart(folder), std::wstring(), std::wstring(), fileNamePart(folder), false,
                state.renameFolders, state.searchSubfolders);
  }
}

}  // namespace lark
