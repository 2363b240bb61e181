// The portable half of the update check: the worker's body, the published text and the
// page-side poll. The threads and the download live in the platform files.
#include "update/update_checker.h"

#include <cstring>
#include <stdexcept>

#include "build_config.h"
#include "engine/text.h"
#include "engine/page_controls.h"
#include "engine/platform.h"
#include "engine/rename_state.h"

namespace lark {

namespace {

const char kMarker[] = "PLONK! ";
constexpr std::size_t kChunkSize = 128;

// atoi's rule on one component, in unsigned arithmetic so that huge or negative
// numbers wrap instead of overflowing.
std::uint32_t componentValue(const std::string& part) {
  std::size_t at = 0;
  while (at < part.size() && (part[at] == ' ' || (part[at] >= '\t' && part[at] <= '\r'))) ++at;
  bool negative = false;
  if (at < part.size() && (part[at] == '+' || part[at] == '-')) negative = part[at++] == '-';
  std::uint32_t value = 0;
  for (; at < part.size() && part[at] >= '0' && part[at] <= '9'; ++at) value = value * 10u + (part[at] - '0');
  return negative ? 0u - value : value;
}

}  // namespace

std::uint32_t parseVersionText(const std::string& text) {
  std::uint32_t result = 0;
  int shift = 24;
  std::string rest = text;
  do {
    const auto dot = rest.find('.');
    const std::string part = rest.substr(0, dot);
    rest = dot == std::string::npos ? std::string() : rest.substr(dot + 1);
    result |= componentValue(part) << shift;
    shift -= 8;
  } while (!rest.empty() && shift >= 0);
  return result;
}

std::wstring versionFileUrl() {
  return L"http://" LARK_WIDE(LARKSPINDLE_SITE_HOST) L"/Downloads/LarkspindleLatestVersion.txt";
}

void runUpdateWorker(UpdateCheck& check, VersionDownload& download) {
  try {
    download.open(check.url);
    std::string text;
    bool moreData = true;
    while (moreData) {
      if (check.cancelRequested.load(std::memory_order_acquire)) throw std::runtime_error("Operation Cancelled by Client!");
      char buffer[kChunkSize + 1] = {};
      const std::size_t count = download.read(buffer, kChunkSize);
      if (count == 0) {
        moreData = false;
      } else {
        buffer[count] = '\0';
        // Appended as a C string: a NUL inside the body drops the rest of its chunk.
        text.append(buffer);
        // The shell's own process must not grow by whatever a server chooses to send.
        if (text.size() > kMaxVersionFileSize) throw std::runtime_error("Version file too large");
      }
    }
    if (check.cancelRequested.load(std::memory_order_acquire)) throw std::runtime_error("Operation Cancelled by Client!");
    if (text.find(kMarker) == 0) {
      check.resultText = text.substr(std::strlen(kMarker));
      check.resultReady.store(true, std::memory_order_release);
    }
  } catch (...) {
    // The check never reports anything: a failure simply leaves the link as it is.
  }
}

UpdateChecker::UpdateChecker(const std::wstring& url, DownloadFactory download)
    : check(std::make_shared<UpdateCheck>(url)), worker(check, std::move(download)) {}

// The flag first; the worker's own destructor then waits for it.
UpdateChecker::~UpdateChecker() { check->cancelRequested.store(true, std::memory_order_release); }

bool UpdateChecker::poll(std::uint32_t& version, std::wstring& link) const {
  if (!check->resultReady.load(std::memory_order_acquire)) return false;
  const std::string& text = check->resultText;
  const auto space = text.find(' ');
  if (space == std::string::npos) return false;
  version = parseVersionText(text.substr(0, space));
  link = widenText(text.substr(space + 1));
  return true;
}

void startUpdateCheck(RenameState& state, DownloadFactory download) {
  auto fresh = std::make_unique<UpdateChecker>(versionFileUrl(), std::move(download));
  std::unique_ptr<VersionCheck> previous = std::move(state.updateChecker);
  state.updateChecker = std::move(fresh);
  previous.reset();
}

bool isWebAddress(const std::wstring& link) {
  auto startsWith = [&link](const wchar_t* prefix) {
    const std::size_t length = std::wcslen(prefix);
    if (link.size() < length) return false;
    for (std::size_t i = 0; i < length; ++i) {
      wchar_t unit = link[i];
      if (unit >= L'A' && unit <= L'Z') unit = static_cast<wchar_t>(unit - L'A' + L'a');
      if (unit != prefix[i]) return false;
    }
    return true;
  };
  return startsWith(L"http://") || startsWith(L"https://");
}

void pollUpdateLink(RenameState& state, PageSurface& page, std::uint32_t ownVersion) {
  std::uint32_t version = 0;
  std::wstring link;
  if (!state.updateChecker || !state.updateChecker->poll(version, link)) return;
  if (version <= ownVersion) return;
  page.setControlText(kSiteLink, L"Update Available - Click Here!");
  page.showControl(kSiteLink, state.updateLinkVisible);
  // The link comes from an unauthenticated download and a click hands it to the shell:
  // only a web address may take the place of the maker's site. The newer version is
  // still announced either way.
  if (isWebAddress(link)) state.siteUrl = link;
  state.updateLinkVisible = !state.updateLinkVisible;
}

void pollUpdateLink(RenameState& state, PageSurface& page) { pollUpdateLink(state, page, moduleVersion()); }

}  // namespace lark
