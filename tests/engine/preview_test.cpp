// The example preview: which name is shown, what it becomes, counts and button states.
#include <gtest/gtest.h>

#include "engine/name_transform.h"
#include "engine/page_controls.h"
#include "engine/regex.h"
#include "engine/text.h"
#include "tests/support/fakes.h"

namespace lark {
namespace {

// What refreshPreview leaves on the page, in one comparable record.
struct Preview {
  std::wstring count;
  std::wstring example;
  bool exampleEnabled;
  bool renamedToEnabled;
  std::wstring replace;
  bool replaceEnabled;
  bool buttonsEnabled;
};

void PrintTo(const Preview& p, std::ostream* out) {
  *out << ::testing::PrintToString(p.count) << " | " << ::testing::PrintToString(p.example) << (p.exampleEnabled ? " on" : " off")
       << " | renamed-to " << (p.renamedToEnabled ? "on" : "off") << " | " << ::testing::PrintToString(p.replace)
       << (p.replaceEnabled ? " on" : " off") << " | buttons " << (p.buttonsEnabled ? "on" : "off");
}

bool operator==(const Preview& a, const Preview& b) {
  return a.count == b.count && a.example == b.example && a.exampleEnabled == b.exampleEnabled &&
         a.renamedToEnabled == b.renamedToEnabled && a.replace == b.replace && a.replaceEnabled == b.replaceEnabled &&
         a.buttonsEnabled == b.buttonsEnabled;
}

class RefreshPreview : public ::testing::Test {
 protected:
  Preview refresh() {
    fakes::RecordingPage page;
    state.refreshPreview(page);
    EXPECT_EQ(page.enabled.at(kTestButton), page.enabled.at(kRenameButton)) << "both buttons follow one rule";
    return {page.texts.at(kSelectedCount),     page.texts.at(kExampleText),   page.enabled.at(kExampleText),
            page.enabled.at(kRenamedToLabel),  page.texts.at(kReplaceText),   page.enabled.at(kReplaceText),
            page.enabled.at(kTestButton)};
  }
  RenameState state;
};

TEST_F(RefreshPreview, ShowsTheDefaultsOnASingleFile) {
  state.files = {L"C:\\Work\\Report.doc"};
  EXPECT_EQ((Preview{L"1 File", L"\"Report.doc\"", true, true, L"\"Report.doc\"", true, true}), refresh());
}

TEST_F(RefreshPreview, ShowsTheMatchedPartAndTheWholeNewName) {
  state.files = {L"C:\\Work\\Report.doc"};
  state.matchPattern = L"oc";
  state.replaceFormat = L"";
  EXPECT_EQ((Preview{L"1 File", L"\"oc\"", true, true, L"\"Report.d\"", true, true}), refresh());
}

TEST_F(RefreshPreview, SaysAtOnceThatANewNameWillBeRefused) {
  // C:\Work\ leaves 251 characters of the 259 a path may have.
  const std::wstring fits(251, L'n'), tooLong(252, L'n');
  const struct {
    std::wstring format;
    std::wstring replace;
  } cases[] = {
      {L"a*.log", L"[ERROR: Invalid file name \"a*.log\": names cannot contain < > : \" | ? * or control characters]"},
      {L"con.log", L"[ERROR: Invalid file name \"con.log\": Windows reserves it for a device]"},
      {fits, L"\"" + fits + L"\""},
      {tooLong, L"[ERROR: Invalid file name \"" + tooLong + L"\": the new path would be 260 characters long, 259 at most]"},
  };
  state.files = {L"C:\\Work\\a.txt"};
  state.matchPattern = L"^a\\.txt$";
  for (const auto& c : cases) {
    state.replaceFormat = c.format;
    EXPECT_EQ((Preview{L"1 File", L"\"a.txt\"", true, true, c.replace, true, true}), refresh());
  }
}

TEST_F(RefreshPreview, ShowsTheLibrarysErrorWhenTheExampleMatchesButCannotBeReplaced) {
  // The example's first match is found at once; replacing goes on searching the rest of
  // the name, where the second alternative backtracks past the library's limits.
  state.files = {L"C:\\b" + std::wstring(40, L'a') + L"!"};
  state.matchPattern = L"b|(a+)+$";
  state.replaceFormat = L"x";
  const Preview preview = refresh();
  EXPECT_EQ(L"\"b\"", preview.example);
  EXPECT_EQ(0u, preview.replace.find(L"Invalid format - ")) << ::testing::PrintToString(preview.replace);
  EXPECT_NE(std::wstring::npos, preview.replace.find(L"complexity")) << ::testing::PrintToString(preview.replace);
  EXPECT_FALSE(preview.replaceEnabled);
  EXPECT_FALSE(preview.renamedToEnabled);
  EXPECT_FALSE(preview.buttonsEnabled);
}

TEST_F(RefreshPreview, FindsTheFirstMatchingCandidateAndStaysOnIt) {
  state.files = {L"C:\\a.txt", L"C:\\b.txt", L"C:\\c.doc", L"C:\\d.doc"};
  state.matchPattern = L"doc";
  state.replaceFormat = L"txt";
  EXPECT_EQ(L"\"doc\"", refresh().example);
  EXPECT_EQ(2u, state.exampleIndex);
  state.replaceFormat = L"md";
  EXPECT_EQ(L"\"c.md\"", refresh().replace);
  EXPECT_EQ(2u, state.exampleIndex) << "the example stays put while it keeps matching";
  state.matchPattern = L"^d";
  EXPECT_EQ(L"\"md.doc\"", refresh().replace);
  EXPECT_EQ(3u, state.exampleIndex);
  state.matchPattern = L"^a";
  refresh();
  EXPECT_EQ(0u, state.exampleIndex) << "the search wraps around to the start";
}

TEST_F(RefreshPreview, KeepsTheIndexWhenNothingMatches) {
  state.files = {L"C:\\a.txt", L"C:\\b.txt", L"C:\\c.txt"};
  state.exampleIndex = 1;
  state.matchPattern = L"zzz";
  EXPECT_EQ((Preview{L"3 Files", L"No match", false, false, L"Can't replace", false, false}), refresh());
  EXPECT_EQ(1u, state.exampleIndex);
}

TEST_F(RefreshPreview, ShowsTheLibrarysErrorForAnInvalidPattern) {
  state.files = {L"C:\\a.txt", L"C:\\b.txt"};
  state.exampleIndex = 1;
  state.matchPattern = L"(";
  std::wstring message;
  try {
    Regex regex(L"(");
  } catch (const std::runtime_error& error) {
    message = widenText(error.what());
  }
  ASSERT_FALSE(message.empty());
  EXPECT_EQ((Preview{L"2 Files", L"Invalid match - " + message, false, false, L"Can't replace", false, false}), refresh());
  EXPECT_EQ(1u, state.exampleIndex);
}

TEST_F(RefreshPreview, InvalidPatternStillLeavesTheButtonsToASubfolderSearch) {
  state.folders = {L"C:\\Work\\Sub\\"};
  state.searchSubfolders = true;
  state.matchPattern = L"[";
  const Preview preview = refresh();
  EXPECT_FALSE(preview.exampleEnabled);
  EXPECT_TRUE(preview.buttonsEnabled);
  state.searchSubfolders = false;
  EXPECT_FALSE(refresh().buttonsEnabled);
}

TEST_F(RefreshPreview, KeepsAnEarlierErrorWhenALaterCandidateMerelyFailsToMatch) {
  // Catastrophic backtracking on the first name exceeds the library's limits; the
  // second name merely does not match, and the third does.
  const std::wstring hostile = std::wstring(40, L'a') + L"!";
  state.files = {L"C:\\" + hostile, L"C:\\x"};
  state.matchPattern = L"(a+)+$";
  std::wstring message;
  try {
    boost::regex_search(hostile, Regex(state.matchPattern));
  } catch (const std::runtime_error& error) {
    message = widenText(error.what());
  }
  ASSERT_FALSE(message.empty()) << "the library no longer gives up on this pattern";
  EXPECT_EQ((Preview{L"2 Files", L"Invalid match - " + message, false, false, L"Can't replace", false, false}), refresh());
  state.files.push_back(L"C:\\aaa");
  EXPECT_EQ(L"\"aaa\"", refresh().example) << "a later match replaces the error";
  EXPECT_EQ(2u, state.exampleIndex);
}

TEST_F(RefreshPreview, OnlyFoldersWithoutFolderRenamingTryTheEmptyName) {
  state.folders = {L"C:\\Work\\Sub\\"};
  EXPECT_EQ((Preview{L"1 Folder", L"\"\"", true, true, L"\"\"", true, true}), refresh());
  state.matchPattern = L".";
  EXPECT_EQ((Preview{L"1 Folder", L"No match", false, false, L"Can't replace", false, false}), refresh());
}

TEST_F(RefreshPreview, TriesFoldersFirstWhenTheyAreRenamed) {
  state.files = {L"C:\\Work\\file.txt"};
  state.folders = {L"C:\\Work\\Sub\\"};
  state.renameFolders = true;
  EXPECT_EQ(L"\"Sub\"", refresh().example);
  state.renameFolders = false;
  state.exampleIndex = 0;
  EXPECT_EQ(L"\"file.txt\"", refresh().example);
}

TEST_F(RefreshPreview, StopsAtADriveRootThatDoesNotMatch) {
  state.folders = {L"C:\\", L"D:\\Photos\\"};
  state.files = {L"C:\\x.txt"};
  state.renameFolders = true;
  state.matchPattern = L"x";
  const Preview preview = refresh();
  EXPECT_EQ(L"No match", preview.example) << "the search ends at the root's empty name";
  EXPECT_EQ(1u, state.exampleIndex);
}

TEST_F(RefreshPreview, CountsTheSelectionItself) {
  const struct {
    std::size_t files;
    std::size_t folders;
    const wchar_t* expected;
  } cases[] = {{5, 8, L"5 Files, 8 Folders"}, {1, 1, L"1 File, 1 Folder"}, {0, 3, L"3 Folders"},
               {2, 0, L"2 Files"},           {0, 0, L""}};
  for (const auto& c : cases) {
    state.files.assign(c.files, L"C:\\f.txt");
    state.folders.assign(c.folders, L"C:\\d\\");
    state.exampleIndex = 0;
    EXPECT_EQ(std::wstring(c.expected), refresh().count);
  }
}

TEST_F(RefreshPreview, SurvivesAnIndexBeyondTheCandidates) {
  state.files = {L"C:\\a.txt"};
  state.exampleIndex = 7;
  EXPECT_EQ(L"\"a.txt\"", refresh().example);
  EXPECT_EQ(0u, state.exampleIndex);
}

}  // namespace
}  // namespace lark
