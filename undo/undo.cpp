// LarkspindleUndo: lists the rename runs the extension journaled, newest first, and takes
// the chosen one back.
//   LarkspindleUndo [/journal FOLDER] [/list | /last [/quiet]]
// /list prints the runs; /last takes the newest run back without the list and shows what
// happened (with /quiet, prints it instead). Exit code: 0 when every renamed row went
// back, 1 when some could not, 2 when there was no run to take back.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "build_config.h"
#include "engine/take_back.h"
#include "ui/error_reporting.h"
#include "ui/results_dialog.h"
#include "undo/undo_ids.h"
#include "win32/file_system.h"
#include "win32/journal_folder.h"
#include "win32/module.h"

namespace lark {
namespace {

constexpr int kTookBackAll = 0;
constexpr int kSomeRefused = 1;
constexpr int kNothingToTakeBack = 2;
const wchar_t kCaption[] = LARK_WIDE(LARK_UNDO_TITLE);

// Why a kept run cannot be taken back, or empty when it can.
std::wstring whyNot(const KeptRun& kept) {
  if (!kept.error.empty()) return L"The journal " + kept.name + L" cannot be read: " + kept.error + L".";
  if (kept.inProgress) return L"That rename is still going. Take it back once it has finished.";
  if (kept.run.renamedRows() == 0) return L"That run renamed nothing.";
  return std::wstring();
}

// UTF-8 to the standard output, straight to its handle: a file or pipe a script gave,
// or the console the program was started from.
void printUtf8(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), size, nullptr, nullptr);
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
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
  RenamePlan listing = takeBack(kept, fileSystem, &window.journals);
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
  RenamePlan listing = takeBack(runs.front(), fileSystem, &journals);
  if (quiet) {
    printListing(listing);
  } else {
    showResultsDialog(nullptr, listing);
  }
  return outcomeOf(listing);
}

int run(const std::vector<std::wstring>& arguments) {
  std::wstring folder;
  bool list = false;
  bool last = false;
  bool quiet = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::wstring& argument = arguments[i];
    if (_wcsicmp(argument.c_str(), L"/journal") == 0 && i + 1 < arguments.size()) {
      folder = arguments[++i];
    } else if (_wcsicmp(argument.c_str(), L"/list") == 0) {
      list = true;
    } else if (_wcsicmp(argument.c_str(), L"/last") == 0) {
      last = true;
    } else if (_wcsicmp(argument.c_str(), L"/quiet") == 0) {
      quiet = true;
    } else {
      const std::wstring usage = L"Unknown argument: " + argument + L"\n\nLarkspindleUndo [/journal FOLDER] [/list | /last [/quiet]]";
      MessageBoxW(nullptr, usage.c_str(), kCaption, MB_OK | MB_ICONERROR);
      return kNothingToTakeBack;
    }
  }
  Win32JournalFolder journals(folder);
  if (list) {
    printRuns(journals);
    return kTookBackAll;
  }
  if (last) return takeBackLast(journals, quiet);
  RunsWindow window{journals, {}};
  DialogBoxParamW(thisModule(), MAKEINTRESOURCEW(kRunsDialog), nullptr, runsDialogProc, reinterpret_cast<LPARAM>(&window));
  return kTookBackAll;
}

}  // namespace
}  // namespace lark

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  // Started from a console without its output redirected: print there.
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  if ((output == nullptr || output == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS)) {
    SetStdHandle(STD_OUTPUT_HANDLE, CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  }
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  int count = 0;
  LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::wstring> arguments;
  for (int i = 1; words && i < count; ++i) arguments.emplace_back(words[i]);
  LocalFree(words);
  // The shell's file operations want a single-threaded apartment.
  OleInitialize(nullptr);
  const int code = lark::run(arguments);
  OleUninitialize();
  return code;
}
