// The rename page hosted in a modeless property sheet of the test's own, driven only with
// window messages, and the results dialog it opens.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>

#include "build_config.h"
#include "engine/page_controls.h"
#include "engine/rename_actions.h"
#include "engine/rename_state.h"
#include "win32/file_system.h"
#include "tests/support/child_program.h"
#include "tests/support/import_hook.h"
#include "automation/modal_catcher.h"
#include "automation/list_view.h"
#include "automation/progress_window.h"
#include "automation/properties_sheet.h"
#include "automation/screenshot.h"
#include "tests/support/temp_folder.h"
#include "ui/isolation.h"
#include "win32/module.h"
#include "ui/rename_page.h"
#include "ui/results_dialog.h"
#include "ui/run_progress.h"
#include "win32/journal_folder.h"

namespace lark {
namespace {

class HostedPage : public ::testing::Test {
 protected:
  void open() {
    isolatedInitCommonControls();
    if (!state.fileSystems) state.fileSystems = &realDisk;  // the page's context, as AddPages hands it in
    PROPSHEETPAGEW description = {};
    description.dwSize = sizeof description;
    description.hInstance = thisModule();
    description.pszTemplate = MAKEINTRESOURCEW(kRenamePageDialog);
    description.pfnDlgProc = renamePageProc;
    description.lParam = reinterpret_cast<LPARAM>(&state);
    HPROPSHEETPAGE created = isolatedCreatePropertySheetPage(&description);
    ASSERT_NE(nullptr, created);
    sheet = openModelessSheet(&created, 1, PSH_NOAPPLYNOW);
    ASSERT_NE(nullptr, sheet);
    page = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    ASSERT_NE(nullptr, page);
  }
  void TearDown() override {
    if (sheet) DestroyWindow(sheet);
  }
  void select(const std::vector<std::wstring>& names) {
    std::vector<std::wstring> paths;
    for (const auto& name : names) paths.push_back(folder.path() + L"\\" + name);
    Win32FileSystem disk;
    state.setSelection(paths, disk);
  }
  std::wstring text(int id) { return controlText(page, id); }
  bool enabled(int id) { return IsWindowEnabled(GetDlgItem(page, id)) != FALSE; }
  bool checked(int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; }
  void click(int id) { SendDlgItemMessageW(page, id, BM_CLICK, 0, 0); }

  TempFolder folder;
  RenameState state;
  Win32FileSystemSource realDisk;
  HWND sheet = nullptr;
  HWND page = nullptr;
};

TEST_F(HostedPage, ShowsThePreviewAtOnceAndOnEveryKeystroke) {
  folder.createFile(L"Report.doc", "r");
  folder.createFile(L"Notes.txt", "n");
  select({L"Report.doc", L"Notes.txt"});
  open();
  EXPECT_EQ(L"(.*)", text(kMatchEdit));
  EXPECT_EQ(L"\\1", text(kReplaceEdit));
  EXPECT_EQ(L"2 Files", text(kSelectedCount));
  EXPECT_EQ(L"\"Report.doc\"", text(kExampleText));
  EXPECT_FALSE(enabled(kRenameFoldersCheck));
  EXPECT_FALSE(enabled(kSearchSubfoldersCheck));
  EXPECT_FALSE(checked(kSearchSubfoldersCheck));

  SetDlgItemTextW(page, kMatchEdit, L"\\.txt$");
  EXPECT_EQ(L"\\.txt$", state.matchPattern);
  EXPECT_EQ(L"\".txt\"", text(kExampleText));
  SetDlgItemTextW(page, kReplaceEdit, L".md");
  EXPECT_EQ(L"\"Notes.md\"", text(kReplaceText));
  EXPECT_TRUE(enabled(kTestButton));

  SetDlgItemTextW(page, kMatchEdit, L"(");
  EXPECT_EQ(0u, text(kExampleText).find(L"Invalid match - "));
  EXPECT_EQ(L"Can't replace", text(kReplaceText));
  EXPECT_FALSE(enabled(kExampleText));
  EXPECT_FALSE(enabled(kRenamedToLabel));
  EXPECT_FALSE(enabled(kRenameButton));

  const std::wstring longText(3000, L'a');
  SetDlgItemTextW(page, kMatchEdit, longText.c_str());
  EXPECT_EQ(2047u, state.matchPattern.size()) << "the record holds the first 2047 characters";
}

TEST_F(HostedPage, FolderOptionsFollowTheCheckBoxes) {
  folder.createFile(L"Album\\a.jpg", "a");
  folder.createFile(L"top.jpg", "t");
  folder.createFile(L"x.jpg", "x");
  select({L"Album", L"top.jpg", L"x.jpg"});
  open();
  EXPECT_TRUE(enabled(kRenameFoldersCheck));
  EXPECT_TRUE(enabled(kSearchSubfoldersCheck));
  EXPECT_TRUE(checked(kSearchSubfoldersCheck));
  EXPECT_FALSE(checked(kRenameFoldersCheck));
  EXPECT_EQ(L"2 Files, 1 Folder", text(kSelectedCount));
  SetDlgItemTextW(page, kMatchEdit, L"^x");
  SetDlgItemTextW(page, kMatchEdit, L"^\\w");
  EXPECT_EQ(L"\"x\"", text(kExampleText)) << "the example stays on the second file while it matches";
  click(kRenameFoldersCheck);
  EXPECT_TRUE(state.renameFolders);
  EXPECT_EQ(L"\"A\"", text(kExampleText)) << "folders are tried first, from the start";
  SetDlgItemTextW(page, kMatchEdit, L"^x");
  SetDlgItemTextW(page, kMatchEdit, L"^\\w");
  click(kSearchSubfoldersCheck);
  EXPECT_FALSE(state.searchSubfolders);
  EXPECT_EQ(L"\"x\"", text(kExampleText)) << "the example stays where it was";
}

TEST_F(HostedPage, OpensWithTheRecordsFolderOptions) {
  folder.createFolder(L"Album");
  select({L"Album"});
  state.renameFolders = true;
  state.searchSubfolders = false;
  open();
  EXPECT_TRUE(checked(kRenameFoldersCheck));
  EXPECT_FALSE(checked(kSearchSubfoldersCheck));
}

TEST_F(HostedPage, FilesAloneLeaveBothFolderOptionsOff) {
  folder.createFile(L"a.txt", "a");
  select({L"a.txt"});
  open();
  for (int id : {kRenameFoldersCheck, kSearchSubfoldersCheck}) {
    click(id);
    EXPECT_FALSE(checked(id)) << id;
  }
  EXPECT_FALSE(state.renameFolders);
  EXPECT_FALSE(state.searchSubfolders);
}

// What the page hands the shell to open, and the timers it stops: watched in this
// program's import table.
std::vector<std::wstring> opened;
std::vector<std::pair<HWND, UINT_PTR>> killedTimers;
HINSTANCE WINAPI recordOpen(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR, LPCWSTR, INT) {
  opened.push_back(std::wstring(verb ? verb : L"") + L" " + file);
  return reinterpret_cast<HINSTANCE>(33);  // success, and no browser started
}
ImportHook* killTimerHook = nullptr;
BOOL WINAPI recordKillTimer(HWND window, UINT_PTR id) {
  killedTimers.emplace_back(window, id);
  return killTimerHook->original<BOOL(WINAPI*)(HWND, UINT_PTR)>()(window, id);
}

// A version check that has found a newer version.
struct NewerVersion : VersionCheck {
  bool poll(std::uint32_t& version, std::wstring& link) const override {
    version = 0xFF000000;
    link = L"http://" LARK_WIDE(LARKSPINDLE_SITE_HOST) L"/get";
    return true;
  }
};

TEST_F(HostedPage, TheLinkOpensTheSiteThenTheNewerVersionAndHelpOpensTheSyntax) {
  folder.createFile(L"a.txt", "a");
  select({L"a.txt"});
  const ImportHook hook(GetModuleHandleW(nullptr), "shell32.dll", "ShellExecuteW", reinterpret_cast<void*>(recordOpen));
  opened.clear();
  open();
  auto clickLink = [&] { SendMessageW(page, WM_COMMAND, MAKEWPARAM(kSiteLink, STN_CLICKED), 0); };
  clickLink();
  state.updateChecker = std::make_unique<NewerVersion>();
  SendMessageW(page, WM_TIMER, 1, 0);
  EXPECT_EQ(L"Update Available - Click Here!", text(kSiteLink));
  clickLink();
  NMHDR help = {sheet, 0, static_cast<UINT>(PSN_HELP)};
  SendMessageW(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&help));
  EXPECT_EQ((std::vector<std::wstring>{
                L"open " LARK_WIDE(LARKSPINDLE_SITE_URL), L"open http://" LARK_WIDE(LARKSPINDLE_SITE_HOST) L"/get",
                L"open https://www.boost.org/doc/libs/release/libs/regex/doc/html/boost_regex/syntax/perl_syntax.html"}),
            opened);
}

TEST_F(HostedPage, ClosingTheSheetStopsTimerOne) {
  folder.createFile(L"a.txt", "a");
  select({L"a.txt"});
  open();
  ImportHook hook(GetModuleHandleW(nullptr), "user32.dll", "KillTimer", reinterpret_cast<void*>(recordKillTimer));
  killTimerHook = &hook;
  killedTimers.clear();
  const HWND closing = page;
  DestroyWindow(sheet);
  sheet = nullptr;
  killTimerHook = nullptr;
  EXPECT_EQ((std::vector<std::pair<HWND, UINT_PTR>>{{closing, 1}}), killedTimers);
}

TEST_F(HostedPage, TestListsThePlanAndRenameRenamesAfterAsking) {
  folder.createFile(L"a1.txt", "1");
  folder.createFile(L"b1.txt", "2");
  select({L"a1.txt", L"b1.txt"});
  open();
  SetDlgItemTextW(page, kMatchEdit, L"1");
  SetDlgItemTextW(page, kReplaceEdit, L"2");
  saveScreenshot(sheet, L"rename-page");
  {
    ModalCatcher catcher(IDOK, [](HWND dialog) {
      saveScreenshot(dialog, L"results-dialog"); });
    click(kTestButton);
    ASSERT_EQ(1u, catcher.caught.size());
    EXPECT_EQ(L"Rename", catcher.caught[0].caption);
    EXPECT_EQ(L"The following 2 files will be renamed:", catcher.caught[0].title);
    EXPECT_EQ((std::vector<std::wstring>{L"  a1.txt | a2.txt", L"  b1.txt | b2.txt"}), catcher.caught[0].rows);
  }
  {
    ModalCatcher catcher(IDYES);
    click(kRenameButton);
    ASSERT_EQ(2u, catcher.caught.size());
    EXPECT_NE(std::wstring::npos, catcher.caught[0].text.find(L"rename 2 file(s)"));
    EXPECT_EQ(L"Renamed 2 files:", catcher.caught[1].title);
  }
  Win32FileSystem disk;
  EXPECT_NE(kInvalidAttributes, disk.attributes(folder.path() + L"\\a2.txt"));
  EXPECT_EQ(folder.path() + L"\\a2.txt", state.files[0]);
  EXPECT_EQ(L"No match", text(kExampleText)) << "the preview is refreshed over the new names";
}

TEST_F(HostedPage, TabSwitchesRefreshTimerTicksDoNot) {
  folder.createFile(L"x.txt", "x");
  select({L"x.txt"});
  open();
  EXPECT_EQ(1u, state.timerId);
  state.matchPattern = L"x";  // changed behind the page's back
  SendMessageW(page, WM_TIMER, 1, 0);
  EXPECT_EQ(L"\"x.txt\"", text(kExampleText)) << "a tick only polls the update check";
  NMHDR setActive = {sheet, 0, static_cast<UINT>(PSN_SETACTIVE)};
  EXPECT_EQ(0, SendMessageW(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&setActive)));
  EXPECT_EQ(L"\"x\"", text(kExampleText));
  EXPECT_TRUE(KillTimer(page, 1)) << "timer 1 runs on the page while it lives";
}

TEST_F(HostedPage, OnlyTheLinkIsDrawnBlue) {
  folder.createFile(L"x.txt", "x");
  select({L"x.txt"});
  open();
  HDC dc = GetDC(page);
  SetTextColor(dc, RGB(1, 2, 3));
  // Called as the dialog manager calls it: the procedure supplies no brush (0).
  EXPECT_EQ(0, renamePageProc(page, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                              reinterpret_cast<LPARAM>(GetDlgItem(page, kExampleText))));
  EXPECT_EQ(RGB(1, 2, 3), GetTextColor(dc));
  EXPECT_EQ(0, renamePageProc(page, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                              reinterpret_cast<LPARAM>(GetDlgItem(page, kSiteLink))));
  EXPECT_EQ(0x00FF0000u, GetTextColor(dc));
  ReleaseDC(page, dc);
}

// What a file system whose renames throw throws: a standard exception or another kind.
struct NotStandard {};
bool throwStandard = true;
// Patterns meant to hang the matcher or the compiler: each keystroke must come back
// promptly with the library's own message, Test must list the failure, and the page
// must work normally afterwards.
TEST_F(HostedPage, HostilePatternsEndInTheLibrarysMessageNotAHang) {
  const std::wstring aaa(60, L'a');
  folder.createFile(aaa + L"b", "x");
  select({aaa + L"b"});
  open();
  struct Hostile {
    std::wstring pattern;
    const wchar_t* expected;  // a part of the example text
  };
  const Hostile cases[] = {
      {L"(a+)+$", L"Invalid match - "},
      {L"(a|aa)+(a|aa)+(a|aa)+$", L"Invalid match - "},
      {std::wstring(1000, L'(') + L"a" + std::wstring(1000, L')'), L"Invalid match - Exceeded nested brace limit"},
      {std::wstring(682, L'(') + L"a{1000}" + std::wstring(682, L')'), L""},
      {L"a{2147483647}", L"No match"},
  };
  // A keystroke that hung would hold the test past its time limit; how long each takes is
  // the benchmark's to say.
  for (const Hostile& c : cases) {
    SetDlgItemTextW(page, kMatchEdit, c.pattern.c_str());
    EXPECT_NE(std::wstring::npos, text(kExampleText).find(c.expected))
        << ::testing::PrintToString(c.pattern.substr(0, 40)) << " gave " << ::testing::PrintToString(text(kExampleText));
  }
  SetDlgItemTextW(page, kMatchEdit, L"(a+)+$");
  EXPECT_NE(std::wstring::npos, text(kExampleText).find(L"complexity")) << text(kExampleText);
  {
    SetDlgItemTextW(page, kReplaceEdit, L"x");
    ModalCatcher catcher(IDOK);
    click(kSearchSubfoldersCheck);
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(kTestButton, BN_CLICKED), 0);
    // The example found no match, so Test is off; the plan itself must still refuse the row.
    RenamePlan plan = buildPlan(state, *std::make_unique<Win32FileSystem>());
    ASSERT_EQ(1u, plan.size());
    EXPECT_TRUE(plan[0].failed);
    EXPECT_NE(std::wstring::npos, plan[0].errorText.find(L"complexity")) << plan[0].errorText;
  }
  SetDlgItemTextW(page, kMatchEdit, L"b$");
  EXPECT_EQ(L"\"b\"", text(kExampleText)) << "the page works as before";
}

// The real disk, except that it throws where the test says, the way a handler's work can
// fail: at a rename once `renamesBeforeThrowing` renames were made, or at every listing.
int renamesBeforeThrowing = 0;
bool throwOnListing = false;
class ThrowingRenames : public Win32FileSystem {
 public:
  std::unique_ptr<FolderListing> listFolder(const std::wstring& pattern) override {
    if (throwOnListing) throw std::length_error("listing failed");
    return Win32FileSystem::listFolder(pattern);
  }
  int renameItem(const std::wstring& from, const std::wstring& to) override {
    if (renamesBeforeThrowing-- > 0) return Win32FileSystem::renameItem(from, to);
    if (throwStandard) throw std::length_error("caf\xe9");
    SetLastError(ERROR_FILE_NOT_FOUND);
    throw NotStandard();
  }
};

// What a page made by these tests opens instead of the real disk.
struct ThrowingRenamesSource : FileSystemSource {
  std::unique_ptr<FileSystem> open(std::uintptr_t) override { return std::make_unique<ThrowingRenames>(); }
} throwingRenames;

TEST_F(HostedPage, ExceptionsFromAnActionAreReportedAndThePageStaysUsable) {
  folder.createFile(L"a.txt", "a");
  select({L"a.txt"});
  open();
  SetDlgItemTextW(page, kMatchEdit, L"a");
  SetDlgItemTextW(page, kReplaceEdit, L"b");
  state.fileSystems = &throwingRenames;
  for (bool standard : {true, false}) {
    throwStandard = standard;
    ModalCatcher catcher(IDYES);
    click(kRenameButton);
    std::wstring seen;
    for (const auto& box : catcher.caught) seen += box.caption + L": " + box.text + L" / " + box.title + L"\n";
    ASSERT_EQ(2u, catcher.caught.size()) << "the question, then the report; no listing\n" << ::testing::PrintToString(seen);
    EXPECT_EQ(L"Rename", catcher.caught[1].caption);
    if (standard) {
      EXPECT_EQ(L"C++ Exception was caught:\n\ncaf\xffe9", catcher.caught[1].text);
    } else {
      EXPECT_FALSE(catcher.caught[1].text.empty());
      EXPECT_NE(L"Unknown C++ Exception was caught!", catcher.caught[1].text) << "last-error 2 has a system text";
    }
  }
  SetDlgItemTextW(page, kMatchEdit, L"^a");
  EXPECT_EQ(L"\"a\"", text(kExampleText)) << "the page still works";
}

TEST_F(HostedPage, AnExceptionFromTestIsReportedOverThePageAndLeavesThePreviewAlone) {
  folder.createFile(L"Album\\a.txt", "a");
  folder.createFile(L"x.txt", "x");
  select({L"Album", L"x.txt"});
  open();
  SetDlgItemTextW(page, kMatchEdit, L"x");
  SetDlgItemTextW(page, kReplaceEdit, L"y");
  ASSERT_EQ(L"\"x\"", text(kExampleText));
  state.fileSystems = &throwingRenames;
  throwOnListing = true;
  state.matchPattern = L"zzz";  // behind the page's back: a refresh would show it
  ModalCatcher catcher(IDOK);
  click(kTestButton);
  throwOnListing = false;
  ASSERT_EQ(1u, catcher.caught.size()) << "the report, and no listing";
  EXPECT_EQ(L"C++ Exception was caught:\n\nlisting failed", catcher.caught[0].text);
  EXPECT_EQ(sheet, catcher.caught[0].owner) << "owned by the page (a child's box belongs to its top window)";
  EXPECT_EQ(L"\"x\"", text(kExampleText)) << "the preview is not refreshed after a failed action";
}

TEST_F(HostedPage, AnExceptionPartWayThroughRenameKeepsWhatWasDone) {
  const std::wstring first = folder.createFile(L"a1.txt", "1");
  const std::wstring second = folder.createFile(L"a2.txt", "2");
  select({L"a1.txt", L"a2.txt"});
  open();
  SetDlgItemTextW(page, kMatchEdit, L"^a");
  SetDlgItemTextW(page, kReplaceEdit, L"b");
  state.fileSystems = &throwingRenames;
  renamesBeforeThrowing = 1;
  throwStandard = true;
  ModalCatcher catcher(IDYES);
  click(kRenameButton);
  ASSERT_EQ(2u, catcher.caught.size()) << "the question, then the report; no listing";
  const std::wstring renamed = folder.path() + L"\\b1.txt";
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(renamed.c_str())) << "the first rename stays done";
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(second.c_str()));
  EXPECT_EQ((std::vector<std::wstring>{renamed, second}), state.files) << "and the selection knows it";
}

// The progress window's delay and Cancel, with a clock of the test's own: whether the
// shell's window is asked for is watched where the program imports CoCreateInstance.
int progressWindowsMade = 0;
ImportHook* coCreateHook = nullptr;
HRESULT WINAPI recordCoCreate(REFCLSID type, LPUNKNOWN outer, DWORD context, REFIID wanted, LPVOID* made) {
  const CLSID progressDialog = {0xF8383852, 0xFCD3, 0x11D1, {0xA6, 0xB9, 0x00, 0x60, 0x97, 0xDF, 0x5B, 0xD4}};
  if (IsEqualCLSID(type, progressDialog)) ++progressWindowsMade;
  return coCreateHook->original<HRESULT(WINAPI*)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*)>()(type, outer, context,
                                                                                                 wanted, made);
}

// The calls a test makes on the page's thread, as Explorer's thread has them: COM for the
// shell's progress window, and the hook that counts those windows.
class ProgressOnThisThread {
 public:
  ProgressOnThisThread()
      : hook_(GetModuleHandleW(nullptr), "ole32.dll", "CoCreateInstance", reinterpret_cast<void*>(recordCoCreate)) {
    OleInitialize(nullptr);
    coCreateHook = &hook_;
    progressWindowsMade = 0;
  }
  ~ProgressOnThisThread() {
    coCreateHook = nullptr;
    OleUninitialize();
  }

 private:
  ImportHook hook_;
};

TEST(RunProgress, AppearsOnlyAfterItsDelayWithRowsLeftAndItsCancelStopsTheRun) {
  const ProgressOnThisThread com;
  const HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200, nullptr,
                                     nullptr, nullptr, nullptr);
  std::uint64_t clock = 0;
  const ProgressTiming timing{[&] { return clock; }, 1000};
  const struct {
    std::uint64_t elapsed;
    std::size_t done;
    std::size_t total;
    bool opens;
  } rows[] = {{999, 0, 5, false}, {1000, 4, 5, true}, {5000, 5, 5, false}, {5000, 0, 1, true}};
  for (const auto& row : rows) {
    const std::string name = std::to_string(row.elapsed) + " ms, " + std::to_string(row.done) + " of " + std::to_string(row.total);
    progressWindowsMade = 0;
    clock = 0;
    {
      const std::unique_ptr<RunProgress> progress = startShellProgress(owner, L"Renaming", timing);
      EXPECT_FALSE(IsWindowEnabled(owner)) << name << ": the owner takes no input during the run";
      clock = row.elapsed;
      EXPECT_TRUE(progress->next(row.done, row.total, L"C:\\W\\a.txt")) << name;
      EXPECT_EQ(row.opens ? 1 : 0, progressWindowsMade) << name;
      if (row.opens) {
        EXPECT_NE(nullptr, findProgressWindow(GetCurrentProcessId(), L"Renaming")) << name;
      }
    }
    EXPECT_TRUE(IsWindowEnabled(owner)) << name << ": enabled again when the run ends";
    EXPECT_EQ(nullptr, findProgressWindow(GetCurrentProcessId(), L"Renaming")) << name << ": closed when the run ends";
  }

  clock = 0;
  const std::unique_ptr<RunProgress> progress = startShellProgress(owner, L"Renaming", timing);
  clock = 2000;
  ASSERT_TRUE(progress->next(0, 9, L"C:\\W\\a.txt"));
  const HWND window = findProgressWindow(GetCurrentProcessId(), L"Renaming");
  ASSERT_NE(nullptr, window);
  EXPECT_EQ(owner, GetWindow(window, GW_OWNER)) << "owned by the run's window";
  clock = 2250;
  EXPECT_TRUE(progress->next(1, 9, L"C:\\W\\b.txt"));
  std::uint64_t done = 0;
  std::uint64_t total = 0;
  EXPECT_TRUE(readProgressCount(window, done, total) && done == 2 && total == 9) << done << " of " << total;
  ASSERT_TRUE(pressProgressCancel(window));
  bool stopped = false;
  const ULONGLONG deadline = GetTickCount64() + 10000;
  while (!stopped && GetTickCount64() < deadline) {
    stopped = !progress->next(1, 9, L"C:\\W\\b.txt");
    if (!stopped) MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  EXPECT_TRUE(stopped) << "Cancel stops the run at its next row";
  DestroyWindow(owner);
}

// What the sheet answered and showed during a Rename, sampled from another thread every
// 50 ms until stopped: whether it answered WM_NULL within 100 ms, whether it took input
// while the progress window showed, and the counts that window showed. `act` does what a
// person does at a sample that sees the progress window.
class RunWatch {
 public:
  using Act = std::function<void(HWND progress, std::uint64_t done, std::uint64_t total)>;
  RunWatch(HWND sheet, Act act)
      : sheet_(sheet),
        act_(std::move(act)),
        stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
        ended_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    worker_ = std::thread([this] {
      while (WaitForSingleObject(stop_, 50) == WAIT_TIMEOUT) sample();
      SetEvent(ended_);
    });
  }
  ~RunWatch() {
    stop();
    CloseHandle(stop_);
    CloseHandle(ended_);
  }
  // Called on the sheet's thread, which goes on answering until the last sample is taken.
  void stop() {
    if (!worker_.joinable()) return;
    SetEvent(stop_);
    while (MsgWaitForMultipleObjects(1, &ended_, FALSE, 10000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
    worker_.join();
  }

  int samples = 0;
  int unanswered = 0;
  int enabledWhileShown = 0;
  std::uint64_t total = 0;
  std::vector<std::uint64_t> counts;  // each "N" the progress window showed, in order

 private:
  void sample() {
    ++samples;
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(sheet_, WM_NULL, 0, 0, SMTO_NORMAL, 100, &result)) ++unanswered;
    const HWND progress = findProgressWindow(GetCurrentProcessId(), L"Renaming");
    if (!progress) return;
    if (IsWindowEnabled(sheet_)) ++enabledWhileShown;
    std::uint64_t done = 0;
    if (readProgressCount(progress, done, total)) {
      counts.push_back(done);
      if (act_) act_(progress, done, total);
    }
  }

  HWND sheet_;
  Act act_;
  HANDLE stop_;
  HANDLE ended_;
  std::thread worker_;
};

// A click of the primary button at the middle of a window, through the system's input,
// as a person's mouse makes it: the system itself decides which window gets it.
void clickAsAPerson(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  const int x = (rect.left + rect.right) / 2;
  const int y = (rect.top + rect.bottom) / 2;
  INPUT inputs[3] = {};
  for (INPUT& input : inputs) {
    input.type = INPUT_MOUSE;
    input.mi.dx = x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
  }
  inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
  inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
  SendInput(3, inputs, sizeof(INPUT));
}

// A version check that counts the page's polls, which its timer makes.
struct CountedPolls : VersionCheck {
  bool poll(std::uint32_t&, std::wstring&) const override {
    ++polls;
    return false;
  }
  mutable std::atomic<int> polls{0};
};

// Rows enough for a run of several seconds under Wine (each shell rename costs about
// 15 ms there), where the progress window appears after its real second.
constexpr int kLongRun = 400;

class LongRename : public HostedPage {
 protected:
  void SetUp() override {
    for (int i = 0; i < kLongRun; ++i) {
      const std::wstring name = L"photo" + std::to_wstring(i) + L".jpg";
      folder.createFile(L"Work\\" + name, "content of " + std::to_string(i * 7919));
      names.push_back(L"Work\\" + name);
    }
    before = hashTree(folder.path() + L"\\Work");
    journalFolder = folder.createFolder(L"Journal");
    select(names);
    state.journals = &journals;
    auto counted = std::make_unique<CountedPolls>();
    polls = counted.get();
    state.updateChecker = std::move(counted);
    open();
    SetDlgItemTextW(page, kMatchEdit, L"^photo");
    SetDlgItemTextW(page, kReplaceEdit, L"Holiday ");
  }

  const ProgressOnThisThread com;
  std::vector<std::wstring> names;
  TreeHashes before;
  std::wstring journalFolder;
  Win32JournalFolder journals{folder.path() + L"\\Journal"};
  CountedPolls* polls = nullptr;
};

// The real disk at the pace the issue measured the shell's renames under Wine (about
// 15 ms a row; this machine's may be faster), so that the run spans several of the page's
// timer ticks (1.6 s apart).
class PacedRenames : public Win32FileSystem {
 public:
  int renameItem(const std::wstring& from, const std::wstring& to) override {
    const ULONGLONG start = GetTickCount64();
    const int result = Win32FileSystem::renameItem(from, to);
    const ULONGLONG spent = GetTickCount64() - start;
    if (spent < 15) Sleep(static_cast<DWORD>(15 - spent));
    return result;
  }
};
struct PacedRenamesSource : FileSystemSource {
  std::unique_ptr<FileSystem> open(std::uintptr_t) override { return std::make_unique<PacedRenames>(); }
} pacedRenames;

TEST_F(LongRename, ShowsProgressAnswersThroughoutAndTakesNoInput) {
  state.fileSystems = &pacedRenames;
  const HWND renameButton = GetDlgItem(page, kRenameButton);
  const HWND sheetCancel = GetDlgItem(sheet, IDCANCEL);
  bool clicked = false;
  RunWatch watch(sheet, [&](HWND progress, std::uint64_t done, std::uint64_t) {
    if (clicked || done < 20) return;
    clicked = true;
    saveScreenshot(GetDesktopWindow(), L"progress-over-sheet");
    // Moved off the sheet as a person might drag it, so that the clicks land on the sheet.
    RECT bounds;
    GetWindowRect(progress, &bounds);
    SetWindowPos(progress, nullptr, GetSystemMetrics(SM_CXSCREEN) - (bounds.right - bounds.left),
                 GetSystemMetrics(SM_CYSCREEN) - (bounds.bottom - bounds.top), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    clickAsAPerson(renameButton);
    clickAsAPerson(sheetCancel);
    PostMessageW(renameButton, BM_CLICK, 0, 0);  // a program's click, which input rules do not stop
  });
  int pollsBefore = 0;
  int pollsDuring = 0;
  ModalCatcher catcher(IDYES, [&](HWND dialog) {
    if (GetDlgItem(dialog, kResultsList)) {
      pollsDuring = polls->polls - pollsBefore;
      watch.stop();
    } else {
      pollsBefore = polls->polls;
    }
  });
  click(kRenameButton);
  ASSERT_TRUE(clicked) << "the progress window never showed 20 rows done; " << watch.counts.size() << " samples saw it";
  EXPECT_EQ(static_cast<std::uint64_t>(kLongRun), watch.total);
  EXPECT_TRUE(std::is_sorted(watch.counts.begin(), watch.counts.end()) && watch.counts.back() > watch.counts.front())
      << "N of M advances";
  EXPECT_EQ(0, watch.unanswered) << "of " << watch.samples << " samples, the sheet did not answer WM_NULL within 100 ms";
  EXPECT_EQ(0, watch.enabledWhileShown) << "the sheet took input while the progress window showed";
  EXPECT_GE(pollsDuring, 2) << "the page's timer kept ticking";
  std::wstring seen;
  for (const auto& box : catcher.caught) seen += box.caption + L": " + box.title + box.text.substr(0, 40) + L"\n";
  ASSERT_EQ(2u, catcher.caught.size()) << "the question and the listing, nothing started twice\n" << ::testing::PrintToString(seen);
  EXPECT_EQ(L"Renamed 400 files:", catcher.caught[1].title);
  EXPECT_EQ(page, reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0))) << "the sheet was not cancelled";
  EXPECT_TRUE(IsWindowEnabled(sheet));
  TreeHashes expected;
  for (const auto& [name, hash] : before) expected[L"Holiday " + name.substr(5)] = hash;
  EXPECT_EQ(expected, hashTree(folder.path() + L"\\Work"));
}

// The Undo program, named by LARK_UNDO, taking the newest run of a journal folder back
// with /last /quiet; its exit code and what it printed.
std::pair<DWORD, std::string> undoLastQuietly(const std::wstring& journalFolder, const std::wstring& outputFile) {
  PROCESS_INFORMATION process = {};
  DWORD code = 99;
  if (startWithOutput(L"\"" + programFromEnvironment(L"LARK_UNDO") + L"\" /journal \"" + journalFolder + L"\" /last /quiet",
                      outputFile, 0, process)) {
    if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 98);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  return {code, readOutput(outputFile)};
}

TEST_F(LongRename, CancelledHalfWayRenamesExactlyWhatItListsAndUndoTakesExactlyThatBack) {
  bool cancelled = false;
  RunWatch watch(sheet, [&](HWND progress, std::uint64_t done, std::uint64_t total) {
    if (!cancelled && done >= total / 2) cancelled = pressProgressCancel(progress);
  });
  ModalCatcher catcher(IDYES, [&](HWND dialog) {
    if (GetDlgItem(dialog, kResultsList)) watch.stop();
  });
  click(kRenameButton);
  ASSERT_TRUE(cancelled) << "the progress window never reached half way";
  ASSERT_EQ(2u, catcher.caught.size());
  const std::vector<std::wstring>& rows = catcher.caught[1].rows;
  ASSERT_EQ(static_cast<std::size_t>(kLongRun), rows.size());
  const std::wstring cancelText = L"[ERROR: Not renamed: the run was cancelled]";
  const auto notReached = static_cast<int>(std::count_if(rows.begin(), rows.end(), [&](const std::wstring& row) {
    return row.size() >= cancelText.size() && row.compare(row.size() - cancelText.size(), cancelText.size(), cancelText) == 0;
  }));
  const int renamedCount = kLongRun - notReached;
  EXPECT_GE(renamedCount, kLongRun / 2);
  EXPECT_GT(notReached, 0) << "the run stopped before its end";
  EXPECT_EQ(L"Renamed " + std::to_wstring(renamedCount) + L" files:", catcher.caught[1].title);
  // Every file under exactly one of its two names, with its content; as many renamed as listed.
  const TreeHashes after = hashTree(folder.path() + L"\\Work");
  EXPECT_EQ(before.size(), after.size());
  int renamedOnDisk = 0;
  for (const auto& [name, hash] : before) {
    const auto renamed = after.find(L"Holiday " + name.substr(5));
    const auto kept = after.find(name);
    EXPECT_TRUE((renamed != after.end()) != (kept != after.end())) << ::testing::PrintToString(name);
    EXPECT_EQ(hash, (renamed != after.end() ? renamed : kept)->second) << ::testing::PrintToString(name);
    renamedOnDisk += renamed != after.end() ? 1 : 0;
  }
  EXPECT_EQ(renamedCount, renamedOnDisk);
  const auto [code, output] = undoLastQuietly(journalFolder, folder.path() + L"\\undo.txt");
  EXPECT_EQ(0u, code) << output.substr(0, 2000);
  EXPECT_EQ(0u, output.find("Took back " + std::to_string(renamedCount) + " renames:\n")) << output.substr(0, 300);
  EXPECT_EQ(before, hashTree(folder.path() + L"\\Work"));
}

TEST_F(HostedPage, ARenameOfTenRowsShowsNoProgressWindow) {
  const ProgressOnThisThread com;
  std::vector<std::wstring> names;
  for (int i = 0; i < 10; ++i) names.push_back(folder.createFile(L"f" + std::to_wstring(i) + L".txt", "x").substr(folder.path().size() + 1));
  select(names);
  open();
  SetDlgItemTextW(page, kMatchEdit, L"^f");
  SetDlgItemTextW(page, kReplaceEdit, L"g");
  ModalCatcher catcher(IDYES);
  click(kRenameButton);
  ASSERT_EQ(2u, catcher.caught.size());
  EXPECT_EQ(L"Renamed 10 files:", catcher.caught[1].title);
  EXPECT_EQ(0, progressWindowsMade);
  EXPECT_TRUE(IsWindowEnabled(sheet));
}

class ResultsDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    isolatedInitCommonControls();
    owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
    plan.push_back(RenameEntry::title(L"The following 1 file will be renamed:"));
    RenameEntry good = RenameEntry::candidate(L"C:\\W\\", L"a.txt", L"a.txt");
    good.newPath = L"a.jpg";
    RenameEntry bad = RenameEntry::candidate(L"C:\\W\\", L"b.txt", L"b.txt");
    bad.failed = true;
    bad.errorText = L"[ERROR: File operation failed!]";
    plan.push_back(good);
    plan.push_back(bad);
  }
  void TearDown() override { DestroyWindow(owner); }
  HWND owner = nullptr;
  RenamePlan plan;
};

RECT rectIn(HWND dialog, int id) {
  RECT rect;
  GetWindowRect(GetDlgItem(dialog, id), &rect);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

TEST_F(ResultsDialog, ListsRowsDrawsErrorsRedAndKeepsItsLayout) {
  bool inspected = false;
  ModalCatcher catcher(IDOK, [&](HWND dialog) {
    inspected = true;
    HWND list = GetDlgItem(dialog, kResultsList);
    RECT client;
    GetClientRect(list, &client);
    EXPECT_EQ(client.right / 2, SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0));
    EXPECT_EQ(client.right / 2, SendMessageW(list, LVM_GETCOLUMNWIDTH, 1, 0));
    EXPECT_EQ(L"Original File", listHeading(list, 0));
    EXPECT_EQ(L"New Name", listHeading(list, 1));

    // Custom drawing: red for the failed row's item, the default for the other.
    for (int row = 0; row < 2; ++row) {
      LVITEMW item = {};
      item.mask = LVIF_PARAM;
      item.iItem = row;
      SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
      NMLVCUSTOMDRAW draw = {};
      draw.nmcd.hdr = {list, static_cast<UINT_PTR>(kResultsList), static_cast<UINT>(NM_CUSTOMDRAW)};
      draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
      draw.nmcd.lItemlParam = item.lParam;
      const LRESULT result = SendMessageW(dialog, WM_NOTIFY, kResultsList, reinterpret_cast<LPARAM>(&draw));
      EXPECT_EQ(row == 1 ? CDRF_NEWFONT : CDRF_DODEFAULT, result) << "row " << row;
      if (row == 1) {
        EXPECT_EQ(RGB(255, 0, 0), draw.clrText);
      }
    }
    NMLVCUSTOMDRAW prepaint = {};
    prepaint.nmcd.hdr = {list, static_cast<UINT_PTR>(kResultsList), static_cast<UINT>(NM_CUSTOMDRAW)};
    prepaint.nmcd.dwDrawStage = CDDS_PREPAINT;
    EXPECT_EQ(CDRF_NOTIFYITEMDRAW, SendMessageW(dialog, WM_NOTIFY, kResultsList, reinterpret_cast<LPARAM>(&prepaint)));

    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_TRUE(IsWindow(dialog)) << "Escape does not close the list";

    // As opened, the list and OK already stand where the layout puts them.
    const RECT opened[] = {rectIn(dialog, kResultsList), rectIn(dialog, IDOK)};
    layoutResultsDialog(dialog);
    const RECT laidOut[] = {rectIn(dialog, kResultsList), rectIn(dialog, IDOK)};
    EXPECT_TRUE(EqualRect(&opened[0], &laidOut[0]) && EqualRect(&opened[1], &laidOut[1]));

    // Enlarging: OK centred at the bottom, margins kept, column 0 keeps its share.
    const RECT listBefore = rectIn(dialog, kResultsList);
    const RECT okBefore = rectIn(dialog, IDOK);
    const int margin = listBefore.left;
    const int gap = okBefore.top - listBefore.bottom;
    SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(100, 0));
    const int oldWidth = listBefore.right - listBefore.left;
    SetWindowPos(dialog, nullptr, 0, 0, 900, 700, SWP_NOMOVE | SWP_NOZORDER);
    RECT dialogClient;
    GetClientRect(dialog, &dialogClient);
    const RECT listAfter = rectIn(dialog, kResultsList);
    const RECT okAfter = rectIn(dialog, IDOK);
    EXPECT_EQ((dialogClient.right - (okBefore.right - okBefore.left)) / 2, okAfter.left);
    EXPECT_EQ(dialogClient.bottom - margin, okAfter.bottom);
    EXPECT_EQ(margin, listAfter.left);
    EXPECT_EQ(dialogClient.right - margin, listAfter.right);
    EXPECT_EQ(gap, okAfter.top - listAfter.bottom);
    const int newWidth = listAfter.right - listAfter.left;
    const int column0 = static_cast<int>(static_cast<double>(newWidth * 100) / oldWidth + 0.5);
    EXPECT_EQ(column0, SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0));
    EXPECT_EQ(newWidth - column0 - 4, SendMessageW(list, LVM_GETCOLUMNWIDTH, 1, 0));

    // Minimised and restored, the list and its columns come back as they were.
    const int columnsBefore[] = {static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0)),
                                 static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, 1, 0))};
    ShowWindow(dialog, SW_MINIMIZE);
    ShowWindow(dialog, SW_RESTORE);
    EXPECT_EQ(listAfter.right - listAfter.left, rectIn(dialog, kResultsList).right - rectIn(dialog, kResultsList).left);
    EXPECT_EQ(columnsBefore[0], SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0));
    EXPECT_EQ(columnsBefore[1], SendMessageW(list, LVM_GETCOLUMNWIDTH, 1, 0));

    RECT dragged = {10, 10, 100, 50};
    EXPECT_EQ(TRUE, resultsDialogProc(dialog, WM_SIZING, WMSZ_LEFT, reinterpret_cast<LPARAM>(&dragged)));
    EXPECT_EQ(330, dragged.right);
    EXPECT_EQ(210, dragged.bottom);
  });
  showResultsDialog(owner, plan);
  EXPECT_TRUE(inspected);
  ASSERT_EQ(1u, catcher.caught.size());
  EXPECT_EQ(L"The following 1 file will be renamed:", catcher.caught[0].title);
  EXPECT_EQ((std::vector<std::wstring>{L"  a.txt | a.jpg", L"  b.txt | [ERROR: File operation failed!]"}),
            catcher.caught[0].rows);
}

TEST_F(ResultsDialog, ATitleRowAloneShowsAnEmptyList) {
  plan.resize(1);
  ModalCatcher catcher(IDOK);
  showResultsDialog(owner, plan);
  ASSERT_EQ(1u, catcher.caught.size());
  EXPECT_TRUE(catcher.caught[0].rows.empty());
  EXPECT_EQ(L"The following 1 file will be renamed:", catcher.caught[0].title);
}

// The small icon the shell gives for a path, asked the plain way: an item on disk by its
// path, a name not yet on disk by its type.
int shellIcon(const std::wstring& path) {
  SHFILEINFOW info = {};
  if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
    SHGetFileInfoW(path.c_str(), 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
  } else {
    const std::wstring type = path.substr(std::min(path.rfind(L'.'), path.size()));
    SHGetFileInfoW(type.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                   SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES);
  }
  return info.iIcon;
}

// Icons are looked up when the list asks for them; every row, drawn or not, still shows
// what the shell gives for its own path, the second column falling back on the first's
// when the shell has nothing for the new name.
TEST_F(ResultsDialog, EachRowShowsTheShellsIconForItsOwnFiles) {
  TempFolder folder;
  folder.createFile(L"notes.txt", "n");
  folder.createFile(L"setup.ini", "i");
  folder.createFolder(L"Album");
  const std::wstring base = folder.path() + L"\\";
  struct Row {
    const wchar_t* original;
    const wchar_t* renamed;
  };
  // The last row's new name is a folder on disk: its icon differs from its file's. Wine
  // knows an icon by type for .msi alone, so that row's second column comes from the
  // type lookup, the second time from the dialog's own record of it.
  const Row rows[] = {{L"notes.txt", L"notes.md"}, {L"setup.ini", L"setup.msi"}, {L"Album", L"Album 2026"},
                      {L"notes.txt", L"Album"}};
  plan.resize(1);
  for (int copy = 0; copy < 150; ++copy) {  // far more rows than the list can show
    for (const Row& row : rows) {
      RenameEntry entry = RenameEntry::candidate(base, row.original, row.original);
      entry.newPath = row.renamed;
      plan.push_back(entry);
    }
  }
  ASSERT_NE(shellIcon(base + L"notes.txt"), shellIcon(base + L"Album")) << "a file's icon and a folder's differ";
  ASSERT_NE(0, shellIcon(base + L"setup.msi")) << "the shell knows an icon by type";
  int checked = 0;
  ModalCatcher catcher(IDOK, [&](HWND dialog) {
    HWND list = GetDlgItem(dialog, kResultsList);
    for (int index : {0, 1, 2, 3, 596, 597, 598, 599}) {
      const RenameEntry& entry = plan[index + 1];
      const int original = shellIcon(base + entry.originalPath);
      const int renamed = shellIcon(base + entry.newPath);
      const int expected[] = {original, renamed != 0 ? renamed : original};
      for (int column : {0, 1}) {
        LVITEMW item = {};
        item.mask = LVIF_IMAGE;
        item.iItem = index;
        item.iSubItem = column;
        ASSERT_TRUE(SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        EXPECT_EQ(expected[column], item.iImage)
            << "row " << index << " column " << column << ": " << ::testing::PrintToString(entry.originalPath);
        ++checked;
      }
    }
  });
  showResultsDialog(owner, plan);
  EXPECT_EQ(16, checked);
  ASSERT_EQ(1u, catcher.caught.size());
  EXPECT_EQ(600u, catcher.caught[0].rows.size());
}

}  // namespace
}  // namespace lark
