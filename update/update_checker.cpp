// The portable half of the update check: the worker's body, the published text and the
// page-side poll. The threads and the download live in the platform files.
#include "update/update_checker.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <stdexcept>

#include "build_config.h"
#include "engine/text.h"
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
  return LARK_WIDE(LARKSPINDLE_SITE_URL) L"Downloads/LarkspindleLatestVersion.txt";
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

UpdateChecker::UpdateChecker(const std::wstring& url, DownloadFactory download, std::chrono::milliseconds finishBound)
    : check(std::make_shared<UpdateCheck>(url)), worker(check, std::move(download), finishBound) {}

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

namespace {

wchar_t lowerAscii(wchar_t unit) { return unit >= L'A' && unit <= L'Z' ? static_cast<wchar_t>(unit - L'A' + L'a') : unit; }

bool equalIgnoringCase(const wchar_t* a, const wchar_t* b, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
  }
  return true;
}

bool isHostCharacter(wchar_t unit) {
  return (unit >= L'a' && unit <= L'z') || (unit >= L'A' && unit <= L'Z') || (unit >= L'0' && unit <= L'9') ||
         unit == L'-' || unit == L'.';
}

bool isHexDigit(wchar_t unit) {
  return (unit >= L'0' && unit <= L'9') || (lowerAscii(unit) >= L'a' && lowerAscii(unit) <= L'f');
}

// RFC 3986's unreserved and reserved characters. The shell puts the address in place of
// a browser handler's %1, unquoted or quoted; none of these can end that argument or
// start another, as a blank or a quote can.
bool isAddressCharacter(wchar_t unit) {
  static const wchar_t kMarks[] = L"-._~:/?#[]@!$&'()*+,;=";
  return (unit >= L'a' && unit <= L'z') || (unit >= L'A' && unit <= L'Z') || (unit >= L'0' && unit <= L'9') ||
         (unit != L'\0' && std::wcschr(kMarks, unit) != nullptr);
}

// True when host is site or one of its subdomains, in any letter case.
bool isOnHost(const std::wstring& host, const std::wstring& site) {
  if (site.empty() || host.size() < site.size()) return false;
  const std::size_t start = host.size() - site.size();
  if (!equalIgnoringCase(host.data() + start, site.data(), site.size())) return false;
  return start == 0 || host[start - 1] == L'.';
}

}  // namespace

std::vector<std::wstring> linkHosts(const std::string& siteHost, const std::string& extraHosts) {
  std::vector<std::wstring> hosts;
  std::string site = siteHost;
  // The www host is the web face of the maker's domain; its sibling download hosts are
  // the maker's too.
  if (site.size() > 4 && site.compare(0, 4, "www.") == 0) site.erase(0, 4);
  hosts.push_back(widenText(site));
  std::size_t start = 0;
  while (start <= extraHosts.size()) {
    std::size_t end = extraHosts.find_first_of(";, ", start);
    if (end == std::string::npos) end = extraHosts.size();
    if (end > start) hosts.push_back(widenText(extraHosts.substr(start, end - start)));
    start = end + 1;
  }
  return hosts;
}

const std::vector<std::wstring>& linkHosts() {
  static const std::vector<std::wstring> hosts = linkHosts(LARKSPINDLE_SITE_HOST, LARKSPINDLE_EXTRA_LINK_HOSTS);
  return hosts;
}

bool isSiteAddress(const std::wstring& link, const std::vector<std::wstring>& hosts) {
  std::size_t at = 0;
  for (const wchar_t* scheme : {L"http://", L"https://"}) {
    const std::size_t length = std::wcslen(scheme);
    if (link.size() >= length && equalIgnoringCase(link.data(), scheme, length)) at = length;
  }
  if (at == 0) return false;
  // Browsers drop trailing blanks and line breaks (the version file's own CR LF), so an
  // address that ends right after its host is read without them.
  std::size_t end = link.size();
  while (end > at && link[end - 1] <= L' ') --end;
  // The version file is anyone's to write, and the whole address reaches the browser's
  // command line: anything an address would have to escape stays out of it.
  for (std::size_t i = at; i < end; ++i) {
    if (link[i] == L'%') {
      if (end - i < 3 || !isHexDigit(link[i + 1]) || !isHexDigit(link[i + 2])) return false;
      i += 2;
    } else if (!isAddressCharacter(link[i])) {
      return false;
    }
  }
  const std::size_t authorityEnd = std::min(end, link.find_first_of(L"/?#", at));
  // Only letters, digits, '-' and '.' may name the host, and digits its port: user
  // information before an '@', a backslash, a percent-encoded or any other character
  // would let a browser read another host than the one compared here.
  std::size_t hostEnd = at;
  while (hostEnd < authorityEnd && isHostCharacter(link[hostEnd])) ++hostEnd;
  if (hostEnd < authorityEnd) {
    if (link[hostEnd] != L':') return false;
    for (std::size_t port = hostEnd + 1; port < authorityEnd; ++port) {
      if (link[port] < L'0' || link[port] > L'9') return false;
    }
  }
  const std::wstring host = link.substr(at, hostEnd - at);
  if (host.empty() || host.front() == L'.' || host.back() == L'.' || host.find(L"..") != std::wstring::npos) return false;
  return std::any_of(hosts.begin(), hosts.end(), [&host](const std::wstring& site) { return isOnHost(host, site); });
}

UpdateFinding findUpdate(const VersionCheck* check, std::uint32_t ownVersion, const std::vector<std::wstring>& hosts) {
  UpdateFinding found;
  std::uint32_t version = 0;
  std::wstring link;
  if (!check || !check->poll(version, link) || version <= ownVersion) return found;
  found.newerVersion = true;
  // The version file comes over plain HTTP, so anyone on the way can write it, and a
  // click hands the address to the shell: only one on the maker's own site (or a host
  // the distributor named) may take the place of the site.
  if (isSiteAddress(link, hosts)) found.address = std::move(link);
  return found;
}

}  // namespace lark
