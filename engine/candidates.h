// Candidate collection: the rows a selection and its two options bring into play.
#pragma once

#include <string>

#include "engine/name_transform.h"
#include "engine/platform.h"
#include "engine/rename_plan.h"
#include "engine/rename_state.h"

namespace lark {

// What one collection run carries down the walk.
struct CandidateWalk {
  FileSystem& fileSystem;
  const NameTransformer& transformer;
  RenamePlan& plan;
  // Whether a folder above the one being walked gets a longer name: then the contents of
  // a subfolder that is not entered are measured all the same.
  bool foldersAboveGrow = false;
};

// Appends the rows of the whole selection, selected files first, then each selected
// folder's row (when folders are renamed) and its subtree, depth first.
void collectCandidates(const RenameState& state, RenamePlan& plan, FileSystem& fileSystem);

// Appends the rows for the contents of baseFolder + sourcePath and descends into its
// subfolders. Links to folders are listed but never entered, so a link to a parent
// cannot send the walk round in circles. Returns the longest path met below the folder,
// relative to it, under present names (0 when nothing was met), so that a folder above
// can tell whether its new name would push a path out of the shell's reach.
std::size_t collectFolder(CandidateWalk& walk, const std::wstring& baseFolder, const std::wstring& sourcePath,
                   const std::wstring& destinationPath, bool renameFolders, bool searchSubfolders);

// Makes and appends one row for an entry; returns the transformation's outcome, a
// failure when the new name must not reach the shell (see newNameRefusal).
TransformResult addCandidate(CandidateWalk& walk, const std::wstring& baseFolder, const std::wstring& sourcePath,
                             const std::wstring& destinationPath, const std::wstring& name);

}  // namespace lark
