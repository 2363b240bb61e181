// RenameState defaults and selection intake.
#include "engine/rename_state.h"

#include <gtest/gtest.h>

#include "build_config.h"
#include "tests/support/fakes.h"

namespace lark {
namespace {

using Paths = std::vector<std::wstring>;

TEST(RenameState, StartsFromTheDefaults) {
  const RenameState state;
  EXPECT_EQ(nullptr, state.owner);
  EXPECT_EQ(nullptr, state.updateChecker);
  EXPECT_EQ(0u, state.timerId);
  EXPECT_TRUE(state.updateLinkVisible);
  EXPECT_EQ(std::wstring(L"http://") + LARK_WIDE(LARKSPINDLE_SITE_HOST) + L"/", state.siteUrl);
  EXPECT_TRUE(state.files.empty());
  EXPECT_TRUE(state.folders.empty());
  EXPECT_EQ(0u, state.exampleIndex);
  EXPECT_FALSE(state.renameFolders);
  EXPECT_FALSE(state.searchSubfolders);
  EXPECT_EQ(L"(.*)", state.matchPattern);
  EXPECT_EQ(L"\\1", state.replaceFormat);
}

class SetSelection : public ::testing::Test {
 protected:
  SetSelection() {
    disk.addFile(L"C:\\Work\\a.txt");
    disk.addFile(L"C:\\Work\\b.txt");
    disk.addFolder(L"C:\\Work\\Sub");
    disk.addFolder(L"C:\\Work\\Other\\");
    disk.addFolder(L"C:\\");
  }
  fakes::MemoryFileSystem disk;
  RenameState state;
};

TEST_F(SetSelection, SplitsFilesFromFoldersAndNormalisesSeparators) {
  state.setSelection({L"C:\\Work\\Sub", L"C:/Work/a.txt", L"C:\\Work\\Other\\", L"C:\\Work\\b.txt"}, disk);
  EXPECT_EQ((Paths{L"C:\\Work\\a.txt", L"C:\\Work\\b.txt"}), state.files);
  EXPECT_EQ((Paths{L"C:\\Work\\Sub\\", L"C:\\Work\\Other\\"}), state.folders);
  EXPECT_TRUE(state.searchSubfolders);
}

TEST_F(SetSelection, KeepsADriveRootAsItIs) {
  state.setSelection({L"C:\\"}, disk);
  EXPECT_EQ((Paths{L"C:\\"}), state.folders);
}

TEST_F(SetSelection, FilesOnlyLeaveSubfolderSearchAlone) {
  state.setSelection({L"C:\\Work\\a.txt"}, disk);
  EXPECT_FALSE(state.searchSubfolders);
  state.searchSubfolders = true;
  state.setSelection({L"C:\\Work\\b.txt"}, disk);
  EXPECT_TRUE(state.searchSubfolders) << "intake never turns the option off";
}

TEST_F(SetSelection, TreatsAnUnreadablePathAsAFolder) {
  state.setSelection({L"C:\\Work\\gone.txt"}, disk);
  EXPECT_TRUE(state.files.empty());
  EXPECT_EQ((Paths{L"C:\\Work\\gone.txt\\"}), state.folders);
}

TEST_F(SetSelection, ASecondSelectionReplacesTheFirstAndKeepsTheUsersTexts) {
  state.setSelection({L"C:\\Work\\Sub", L"C:\\Work\\a.txt", L"C:\\Work\\a.txt"}, disk);
  EXPECT_EQ(2u, state.files.size()) << "duplicates are kept";
  state.matchPattern = L"x";
  state.replaceFormat = L"y";
  state.renameFolders = true;
  state.exampleIndex = 1;
  state.setSelection({L"C:\\Work\\b.txt"}, disk);
  EXPECT_EQ((Paths{L"C:\\Work\\b.txt"}), state.files);
  EXPECT_TRUE(state.folders.empty());
  EXPECT_EQ(0u, state.exampleIndex);
  EXPECT_EQ(L"x", state.matchPattern);
  EXPECT_EQ(L"y", state.replaceFormat);
  EXPECT_TRUE(state.renameFolders);
  EXPECT_TRUE(state.searchSubfolders);
}

}  // namespace
}  // namespace lark
