// An arbitrary version file through the real worker, the checker's poll and what the
// check reports to the page, against the page's own version. Stops on a wrong answer as
// well as a crash: a newer version found where none was published, an address off the
// maker's site, or one holding a character an address would have to escape.
#include <cstdlib>
#include <cstring>
#include <future>
#include <memory>
#include <string>

#include "engine/rename_state.h"
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

// Every character after the scheme is one an address may hold unescaped, or a %-escape
// of two hex digits; only the trailing blanks and line break a browser drops are not.
bool holdsOnlyAddressCharacters(const std::wstring& address) {
  static const std::wstring kHex = L"0123456789ABCDEFabcdef";
  static const std::wstring kAllowed = kHex + L"GHIJKLMNOPQRSTUVWXYZghijklmnopqrstuvwxyz-._~:/?#[]@!$&'()*+,;=";
  std::size_t end = address.size();
  while (end > 0 && address[end - 1] <= L' ') --end;
  for (std::size_t at = address.find(L"://") + 3; at < end; ++at) {
    if (address[at] == L'%') {
      if (at + 2 >= end || kHex.find(address[at + 1]) == std::wstring::npos ||
          kHex.find(address[at + 2]) == std::wstring::npos) {
        return false;
      }
      at += 2;
    } else if (kAllowed.find(address[at]) == std::wstring::npos) {
      return false;
    }
  }
  return true;
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
  std::promise<void> done;
  std::future<void> finished = done.get_future();
  lark::startUpdateCheck(state, [&] { return std::make_unique<BodyDownload>(body, chunk, done); });
  finished.wait();

  const lark::UpdateFinding found = lark::findUpdate(state.updateChecker.get(), ownVersion, lark::linkHosts());
  const std::string text = textAsRead(body, chunk);
  const bool published = text.rfind("PLONK! ", 0) == 0 && text.size() <= lark::kMaxVersionFileSize;
  if (found.newerVersion) {
    require(published);
    const std::size_t space = text.find(' ', 7);
    require(space != std::string::npos && lark::parseVersionText(text.substr(7, space - 7)) > ownVersion);
  }
  // Whatever the body says, a click opens the maker's site or an address on it.
  require(found.address.empty() || (found.newerVersion && lark::isSiteAddress(found.address, lark::linkHosts())));
  // Nothing in it can end the browser's argument on the command line the shell builds.
  require(found.address.empty() || holdsOnlyAddressCharacters(found.address));
  return 0;
}
