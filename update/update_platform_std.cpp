// Worker threads for the update check on platforms other than Windows, where the engine
// and its tests run natively: std::thread, and a bounded wait on a condition variable.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "update/update_checker.h"

namespace lark {

namespace {

struct StdWorker {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
};

}  // namespace

// There is no version resource outside a Windows module: the version cannot be read.
std::uint32_t moduleVersion() { return 0; }

namespace detail {

void* startWorkerThread(std::shared_ptr<UpdateCheck> check, DownloadFactory download) {
  auto worker = std::make_shared<StdWorker>();
  try {
    std::thread([check, download, worker] {
      try {
        if (auto source = download()) runUpdateWorker(*check, *source);
      } catch (...) {
        // Making the download failed: nothing is published.
      }
      std::lock_guard<std::mutex> lock(worker->mutex);
      worker->done = true;
      worker->finished.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    return nullptr;
  }
  return new std::shared_ptr<StdWorker>(std::move(worker));
}

void finishWorkerThread(void* handle) {
  std::unique_ptr<std::shared_ptr<StdWorker>> owned(static_cast<std::shared_ptr<StdWorker>*>(handle));
  StdWorker& worker = **owned;
  std::unique_lock<std::mutex> lock(worker.mutex);
  worker.finished.wait_for(lock, std::chrono::milliseconds(1000), [&worker] { return worker.done; });
}

}  // namespace detail
}  // namespace lark
