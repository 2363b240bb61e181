// Taking renames back on real folders: runs journaled by the engine's Rename, taken back by
// LarkspindleUndo.exe (named by LARK_UNDO) as a user or a script runs it. Every case hashes
// the tree before and after.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "automation/screenshot.h"
#include "engine/rename_actions.h"
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

struct Finished {
  DWORD code = 0;
  std::string output;
};

// Runs the Undo program with the arguments; its output lands in a file of the folder.
Finished runUndo(const std::wstring& arguments, const std::wstring& outputFile, HWND* shown = nullptr) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE output = CreateFileW(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = startup.hStdOutput = startup.hStdError = output;
  PROCESS_INFORMATION process = {};
  // CTest names the program by its Unix path, which Wine shows as drive Z:.
  std::wstring program = L"Z:" + environment(L"LARK_UNDO");
  std::replace(program.begin(), program.end(), L'/', L'\\');
  std::wstring commandLine = L"\"" + program + L"\" " + arguments;
  Finished finished;
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    ADD_FAILURE() << "LARK_UNDO cannot be started: " << GetLastError();
    CloseHandle(output);
    return finished;
  }
  CloseHandle(output);
  if (shown) {
    // The list of runs, shown to a person: found, pictured and closed.
    WaitForInputIdle(process.hProcess, 10000);
    for (int i = 0; i < 200 && !*shown; ++i) {
      *shown = FindWindowW(nullptr, L"Undo a Larkspindle rename");
      if (!*shown) WaitForSingleObject(process.hProcess, 50);
    }
    if (*shown) {
      saveScreenshot(*shown, L"undo-list");
      PostMessageW(*shown, WM_COMMAND, IDCANCEL, 0);
    }
  }
  if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0) {
    ADD_FAILURE() << "the Undo program did not end";
    TerminateProcess(process.hProcess, 1);
  }
  GetExitCodeProcess(process.hProcess, &finished.code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  // Shared for writing too: a service the child started (Wine's rpcss, say) may hold the
  // handles it inherited.
  HANDLE read = CreateFileW(outputFile.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(read, buffer, sizeof buffer, &got, nullptr) && got != 0) finished.output.append(buffer, got);
  CloseHandle(read);
  finished.output.erase(std::remove(finished.output.begin(), finished.output.end(), '\r'), finished.output.end());
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
  HWND shown = nullptr;
  runUndo(L"/journal \"" + journalFolder + L"\"", folder.path() + L"\\shown.txt", &shown);
  EXPECT_NE(nullptr, shown) << "the list of runs was not shown";
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

}  // namespace
}  // namespace lark
