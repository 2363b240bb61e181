// An arbitrary version file through the real worker, the checker's poll and the page's
// link, against the page's own version. Stops on a wrong answer as well as a crash: a
// link announced without a newer published version, or a site address that is not a
// web address.
#include <cstdlib>
#include <cstring>
#include <future>
#include <memory>
#include <string>

#include "engine/page_controls.h"
#include "engine/rename_state.h"
#include "tests/support/fakes.h"
#include "update/update_checker.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

// Hands out the body in chunks of a given size; its end tells that the worker is done.
class BodyDownload : public lark::VersionDownload {
 public:
  BodyDownload(std::string body, std::size_t chunk, std::promise<void>& done)
      : body_(std::move(body)), chunk_(chunk), done_(done) {}
  ~BodyDownload() override { done_.set_value(); }
  void open(const std::wstring&) override {}
  std::size_t read(char* buffer, std::size_t size) override {
    const std::size_t count = std::min({size, chunk_, body_.size() - offset_});
    std::memcpy(buffer, body_.data() + offset_, count);
    offset_ += count;
    return count;
  }

 private:
  std::string body_;
  std::size_t chunk_;
  std::size_t offset_ = 0;
  std::promise<void>& done_;
};

// What the worker is meant to have read: the body in reads of at most 128 bytes, each
// taken as a C string, so that a NUL drops the rest of its read.
std::string textAsRead(const std::string& body, std::size_t chunk) {
  const std::size_t step = std::min<std::size_t>(chunk, 128);
  std::string text;
  for (std::size_t at = 0; at < body.size(); at += step) text.append(body.substr(at, step).c_str());
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  std::uint32_t ownVersion = 0;
  std::memcpy(&ownVersion, data, 4);
  const std::size_t chunk = 1 + data[4] % 128;
  const std::string body(reinterpret_cast<const char*>(data) + 5, size - 5);
  lark::parseVersionText(body);

  lark::RenameState state;
  const std::wstring defaultSite = state.siteUrl;
  std::promise<void> done;
  std::future<void> finished = done.get_future();
  lark::startUpdateCheck(state, [&] { return std::make_unique<BodyDownload>(body, chunk, done); });
  finished.wait();

  lark::fakes::RecordingPage page;
  for (int tick = 0; tick < 3; ++tick) lark::pollUpdateLink(state, page, ownVersion);

  const std::string text = textAsRead(body, chunk);
  const bool published = text.rfind("PLONK! ", 0) == 0 && text.size() <= lark::kMaxVersionFileSize;
  const bool announced = page.texts.count(kSiteLink) != 0;
  if (announced) {
    require(published);
    require(page.texts[kSiteLink] == L"Update Available - Click Here!");
    require(state.updateLinkVisible == false);  // three ticks: shown, hidden, shown, then flipped
  }
  if (!published) require(!announced && state.siteUrl == defaultSite);
  // Whatever the body says, a click opens the maker's site or an address on it.
  require(state.siteUrl == defaultSite || lark::isSiteAddress(state.siteUrl, lark::linkHosts()));
  return 0;
}
