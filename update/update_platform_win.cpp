// The Windows half of the update check: WinINet download, worker threads that keep the
// module loaded, and the module's own version resource.
#include <windows.h>
#include <wininet.h>

#include <stdexcept>
#include <vector>

#include "build_config.h"
#include "update/update_checker.h"
#include "win32/handles.h"
#include "win32/module.h"

namespace lark {

namespace {

class WinInetDownload : public VersionDownload {
 public:
  void open(const std::wstring& url) override {
    root_.reset(InternetOpenW(LARK_WIDE(LARK_PRODUCT_NAME), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!root_) throw std::runtime_error("InternetOpen() failed");
    // Always from the server, never from the cache, and never a dialog inside the shell.
    const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_RAW_DATA | INTERNET_FLAG_NO_UI;
    url_.reset(InternetOpenUrlW(root_.get(), url.c_str(), nullptr, 0, flags, 0));
    if (!url_) throw std::runtime_error("InternetOpenUrl() failed");
  }

  std::size_t read(char* buffer, std::size_t size) override {
    DWORD count = 0;
    if (!InternetReadFile(url_.get(), buffer, static_cast<DWORD>(size), &count)) {
      throw std::runtime_error("InternetReadFile() failed");
    }
    return count;
  }

 private:
  // The request is closed before the session that carries it.
  UniqueInternetHandle root_;
  UniqueInternetHandle url_;
};

struct WorkerStart {
  std::shared_ptr<UpdateCheck> check;
  DownloadFactory download;
  UniqueLibrary module;
};

DWORD WINAPI workerMain(void* argument) {
  HMODULE module = nullptr;
  {
    std::unique_ptr<WorkerStart> start(static_cast<WorkerStart*>(argument));
    module = start->module.release();
    try {
      if (auto source = start->download()) runUpdateWorker(*start->check, *source);
    } catch (...) {
      // Making the download failed: nothing is published.
    }
  }
  // The checker may be long gone and the shell may have released the DLL: the worker's
  // own reference keeps this code mapped until the thread is out of it.
  if (module) FreeLibraryAndExitThread(module, 0);
  return 0;
}

}  // namespace

struct WorkerThread::Running {
  UniqueKernelHandle thread;
};

std::unique_ptr<VersionDownload> makeWinInetDownload() { return std::make_unique<WinInetDownload>(); }

UpdateChecker::UpdateChecker(const std::wstring& url) : UpdateChecker(url, makeWinInetDownload) {}

void startUpdateCheck(RenameState& state) { startUpdateCheck(state, makeWinInetDownload); }

std::uint32_t moduleVersion() {
  std::vector<wchar_t> path(2048);
  const DWORD length = GetModuleFileNameW(thisModule(), path.data(), static_cast<DWORD>(path.size()));
  if (length == 0 || length >= path.size()) return 0;
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.data(), &ignored);
  if (size == 0) return 0;
  std::vector<unsigned char> block(size);
  if (!GetFileVersionInfoW(path.data(), 0, size, block.data())) return 0;
  void* value = nullptr;
  UINT valueLength = 0;
  if (!VerQueryValueW(block.data(), L"\\", &value, &valueLength) || valueLength != sizeof(VS_FIXEDFILEINFO)) return 0;
  const auto* info = static_cast<const VS_FIXEDFILEINFO*>(value);
  auto clamp = [](DWORD part) { return part > 255 ? 255u : static_cast<std::uint32_t>(part); };
  return clamp(HIWORD(info->dwFileVersionMS)) << 24 | clamp(LOWORD(info->dwFileVersionMS)) << 16 |
         clamp(HIWORD(info->dwFileVersionLS)) << 8 | clamp(LOWORD(info->dwFileVersionLS));
}

WorkerThread::WorkerThread(std::shared_ptr<UpdateCheck> check, DownloadFactory download,
                           std::chrono::milliseconds finishBound)
    : finishBound_(finishBound) {
  // Everything that can fail is made before the thread: once it runs, nothing throws.
  auto running = std::make_unique<Running>();
  auto start = std::make_unique<WorkerStart>(WorkerStart{std::move(check), std::move(download), referenceThisModule()});
  running->thread.reset(CreateThread(nullptr, 0, workerMain, start.get(), 0, nullptr));
  if (!running->thread) return;  // the start record, and with it the module reference, go now
  start.release();               // the worker's now
  running_ = std::move(running);
}

WorkerThread::~WorkerThread() {
  if (running_) WaitForSingleObject(running_->thread.get(), static_cast<DWORD>(finishBound_.count()));
}

}  // namespace lark
