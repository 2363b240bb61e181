// Candidate collection: which rows a selection brings into play, in which order, with
// which paths.
#include "engine/candidates.h"

#include <gtest/gtest.h>

#include "tests/support/fakes.h"
#include "tests/support/plan_rows.h"

namespace lark {
namespace {

using Rows = std::vector<std::wstring>;
using fakes::rows;

class CollectCandidates : public ::testing::Test {
 protected:
  CollectCandidates() {
    disk.addFile(L"C:\\Data\\top.txt");
    disk.addFile(L"C:\\Data\\Photos\\a.jpg");
    disk.addFile(L"C:\\Data\\Photos\\.hidden", 0x22);
    disk.addFile(L"C:\\Data\\Photos\\Trip\\b.jpg");
    disk.addFolder(L"C:\\Data\\Photos\\Empty");
  }
  RenamePlan collect() {
    RenamePlan plan;
    collectCandidates(state, plan, disk);
    return plan;
  }
  fakes::MemoryFileSystem disk;
  RenameState state;
};

TEST_F(CollectCandidates, FollowsTheTwoOptions) {
  state.files = {L"C:\\Data\\top.txt"};
  state.folders = {L"C:\\Data\\Photos\\"};
  state.matchPattern = L"^(\\w)";
  state.replaceFormat = L"X";
  const struct {
    bool renameFolders;
    bool searchSubfolders;
    Rows expected;
  } cases[] = {
      {false, false, {L"top.txt > Xop.txt (top.txt)"}},
      {true, false, {L"top.txt > Xop.txt (top.txt)", L"Photos > Xhotos (Photos)"}},
      {false, true,
       {L"top.txt > Xop.txt (top.txt)", L"Photos\\.hidden > Photos\\.hidden (Photos\\.hidden)",
        L"Photos\\a.jpg > Photos\\X.jpg (Photos\\a.jpg)", L"Photos\\Trip\\b.jpg > Photos\\Trip\\X.jpg (Photos\\Trip\\b.jpg)"}},
      {true, true,
       {L"top.txt > Xop.txt (top.txt)", L"Photos > Xhotos (Photos)", L"Xhotos\\.hidden > Xhotos\\.hidden (Photos\\.hidden)",
        L"Xhotos\\a.jpg > Xhotos\\X.jpg (Photos\\a.jpg)", L"Xhotos\\Empty > Xhotos\\Xmpty (Photos\\Empty)",
        L"Xhotos\\Trip > Xhotos\\Xrip (Photos\\Trip)", L"Xhotos\\Xrip\\b.jpg > Xhotos\\Xrip\\X.jpg (Photos\\Trip\\b.jpg)"}},
  };
  for (const auto& c : cases) {
    state.renameFolders = c.renameFolders;
    state.searchSubfolders = c.searchSubfolders;
    const RenamePlan plan = collect();
    EXPECT_EQ(c.expected, rows(plan)) << "renameFolders " << c.renameFolders << ", searchSubfolders " << c.searchSubfolders;
    for (const RenameEntry& entry : plan) EXPECT_EQ(L"C:\\Data\\", entry.baseFolder);
  }
}

TEST_F(CollectCandidates, MatchesTheWorkedExample) {
  disk.addFile(L"C:\\Other\\Photos\\a.jpg");
  state.folders = {L"C:\\Other\\Photos\\"};
  state.renameFolders = true;
  state.searchSubfolders = true;
  state.matchPattern = L"^Photos$";
  state.replaceFormat = L"Pics";
  RenamePlan plan = collect();
  ASSERT_EQ(2u, plan.size());
  EXPECT_EQ(L"C:\\Other\\", plan[0].baseFolder);
  EXPECT_EQ(L"Photos", plan[0].currentPath);
  EXPECT_EQ(L"Pics", plan[0].newPath);
  EXPECT_EQ(L"Photos", plan[0].originalPath);
  EXPECT_EQ(L"C:\\Other\\", plan[1].baseFolder);
  EXPECT_EQ(L"Pics\\a.jpg", plan[1].currentPath);
  EXPECT_EQ(L"Pics\\a.jpg", plan[1].newPath);
  EXPECT_EQ(L"Photos\\a.jpg", plan[1].originalPath);
}

TEST_F(CollectCandidates, AFailedFolderNameStopsTheDescent) {
  state.folders = {L"C:\\Data\\Photos\\"};
  state.renameFolders = true;
  state.searchSubfolders = true;
  state.matchPattern = L"(a+)+$";  // gives up on a long run of a's, which only the folder's name has
  disk.addFolder(L"C:\\Data\\" + std::wstring(40, L'a') + L"!");
  state.folders.push_back(L"C:\\Data\\" + std::wstring(40, L'a') + L"!\\");
  const RenamePlan plan = collect();
  ASSERT_FALSE(plan.empty());
  const RenameEntry& last = plan.back();
  EXPECT_TRUE(last.failed);
  EXPECT_TRUE(last.newPath.empty());
  EXPECT_EQ(0u, last.errorText.find(L"[ERROR: Match failed: \"")) << ::testing::PrintToString(last.errorText);
  EXPECT_EQ(L"\"]", last.errorText.substr(last.errorText.size() - 2));
  EXPECT_EQ(std::wstring(40, L'a') + L"!", last.currentPath);
}

TEST_F(CollectCandidates, AnInvalidPatternMakesAnErrorRowOfEveryNameAndEntersNoFolder) {
  state.files = {L"C:\\Data\\top.txt"};
  state.folders = {L"C:\\Data\\Photos\\"};
  state.renameFolders = true;
  state.searchSubfolders = true;
  state.matchPattern = L"(";
  const RenamePlan plan = collect();
  ASSERT_EQ(2u, plan.size());
  const std::wstring message = state.transformName(L"x").text;
  EXPECT_EQ(L"[ERROR: Match failed: \"" + message + L"\"]", plan[0].errorText);
  EXPECT_EQ(L"Photos", plan[1].currentPath);
  EXPECT_TRUE(plan[1].failed);
}

TEST_F(CollectCandidates, NewFolderNameEndingInABackslashGetsNoSecondOne) {
  state.folders = {L"C:\\Data\\Photos\\"};
  state.renameFolders = true;
  state.searchSubfolders = true;
  state.matchPattern = L"^Trip$";
  state.replaceFormat = L"Trip\\\\";
  const Rows all = rows(collect());
  EXPECT_NE(all.end(), std::find(all.begin(), all.end(), L"Photos\\Trip\\b.jpg > Photos\\Trip\\b.jpg (Photos\\Trip\\b.jpg)"))
      << ::testing::PrintToString(all);
}

TEST_F(CollectCandidates, UnlistableFoldersAndListingFailuresLoseOnlyTheirOwnRows) {
  disk.addFile(L"C:\\Data\\Photos\\z.jpg");
  state.folders = {L"C:\\Data\\Photos\\"};
  state.searchSubfolders = true;
  disk.refuseListing(L"C:\\Data\\Photos\\Trip");
  EXPECT_EQ((Rows{L"Photos\\.hidden > Photos\\.hidden (Photos\\.hidden)", L"Photos\\a.jpg > Photos\\a.jpg (Photos\\a.jpg)",
                  L"Photos\\z.jpg > Photos\\z.jpg (Photos\\z.jpg)"}),
            rows(collect()));

  fakes::MemoryFileSystem failing;
  failing.addFile(L"C:\\Data\\Photos\\a.jpg");
  failing.addFile(L"C:\\Data\\Photos\\Sub\\b.jpg");
  failing.addFile(L"C:\\Data\\Photos\\z.jpg");
  // ".", "..", "a.jpg", "Sub" come first, in the volume's order; the listing breaks before "z.jpg".
  failing.throwWhileListing(L"C:\\Data\\Photos", 4);
  RenamePlan plan;
  collectCandidates(state, plan, failing);
  EXPECT_EQ((Rows{L"Photos\\a.jpg > Photos\\a.jpg (Photos\\a.jpg)",
                  L"Photos\\Sub\\b.jpg > Photos\\Sub\\b.jpg (Photos\\Sub\\b.jpg)"}),
            rows(plan));
  EXPECT_EQ(0, failing.openListings) << "the broken listing was closed";
}

TEST_F(CollectCandidates, HoldsOneListingOpenAtATime) {
  disk.addFile(L"C:\\Data\\Photos\\Trip\\Day1\\Morning\\c.jpg");
  state.folders = {L"C:\\Data\\Photos\\"};
  state.searchSubfolders = true;
  EXPECT_EQ(4u, collect().size());
  EXPECT_EQ(1, disk.mostOpenListings);
}

TEST_F(CollectCandidates, ListsFolderLinksWithoutEnteringThem) {
  // A link back to the parent would otherwise be walked for ever.
  disk.addFolder(L"C:\\Data\\Photos\\Loop", kAttributeDirectory | kAttributeReparsePoint);
  disk.addFile(L"C:\\Data\\Photos\\Loop\\inside.jpg");
  state.folders = {L"C:\\Data\\Photos\\"};
  state.renameFolders = true;
  state.searchSubfolders = true;
  const Rows all = rows(collect());
  EXPECT_NE(all.end(), std::find(all.begin(), all.end(), L"Photos\\Loop > Photos\\Loop (Photos\\Loop)"));
  for (const auto& row : all) EXPECT_EQ(std::wstring::npos, row.find(L"inside")) << ::testing::PrintToString(row);
}

TEST_F(CollectCandidates, ADriveRootIsWalkedFromItsRoot) {
  fakes::MemoryFileSystem drive;
  drive.addFile(L"D:\\x.txt");
  state.folders = {L"D:\\"};
  state.searchSubfolders = true;
  RenamePlan plan;
  collectCandidates(state, plan, drive);
  ASSERT_EQ(1u, plan.size());
  EXPECT_EQ(L"D:", plan[0].baseFolder);
  EXPECT_EQ(L"\\x.txt", plan[0].currentPath);
}

}  // namespace
}  // namespace lark
