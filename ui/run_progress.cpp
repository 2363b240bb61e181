// The shell's progress window over a run, and the run's window kept answering.
//
// Why this mechanism: the run goes on on the window's own thread (the shell's file
// operations want that apartment, and the engine's rows are in order), so the thread's
// queue is pumped between rows, which is what keeps the sheet painting, answering the
// system (no "Not Responding", no ghost window) and the page's timer ticking. A pumped
// queue would also deliver clicks and keys, so the sheet is disabled for the run exactly
// as a modal dialog disables its owner: the system then sends no input to it, its Close
// box and Cancel included, with no filtering of our own. The progress window itself is the
// shell's IProgressDialog, which runs on a thread of its own, so its Cancel answers even
// while a slow rename holds this thread.
#include "ui/run_progress.h"

#include <shlobj.h>

#include "win32/handles.h"

namespace lark {
namespace {

// Explicit constants rather than the import library's, as for every GUID we use.
const CLSID kProgressDialogClass = {0xF8383852, 0xFCD3, 0x11D1, {0xA6, 0xB9, 0x00, 0x60, 0x97, 0xDF, 0x5B, 0xD4}};
const IID kProgressDialogInterface = {0xEBBC7C04, 0x315E, 0x11D2, {0xB6, 0x2F, 0x00, 0x60, 0x97, 0xDF, 0x5B, 0xD4}};

// The window's text is refreshed at most this often: each refresh is three messages to
// the progress window's thread (about 2 ms under Wine), and a person reads no faster.
constexpr std::uint64_t kRefreshPeriod = 250;

// The queue is pumped at most this often. A look at an empty queue is a trip to the
// window server under Wine (about 0.1 ms); at every row of a run of short renames that
// alone cost 2% of the renames' own time. Twenty milliseconds keeps every message well
// inside the 100 ms in which the system expects a window to answer.
constexpr std::uint64_t kPumpPeriod = 20;

class ShellProgress : public RunProgress {
 public:
  ShellProgress(HWND window, std::wstring title, ProgressTiming timing)
      : owner_(window ? GetAncestor(window, GA_ROOT) : nullptr),
        focus_(GetFocus()),
        title_(std::move(title)),
        timing_(std::move(timing)),
        start_(timing_.now()),
        pumped_(start_) {
    // EnableWindow answers whether the window was disabled before: one that already was
    // (by someone else's modal window) is left for its owner to enable again.
    disabled_ = owner_ != nullptr && !EnableWindow(owner_, FALSE);
  }

  ~ShellProgress() override {
    // Enabled before the progress window goes, as a modal dialog hands activation back
    // to its owner, so that the system activates the sheet and not some other program.
    if (disabled_) EnableWindow(owner_, TRUE);
    if (dialog_) dialog_->StopProgressDialog();
    if (disabled_ && focus_ && IsWindow(focus_)) SetFocus(focus_);
  }

  ShellProgress(const ShellProgress&) = delete;
  ShellProgress& operator=(const ShellProgress&) = delete;

  bool next(std::size_t done, std::size_t total, const std::wstring& item) override {
    const std::uint64_t now = timing_.now();
    if (now - pumped_ >= kPumpPeriod) {
      pumped_ = now;
      pump();
    }
    if (!dialog_ && !unavailable_ && done < total && now - start_ >= timing_.delay) open();
    if (!dialog_) return true;
    if (!shownOnce_ || now - refreshed_ >= kRefreshPeriod) {
      shownOnce_ = true;
      refreshed_ = now;
      const std::wstring count = groupedNumber(done + 1) + L" of " + groupedNumber(total);
      dialog_->SetLine(1, count.c_str(), FALSE, nullptr);
      dialog_->SetLine(2, item.c_str(), TRUE, nullptr);
      dialog_->SetProgress64(done, total);
    }
    return !dialog_->HasUserCancelled();
  }

 private:
  void open() {
    // Without the shell's window (no COM on this thread, or no such class) the run goes
    // on as before, still answering; it is asked once, not at every row.
    unavailable_ = true;
    if (FAILED(CoCreateInstance(kProgressDialogClass, nullptr, CLSCTX_INPROC_SERVER, kProgressDialogInterface,
                                dialog_.putVoid()))) {
      dialog_.reset();
      return;
    }
    dialog_->SetTitle(title_.c_str());
    if (FAILED(dialog_->StartProgressDialog(owner_, nullptr, PROGDLG_NORMAL | PROGDLG_AUTOTIME | PROGDLG_NOMINIMIZE,
                                            nullptr))) {
      dialog_.reset();
    }
  }

  // Everything waiting for this thread: paint, timers, the system's and other programs'
  // sent messages. A WM_QUIT belongs to the loop outside the run: it is put back and the
  // pumping ends, or the next PeekMessage would take it again at once.
  void pump() {
    if (quitSeen_) return;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(message.wParam));
        quitSeen_ = true;
        return;
      }
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }

  HWND owner_;
  HWND focus_;
  std::wstring title_;
  ProgressTiming timing_;
  std::uint64_t start_;
  std::uint64_t pumped_;
  bool disabled_ = false;
  bool unavailable_ = false;
  bool quitSeen_ = false;
  bool shownOnce_ = false;
  std::uint64_t refreshed_ = 0;
  ComPtr<IProgressDialog> dialog_;
};

}  // namespace

ProgressTiming ProgressTiming::standard() { return ProgressTiming{[] { return GetTickCount64(); }, 1000}; }

std::unique_ptr<RunProgress> startShellProgress(HWND window, const std::wstring& title, ProgressTiming timing) {
  return std::make_unique<ShellProgress>(window, title, std::move(timing));
}

std::wstring groupedNumber(std::uint64_t value) {
  wchar_t separator[8] = {};
  if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, separator, 8) == 0) separator[0] = L'\0';
  const std::wstring digits = std::to_wstring(value);
  std::wstring grouped;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i != 0 && (digits.size() - i) % 3 == 0) grouped += separator;
    grouped += digits[i];
  }
  return grouped;
}

}  // namespace lark
