// The background check for a newer published version: fetch, read, publish, and what it found.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/platform.h"

namespace lark {

struct RenameState;

// Packs "major.minor.build.revision" into 8 bits each, from the top, by atoi's rule.
std::uint32_t parseVersionText(const std::string& text);

// The packed file version of this module; 0 when it cannot be read.
std::uint32_t moduleVersion();

// The version file's address on the maker's site.
std::wstring versionFileUrl();

// A body larger than this is not a version file; reading stops and nothing is published.
constexpr std::size_t kMaxVersionFileSize = 64 * 1024;

// One download of the version file, read in small chunks. Failures throw a runtime
// error; the worker discards them.
class VersionDownload {
 public:
  virtual ~VersionDownload() = default;
  virtual void open(const std::wstring& url) = 0;
  // Reads at most `size` bytes into `buffer`; 0 at the end of the body.
  virtual std::size_t read(char* buffer, std::size_t size) = 0;
};
using DownloadFactory = std::function<std::unique_ptr<VersionDownload>()>;

// What a checker and its worker share. Freed by whichever lets go of it last, so a
// worker that outlives the checker's bounded wait never touches freed memory.
struct UpdateCheck {
  explicit UpdateCheck(std::wstring address) : url(std::move(address)) {}
  std::atomic<bool> cancelRequested{false};
  const std::wstring url;
  std::atomic<bool> resultReady{false};
  std::string resultText;  // written before resultReady is set, never after
};

// The worker's whole body: download, check the marker, publish. Never throws.
void runUpdateWorker(UpdateCheck& check, VersionDownload& download);

// How long the end of a check waits for its worker. The sheet closes no later than
// that, and a worker stuck in a read is left to finish on its own.
constexpr std::chrono::milliseconds kWorkerFinishBound{1000};

// The thread that runs one worker: started on construction (or not at all, when the
// platform refuses a thread), and on destruction waited for at most finishBound. Each
// platform file supplies its own.
class WorkerThread {
 public:
  WorkerThread(std::shared_ptr<UpdateCheck> check, DownloadFactory download, std::chrono::milliseconds finishBound);
  ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

 private:
  struct Running;
  std::unique_ptr<Running> running_;
  std::chrono::milliseconds finishBound_;
};

class UpdateChecker final : public VersionCheck {
 public:
#if defined(_WIN32)
  // Downloads with WinINet.
  explicit UpdateChecker(const std::wstring& url);
#endif
  // The bound is handed in so that tests need not spend a second of real time on it.
  UpdateChecker(const std::wstring& url, DownloadFactory download,
                std::chrono::milliseconds finishBound = kWorkerFinishBound);
  // Cancels the worker and waits for it, at most the finish bound.
  ~UpdateChecker() override;
  UpdateChecker(const UpdateChecker&) = delete;
  UpdateChecker& operator=(const UpdateChecker&) = delete;

  // False until a result is published, and when the result has no space; otherwise the
  // packed version and the link text (every byte after the first space).
  bool poll(std::uint32_t& version, std::wstring& link) const override;

 private:
  // Members go in reverse: the worker's wait ends before the shared record is let go.
  std::shared_ptr<UpdateCheck> check;
  WorkerThread worker;
};

// Starts a check for the version file and puts it in the state; the check it replaces
// is destroyed afterwards, so the new one is running before the old one is cancelled.
#if defined(_WIN32)
void startUpdateCheck(RenameState& state);
// The WinINet download that checks use on Windows.
std::unique_ptr<VersionDownload> makeWinInetDownload();
#endif
void startUpdateCheck(RenameState& state, DownloadFactory download);

// What a check has found: whether it names a version newer than ownVersion, and the
// address a click may open in the site's place, empty when the version file named none
// on the maker's site or a configured host. Nothing is found without a check, or before
// it has published a version and a link.
struct UpdateFinding {
  bool newerVersion = false;
  std::wstring address;
};
UpdateFinding findUpdate(const VersionCheck* check, std::uint32_t ownVersion, const std::vector<std::wstring>& hosts);

// The hosts whose addresses the link may open, each with its subdomains: the maker's
// site host (without a leading "www.") and the extra hosts a distributor configured,
// separated by ';', ',' or blanks. Without arguments, the build's own, read once.
std::vector<std::wstring> linkHosts(const std::string& siteHost, const std::string& extraHosts);
const std::vector<std::wstring>& linkHosts();

// True for an address a click may hand to the shell: http:// or https:// in any case,
// then one of the hosts or a subdomain of one, in any case, with or without a port, and
// after the scheme only RFC 3986's unreserved and reserved characters and %-escapes of two
// hex digits (trailing blanks and line breaks aside).
bool isSiteAddress(const std::wstring& link, const std::vector<std::wstring>& hosts);

}  // namespace lark
