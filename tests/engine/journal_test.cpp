// The rename journal and taking a run back: the text's escapes, hostile journals, runs
// cut short, refusals that keep every file, and the journal never touching the run.
#include "engine/take_back.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "build_config.h"
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
  // The list holds the older runs' counts, not their rows.
  const std::vector<KeptRun> listed = keptRuns(journals, disk);
  EXPECT_EQ((std::vector<std::size_t>{6, 6, 6}),
            (std::vector<std::size_t>{listed[0].run.renamedRows(), listed[1].run.renamedRows(), listed[2].run.renamedRows()}));
  EXPECT_TRUE(listed[1].run.rows.empty() && listed[2].run.rows.empty());
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

// Old runs go only from the program's own folder, and only files that begin as journals:
// a folder the user named may hold anything, and so may the own one.
TEST_F(TakeBack, PruningRemovesOnlyOldJournalsOfItsOwnFolder) {
  const struct {
    bool ownFolder;
    const char* text;     // what each of the 150 files found there holds
    std::size_t kept;     // how many of them are left after one more run
  } cases[] = {
      {true, "Invoice 2024-01\n", 150},
      {false, "Invoice 2024-01\n", 150},
      {false, kJournalMagic, 150},
      {true, kJournalMagic, 99},
  };
  for (const auto& c : cases) {
    fakes::MemoryJournalFolder folder;
    folder.ownFolder = c.ownFolder;
    for (int i = 0; i < 150; ++i) folder.journals[L"2024-01 " + std::to_wstring(100 + i) + L".txt"] = std::string(c.text) + "\n";
    fakes::MemoryFileSystem copy = disk;
    RenameState run;
    run.journals = &folder;
    run.matchPattern = L"a";
    run.replaceFormat = L"b";
    run.setSelection({L"C:\\W\\a1.txt"}, copy);
    performRename(run, page, copy);
    EXPECT_EQ(c.kept + 1, folder.journals.size()) << c.ownFolder << " " << c.text;
  }
}

// The run ends between the list's first read and its settlement: the settlement sees the
// end and adds nothing, so the journal stays readable.
TEST_F(TakeBack, ARunEndingWhileTheListIsReadStaysReadable) {
  struct Ending : fakes::MemoryJournalFolder {
    std::unique_ptr<JournalFile> reopen(const std::wstring& name) override {
      journals[name] += "end\n";
      return MemoryJournalFolder::reopen(name);
    }
  } ending;
  ending.journals[L"run-0001.txt"] = std::string(kJournalMagic) +
      "\ntime\tt\nkind\trename\nfolder\tC:\\W\\\nmatch\ta\nreplace\tb\nrename folders\tno\nsearch subfolders\tno\nrows\t1\n"
      "row\tC:\\W\\a1.txt\tC:\\W\\b1.txt\nrenamed\t1\n";
  disk.renameItem(L"C:\\W\\a1.txt", L"C:\\W\\b1.txt");
  keptRuns(ending, disk);
  const std::vector<KeptRun> runs = keptRuns(ending, disk);
  EXPECT_EQ(L"", runs[0].error);
  EXPECT_EQ(L"Took back 1 rename:", takeBack(runs[0], disk, nullptr)[0].baseFolder);
}

// A change of letter case alone, in letters the C runtime does not fold: the old name is
// the item's own, so it goes back.
TEST_F(TakeBack, ACaseOnlyRenameOfAccentedLettersGoesBack) {
  disk.addFile(L"C:\\W\\\u00e9t\u00e9.txt");
  state.setSelection({L"C:\\W\\\u00e9t\u00e9.txt"}, disk);
  state.matchPattern = L"\u00e9t\u00e9";
  state.replaceFormat = L"\u00c9T\u00c9";
  performRename(state, page, disk);
  ASSERT_TRUE(disk.exists(L"C:\\W\\\u00c9T\u00c9.txt"));
  const Rows listing = fakes::rows(takeBackNewest());
  EXPECT_EQ((Rows{L"\u00c9T\u00c9.txt > \u00e9t\u00e9.txt (\u00c9T\u00c9.txt)"}), Rows(listing.begin() + 1, listing.end()));
}

// The confirmation says whether the run can be taken back, and a run the user declines
// leaves no journal.
TEST_F(TakeBack, TheQuestionTellsWhetherTheRunCanBeTakenBack) {
  page.answerYes = false;
  performRename(state, page, disk);
  journals.refuseCreate = true;
  performRename(state, page, disk);
  ASSERT_EQ(2u, page.questions.size());
  EXPECT_EQ(L"This operation will rename 6 file(s). You can take it back afterwards with \"" LARK_WIDE(LARK_UNDO_TITLE)
            L"\" in the Start menu.\n\nAre you sure you wish to continue?",
            page.questions[0].second);
  EXPECT_EQ(L"Renaming cannot be undone! This operation will rename 6 file(s).\n\nAre you sure you wish to continue?",
            page.questions[1].second);
  EXPECT_TRUE(journals.journals.empty());
}

// A process ended after its renames leaves every outcome it wrote: a chain, where the
// first row's old name is taken again, and nested rows, where a file's folder moved after
// it, both go back exactly.
TEST_F(TakeBack, AnEndedRunsChainAndNestedRowsGoBackExactly) {
  struct Ended : fakes::ForwardingFileSystem {
    using ForwardingFileSystem::ForwardingFileSystem;
    int renameItem(const std::wstring& from, const std::wstring& to) override {
      const int result = ForwardingFileSystem::renameItem(from, to);
      if (++calls == renames) throw std::runtime_error("ended");
      return result;
    }
    int calls = 0;
    int renames = 0;
  };
  const struct {
    std::vector<std::wstring> selection;
    const wchar_t* pattern;
    const wchar_t* format;
    int renames;
  } cases[] = {
      {{L"C:\\W\\ab", L"C:\\W\\b"}, L"^a?b$", L"a$&", 2},
      {{L"C:\\W\\Dx\\x.txt", L"C:\\W\\Dx\\"}, L"x", L"y", 3},
  };
  for (const auto& c : cases) {
    fakes::MemoryFileSystem here;
    fakes::MemoryJournalFolder folder;
    for (const wchar_t* file : {L"C:\\W\\ab", L"C:\\W\\b", L"C:\\W\\Dx\\x.txt"}) here.addFile(file);
    const std::vector<std::wstring> start = here.tree(L"C:\\W");
    RenameState run;
    run.journals = &folder;
    run.renameFolders = run.searchSubfolders = true;
    run.matchPattern = c.pattern;
    run.replaceFormat = c.format;
    run.setSelection(c.selection, here);
    Ended ended(here);
    ended.renames = c.renames;
    EXPECT_THROW(performRename(run, page, ended), std::runtime_error);
    ASSERT_NE(start, here.tree(L"C:\\W")) << c.pattern;
    const std::vector<KeptRun> runs = keptRuns(folder, here);
    takeBack(runs.front(), here, nullptr);
    EXPECT_EQ(start, here.tree(L"C:\\W")) << c.pattern;
  }
}

// Settling a run whose outcomes never reached the disk: a row whose item was replaced
// since, or whose names are both taken, is listed and not taken back.
TEST_F(TakeBack, SettlingRefusesWhatTheDiskCannotTell) {
  struct Lost : fakes::ForwardingFileSystem {
    using ForwardingFileSystem::ForwardingFileSystem;
    int renameItem(const std::wstring& from, const std::wstring& to) override {
      journals->lost = true;
      return ForwardingFileSystem::renameItem(from, to);
    }
    fakes::MemoryJournalFolder* journals = nullptr;
  } lost(disk);
  lost.journals = &journals;
  performRename(state, page, lost);
  journals.lost = false;
  disk.setStamp(L"C:\\W\\b1.txt", 99, 99);  // replaced since
  disk.addFile(L"C:\\W\\a2.txt");           // the old name taken again
  const RenamePlan plan = takeBackNewest();
  const Rows listing = fakes::rows(plan);
  const std::wstring unsure = L"[ERROR: Cannot take back: the run was cut short, and the disk cannot tell whether this row was renamed]";
  EXPECT_EQ(L"b2.txt ! " + unsure + L" (b2.txt)", listing[listing.size() - 2]);
  EXPECT_EQ(L"b1.txt ! " + unsure + L" (b1.txt)", listing.back());
  EXPECT_EQ(L"Took back 4 renames:", plan[0].baseFolder);
}

// A journal whose rows lie below different folders, one of them renamed from one folder
// into another: refused with its reason, never a throw half-way through.
TEST_F(TakeBack, RowsAcrossFoldersAreRefusedNotThrown) {
  journals.journals[L"run-0001.txt"] = std::string(kJournalMagic) +
      "\ntime\tt\nkind\trename\nfolder\tC:\\\nfolder\t\\\\server\\share\\\nmatch\ta\nreplace\tb\nrename folders\tno\n"
      "search subfolders\tno\nrows\t2\nrow\t\\\\server\\share\\c\t\\\\server\\share\\c\nrow\tC:\\P\t\\\\server\\share\\s\n"
      "renamed\t2\n";
  disk.addFile(L"\\\\server\\share\\s");
  const std::vector<KeptRun> runs = keptRuns(journals, disk);
  ASSERT_EQ(L"", runs[0].error);
  RenamePlan listing;
  ASSERT_NO_THROW(listing = takeBack(runs[0], disk, nullptr));
  EXPECT_EQ(L"s ! [ERROR: Cannot take back: its old and new names lie in different folders] (s)", fakes::rows(listing)[1]);
  EXPECT_TRUE(disk.exists(L"\\\\server\\share\\s"));
}

// A crash cut the last outcome line short: settlement starts on a line of its own, and
// the journal stays readable.
TEST_F(TakeBack, ACutOffLastLineIsReplacedBySettlement) {
  journals.journals[L"run-0001.txt"] = std::string(kJournalMagic) +
      "\nkind\trename\nfolder\tC:\\\nrows\t2\nrow\tC:\\a\tC:\\b\nrow\tC:\\c\tC:\\d\nf";
  keptRuns(journals, disk);
  const std::vector<KeptRun> runs = keptRuns(journals, disk);
  EXPECT_EQ(L"", runs[0].error);
  EXPECT_TRUE(runs[0].run.ended);
}

// Cancel between rows: the rows not reached are listed with the cancellation, the heading
// counts what was renamed, and the journal lets exactly that go back, which can itself be
// cancelled the same way.
TEST_F(TakeBack, ACancelledRunStopsBetweenRowsAndGoesBackExactly) {
  struct Stopping : RunProgress {
    bool next(std::size_t done, std::size_t total, const std::wstring&) override {
      seen.push_back(done);
      EXPECT_EQ(expectedTotal, total);
      return done < stopAt;
    }
    std::size_t stopAt = 0;
    std::size_t expectedTotal = 0;
    std::vector<std::size_t> seen;
  };
  struct CancellingPage : fakes::RecordingPage {
    std::unique_ptr<RunProgress> startProgress(const std::wstring& title) override {
      titles.push_back(title);
      auto progress = std::make_unique<Stopping>();
      progress->stopAt = 2;
      progress->expectedTotal = 6;
      return progress;
    }
    std::vector<std::wstring> titles;
  } cancelling;
  performRename(state, cancelling, disk);
  ASSERT_EQ(1u, cancelling.listings.size());
  const RenamePlan& listing = cancelling.listings[0];
  EXPECT_EQ(L"Renamed 2 files and folders:", listing[0].baseFolder);
  EXPECT_EQ(4, std::count_if(listing.begin(), listing.end(),
                             [](const RenameEntry& row) { return row.errorText == kCancelledError; }));
  EXPECT_EQ(2u, disk.renames.size()) << "no row after the cancel reaches the disk";
  const std::vector<KeptRun> runs = keptRuns(journals, disk);
  EXPECT_TRUE(runs[0].run.ended);
  EXPECT_EQ(2u, runs[0].run.renamedRows());
  Stopping none;
  none.expectedTotal = 2;
  const Rows refused = fakes::rows(takeBack(runs[0], disk, nullptr, &none));
  EXPECT_EQ(L"b2.txt ! [ERROR: Cannot take back: the take-back was cancelled before this row] (b2.txt)", refused[1]);
  EXPECT_EQ(L"Took back 2 renames:", takeBack(runs[0], disk, nullptr)[0].baseFolder);
  EXPECT_EQ(before, disk.tree(L"C:\\W"));
}

// An older run is listed from its summary; a fault in its rows is told when it is taken
// back, and one that vanishes before it is settled is said to be unreadable.
TEST_F(TakeBack, FaultsFoundWhenARunIsReadWholeAreTold) {
  const std::string head = std::string(kJournalMagic) +
      "\nkind\trename\nfolder\tC:\\W\\\nrows\t1\nrow\tC:\\W\\a1.txt\tC:\\Windows\\b1.txt\n";
  journals.journals[L"run-0001.txt"] = head + "renamed\t1\nend\n";
  journals.journals[L"run-0002.txt"] = head;
  const std::vector<KeptRun> runs = keptRuns(journals, disk);
  ASSERT_EQ(2u, runs.size());
  EXPECT_EQ(L"line 5: a row names a path outside the run's folders, or one no file can have", runs[0].error);
  EXPECT_EQ(L"", runs[1].error) << "listed from its summary";
  const Rows listing = fakes::rows(takeBack(runs[1], disk, nullptr));
  EXPECT_EQ((Rows{L" >  ()", L"run-0001.txt ! [ERROR: Cannot take back: line 5: a row names a path outside the run's "
                             L"folders, or one no file can have] (run-0001.txt)"}),
            listing);
  journals.journals.erase(L"run-0001.txt");
  EXPECT_EQ(L"[ERROR: Cannot take back: the journal cannot be read]", takeBack(runs[1], disk, nullptr)[1].errorText);

  struct Vanishing : fakes::MemoryJournalFolder {
    std::unique_ptr<JournalFile> reopen(const std::wstring& name) override {
      std::unique_ptr<JournalFile> file = MemoryJournalFolder::reopen(name);
      journals.erase(name);  // gone the moment it is held
      return file;
    }
  } vanishing;
  vanishing.journals[L"run-0001.txt"] = std::string(kJournalMagic) +
      "\nkind\trename\nfolder\tC:\\W\\\nrows\t1\nrow\tC:\\W\\a1.txt\tC:\\W\\b1.txt\n";
  EXPECT_EQ(L"the journal cannot be read", keptRuns(vanishing, disk)[0].error);
}

TEST_F(TakeBack, ARunStillGoingIsNeitherSettledNorTakenBack) {
  journals.journals[L"run-0001.txt"] = std::string(kJournalMagic) +
      "\ntime\tt\nkind\trename\nfolder\tC:\\W\\\nmatch\ta\nreplace\tb\nrename folders\tno\nsearch subfolders\tno\nrows\t1\n"
      "row\tC:\\W\\a1.txt\tC:\\W\\b1.txt\n";
  journals.held.insert(L"run-0001.txt");
  const std::string written = journals.journals[L"run-0001.txt"];
  const std::vector<KeptRun> runs = keptRuns(journals, disk);
  EXPECT_TRUE(runs[0].inProgress);
  EXPECT_FALSE(runs[0].run.ended);
  EXPECT_EQ(written, journals.journals[L"run-0001.txt"]) << "nothing settled";
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
      {good + "settled\t1\tmaybe\n", L"line 11: an outcome is not one that Larkspindle writes"},
      {good + "settled\t1\n", L"line 11: an outcome is not one that Larkspindle writes"},
      {head + "rows\t1\nrow\tC:\\W\\a.txt\tC:\\W\\b.txt\tfile\t1\n", L"line 10: a row is not \"row\", its old and its new path"},
      // Windows resolves a part of dots and spaces to the folder itself.
      {head + "rows\t1\nrow\tC:\\W\\a.txt\tC:\\W\\. .\n", L"line 10: a row names a path outside the run's folders, or one no file can have"},
      {std::string(kJournalMagic) + "\nfolder\t\\\\*\\?\\\n", L"line 2: the folder is not a full path to a folder"},
      {std::string(kJournalMagic) + "\nfolder\t\\\\.\\..\\\n", L"line 2: the folder is not a full path to a folder"},
      {std::string(kJournalMagic) + "\nfolder\t\\\\..\\..\\\n", L"line 2: the folder is not a full path to a folder"},
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
  EXPECT_EQ(good.size() + 21, run.wholeText) << "the cut-off line is not counted as whole";
}

// A Match as long as an edit box takes, in letters that UTF-8 doubles: the journal keeps
// what fits on a line, and the run stays readable and takable back.
TEST(Journal, ALongMatchKeepsTheJournalReadable) {
  fakes::MemoryJournalFolder journals;
  RunJournal journal(&journals);
  JournalHead head;
  head.kind = L"rename";
  head.folders = {L"C:\\W\\"};
  head.match = std::wstring(32767, L'\u00e9');
  head.renameFolders = head.searchSubfolders = true;
  journal.begin(head, {{L"C:\\W\\a", L"C:\\W\\b", RowOutcome::pending, {}}});
  journal.renamed(0);
  journal.finish();
  JournalRun run;
  std::wstring error;
  ASSERT_TRUE(parseJournal(journals.journals.begin()->second, run, error)) << error;
  EXPECT_EQ(1u, run.renamedRows());
  EXPECT_EQ(0u, run.head.match.find(std::wstring(1000, L'\u00e9')));
  EXPECT_EQ(L'\u2026', run.head.match.back());
  EXPECT_TRUE(run.head.renameFolders && run.head.searchSubfolders);
}

}  // namespace
}  // namespace lark
