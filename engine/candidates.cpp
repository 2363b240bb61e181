// Candidate collection: the selection walked into rows, each with its new relative path.
#include "engine/candidates.h"

#include <algorithm>
#include <vector>

#include "engine/path_helpers.h"

namespace lark {

TransformResult addCandidate(CandidateWalk& walk, const std::wstring& baseFolder, const std::wstring& sourcePath,
                             const std::wstring& destinationPath, const std::wstring& name) {
  RenameEntry entry = RenameEntry::candidate(baseFolder, destinationPath + name, sourcePath + name);
  TransformResult result = walk.transformer.transform(name);
  if (result.success) {
    // Never handed to the shell: it reads a wildcard as a pattern and renames onto another
    // file, a share may take a device's name, and a path past the shell's reach leaves an
    // item nobody can open. A folder refused here is not entered, as after a failed match.
    std::wstring refusal =
        newNameRefusal(result.text, baseFolder.size() + destinationPath.size() + result.text.size());
    if (refusal.empty()) {
      entry.newPath = destinationPath + result.text;
    } else {
      entry.failed = true;
      entry.errorText = std::move(refusal);
      result.success = false;
    }
  } else {
    entry.failed = true;
    entry.errorText = kMatchFailedPrefix + (L"\"" + result.text + L"\"]");
  }
  walk.plan.push_back(std::move(entry));
  return result;
}

namespace {

// The longest path below a folder (ending in a backslash), relative to it, under the
// names its items have now; 0 for an empty folder or one that cannot be listed. Links
// are not entered, as in the walk.
std::size_t longestPathBelow(FileSystem& fileSystem, const std::wstring& folder) {
  std::size_t longest = 0;
  std::vector<std::wstring> subfolders;
  if (std::unique_ptr<FolderListing> listing = fileSystem.listFolder(folder + L"*")) {
    try {
      FolderEntry entry;
      while (listing->next(entry)) {
        if (entry.name.empty() || entry.name == L"." || entry.name == L"..") continue;
        longest = std::max(longest, entry.name.size());
        if ((entry.attributes & kAttributeDirectory) && !(entry.attributes & kAttributeReparsePoint)) {
          subfolders.push_back(entry.name);
        }
      }
    } catch (...) {
    }
  }
  for (const std::wstring& name : subfolders) {
    const std::size_t below = longestPathBelow(fileSystem, folder + name + L"\\");
    if (below != 0) longest = std::max(longest, name.size() + 1 + below);
  }
  return longest;
}

// One folder of the walk, selected or found: its own row when folders are renamed, then
// its contents when subfolders are searched. A folder whose name fails to transform is
// not entered, and neither is a link. Returns the longest path of the folder and what
// lies below it, relative to its parent, under present names.
std::size_t visitFolder(CandidateWalk& walk, const std::wstring& baseFolder, const std::wstring& sourcePath,
                        const std::wstring& destinationPath, const std::wstring& name, bool isLink,
                        bool renameFolders, bool searchSubfolders) {
  auto measureBelow = [&] { return longestPathBelow(walk.fileSystem, baseFolder + sourcePath + name + L"\\"); };
  auto extent = [&](std::size_t below) { return below == 0 ? name.size() : name.size() + 1 + below; };
  std::wstring newName = name;
  const std::size_t row = walk.plan.size();
  if (renameFolders) {
    TransformResult result = addCandidate(walk, baseFolder, sourcePath, destinationPath, name);
    if (!result.success) {
      // Its contents stay where they are, and still count for a folder above that grows.
      return extent(!isLink && walk.foldersAboveGrow ? measureBelow() : 0);
    }
    newName = std::move(result.text);
  }
  const bool grows = newName.size() > name.size();
  std::size_t below = 0;
  if (searchSubfolders && !isLink) {
    std::wstring source = name;
    std::wstring destination = newName;
    ensureTrailingBackslash(source);
    ensureTrailingBackslash(destination);
    const bool aboveGrew = walk.foldersAboveGrow;
    walk.foldersAboveGrow = aboveGrew || grows;
    below = collectFolder(walk, baseFolder, sourcePath + source, destinationPath + destination, renameFolders,
                          searchSubfolders);
    walk.foldersAboveGrow = aboveGrew;
  } else if (grows && !isLink) {
    below = measureBelow();
  }
  // A longer name lengthens every path inside the folder, at the moment of its own rename,
  // before anything inside is renamed; a path already too long is not made worse by a
  // name that does not grow.
  const std::size_t longestInside = baseFolder.size() + destinationPath.size() + newName.size() + 1 + below;
  if (grows && below != 0 && longestInside > kLongestReachablePath) {
    walk.plan.resize(row + 1);  // nothing inside a refused folder is renamed
    RenameEntry& entry = walk.plan[row];
    entry.newPath.clear();
    entry.failed = true;
    entry.errorText = folderContentsTooLongError(newName, longestInside);
  }
  return extent(below);
}

}  // namespace

std::size_t collectFolder(CandidateWalk& walk, const std::wstring& baseFolder, const std::wstring& sourcePath,
                          const std::wstring& destinationPath, bool renameFolders, bool searchSubfolders) {
  struct Subfolder {
    std::wstring name;
    bool isLink;
  };
  std::vector<Subfolder> subfolders;
  std::size_t longest = 0;
  {
    std::unique_ptr<FolderListing> listing = walk.fileSystem.listFolder(baseFolder + sourcePath + L"*");
    if (!listing) return 0;
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
          longest = std::max(longest, entry.name.size());
          addCandidate(walk, baseFolder, sourcePath, destinationPath, entry.name);
        }
      }
    } catch (...) {
    }
  }  // the enumeration is closed before any subfolder is entered

  if (!searchSubfolders) return longest;
  for (const Subfolder& subfolder : subfolders) {
    longest = std::max(longest, visitFolder(walk, baseFolder, sourcePath, destinationPath, subfolder.name,
                                            subfolder.isLink, renameFolders, searchSubfolders));
  }
  return longest;
}

void collectCandidates(const RenameState& state, RenamePlan& plan, FileSystem& fileSystem) {
  const NameTransformer transformer(state.matchPattern, state.replaceFormat);
  CandidateWalk walk{fileSystem, transformer, plan};
  // The selection's own rows, and the title row a listing puts in front, in one block:
  // a huge selection then never copies its rows into a grown one.
  plan.reserve(plan.size() + state.files.size() + (state.renameFolders ? state.folders.size() : 0) + 1);
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
