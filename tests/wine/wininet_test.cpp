// The update check through real WinINet against a loopback HTTP server, and the link
// on real controls.
#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "build_config.h"
#include "engine/page_controls.h"
#include "engine/rename_state.h"
#include "tests/support/import_hook.h"
#include "ui/page_surface.h"
#include "ui/update_link.h"
#include "update/update_checker.h"

namespace lark {
namespace {

std::wstring server() {
  wchar_t port[16] = {};
  GetEnvironmentVariableW(L"LARK_TEST_SERVER_PORT", port, 16);
  return std::wstring(L"http://127.0.0.1:") + port;
}

std::wstring hex(const std::string& bytes) {
  static const wchar_t digits[] = L"0123456789abcdef";
  std::wstring out;
  for (unsigned char byte : bytes) {
    out.push_back(digits[byte >> 4]);
    out.push_back(digits[byte & 15]);
  }
  return out;
}

// What one real download did, observed from around it.
struct Observed {
  Observed() : finished(CreateEventW(nullptr, TRUE, FALSE, nullptr)), secondRead(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~Observed() {
    CloseHandle(finished);
    CloseHandle(secondRead);
  }
  bool waitFinished(DWORD milliseconds = 10000) { return WaitForSingleObject(finished, milliseconds) == WAIT_OBJECT_0; }
  HANDLE finished;
  HANDLE secondRead;  // set as the worker enters its second read
  std::atomic<int> reads{0};
  std::atomic<std::size_t> bytes{0};
  std::atomic<int> readsAfterCancel{0};
  std::atomic<bool> cancelled{false};
};

// WinINet underneath, counting what passes and signalling when the worker lets go.
class ObservedDownload : public VersionDownload {
 public:
  explicit ObservedDownload(std::shared_ptr<Observed> observed) : observed_(std::move(observed)), real_(makeWinInetDownload()) {}
  ~ObservedDownload() override {
    real_.reset();
    SetEvent(observed_->finished);
  }
  void open(const std::wstring& url) override { real_->open(url); }
  std::size_t read(char* buffer, std::size_t size) override {
    if (observed_->cancelled) ++observed_->readsAfterCancel;
    if (++observed_->reads == 2) SetEvent(observed_->secondRead);
    const std::size_t count = real_->read(buffer, size);
    observed_->bytes += count;
    return count;
  }

 private:
  std::shared_ptr<Observed> observed_;
  std::unique_ptr<VersionDownload> real_;
};

DownloadFactory observe(std::shared_ptr<Observed> observed) {
  return [observed] { return std::unique_ptr<VersionDownload>(new ObservedDownload(observed)); };
}

class UpdateOverHttp : public ::testing::Test {
 protected:
  void SetUp() override {
    window = CreateWindowExW(0, L"STATIC", L"page", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
    link = CreateWindowExW(0, L"STATIC", LARK_WIDE(LARKSPINDLE_SITE_URL), WS_CHILD | WS_VISIBLE | SS_NOTIFY, 0, 0, 200, 20,
                           window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kSiteLink)), nullptr, nullptr);
  }
  void TearDown() override { DestroyWindow(window); }
  // Checks the given address and waits for the worker to finish.
  void check(const std::wstring& url) {
    auto observed = std::make_shared<Observed>();
    state.updateChecker = std::make_unique<UpdateChecker>(url, observe(observed));
    ASSERT_TRUE(observed->waitFinished());
  }
  void checkBody(const std::string& body) { check(server() + L"/body/" + hex(body)); }
  std::wstring linkText() {
    wchar_t buffer[256] = {};
    GetWindowTextW(link, buffer, 256);
    return buffer;
  }
  bool linkVisible() { return (GetWindowLongW(link, GWL_STYLE) & WS_VISIBLE) != 0; }

  HWND window = nullptr;
  HWND link = nullptr;
  RenameState state;
};

constexpr std::uint32_t kOwnVersion = 0x01000003;

TEST_F(UpdateOverHttp, ANewerVersionShowsTheLinkAndBlinksWithItsLineBreak) {
  checkBody("PLONK! 1.0.0.4 http://" LARKSPINDLE_SITE_HOST "/new\r\n");
  Win32PageSurface page(window);
  pollUpdateLink(state, page, kOwnVersion);
  EXPECT_EQ(L"Update Available - Click Here!", linkText());
  EXPECT_TRUE(linkVisible());
  EXPECT_EQ(L"http://" LARK_WIDE(LARKSPINDLE_SITE_HOST) L"/new\r\n", state.siteUrl);
  pollUpdateLink(state, page, kOwnVersion);
  EXPECT_FALSE(linkVisible());
  pollUpdateLink(state, page, kOwnVersion);
  EXPECT_TRUE(linkVisible());
}

TEST_F(UpdateOverHttp, BodiesThatLeaveTheSiteAlone) {
  const struct {
    const char* body;
    const wchar_t* linkText;  // what control 209 shows afterwards
  } cases[] = {
      {"PLONK! 1.0.0.3 http://127.0.0.1/new", LARK_WIDE(LARKSPINDLE_SITE_URL)},
      {"PLONK! 1.0.0.4", LARK_WIDE(LARKSPINDLE_SITE_URL)},
      {"plonk! 1.0.0.4 http://x", LARK_WIDE(LARKSPINDLE_SITE_URL)},
      {" PLONK! 1.0.0.4 http://x", LARK_WIDE(LARKSPINDLE_SITE_URL)},
      {"", LARK_WIDE(LARKSPINDLE_SITE_URL)},
      // A newer version with a link that is no web address is announced, but a click
      // still opens the maker's site.
      {"PLONK! 2 file:///C:/windows/system32/notepad.exe", L"Update Available - Click Here!"},
      {"PLONK! 2 C:\\windows\\notepad.exe", L"Update Available - Click Here!"},
      {"PLONK! 2 \\\\127.0.0.1\\share\\x.exe", L"Update Available - Click Here!"},
      // Nor is an address off the maker's site: whoever answers in its place writes the file.
      {"PLONK! 1.0.0.4 http://x/", L"Update Available - Click Here!"},
      {"PLONK! 2 http://127.0.0.1/new", L"Update Available - Click Here!"},
      {"PLONK! 2 http://" LARKSPINDLE_SITE_HOST ".evil.example/", L"Update Available - Click Here!"},
      {"PLONK! 2 http://" LARKSPINDLE_SITE_HOST "@evil.example/", L"Update Available - Click Here!"},
      {"PLONK! 2 http://" LARKSPINDLE_SITE_HOST "%2F@evil.example/", L"Update Available - Click Here!"},
  };
  for (const auto& c : cases) {
    checkBody(c.body);
    Win32PageSurface page(window);
    const std::wstring site = state.siteUrl;
    pollUpdateLink(state, page, kOwnVersion);
    EXPECT_EQ(std::wstring(c.linkText), linkText()) << c.body;
    EXPECT_EQ(site, state.siteUrl) << c.body;
  }
}

TEST_F(UpdateOverHttp, AHostTheDistributorNamedIsFollowed) {
  checkBody("PLONK! 2 https://Mirror.DL.partner.example:8443/new\r\n");
  Win32PageSurface page(window);
  pollUpdateLink(state, page, kOwnVersion, linkHosts(LARKSPINDLE_SITE_HOST, "dl.partner.example"));
  EXPECT_EQ(L"https://Mirror.DL.partner.example:8443/new\r\n", state.siteUrl);
}

TEST_F(UpdateOverHttp, VersionTwoWithAOneLetterLinkAndAnEmptyLink) {
  checkBody("PLONK! 2 x");
  std::uint32_t version = 0;
  std::wstring published;
  ASSERT_TRUE(state.updateChecker->poll(version, published));
  EXPECT_EQ(0x02000000u, version);
  EXPECT_EQ(L"x", published);
  checkBody("PLONK! 1.0.0.4 ");
  ASSERT_TRUE(state.updateChecker->poll(version, published));
  EXPECT_EQ(L"", published);
}

TEST_F(UpdateOverHttp, AHugeBodyIsCutOffAndPublishesNothing) {
  auto observed = std::make_shared<Observed>();
  state.updateChecker = std::make_unique<UpdateChecker>(server() + L"/big/1048576", observe(observed));
  ASSERT_TRUE(observed->waitFinished());
  std::uint32_t version;
  std::wstring published;
  EXPECT_FALSE(state.updateChecker->poll(version, published));
  EXPECT_LE(observed->bytes.load(), kMaxVersionFileSize + 128) << "reading stopped at the limit";
}

TEST_F(UpdateOverHttp, ACheckerDestroyedDuringASlowBodyEndsBoundedly) {
  auto observed = std::make_shared<Observed>();
  // A short bound: an unbounded wait would hang here, which the test's time limit catches.
  auto checker = std::make_unique<UpdateChecker>(server() + L"/slow", observe(observed), std::chrono::milliseconds(20));
  // The first chunk arrives at once; the second read then waits two seconds for data.
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(observed->secondRead, 10000));
  ASSERT_GT(observed->bytes.load(), 0u);
  observed->cancelled = true;
  checker.reset();
  EXPECT_FALSE(observed->waitFinished(0)) << "the worker was still inside its read, and was not waited for";
  // The worker outlives its checker only to the end of the read it is in.
  EXPECT_TRUE(observed->waitFinished(5000));
  EXPECT_LE(observed->readsAfterCancel.load(), 1);
}

TEST_F(UpdateOverHttp, NothingListening) {
  // A port that was just free: bind nothing to it.
  check(L"http://127.0.0.1:9/Downloads/LarkspindleLatestVersion.txt");
  std::uint32_t version;
  std::wstring published;
  EXPECT_FALSE(state.updateChecker->poll(version, published));
}

TEST_F(UpdateOverHttp, ASecondCheckReplacesTheFirst) {
  auto first = std::make_shared<Observed>();
  auto second = std::make_shared<Observed>();
  state.updateChecker = std::make_unique<UpdateChecker>(server() + L"/slow", observe(first));
  std::unique_ptr<VersionCheck> previous = std::move(state.updateChecker);
  state.updateChecker = std::make_unique<UpdateChecker>(server() + L"/body/" + hex("PLONK! 9 http://second/"), observe(second));
  previous.reset();
  ASSERT_TRUE(second->waitFinished());
  std::uint32_t version = 0;
  std::wstring published;
  EXPECT_TRUE(state.updateChecker->poll(version, published));
  EXPECT_EQ(L"http://second/", published);
  EXPECT_TRUE(first->waitFinished(5000));
}

// What the worker asks WinINet for, watched in this program's import table.
struct InternetCalls {
  std::wstring agent;
  DWORD access = 0;
  bool proxy = true;
  DWORD sessionFlags = 1;
  std::wstring url;
  DWORD urlFlags = 0;
};
InternetCalls internetCalls;
ImportHook* openHook = nullptr;
ImportHook* openUrlHook = nullptr;
HINTERNET WINAPI recordOpen(LPCWSTR agent, DWORD access, LPCWSTR proxy, LPCWSTR bypass, DWORD flags) {
  internetCalls.agent = agent ? agent : L"(none)";
  internetCalls.access = access;
  internetCalls.proxy = proxy || bypass;
  internetCalls.sessionFlags = flags;
  return openHook->original<decltype(&InternetOpenW)>()(agent, access, proxy, bypass, flags);
}
HINTERNET WINAPI recordOpenUrl(HINTERNET session, LPCWSTR url, LPCWSTR headers, DWORD length, DWORD flags, DWORD_PTR context) {
  internetCalls.url = url;
  internetCalls.urlFlags = flags;
  return openUrlHook->original<decltype(&InternetOpenUrlW)>()(session, url, headers, length, flags, context);
}

TEST_F(UpdateOverHttp, AsksWinInetDirectlyForAFreshCopyWithoutDialogs) {
  ImportHook open(GetModuleHandleW(nullptr), "wininet.dll", "InternetOpenW", reinterpret_cast<void*>(recordOpen));
  ImportHook openUrl(GetModuleHandleW(nullptr), "wininet.dll", "InternetOpenUrlW", reinterpret_cast<void*>(recordOpenUrl));
  openHook = &open;
  openUrlHook = &openUrl;
  checkBody("PLONK! 2 http://x/");
  EXPECT_EQ(L"Larkspindle", internetCalls.agent);
  EXPECT_EQ(static_cast<DWORD>(INTERNET_OPEN_TYPE_DIRECT), internetCalls.access);
  EXPECT_FALSE(internetCalls.proxy);
  EXPECT_EQ(0u, internetCalls.sessionFlags);
  EXPECT_EQ(server() + L"/body/" + hex("PLONK! 2 http://x/"), internetCalls.url);
  EXPECT_EQ(static_cast<DWORD>(INTERNET_FLAG_RELOAD | INTERNET_FLAG_RAW_DATA | INTERNET_FLAG_NO_UI), internetCalls.urlFlags);
}

TEST(ModuleVersion, IsZeroForAModuleWithoutAVersionResource) {
  // This test program carries no version resource; the extension DLL's own is checked
  // where the DLL is tested.
  EXPECT_EQ(0u, moduleVersion());
}

}  // namespace
}  // namespace lark
