// The plan's filter and conflict check, the listing headings, Test and Rename.
#include "engine/rename_actions.h"

#include <gtest/gtest.h>

#include "tests/support/fakes.h"
#include "tests/support/plan_rows.h"

namespace lark {
namespace {

using Rows = std::vector<std::wstring>;
using fakes::rows;

class RenameActions : public ::testing::Test {
 protected:
  void select(const std::vector<std::wstring>& paths) {
    for (const auto& path : paths) {
      if (path.back() == L'\\') {
        disk.addFolder(path);
      } else {
        disk.addFile(path);
      }
    }
    state.setSelection(paths, disk);
  }
  // The one listing the action showed, title row included.
  const RenamePlan& listing() {
    EXPECT_EQ(1u, page.listings.size());
    return page.listings.back();
  }
  fakes::MemoryFileSystem disk;
  fakes::RecordingPage page;
  RenameState state;
};

TEST_F(RenameActions, TheDefaultsRenameNothing) {
  select({L"C:\\W\\a.txt", L"C:\\W\\b.txt"});
  EXPECT_TRUE(buildPlan(state, disk).empty());
  testRename(state, page, disk);
  EXPECT_EQ((Rows{L" >  ()"}), rows(listing()));
  EXPECT_EQ(L"No files will be renamed:", listing()[0].baseFolder);
  EXPECT_TRUE(disk.renames.empty());
}

TEST_F(RenameActions, ALetterCaseChangeCounts) {
  select({L"C:\\W\\a.txt"});
  state.matchPattern = L"a";
  state.replaceFormat = L"A";
  testRename(state, page, disk);
  EXPECT_EQ(L"The following 1 file will be renamed:", listing()[0].baseFolder);
  EXPECT_EQ(L"A.txt", listing()[1].newPath);
}

TEST_F(RenameActions, RefusesEveryRowOfASharedDestination) {
  select({L"C:\\W\\a1.txt", L"C:\\W\\a2.txt", L"C:\\W\\a3.txt", L"C:\\W\\b.txt", L"D:\\Other\\x1.txt"});
  state.matchPattern = L"\\d";
  state.replaceFormat = L"";
  const std::wstring refused = L"[ERROR: I refuse to rename multiple files to same destination!]";
  EXPECT_EQ((Rows{L"a1.txt ! a.txt" + refused + L" (a1.txt)", L"a2.txt ! a.txt" + refused + L" (a2.txt)",
                  L"a3.txt ! a.txt" + refused + L" (a3.txt)", L"x1.txt > x.txt (x1.txt)"}),
            rows(buildPlan(state, disk)));
  testRename(state, page, disk);
  EXPECT_EQ(L"The following 1 file will be renamed:", listing()[0].baseFolder);
}

// Large groups, interleaved with rows of their own: each group is refused whole, and a
// plan where thousands of rows share one destination stays quick.
TEST_F(RenameActions, RefusesLargeSharedGroupsWholeAndNothingElse) {
  RenameState many;
  for (int i = 0; i < 20000; ++i) {
    const std::wstring n = std::to_wstring(i);
    many.files.push_back(i % 4 == 0 ? L"C:\\W\\own" + n + L".txt" : L"C:\\W\\" + n + (i % 2 ? L".a" : L".b"));
  }
  many.matchPattern = L"^\\d+";
  many.replaceFormat = L"same";
  const RenamePlan plan = buildPlan(many, disk);
  ASSERT_EQ(15000u, plan.size()) << "the own* rows do not change";
  std::size_t refusedA = 0, refusedB = 0;
  for (const RenameEntry& row : plan) {
    EXPECT_TRUE(row.failed) << ::testing::PrintToString(row.currentPath);
    refusedA += row.newPath == L"same.a";
    refusedB += row.newPath == L"same.b";
  }
  EXPECT_EQ(10000u, refusedA);
  EXPECT_EQ(5000u, refusedB);
}

TEST_F(RenameActions, ComparesRelativeDestinationsOnly) {
  // Destinations in different folders collide when their relative paths are equal...
  select({L"C:\\One\\a1.txt", L"D:\\Two\\a2.txt"});
  state.matchPattern = L"\\d";
  state.replaceFormat = L"";
  RenamePlan plan = buildPlan(state, disk);
  ASSERT_EQ(2u, plan.size());
  EXPECT_TRUE(plan[0].failed);
  EXPECT_TRUE(plan[1].failed);
  // ...while a destination that is another item's present name is not looked at.
  RenameState chain;
  chain.files = {L"C:\\W\\1.txt", L"C:\\W\\2.txt", L"C:\\W\\x1.txt"};
  chain.matchPattern = L"1";
  chain.replaceFormat = L"2";
  EXPECT_EQ((Rows{L"1.txt > 2.txt (1.txt)", L"x1.txt > x2.txt (x1.txt)"}), rows(buildPlan(chain, disk)));
}

// An emptied name would name the folder itself: it is refused as a name, before it can
// share the empty destination of a match failure.
TEST_F(RenameActions, AnEmptiedNameIsRefusedBeforeItCanShareADestination) {
  select({L"C:\\W\\abc", L"C:\\W\\" + std::wstring(40, L'a') + L"!"});
  state.matchPattern = L"^(a+)+$|^abc$";
  state.replaceFormat = L"";
  const RenamePlan plan = buildPlan(state, disk);
  ASSERT_EQ(2u, plan.size());
  EXPECT_EQ(L"[ERROR: Invalid file name \"\": names cannot be empty]", plan[0].errorText);
  EXPECT_EQ(0u, plan[1].errorText.find(L"[ERROR: Match failed: "));
}

TEST_F(RenameActions, HeadingsCountUsableRowsWithTheOptionsNoun) {
  const struct {
    int files;
    bool renameFolders;
    const wchar_t* heading;
  } cases[] = {
      {1, false, L"The following 1 file will be renamed:"},
      {3, false, L"The following 3 files will be renamed:"},
      {1, true, L"The following 1 file or folder will be renamed:"},
      {2, true, L"The following 2 files and folders will be renamed:"},
  };
  for (const auto& c : cases) {
    RenamePlan plan;
    for (int i = 0; i < c.files; ++i) plan.push_back(RenameEntry::candidate(L"C:\\", L"a", L"a"));
    RenameEntry refused = RenameEntry::candidate(L"C:\\", L"b", L"b");
    refused.failed = true;
    plan.push_back(refused);
    state.renameFolders = c.renameFolders;
    fakes::RecordingPage shown;
    showPlan(L"The following %d %s will be renamed:", state, shown, plan, L"No files will be renamed:");
    ASSERT_EQ(1u, shown.listings.size());
    EXPECT_EQ(std::wstring(c.heading), shown.listings[0][0].baseFolder);
    EXPECT_EQ(static_cast<std::size_t>(c.files + 2), shown.listings[0].size());
  }
}

TEST_F(RenameActions, AFolderWhoseNameStaysGivesNoRowButItsContentsDo) {
  select({L"C:\\W\\Keep\\"});
  disk.addFile(L"C:\\W\\Keep\\a.txt");
  state.renameFolders = true;
  state.matchPattern = L"\\.txt$";
  state.replaceFormat = L".md";
  EXPECT_EQ((Rows{L"Keep\\a.txt > Keep\\a.md (Keep\\a.txt)"}), rows(buildPlan(state, disk)));
}

TEST_F(RenameActions, RenameAsksWithTheUsableCountAndReportsWhatWasDone) {
  select({L"C:\\W\\a1.txt", L"C:\\W\\a2.txt", L"C:\\W\\b1.txt", L"C:\\W\\c1.txt"});
  disk.refuseRename(L"C:\\W\\c1.txt");
  state.matchPattern = L"^a\\d|1";
  state.replaceFormat = L"a";
  state.exampleIndex = 2;
  performRename(state, page, disk);
  ASSERT_EQ(1u, page.questions.size());
  EXPECT_EQ(L"Rename", page.questions[0].first);
  EXPECT_EQ(L"Renaming cannot be undone! This operation will rename 2 file(s).\n\nAre you sure you wish to continue?",
            page.questions[0].second);
  const std::wstring refused = L"[ERROR: I refuse to rename multiple files to same destination!]";
  EXPECT_EQ((Rows{L" >  ()", L"a1.txt ! a.txt" + refused + L" (a1.txt)", L"a2.txt ! a.txt" + refused + L" (a2.txt)",
                  L"b1.txt > ba.txt (b1.txt)", L"c1.txt ! [ERROR: File operation failed!] (c1.txt)"}),
            rows(listing()));
  EXPECT_EQ(L"Renamed 1 file:", listing()[0].baseFolder);
  EXPECT_EQ((std::vector<std::pair<std::wstring, std::wstring>>{{L"C:\\W\\b1.txt", L"C:\\W\\ba.txt"},
                                                                 {L"C:\\W\\c1.txt", L"C:\\W\\ca.txt"}}),
            disk.renames);
  EXPECT_EQ((std::vector<std::wstring>{L"C:\\W\\a1.txt", L"C:\\W\\a2.txt", L"C:\\W\\ba.txt", L"C:\\W\\c1.txt"}), state.files);
  EXPECT_EQ(0u, state.exampleIndex);
}

TEST_F(RenameActions, AnsweringNoChangesNothing) {
  select({L"C:\\W\\a.txt"});
  state.matchPattern = L"a";
  state.replaceFormat = L"b";
  state.exampleIndex = 0;
  page.answerYes = false;
  performRename(state, page, disk);
  EXPECT_EQ(1u, page.questions.size());
  EXPECT_TRUE(page.listings.empty());
  EXPECT_TRUE(disk.renames.empty());
  EXPECT_EQ((std::vector<std::wstring>{L"C:\\W\\a.txt"}), state.files);
}

TEST_F(RenameActions, AnEmptyPlanIsStillConfirmedAndReported) {
  select({L"C:\\W\\a.txt"});
  performRename(state, page, disk);
  ASSERT_EQ(1u, page.questions.size());
  EXPECT_NE(std::wstring::npos, page.questions[0].second.find(L"rename 0 file(s)"));
  EXPECT_EQ(L"No files were renamed:", listing()[0].baseFolder);
  EXPECT_EQ(1u, listing().size());
}

TEST_F(RenameActions, RenamesAFolderBeforeItsContentsAndUpdatesTheSelection) {
  select({L"C:\\W\\Photos\\", L"C:\\W\\top.jpg"});
  disk.addFile(L"C:\\W\\Photos\\one.jpg");
  disk.addFile(L"C:\\W\\Photos\\Trip\\two.jpg");
  state.renameFolders = true;
  state.matchPattern = L"o";
  state.replaceFormat = L"0";
  performRename(state, page, disk);
  EXPECT_EQ((std::vector<std::pair<std::wstring, std::wstring>>{
                {L"C:\\W\\top.jpg", L"C:\\W\\t0p.jpg"},
                {L"C:\\W\\Photos", L"C:\\W\\Ph0t0s"},
                {L"C:\\W\\Ph0t0s\\one.jpg", L"C:\\W\\Ph0t0s\\0ne.jpg"},
                {L"C:\\W\\Ph0t0s\\Trip\\two.jpg", L"C:\\W\\Ph0t0s\\Trip\\tw0.jpg"}}),
            disk.renames);
  EXPECT_EQ((std::vector<std::wstring>{L"C:\\W\\Ph0t0s", L"C:\\W\\Ph0t0s\\0ne.jpg", L"C:\\W\\Ph0t0s\\Trip",
                                       L"C:\\W\\Ph0t0s\\Trip\\tw0.jpg"}),
            disk.tree(L"C:\\W\\Ph0t0s"));
  EXPECT_EQ((std::vector<std::wstring>{L"C:\\W\\t0p.jpg"}), state.files);
  EXPECT_EQ((std::vector<std::wstring>{L"C:\\W\\Ph0t0s\\"}), state.folders);
  EXPECT_EQ(L"Renamed 4 files and folders:", listing()[0].baseFolder);
  // The next Test starts from the new names.
  page.listings.clear();
  testRename(state, page, disk);
  EXPECT_EQ(L"No files will be renamed:", listing()[0].baseFolder);
}

TEST_F(RenameActions, AFailedFolderRenameFailsEverythingInsideIt) {
  select({L"C:\\W\\Photos\\"});
  disk.addFile(L"C:\\W\\Photos\\one.jpg");
  disk.refuseRename(L"C:\\W\\Photos");
  state.renameFolders = true;
  state.matchPattern = L"o";
  state.replaceFormat = L"0";
  performRename(state, page, disk);
  EXPECT_EQ((Rows{L" >  ()", L"Photos ! [ERROR: File operation failed!] (Photos)",
                  L"Ph0t0s\\one.jpg ! [ERROR: File operation failed!] (Photos\\one.jpg)"}),
            rows(listing()));
  EXPECT_EQ(L"No files were renamed:", listing()[0].baseFolder);
  EXPECT_TRUE(disk.exists(L"C:\\W\\Photos\\one.jpg"));
}

// Where the shell takes a rename onto an existing name (Windows picks another name, the
// plan records its own), a later row may start from a path an earlier row just took: the
// first selected entry holding it is the one replaced, as a search from the front finds.
TEST_F(RenameActions, ASelectedPathIsReplacedWhereASearchFromTheFrontFindsIt) {
  struct TakesEveryName : fakes::ForwardingFileSystem {
    using ForwardingFileSystem::ForwardingFileSystem;
    int renameItem(const std::wstring&, const std::wstring&) override { return 0; }
  } shell(disk);
  select({L"C:\\W\\a", L"C:\\W\\ax", L"C:\\W\\F\\", L"C:\\W\\Fx\\"});
  state.renameFolders = true;
  state.matchPattern = L"$";
  state.replaceFormat = L"x";
  performRename(state, page, shell);
  EXPECT_EQ((std::vector<std::wstring>{L"C:\\W\\axx", L"C:\\W\\ax"}), state.files);
  EXPECT_EQ((std::vector<std::wstring>{L"C:\\W\\Fxx\\", L"C:\\W\\Fx\\"}), state.folders);
}

TEST(FormatCount, FillsTheCountAndTheNoun) {
  EXPECT_EQ(L"The following 3 files will be renamed:", formatCount(L"The following %d %s will be renamed:", 3, L"files"));
  EXPECT_EQ(L"rename 0 file(s). 100%", formatCount(L"rename %d file(s). 100%%", 0));
  EXPECT_EQ(L"%", formatCount(L"%", 1));
}

}  // namespace
}  // namespace lark
