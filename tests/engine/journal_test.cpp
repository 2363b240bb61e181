// The rename journal and taking a run back: the text's escapes, hostile journals, runs
// cut short, refusals that keep every file, and the journal never touching the run.
#include "engine/take_back.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "engine/rename_actions.h"
#include "tests/support/fakes.h"
#include "tests/support/plan_rows.h"

namespace lark {
namespace {

using Rows = std::vector<std::wstring>;

TEST(JournalText, EveryTextComesBackAsItWent) {
  const std::wstring texts[] = {L"", L"C:\\Work\\a b.txt", L"100%\t%20\r\n\x7F", L"\u00E9\u4E2D\U0001F600", L"lone \xD800 high",
                                L"lone \xDC00 low", std::wstring(1, L'\0') + L"x"};
  for (const std::wstring& text : texts) {
    const std::string written = toJournalText(text);
    EXPECT_EQ(std::string::npos, written.find_first_of("\t\r\n")) << written;
    std::wstring read;
    EXPECT_TRUE(fromJournalText(written, read)) << written;
    EXPECT_EQ(text, read);
  }
  std::wstring read;
  for (const char* foreign : {"%", "%2", "%41", "%uD7FF", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE4\xB8", "a\tb"}) {
    EXPECT_FALSE(fromJournalText(foreign, read)) << foreign;
  }
}

class TakeBack : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const wchar_t* path : {L"C:\\W\\a1.txt", L"C:\\W\\a2.txt", L"C:\\W\\Da\\a3.txt", L"C:\\W\\Da\\Sa\\a4.txt", L"C:\\W\\keep.txt"}) {
      disk.addFile(path);
      ++size;
      disk.setStamp(path, size, 1000 + size);
    }
    before = disk.tree(L"C:\\W");
    state.journals = &journals;
    state.renameFolders = state.searchSubfolders = true;
    state.matchPattern = L"a";
    state.replaceFormat = L"b";
    state.setSelection({L"C:\\W\\a1.txt", L"C:\\W\\a2.txt", L"C:\\W\\Da\\"}, disk);
  }
  // Renames the selection, then returns the runs the journal folder keeps.
  std::vector<KeptRun> renameAndList(FileSystem& renames) {
    performRename(state, page, renames);
    return keptRuns(journals, disk);
  }
  RenamePlan takeBackNewest() { return takeBack(keptRuns(journals, disk).front(), disk, &journals); }

  fakes::MemoryFileSystem disk;
  fakes::MemoryJournalFolder journals;
  fakes::RecordingPage page;
  RenameState state;
  std::vector<std::wstring> before;
  std::uint64_t size = 0;
};

TEST_F(TakeBack, ARunGoesBackWholeAndItsUndoCanBeTakenBackToo) {
  const std::vector<KeptRun> runs = renameAndList(disk);
  ASSERT_EQ(1u, runs.size());
  EXPECT_EQ(L"", runs[0].error);
  EXPECT_EQ(6u, runs[0].run.renamedRows());  // a1, a2, Da, Sa, a3, a4
  const std::vector<std::wstring> renamed = disk.tree(L"C:\\W");
  ASSERT_NE(before, renamed);
  const RenamePlan listing = takeBackNewest();
  EXPECT_EQ(L"Took back 6 renames:", listing[0].baseFolder);
  EXPECT_EQ(before, disk.tree(L"C:\\W"));
  EXPECT_EQ(L"Db\\Sb\\b4.txt > Db\\Sb\\a4.txt (Db\\Sb\\b4.txt)", fakes::rows(listing)[1]) << "contents before their folder";
  EXPECT_EQ(L"Took back 6 renames:", takeBackNewest()[0].baseFolder);
  EXPECT_EQ(renamed, disk.tree(L"C:\\W"));
  EXPECT_EQ(3u, journals.journals.size());
}

TEST_F(TakeBack, ARunCutShortGoesBackForExactlyTheRowsThatHappened) {
  // The process ends inside its third rename's call: the journal's buffered outcomes
  // never reach the disk, and the disk settles them.
  struct Crashing : fakes::ForwardingFileSystem {
    using ForwardingFileSystem::ForwardingFileSystem;
    int renameItem(const std::wstring& from, const std::wstring& to) override {
      if (++calls == 3) {
        journals->lost = true;
        throw std::runtime_error("ended");
      }
      return ForwardingFileSystem::renameItem(from, to);
    }
    fakes::MemoryJournalFolder* journals = nullptr;
    int calls = 0;
  } crashing(disk);
  crashing.journals = &journals;
  EXPECT_THROW(performRename(state, page, crashing), std::runtime_error);
  journals.lost = false;
  const std::vector<KeptRun> runs = keptRuns(journals, disk);
  EXPECT_EQ(2u, runs[0].run.renamedRows());
  EXPECT_TRUE(runs[0].run.ended);
  EXPECT_NE(std::string::npos, journals.journals.begin()->second.find("settled\t3\tuntouched\n")) << "settlement kept";
  EXPECT_EQ(L"Took back 2 renames:", takeBackNewest()[0].baseFolder);
  EXPECT_EQ(before, disk.tree(L"C:\\W"));
}

TEST_F(TakeBack, RefusesWhatItCannotProveAndOverwritesNothing) {
  performRename(state, page, disk);
  disk.addFile(L"C:\\W\\a1.txt");                                                        // a new item at an old name
  disk.renameItem(L"C:\\W\\b2.txt", L"C:\\W\\moved.txt");                               // renamed away since
  disk.setStamp(L"C:\\W\\Db\\b3.txt", 99, 99);                                           // changed since
  const Rows expected = {
      L"Db\\Sb\\b4.txt > Db\\Sb\\a4.txt (Db\\Sb\\b4.txt)",
      L"Db\\Sb > Db\\Sa (Db\\Sb)",
      L"Db\\b3.txt ! [ERROR: Cannot take back: another item, or a changed one, now has the new name] (Db\\b3.txt)",
      L"Db > Da (Db)",
      L"b2.txt ! [ERROR: Cannot take back: the renamed item is no longer there] (b2.txt)",
      L"b1.txt ! [ERROR: Cannot take back: another item now has the old name] (b1.txt)"};
  const Rows listing = fakes::rows(takeBackNewest());
  EXPECT_EQ(expected, Rows(listing.begin() + 1, listing.end()));
  for (const wchar_t* kept : {L"C:\\W\\a1.txt", L"C:\\W\\b1.txt", L"C:\\W\\moved.txt", L"C:\\W\\Da\\b3.txt"}) {
    EXPECT_TRUE(disk.exists(kept)) << kept;
  }
}

TEST_F(TakeBack, AJournalThatCannotBeWrittenChangesNothingOfTheRun) {
  fakes::MemoryFileSystem plain = disk;
  RenameState without;
  without.renameFolders = without.searchSubfolders = true;
  without.matchPattern = L"a";
  without.replaceFormat = L"b";
  without.setSelection({L"C:\\W\\a1.txt", L"C:\\W\\a2.txt", L"C:\\W\\Da\\"}, plain);
  performRename(without, page, plain);
  journals.refuseCreate = true;
  performRename(state, page, disk);
  EXPECT_EQ(plain.renames, disk.renames);
  EXPECT_EQ(fakes::rows(page.listings[0]), fakes::rows(page.listings[1]));
  EXPECT_TRUE(journals.journals.empty());
}

TEST_F(TakeBack, ARunStillGoingIsNeitherSettledNorTakenBack) {
  journals.journals[L"run-0001.txt"] = std::string(kJournalMagic) +
      "\ntime\tt\nkind\trename\nfolder\tC:\\W\\\nmatch\ta\nreplace\tb\nrename folders\tno\nsearch subfolders\tno\nrows\t1\n"
      "row\tC:\\W\\a1.txt\tC:\\W\\b1.txt\n";
  journals.held.insert(L"run-0001.txt");
  const std::vector<KeptRun> runs = keptRuns(journals, disk);
  EXPECT_TRUE(runs[0].inProgress);
  EXPECT_EQ(RowOutcome::pending, runs[0].run.rows[0].outcome);
}

TEST(Journal, HostileJournalsAreRefusedWithTheirLine) {
  const std::string head = std::string(kJournalMagic) +
      "\ntime\tt\nkind\trename\nfolder\tC:\\W\\\nmatch\ta\nreplace\tb\nrename folders\tno\nsearch subfolders\tno\n";
  const std::string good = head + "rows\t1\nrow\tC:\\W\\a.txt\tC:\\W\\b.txt\n";
  const struct {
    std::string text;
    std::wstring error;
  } cases[] = {
      {"", L"line 1: the journal ends before its list of rows does"},
      {"\x89PNG\r\n\x1A\n", L"line 1: this is not a Larkspindle rename journal"},
      {"Larkspindle rename journal 2\n", L"line 1: the journal is of another version than this program reads (1)"},
      {head + "rows\t2\nrow\tC:\\W\\a.txt\tC:\\W\\b.txt\n", L"line 11: the journal ends before its list of rows does"},
      {head + "rows\t1\nrow\tC:\\W\\a.txt\tC:\\W\\b.t", L"line 10: the journal ends inside its list of rows"},
      {head + "rows\t1\nrow\tC:\\W\\a.txt\tC:\\W\\" + std::string(100000, 'x') + "\n", L"line 10: the line is longer than any Larkspindle writes"},
      {head + "rows\t1\nrow\tC:\\W\\a.txt\tC:\\W\\b?.txt\n", L"line 10: a row names a path outside the run's folders, or one no file can have"},
      {head + "rows\t1\nrow\tC:\\W\\a.txt\tC:\\Windows\\b.txt\n", L"line 10: a row names a path outside the run's folders, or one no file can have"},
      {head + "rows\t1\nrow\tC:\\W\\a.txt\tC:\\W\\..\\b.txt\n", L"line 10: a row names a path outside the run's folders, or one no file can have"},
      {head + "rows\t1\nrow\tC:\\W\\a.txt\tC:\\W\\\xFF.txt\n", L"line 10: the text is not UTF-8 as Larkspindle writes it"},
      {good + "renamed\t2\n", L"line 11: an outcome names no row of the journal"},
      {good + "renamed\t1\nfailed\t1\n", L"line 12: a row has two outcomes"},
      {good + "renamed\t1\tfile\tbig\t1\n", L"line 11: an outcome is not one that Larkspindle writes"},
      {good + "end\nrenamed\t1\n", L"line 12: the journal goes on after its end"},
      {std::string(kLargestJournal + 1, 'x'), L"the journal is larger than any Larkspindle writes"},
  };
  for (const auto& hostile : cases) {
    JournalRun run;
    std::wstring error;
    EXPECT_FALSE(parseJournal(hostile.text, run, error)) << hostile.text.substr(0, 200);
    EXPECT_EQ(hostile.error, error);
  }
  JournalRun run;
  std::wstring error;
  ASSERT_TRUE(parseJournal(good + "renamed\t1\tfile\t12\t34\nrenam", run, error)) << error;
  EXPECT_EQ(RowOutcome::renamed, run.rows[0].outcome) << "an outcome cut off by a crash is dropped";
  EXPECT_EQ(34u, run.rows[0].stamp.written);
  EXPECT_FALSE(run.ended);
}

}  // namespace
}  // namespace lark
