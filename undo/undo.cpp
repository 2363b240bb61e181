// LarkspindleUndo: lists the rename runs the extension journaled, newest first, and takes
// the chosen one back.
//   LarkspindleUndo [/journal FOLDER] [/list | /last [/quiet]]
// /list prints the runs; /last takes the newest run back without the list and shows what
// happened (with /quiet, prints it instead). The exit codes are the README's table.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "build_config.h"
#include "engine/take_back.h"
#include "engine/text.h"
#include "ui/error_reporting.h"
#include "ui/results_dialog.h"
#include "ui/run_progress.h"
#include "undo/undo_ids.h"
#include "win32/file_system.h"
#include "win32/journal_folder.h"
#include "win32/module.h"

namespace lark {
namespace {

constexpr int kTookBackAll = 0;
constexpr int kSomeRefused = 1;
constexpr int kNothingToTakeBack = 2;
// Not 3: the C runtime ends a program that aborts with 3, and a script should tell a
// crash from these.
constexpr int kUnknownArgument = 4;
constexpr int kFailed = 5;
const wchar_t kCaption[] = LARK_WIDE(LARK_UNDO_TITLE);

// Why a kept run cannot be taken back, or empty when it can.
std::wstring whyNot(const KeptRun& kept) {
  if (!kept.error.empty()) return L"The journal " + kept.name + L" cannot be read: " + kept.error + L".";
  if (kept.inProgress) return L"That rename is still going. Take it back once it has finished.";
  if (kept.run.renamedRows() == 0) return L"That run renamed nothing.";
  return std::wstring();
}

// UTF-8 straight to a standard handle: a file or pipe a script gave, or the console the
// program was started from.
void printUtf8(const std::wstring& text, DWORD stream = STD_OUTPUT_HANDLE) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), size, nullptr, nullptr);
  DWORD written = 0;
  WriteFile(GetStdHandle(stream), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

// An error that stopped the program, in a box when it may open windows, else on the
// standard error. Never throws: it runs while memory may be short.
void reportFailure(bool inWindow, const char* what) noexcept {
  try {
    const std::wstring text = L"LarkspindleUndo stopped on an error: " + widenText(what ? what : "unknown") +
                              L".\nWhat it renamed back before the error stays so; its list of runs shows the rest.\n";
    if (inWindow) {
      MessageBoxW(nullptr, text.c_str(), kCaption, MB_OK | MB_ICONERROR);
    } else {
      printUtf8(text, STD_ERROR_HANDLE);
    }
  } catch (...) {
    const char fallback[] = "LarkspindleUndo stopped on an error.\n";
    DWORD written = 0;
    if (inWindow) {
      MessageBoxW(nullptr, L"LarkspindleUndo stopped on an error.", kCaption, MB_OK | MB_ICONERROR);
    } else {
      WriteFile(GetStdHandle(STD_ERROR_HANDLE), fallback, sizeof fallback - 1, &written, nullptr);
    }
  }
}

int outcomeOf(const RenamePlan& listing) {
  for (const RenameEntry& entry : listing) {
    if (entry.failed) return kSomeRefused;
  }
  return kTookBackAll;
}

struct RunsWindow {
  Win32JournalFolder& journals;
  std::vector<KeptRun> runs;
};

void fillRuns(HWND dialog, RunsWindow& window) {
  HWND list = GetDlgItem(dialog, kRunsList);
  Win32FileSystem fileSystem(dialog);
  window.runs = keptRuns(window.journals, fileSystem);
  SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  for (std::size_t i = 0; i < window.runs.size(); ++i) {
    RunSummary summary = summarize(window.runs[i]);
    std::wstring* columns[] = {&summary.time, &summary.folder, &summary.renamed, &summary.change};
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(i);
    item.pszText = columns[0]->data();
    SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    for (int column = 1; column < 4; ++column) {
      item.iSubItem = column;
      item.pszText = columns[column]->data();
      SendMessageW(list, LVM_SETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
    }
  }
  if (!window.runs.empty()) {
    LVITEMW selected = {};
    selected.stateMask = selected.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&selected));
  }
}

void initialiseRuns(HWND dialog, RunsWindow& window) {
  SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&window));
  SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(LoadIconW(thisModule(), MAKEINTRESOURCEW(kUndoIcon))));
  HWND list = GetDlgItem(dialog, kRunsList);
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  RECT bounds;
  GetClientRect(list, &bounds);
  const int width = bounds.right - GetSystemMetrics(SM_CXVSCROLL);
  const struct {
    const wchar_t* title;
    int share;  // of the list's width, in percent
    int format;
  } columns[] = {{L"Time", 28, LVCFMT_LEFT}, {L"Folder", 32, LVCFMT_LEFT}, {L"Renamed", 12, LVCFMT_RIGHT},
                 {L"Match \u2192 Replace", 28, LVCFMT_LEFT}};
  for (int i = 0; i < 4; ++i) {
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.fmt = columns[i].format;
    column.cx = width * columns[i].share / 100;
    column.pszText = const_cast<wchar_t*>(columns[i].title);
    SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
  }
  fillRuns(dialog, window);
}

void takeBackChosen(HWND dialog, RunsWindow& window) {
  const int chosen = static_cast<int>(SendDlgItemMessageW(dialog, kRunsList, LVM_GETNEXTITEM, -1, LVNI_SELECTED));
  if (chosen < 0 || chosen >= static_cast<int>(window.runs.size())) return;
  const KeptRun& kept = window.runs[chosen];
  const std::wstring refusal = whyNot(kept);
  if (!refusal.empty()) {
    MessageBoxW(dialog, refusal.c_str(), kCaption, MB_OK | MB_ICONINFORMATION);
    return;
  }
  const std::wstring question = L"Rename the " + std::to_wstring(kept.run.renamedRows()) +
                                L" item(s) of this run back to their old names?\n\n" + summarize(kept).change;
  if (MessageBoxW(dialog, question.c_str(), kCaption, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
  Win32FileSystem fileSystem(dialog);
  RenamePlan listing = [&] {
    // The list takes no input while the run goes back, and is answering and enabled again
    // before the results open over it.
    const std::unique_ptr<RunProgress> progress = startShellProgress(dialog, L"Taking back");
    return takeBack(kept, fileSystem, &window.journals, progress.get());
  }();
  showResultsDialog(dialog, listing);
  fillRuns(dialog, window);
}

INT_PTR CALLBACK runsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  RunsWindow* window = reinterpret_cast<RunsWindow*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      guarded(dialog, [&] { initialiseRuns(dialog, *reinterpret_cast<RunsWindow*>(lParam)); });
      return TRUE;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (window && header->idFrom == kRunsList && header->code == NM_DBLCLK) guarded(dialog, [&] { takeBackChosen(dialog, *window); });
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK && window) guarded(dialog, [&] { takeBackChosen(dialog, *window); });
      if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 0);
      return TRUE;
    default:
      return FALSE;
  }
}

void printRuns(Win32JournalFolder& journals) {
  Win32FileSystem fileSystem;
  for (const KeptRun& kept : keptRuns(journals, fileSystem)) {
    const RunSummary summary = summarize(kept);
    printUtf8(kept.name + L"\t" + summary.time + L"\t" + summary.renamed + L"\t" + summary.folder + L"\t" + summary.change + L"\n");
  }
}

void printListing(const RenamePlan& listing) {
  printUtf8(listing.front().baseFolder + L"\n");
  for (std::size_t i = 1; i < listing.size(); ++i) {
    const RenameEntry& entry = listing[i];
    printUtf8(entry.baseFolder + entry.currentPath + (entry.failed ? L" " + entry.errorText : L" -> " + entry.newPath) + L"\n");
  }
}

int takeBackLast(Win32JournalFolder& journals, bool quiet) {
  Win32FileSystem fileSystem;
  const std::vector<KeptRun> runs = keptRuns(journals, fileSystem);
  const std::wstring refusal = runs.empty() ? LARK_WIDE(LARK_PRODUCT_NAME) L" has no rename on record." : whyNot(runs.front());
  if (!refusal.empty()) {
    if (quiet) {
      printUtf8(refusal + L"\n");
    } else {
      MessageBoxW(nullptr, refusal.c_str(), kCaption, MB_OK | MB_ICONINFORMATION);
    }
    return kNothingToTakeBack;
  }
  // A script's run (/quiet) never opens a window, the progress window included.
  std::unique_ptr<RunProgress> progress = quiet ? nullptr : startShellProgress(nullptr, L"Taking back");
  RenamePlan listing = takeBack(runs.front(), fileSystem, &journals, progress.get());
  progress.reset();
  if (quiet) {
    printListing(listing);
  } else {
    showResultsDialog(nullptr, listing);
  }
  return outcomeOf(listing);
}

struct Options {
  std::wstring folder;
  bool list = false;
  bool last = false;
  bool quiet = false;
};

// False when the line is not one the program takes; bad then says why.
bool parse(const std::vector<std::wstring>& arguments, Options& options, std::wstring& bad) {
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::wstring& argument = arguments[i];
    if (_wcsicmp(argument.c_str(), L"/journal") == 0 && i + 1 < arguments.size()) {
      options.folder = arguments[++i];
    } else if (_wcsicmp(argument.c_str(), L"/list") == 0) {
      options.list = true;
    } else if (_wcsicmp(argument.c_str(), L"/last") == 0) {
      options.last = true;
    } else if (_wcsicmp(argument.c_str(), L"/quiet") == 0) {
      options.quiet = true;
    } else {
      bad = L"Unknown argument: " + argument;
      return false;
    }
  }
  // Without /last the program would show its list, a window that /quiet promises never to open.
  if (options.quiet && !options.last && !options.list) bad = L"/quiet goes with /last";
  return bad.empty();
}

int run(const std::vector<std::wstring>& arguments) {
  Options options;
  std::wstring bad;
  if (!parse(arguments, options, bad)) {
    // A script's mistake: said where a script reads, never in a window it would wait on.
    printUtf8(bad + L"\nUsage: LarkspindleUndo [/journal FOLDER] [/list | /last [/quiet]]\n", STD_ERROR_HANDLE);
    return kUnknownArgument;
  }
  Win32JournalFolder journals(options.folder);
  if (options.list) {
    printRuns(journals);
    return kTookBackAll;
  }
  if (options.last) return takeBackLast(journals, options.quiet);
  RunsWindow window{journals, {}};
  DialogBoxParamW(thisModule(), MAKEINTRESOURCEW(kRunsDialog), nullptr, runsDialogProc, reinterpret_cast<LPARAM>(&window));
  return kTookBackAll;
}

// Whether the line asks for a run without windows, read without allocating, so that it is
// known whatever fails later.
bool windowless(int count, LPWSTR* words) {
  for (int i = 1; words && i < count; ++i) {
    if (_wcsicmp(words[i], L"/quiet") == 0 || _wcsicmp(words[i], L"/list") == 0) return true;
  }
  return false;
}

// No exception ends the program through std::terminate, which aborts it with code 3 and
// no word of why: each is reported, with an exit code of its own.
int guardedRun(int count, LPWSTR* words) {
  const bool inWindow = !windowless(count, words);
  try {
    std::vector<std::wstring> arguments;
    for (int i = 1; words && i < count; ++i) arguments.emplace_back(words[i]);
    return run(arguments);
  } catch (const std::exception& error) {
    reportFailure(inWindow, error.what());
  } catch (...) {
    reportFailure(inWindow, nullptr);
  }
  return kFailed;
}

}  // namespace
}  // namespace lark

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  // Started from a console without its output redirected: print there.
  const auto missing = [](DWORD stream) {
    const HANDLE handle = GetStdHandle(stream);
    return handle == nullptr || handle == INVALID_HANDLE_VALUE;
  };
  const bool noOutput = missing(STD_OUTPUT_HANDLE);
  const bool noErrors = missing(STD_ERROR_HANDLE);
  if ((noOutput || noErrors) && AttachConsole(ATTACH_PARENT_PROCESS)) {
    for (const DWORD stream : {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
      if (stream == STD_OUTPUT_HANDLE ? noOutput : noErrors) {
        SetStdHandle(stream, CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
      }
    }
  }
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  int count = 0;
  LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
  // The shell's file operations want a single-threaded apartment.
  OleInitialize(nullptr);
  const int code = lark::guardedRun(count, words);
  OleUninitialize();
  LocalFree(words);
  return code;
}
