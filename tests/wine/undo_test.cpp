// Taking renames back on real folders: runs journaled by the engine's Rename, taken back by
// LarkspindleUndo.exe (named by LARK_UNDO) as a user or a script runs it. Every case hashes
// the tree before and after.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

#include "automation/progress_window.h"
#include "automation/properties_sheet.h"
#include "automation/screenshot.h"
#include "engine/page_controls.h"
#include "engine/rename_actions.h"
#include "tests/support/child_program.h"
#include "tests/support/fakes.h"
#include "tests/support/temp_folder.h"
#include "win32/file_system.h"
#include "win32/journal_folder.h"

namespace lark {
namespace {

std::wstring environment(const wchar_t* name) {
  wchar_t value[MAX_PATH * 2] = {};
  GetEnvironmentVariableW(name, value, MAX_PATH * 2);
  return value;
}

// The windows a child process makes, as the platform's creation events report them. Wine 8
// delivers nothing to a hook filtered by process, so every process's events are taken
// and the child's kept.
class ChildWindows {
 public:
  explicit ChildWindows(HANDLE process) : process_(process), id_(GetProcessId(process)) {
    current = this;
    hook_ = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_CREATE, nullptr, &ChildWindows::made, 0, 0, WINEVENT_OUTOFCONTEXT);
  }
  ~ChildWindows() {
    UnhookWinEvent(hook_);
    current = nullptr;
  }
  ChildWindows(const ChildWindows&) = delete;
  ChildWindows& operator=(const ChildWindows&) = delete;

  // Takes this thread's messages, the events among them, until `until` holds (true),
  // or the child ends or the time runs out (false).
  bool pump(DWORD milliseconds, const std::function<bool()>& until) {
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    for (;;) {
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
      if (until()) return true;
      const ULONGLONG now = GetTickCount64();
      if (now >= deadline) return false;
      if (MsgWaitForMultipleObjects(1, &process_, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT) == WAIT_OBJECT_0) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        return until();
      }
    }
  }
  // Once the child first waits for input, its first window drawn.
  void idle() { WaitForInputIdle(process_, 60000); }
  // The next control with this identifier that the child makes; null when it ends first.
  HWND control(int id) {
    HWND found = nullptr;
    pump(30000, [&] {
      for (; !found && next_ < made_.size(); ++next_) {
        if (GetDlgCtrlID(made_[next_]) == id && isChild(made_[next_])) found = made_[next_];
      }
      return found != nullptr;
    });
    return found;
  }

  int dialogs = 0;  // top-level dialogs, message boxes among them

 private:
  static void CALLBACK made(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG, DWORD, DWORD) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (!current || object != OBJID_WINDOW || process != current->id_) return;
    current->made_.push_back(window);
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (std::wstring(name) == L"#32770" && !isChild(window)) ++current->dialogs;
  }
  static bool isChild(HWND window) { return (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) != 0; }

  static thread_local ChildWindows* current;
  HANDLE process_;
  DWORD id_;
  HWINEVENTHOOK hook_;
  std::vector<HWND> made_;
  std::size_t next_ = 0;
};
thread_local ChildWindows* ChildWindows::current = nullptr;

struct Finished {
  DWORD code = 0;
  std::string output;
  int dialogs = 0;
};

// Runs the Undo program (or the program the variable names) with the arguments; its
// output and errors land in a file of the folder. `drive` works the windows it opens;
// without it, a window is nothing anyone answers, so it is counted and the program ended.
Finished runUndo(const std::wstring& arguments, const std::wstring& outputFile,
                 const std::function<void(ChildWindows&)>& drive = nullptr, const wchar_t* program = L"LARK_UNDO") {
  PROCESS_INFORMATION process = {};
  Finished finished;
  if (!startWithOutput(L"\"" + programFromEnvironment(program) + L"\" " + arguments, outputFile, CREATE_SUSPENDED,
                       process)) {
    ADD_FAILURE() << "the Undo program cannot be started: " << GetLastError();
    return finished;
  }
  {
    ChildWindows windows(process.hProcess);
    ResumeThread(process.hThread);
    if (drive) drive(windows);
    // A drive that failed leaves windows no one will close.
    if (!::testing::Test::HasFatalFailure()) windows.pump(120000, [&] { return !drive && windows.dialogs > 0; });
    if (WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0) {
      if (!::testing::Test::HasFatalFailure() && (drive || windows.dialogs == 0)) ADD_FAILURE() << "the Undo program did not end";
      TerminateProcess(process.hProcess, 1);
      WaitForSingleObject(process.hProcess, 10000);
    }
    finished.dialogs = windows.dialogs;
  }
  GetExitCodeProcess(process.hProcess, &finished.code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  finished.output = readOutput(outputFile);
  return finished;
}

class Undo : public ::testing::Test {
 protected:
  void SetUp() override {
    journalFolder = folder.createFolder(L"Journal");
    work = folder.createFolder(L"Work");
  }
  // Renames the selection (relative to Work) with the engine's Rename, journaled.
  void rename(const std::vector<std::wstring>& selected, FileSystem& renames) {
    std::vector<std::wstring> paths;
    for (const std::wstring& item : selected) paths.push_back(work + L"\\" + item);
    state.setSelection(paths, disk);
    state.renameFolders = true;
    state.matchPattern = L"^(.+)$";
    state.replaceFormat = L"n_\\1";
    Win32JournalFolder journals(journalFolder);
    state.journals = &journals;
    performRename(state, page, renames);
  }
  Finished undoLast() { return runUndo(L"/journal \"" + journalFolder + L"\" /last /quiet", folder.path() + L"\\out.txt"); }

  TempFolder folder;
  std::wstring journalFolder;
  std::wstring work;
  Win32FileSystem disk;
  fakes::NullPageSurface page;
  RenameState state;
};

TEST_F(Undo, AThousandRenamesGoBackWithEveryNameAndContent) {
  std::vector<std::wstring> selected;
  for (int set = 0; set < 10; ++set) {
    selected.push_back(L"Set" + std::to_wstring(set) + L"\\");
    for (int file = 0; file < 99; ++file) {
      const std::wstring sub = file % 3 == 0 ? L"\\Deep\\" : L"\\";
      folder.createFile(L"Work\\Set" + std::to_wstring(set) + sub + L"f" + std::to_wstring(file) + L".dat",
                        std::string(static_cast<std::size_t>(file * 7 + set), static_cast<char>('a' + file % 26)));
    }
  }
  const TreeHashes before = hashTree(work);
  rename(selected, disk);
  ASSERT_NE(before, hashTree(work));
  const Finished undone = undoLast();
  EXPECT_EQ(0u, undone.code) << undone.output.substr(0, 2000);
  EXPECT_EQ(0u, undone.output.find("Took back 1010 renames:\n")) << undone.output.substr(0, 300);  // 10 + 10 Deep + 990
  EXPECT_EQ(before, hashTree(work));
}

TEST_F(Undo, ARunKilledHalfWayGoesBackForExactlyTheRowsThatHappened) {
  for (const wchar_t* name : {L"a.txt", L"b.txt", L"c.txt", L"d.txt", L"e.txt", L"f.txt"}) folder.createFile(L"Work\\" + std::wstring(name), "x");
  const TreeHashes before = hashTree(work);
  // A child process renames and is ended by the rename hook after its third rename.
  const std::wstring self = [] {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path);
  }();
  SetEnvironmentVariableW(L"LARK_UNDO_CHILD_WORK", work.c_str());
  SetEnvironmentVariableW(L"LARK_UNDO_CHILD_JOURNAL", journalFolder.c_str());
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::wstring commandLine = L"\"" + self + L"\" --gtest_filter=UndoChild.DISABLED_RenameUntilEnded --gtest_also_run_disabled_tests";
  ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, 120000));
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  ASSERT_EQ(99u, code) << "the child was not ended by its hook";
  const TreeHashes killed = hashTree(work);
  EXPECT_EQ(3u, killed.count(L"n_a.txt") + killed.count(L"n_b.txt") + killed.count(L"n_c.txt"));
  EXPECT_EQ(1u, killed.count(L"d.txt"));

  const Finished undone = undoLast();
  EXPECT_EQ(0u, undone.code) << undone.output;
  EXPECT_EQ(0u, undone.output.find("Took back 3 renames:\n")) << undone.output;
  EXPECT_EQ(before, hashTree(work));
  const Finished again = undoLast();  // the take-back, taken back
  EXPECT_EQ(0u, again.code) << again.output;
  EXPECT_EQ(killed, hashTree(work));

  const Finished listed = runUndo(L"/journal \"" + journalFolder + L"\" /list", folder.path() + L"\\list.txt");
  EXPECT_EQ(3, std::count(listed.output.begin(), listed.output.end(), '\n')) << listed.output;
  EXPECT_NE(std::string::npos, listed.output.find("\t3\t" + std::string(work.begin(), work.end()) + "\\\t^(.+)$ \xE2\x86\x92 n_\\1\n"))
      << listed.output;
  // The list of runs, shown to a person: pictured and closed.
  const Finished shown = runUndo(L"/journal \"" + journalFolder + L"\"", folder.path() + L"\\shown.txt", [](ChildWindows& windows) {
    HWND list = GetParent(windows.control(IDCANCEL));
    ASSERT_NE(nullptr, list) << "the list of runs was not shown";
    windows.idle();  // shown and painted
    saveScreenshot(list, L"undo-list");
    PostMessageW(list, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_EQ(0u, shown.code);
}

// Run only as the child of the case above.
TEST(UndoChild, DISABLED_RenameUntilEnded) {
  struct EndedAfterThree : fakes::ForwardingFileSystem {
    using ForwardingFileSystem::ForwardingFileSystem;
    int renameItem(const std::wstring& from, const std::wstring& to) override {
      const int result = ForwardingFileSystem::renameItem(from, to);
      if (++renamed == 3) TerminateProcess(GetCurrentProcess(), 99);
      return result;
    }
    int renamed = 0;
  };
  Win32FileSystem disk;
  EndedAfterThree ending(disk);
  Win32JournalFolder journals(environment(L"LARK_UNDO_CHILD_JOURNAL"));
  fakes::NullPageSurface page;
  RenameState state;
  const std::wstring work = environment(L"LARK_UNDO_CHILD_WORK");
  state.setSelection({work + L"\\a.txt", work + L"\\b.txt", work + L"\\c.txt", work + L"\\d.txt", work + L"\\e.txt"}, disk);
  state.matchPattern = L"^(.+)$";
  state.replaceFormat = L"n_\\1";
  state.journals = &journals;
  performRename(state, page, ending);
  ADD_FAILURE() << "the run was not ended";
}

TEST_F(Undo, RefusesWhatChangedSinceAndOverwritesNothing) {
  for (const wchar_t* name : {L"kept.txt", L"taken.txt", L"gone.txt", L"replaced.txt"}) folder.createFile(L"Work\\" + std::wstring(name), "old");
  rename({L"kept.txt", L"taken.txt", L"gone.txt", L"replaced.txt"}, disk);
  folder.createFile(L"Work\\taken.txt", "a new item at the old name");
  DeleteFileW((work + L"\\n_gone.txt").c_str());
  DeleteFileW((work + L"\\n_replaced.txt").c_str());
  folder.createFile(L"Work\\n_replaced.txt", "another item at the new name");
  const TreeHashes before = hashTree(work);

  const Finished undone = undoLast();
  EXPECT_EQ(1u, undone.code);
  const std::string folderText(work.begin(), work.end());
  for (const char* line : {"Took back 1 rename:\n", "\\n_kept.txt -> kept.txt\n",
                                  "\\n_taken.txt [ERROR: Cannot take back: another item now has the old name]\n",
                                  "\\n_gone.txt [ERROR: Cannot take back: the renamed item is no longer there]\n",
                                  "\\n_replaced.txt [ERROR: Cannot take back: another item, or a changed one, now has the new name]\n"}) {
    EXPECT_NE(std::string::npos, undone.output.find(line)) << line << " in\n" << undone.output;
  }
  TreeHashes after = hashTree(work);
  EXPECT_EQ(before.at(L"n_kept.txt"), after.at(L"kept.txt"));
  after[L"n_kept.txt"] = after.at(L"kept.txt");
  after.erase(L"kept.txt");
  EXPECT_EQ(before, after) << "only the row that could go back moved";
}

TEST_F(Undo, AHostileJournalIsNamedAndNothingMoves) {
  folder.createFile(L"Work\\a.txt", "a");
  folder.createFile(L"Journal\\20261210-000000-000.txt",
                    "Larkspindle rename journal 1\ntime\tt\nkind\trename\nfolder\tC:\\\nmatch\ta\nreplace\tb\nrename folders\tno\n"
                    "search subfolders\tno\nrows\t1\nrow\t" + std::string(work.begin(), work.end()) + "\\a.txt\tC:\\x|y\nrenamed\t1\nend\n");
  const TreeHashes before = hashTree(work);
  const Finished undone = undoLast();
  EXPECT_EQ(2u, undone.code);
  EXPECT_EQ("The journal 20261210-000000-000.txt cannot be read: line 10: a row names a path outside the run's folders, or "
            "one no file can have.\n", undone.output);
  EXPECT_EQ(before, hashTree(work));
}

TEST_F(Undo, TheWindowTakesBackTheRunChosenInItsList) {
  folder.createFile(L"Work\\a.txt", "a");
  folder.createFile(L"Work\\b.txt", "b");
  TreeHashes expected = hashTree(work);
  rename({L"a.txt"}, disk);
  rename({L"b.txt"}, disk);
  expected[L"n_b.txt"] = expected.at(L"b.txt");
  expected.erase(L"b.txt");
  std::wstring title;
  LRESULT rows = 0;
  const Finished undone = runUndo(L"/journal \"" + journalFolder + L"\"", folder.path() + L"\\out.txt", [&](ChildWindows& windows) {
    HWND undoButton = windows.control(IDOK);
    ASSERT_NE(nullptr, undoButton) << "the list of runs was not shown";
    HWND list = GetParent(undoButton);
    HWND runs = FindWindowExW(list, nullptr, L"SysListView32", nullptr);
    SendMessageTimeoutW(list, WM_NULL, 0, 0, SMTO_NORMAL, 60000, nullptr);  // once it is filled
    EXPECT_EQ(2, SendMessageW(runs, LVM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ(4, SendMessageW(reinterpret_cast<HWND>(SendMessageW(runs, LVM_GETHEADER, 0, 0)), HDM_GETITEMCOUNT, 0, 0))
        << "time, folder, items renamed, Match and Replace";
    // The older run, a row below the newest, which the list chooses first.
    PostMessageW(runs, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(undoButton, BM_CLICK, 0, 0);
    HWND yes = windows.control(IDYES);
    ASSERT_NE(nullptr, yes) << "Undo asked nothing";
    PostMessageW(GetParent(yes), WM_COMMAND, IDYES, 0);
    HWND results = windows.control(kResultsList);
    ASSERT_NE(nullptr, results) << "no results list";
    SendMessageTimeoutW(GetParent(results), WM_NULL, 0, 0, SMTO_NORMAL, 60000, nullptr);  // once it is filled
    title = controlText(GetParent(results), kResultsTitle);
    rows = SendMessageW(results, LVM_GETITEMCOUNT, 0, 0);
    PostMessageW(GetParent(results), WM_COMMAND, IDOK, 0);
    PostMessageW(list, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_EQ(0u, undone.code);
  EXPECT_EQ(L"Took back 1 rename:", title);
  EXPECT_EQ(1, rows);
  EXPECT_EQ(expected, hashTree(work)) << "the chosen run went back, and only it";
}

TEST_F(Undo, TakingBackALongRunShowsProgressAndItsCancelStopsBetweenRows) {
  constexpr int kRows = 400;  // seconds of shell renames under Wine, well past the progress's second
  std::vector<std::wstring> selected;
  for (int i = 0; i < kRows; ++i) {
    selected.push_back(L"f" + std::to_wstring(i) + L".dat");
    folder.createFile(L"Work\\" + selected.back(), std::string(static_cast<std::size_t>(i % 50 + 1), static_cast<char>('a' + i % 26)));
  }
  const TreeHashes before = hashTree(work);
  rename(selected, disk);
  std::wstring caption;
  std::uint64_t first = 0;
  std::uint64_t done = 0;
  std::uint64_t total = 0;
  std::wstring title;
  std::vector<std::wstring> cancelledRows;
  const Finished undone = runUndo(L"/journal \"" + journalFolder + L"\" /last", folder.path() + L"\\out.txt", [&](ChildWindows& windows) {
    HWND cancel = windows.control(IDCANCEL);
    ASSERT_NE(nullptr, cancel) << "no progress window";
    HWND progress = GetParent(cancel);
    // The progress window changes no window of ours: a timer wakes the pump to read it.
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, nullptr);
    windows.pump(60000, [&] { return readProgressCount(progress, first, total); });
    windows.pump(60000, [&] { return readProgressCount(progress, done, total) && done > first; });
    KillTimer(nullptr, timer);
    wchar_t text[64] = {};
    GetWindowTextW(progress, text, 64);
    caption = text;
    ASSERT_TRUE(pressProgressCancel(progress));
    HWND results = windows.control(kResultsList);
    ASSERT_NE(nullptr, results) << "no results list";
    SendMessageTimeoutW(GetParent(results), WM_NULL, 0, 0, SMTO_NORMAL, 60000, nullptr);  // once it is filled
    title = controlText(GetParent(results), kResultsTitle);
    const int rows = static_cast<int>(SendMessageW(results, LVM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ(kRows, rows);
    PostMessageW(GetParent(results), WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(L"Taking back", caption);
  EXPECT_EQ(static_cast<std::uint64_t>(kRows), total);
  EXPECT_GT(done, first) << "N of M advances";
  EXPECT_EQ(1u, undone.code) << "the rows not reached are listed as not taken back";
  // Every item under one of its two names with its content; as many back as the heading says.
  const TreeHashes after = hashTree(work);
  EXPECT_EQ(before.size(), after.size());
  int back = 0;
  for (const auto& [name, hash] : before) {
    const auto old = after.find(name);
    const auto renamed = after.find(L"n_" + name);
    EXPECT_TRUE((old != after.end()) != (renamed != after.end())) << ::testing::PrintToString(name);
    EXPECT_EQ(hash, (old != after.end() ? old : renamed)->second) << ::testing::PrintToString(name);
    back += old != after.end() ? 1 : 0;
  }
  EXPECT_GE(static_cast<std::uint64_t>(back), done);
  EXPECT_LT(back, kRows) << "the take-back stopped before its end";
  EXPECT_EQ(L"Took back " + std::to_wstring(back) + L" renames:", title);
}

TEST_F(Undo, TheCommandLineAnswersWithItsOwnCodesAndNeverAWindowWhenItMustNot) {
  const std::string usage = "\nUsage: LarkspindleUndo [/journal FOLDER] [/list | /last [/quiet]]\n";
  const std::wstring journal = L"/journal \"" + journalFolder + L"\" ";
  const struct {
    std::wstring arguments;
    DWORD code;
    std::string says;
  } cases[] = {
      {L"/quiet /last /bogus", 4, "Unknown argument: /bogus" + usage},
      {L"/bogus", 4, "Unknown argument: /bogus" + usage},  // a script's mistake: no window it would wait on
      {L"/quiet", 4, "/quiet goes with /last" + usage},
      {L"/last /journal", 4, "Unknown argument: /journal" + usage},
      {journal + L"/last /quiet", 2, "Larkspindle has no rename on record.\n"},
      {journal + L"/list", 0, ""},
  };
  for (const auto& row : cases) {
    const std::string arguments(row.arguments.begin(), row.arguments.end());
    const Finished finished = runUndo(row.arguments, folder.path() + L"\\out.txt");
    EXPECT_EQ(row.code, finished.code) << arguments;
    EXPECT_EQ(row.says, finished.output) << arguments;
    EXPECT_EQ(0, finished.dialogs) << arguments << ": a window opened";
  }
}

TEST_F(Undo, AFailedAllocationIsReportedWithItsCodeAndNeverEndsTheProgramOrOpensAWindow) {
  folder.createFile(L"Work\\a.txt", "a");
  rename({L"a.txt"}, disk);
  const std::vector<std::wstring> names = Win32JournalFolder(journalFolder).names();
  ASSERT_EQ(1u, names.size());
  std::string journal;
  ASSERT_TRUE(Win32JournalFolder(journalFolder).read(names.front(), 1 << 20, journal));
  const std::wstring counts = folder.path() + L"\\allocations.txt";
  SetEnvironmentVariableW(L"LARK_ALLOCATIONS", counts.c_str());
  // Every run starts from the same disk: the run on record, its item under its new name.
  const auto failingAt = [&](const std::wstring& arguments, long allocation, bool& fired) {
    removeTree(journalFolder);
    folder.createFile(L"Journal\\" + names.front(), journal);
    MoveFileW((work + L"\\a.txt").c_str(), (work + L"\\n_a.txt").c_str());
    SetEnvironmentVariableW(L"LARK_FAIL_ALLOCATION", std::to_wstring(allocation).c_str());
    DeleteFileW(counts.c_str());
    const Finished finished = runUndo(L"/journal \"" + journalFolder + L"\" " + arguments, folder.path() + L"\\out.txt",
                                      nullptr, L"LARK_UNDO_FAILING");
    long counted = 0;
    int firedFlag = 0;
    FILE* file = _wfopen(counts.c_str(), L"r");
    EXPECT_TRUE(file && std::fscanf(file, "%ld %d", &counted, &firedFlag) == 2) << "the program did not reach its end";
    if (file) std::fclose(file);
    fired = firedFlag != 0;
    return std::make_pair(finished, counted);
  };
  for (const wchar_t* arguments : {L"/list", L"/last /quiet"}) {
    const std::string shown(arguments, arguments + std::wcslen(arguments));
    bool fired = false;
    const long total = failingAt(arguments, 1L << 30, fired).second;
    ASSERT_GT(total, 10) << shown;
    std::vector<long> points;
    for (long n = 0; n < std::min(total, 25L); ++n) points.push_back(n);
    for (long step = 1; step <= 25; ++step) {
      const long n = total * step / 26;
      if (n >= 25 && n != points.back()) points.push_back(n);
    }
    int reported = 0;
    for (long n : points) {
      const Finished finished = failingAt(arguments, n, fired).first;
      EXPECT_EQ(0, finished.dialogs) << shown << " with allocation " << n << " failing";
      if (finished.code == 5) {
        ++reported;
        EXPECT_NE(std::string::npos, finished.output.find("LarkspindleUndo stopped on an error: std::bad_alloc.\n"))
            << shown << " with allocation " << n << " failing:\n" << finished.output;
      } else {
        EXPECT_EQ(0u, finished.code) << shown << " with allocation " << n << " failing:\n" << finished.output;
      }
      EXPECT_TRUE(fired) << shown << ": allocation " << n << " was reached";
    }
    EXPECT_GT(reported, 0) << shown << ": some failure ended the program, reported";
  }
  SetEnvironmentVariableW(L"LARK_FAIL_ALLOCATION", nullptr);
  SetEnvironmentVariableW(L"LARK_ALLOCATIONS", nullptr);
}

}  // namespace
}  // namespace lark
