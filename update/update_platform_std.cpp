// Worker threads for the update check on platforms other than Windows, where the engine
// and its tests run natively: std::thread, and a bounded wait on a condition variable.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "update/update_checker.h"

namespace lark {

// What the checker and a detached worker share: the worker may outlive the bounded wait.
struct WorkerThread::Running {
  struct Done {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
  };
  std::shared_ptr<Done> done = std::make_shared<Done>();
};

// There is no version resource outside a Windows module: the version cannot be read.
std::uint32_t moduleVersion() { return 0; }

WorkerThread::WorkerThread(std::shared_ptr<UpdateCheck> check, DownloadFactory download,
                           std::chrono::milliseconds finishBound)
    : finishBound_(finishBound) {
  auto running = std::make_unique<Running>();
  try {
    std::thread([check, download, done = running->done] {
      try {
        if (auto source = download()) runUpdateWorker(*check, *source);
      } catch (...) {
        // Making the download failed: nothing is published.
      }
      std::lock_guard<std::mutex> lock(done->mutex);
      done->done = true;
      done->finished.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    return;  // no thread: nothing to wait for
  }
  running_ = std::move(running);
}

WorkerThread::~WorkerThread() {
  if (!running_) return;
  Running::Done& done = *running_->done;
  std::unique_lock<std::mutex> lock(done.mutex);
  done.finished.wait_for(lock, finishBound_, [&done] { return done.done; });
}

}  // namespace lark
