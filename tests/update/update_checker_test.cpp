// The update check's portable half: version texts, the worker's publication, the poll,
// and the blinking link, with downloads of the test's own.
#include "update/update_checker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "build_config.h"
#include "engine/page_controls.h"
#include "engine/rename_state.h"
#include "tests/support/fakes.h"

namespace lark {
namespace {

TEST(ParseVersionText, PacksUpToFourComponents) {
  const struct {
    const char* text;
    std::uint32_t packed;
  } cases[] = {
      {"1.0.0.4", 0x01000004}, {"2", 0x02000000},  {"1.2", 0x01020000},        {"1..3", 0x01000300},
      {"1.0.0.4.9", 0x01000004}, {"", 0},          {" 1. +2.-0.3x", 0x01020003}, {"1.0.0.3", 0x01000003},
      {"a.b.c.d", 0},          {".", 0},           {"...", 0},                 {"1.", 0x01000000},
      // Nothing is masked: an oversized component spills into the ones above it.
      {"1.512", 0x03000000},   {"0.0.0.300", 0x0000012C}, {"-1", 0xFF000000},
      // atoi skips white space, a tab and a line break as well as a blank.
      {"1.\t2.\n3", 0x01020300},
  };
  for (const auto& c : cases) EXPECT_EQ(c.packed, parseVersionText(c.text)) << ::testing::PrintToString(c.text);
}

TEST(ParseVersionText, HugeNumbersWrapInsteadOfOverflowing) {
  // No undefined behaviour however long the digits run; the result is simply defined.
  EXPECT_EQ(parseVersionText("4294967297"), parseVersionText("1"));
  EXPECT_EQ(0u, parseVersionText("4294967296.0.0.0"));
  // 10^100000 - 1 leaves 255 in the low byte; the empty components after it are 0.
  EXPECT_EQ(0xFF000000u, parseVersionText(std::string(100000, '9') + "." + std::string(100000, '.')));
}

// The version file comes over plain HTTP: whoever answers in the site's place writes the
// link. Only addresses on the maker's site, or on a host the distributor named, are
// followed; every trick that makes a browser read another host is not.
TEST(IsSiteAddress, FollowsOnlyTheMakersSiteAndTheConfiguredHosts) {
  const std::vector<std::wstring> hosts = linkHosts("www.larkspindle.example", "dl.partner.example");
  EXPECT_EQ((std::vector<std::wstring>{L"larkspindle.example", L"dl.partner.example"}), hosts);
  EXPECT_EQ((std::vector<std::wstring>{L"site.example", L"a.example", L"b.example"}),
            linkHosts("site.example", "a.example; b.example,"));
  const struct {
    const wchar_t* link;
    bool followed;
  } cases[] = {
      {L"http://www.larkspindle.example/Download.html", true},
      {L"http://www.larkspindle.example/Download.html\r\n", true},  // the version file's own line break
      {L"http://www.larkspindle.example\r\n", true},
      {L"https://larkspindle.example", true},
      {L"http://downloads.larkspindle.example/new?x=1", true},
      {L"HTTP://WWW.LarkSpindle.EXAMPLE/x", true},
      {L"http://www.larkspindle.example:8080/x", true},
      {L"http://www.larkspindle.example#top", true},
      {L"http://dl.partner.example/x", true},
      {L"http://mirror.dl.partner.example/x", true},
      {L"http://x/", false},
      {L"http://partner.example/x", false},
      {L"http://larkspindle.example.evil.example/", false},
      {L"http://evil.example/larkspindle.example", false},
      {L"http://evillarkspindle.example/", false},
      {L"http://larkspindle.example@evil.example/", false},
      {L"http://evil.example\\@larkspindle.example/", false},
      {L"http://www.larkspindle.example\\.evil.example/", false},
      {L"http://www.larkspindle%2Eexample/", false},
      {L"http://www.larkspindle.example\r\n.evil.example/", false},
      {L"http://www.larkspindle.example:80x/", false},
      {L"http://.larkspindle.example/", false},
      {L"http://larkspindle.example./", false},
      {L"http://www..larkspindle.example/", false},
      {L"http://", false},
      {L" http://www.larkspindle.example/", false},
      {L"ftp://www.larkspindle.example/", false},
      {L"file:///C:/Windows/notepad.exe", false},
      {L"C:\\Windows\\system32\\calc.exe", false},
      {L"\\\\larkspindle.example\\share", false},
      {L"javascript:alert(1)//larkspindle.example", false},
      // On the host, but with what a browser handler's command line would split or end
      // the address on: a second argument for whoever wrote the version file.
      {L"http://www.larkspindle.example/\" --some-switch \"", false},
      {L"http://www.larkspindle.example/a\"b", false},
      {L"http://www.larkspindle.example/a b", false},
      {L"http://www.larkspindle.example/a\tb", false},
      {L"http://www.larkspindle.example/a\nb", false},
      {L"http://www.larkspindle.example/a\\b", false},
      {L"http://www.larkspindle.example/a<b", false}, {L"http://www.larkspindle.example/a>b", false},
      {L"http://www.larkspindle.example/a^b", false}, {L"http://www.larkspindle.example/a`b", false},
      {L"http://www.larkspindle.example/a{b", false}, {L"http://www.larkspindle.example/a|b", false},
      {L"http://www.larkspindle.example/a}b", false},
      {L"http://www.larkspindle.example/a\x7f", false},
      {L"http://www.larkspindle.example/caf\u00e9", false},
      {L"http://www.larkspindle.example/a%2", false},
      {L"http://www.larkspindle.example/a%g2", false},
      {L"http://www.larkspindle.example/a%22b%aF", true},
      {L"http://www.larkspindle.example/new?v=1.0.0.4&from=a+b;c=(d)*!$',:@/?~_-[]", true},
      {L"http://www.larkspindle.example/new#notes-1.0:x/y?z=!", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.followed, isSiteAddress(c.link, hosts)) << ::testing::PrintToString(std::wstring(c.link));
  }
}

// Serves a fixed body in chunks of at most `chunk` bytes; optionally waits for the test
// before each chunk after the first, so a checker can be destroyed mid-download.
class ScriptedDownload : public VersionDownload {
 public:
  struct Script {
    std::string body;
    bool failOpen = false;
    bool failRead = false;
    bool stallAfterFirstChunk = false;
    std::size_t chunk = 7;  // odd chunks on purpose; 128 fills every read
    std::mutex mutex;
    std::condition_variable released;
    bool release = false;
    std::wstring openedUrl;
    int reads = 0;
    bool finished = false;  // the worker is done with its download
    std::condition_variable changed;

    // Bounded waits on the worker's progress; false when it did not get there in time.
    bool waitForFinish() { return waitFor([this] { return finished; }); }
    template <typename Condition>
    bool waitFor(Condition condition, std::chrono::milliseconds bound = std::chrono::seconds(10)) {
      std::unique_lock<std::mutex> lock(mutex);
      return changed.wait_for(lock, bound, condition);
    }
  };
  explicit ScriptedDownload(std::shared_ptr<Script> script) : script_(std::move(script)) {}
  ~ScriptedDownload() override {
    std::lock_guard<std::mutex> lock(script_->mutex);
    script_->finished = true;
    script_->changed.notify_all();
  }
  void open(const std::wstring& url) override {
    script_->openedUrl = url;
    if (script_->failOpen) throw std::runtime_error("InternetOpenUrl() failed");
  }
  std::size_t read(char* buffer, std::size_t size) override {
    EXPECT_EQ(128u, size);
    if (script_->failRead) throw std::runtime_error("InternetReadFile() failed");
    {
      std::unique_lock<std::mutex> lock(script_->mutex);
      ++script_->reads;
      script_->changed.notify_all();
      if (script_->reads > 1 && script_->stallAfterFirstChunk) script_->released.wait(lock, [this] { return script_->release; });
    }
    const std::size_t count = std::min<std::size_t>(script_->chunk, script_->body.size() - offset_);
    std::copy_n(script_->body.data() + offset_, count, buffer);
    offset_ += count;
    return count;
  }

 private:
  std::shared_ptr<Script> script_;
  std::size_t offset_ = 0;
};

DownloadFactory serve(std::shared_ptr<ScriptedDownload::Script> script) {
  return [script] { return std::unique_ptr<VersionDownload>(new ScriptedDownload(script)); };
}

// Runs a checker over a scripted body until its worker is done, and polls it.
struct Outcome {
  bool polled;
  std::uint32_t version;
  std::wstring link;
};
Outcome check(const std::string& body, std::size_t chunk = 7) {
  auto script = std::make_shared<ScriptedDownload::Script>();
  script->body = body;
  script->chunk = chunk;
  UpdateChecker checker(L"http://127.0.0.1/v", serve(script));
  EXPECT_TRUE(script->waitForFinish());
  Outcome outcome{false, 0, L""};
  outcome.polled = checker.poll(outcome.version, outcome.link);
  return outcome;
}

TEST(UpdateWorker, PublishesOnlyABodyThatBeginsWithTheMarker) {
  const struct {
    std::string body;
    bool polled;
    std::uint32_t version;
    std::wstring link;
  } cases[] = {
      {"PLONK! 1.0.0.4 http://example.org/new\r\n", true, 0x01000004, L"http://example.org/new\r\n"},
      {"PLONK! 2 x", true, 0x02000000, L"x"},
      {"PLONK! 1.0.0.4 ", true, 0x01000004, L""},
      {"PLONK! 1.0.0.4", false, 0, L""},
      {"plonk! 1.0.0.4 http://x", false, 0, L""},
      {" PLONK! 1.0.0.4 http://x", false, 0, L""},
      {"<html>404</html>", false, 0, L""},
      {"", false, 0, L""},
      {"PLONK! 1.0.0.4 http://a b c", true, 0x01000004, L"http://a b c"},
      // Bytes from 0x80 are widened sign-extended, never through a code page.
      {"PLONK! 2 http://caf\xe9/\x80", true, 0x02000000, L"http://caf\xffe9/\xff80"},
  };
  for (const auto& c : cases) {
    const Outcome outcome = check(c.body);
    EXPECT_EQ(c.polled, outcome.polled) << ::testing::PrintToString(c.body);
    EXPECT_EQ(c.version, outcome.version) << ::testing::PrintToString(c.body);
    EXPECT_EQ(c.link, outcome.link) << ::testing::PrintToString(c.body);
  }
}

TEST(UpdateWorker, ANulDropsTheRestOfItsChunkOnly) {
  // Chunks are 7 bytes here: "PLONK! " "2 http:" "//a\0bcd" "/e"
  const Outcome outcome = check(std::string("PLONK! 2 http://a\0bcd/e", 23));
  EXPECT_TRUE(outcome.polled);
  EXPECT_EQ(L"http://a/e", outcome.link);
}

TEST(UpdateWorker, ReadsThatFillTheWholeBufferAreJoinedWhole) {
  const std::string link = "http://example.org/" + std::string(300, 'x');
  const Outcome outcome = check("PLONK! 3 " + link, 128);
  EXPECT_TRUE(outcome.polled);
  EXPECT_EQ(std::wstring(link.begin(), link.end()), outcome.link);
}

TEST(UpdateWorker, ABodyLargerThanTheLimitPublishesNothing) {
  const std::string head = "PLONK! 9 http://x/";
  EXPECT_TRUE(check(head + std::string(kMaxVersionFileSize - head.size(), 'y')).polled);
  EXPECT_FALSE(check(head + std::string(kMaxVersionFileSize - head.size() + 1, 'y')).polled);
}

TEST(UpdateWorker, FailuresAndCancellationPublishNothing) {
  for (int variant = 0; variant < 3; ++variant) {
    UpdateCheck shared(L"http://127.0.0.1/v");
    auto script = std::make_shared<ScriptedDownload::Script>();
    script->body = "PLONK! 9 http://x";
    script->failOpen = variant == 0;
    script->failRead = variant == 1;
    if (variant == 2) shared.cancelRequested = true;
    ScriptedDownload download(script);
    runUpdateWorker(shared, download);
    EXPECT_FALSE(shared.resultReady.load()) << "variant " << variant;
    if (variant == 2) {
      EXPECT_EQ(0, script->reads) << "cancellation is seen before the first read";
    }
  }
}

// What a finished check reports to the page: a newer version, and the address a click
// may open. The page's blinking is tested on real controls under Wine.
TEST(FindUpdate, ReportsANewerVersionAndOnlyAnAddressOnTheMakersSite) {
  const std::vector<std::wstring> hosts = linkHosts(LARKSPINDLE_SITE_HOST, "dl.partner.example");
  const std::wstring site = L"http://" LARK_WIDE(LARKSPINDLE_SITE_HOST);
  const struct {
    std::string body;
    bool newerVersion;
    std::wstring address;
  } cases[] = {
      {"PLONK! 1.0.0.4 http://" LARKSPINDLE_SITE_HOST "/new\r\n", true, site + L"/new\r\n"},  // the line break stays
      {"PLONK! 1.0.0.3 http://" LARKSPINDLE_SITE_HOST "/new", false, L""},
      {"PLONK! 1.0.0.2 http://" LARKSPINDLE_SITE_HOST "/new", false, L""},
      {"PLONK! 2 http://dl.partner.example/new", true, L"http://dl.partner.example/new"},
      // Still announced, but the click keeps opening the site.
      {"PLONK! 2 file:///C:/Windows/system32/calc.exe", true, L""},
      {"PLONK! 2 C:\\Windows\\system32\\calc.exe", true, L""},
      {"PLONK! 2 \\\\evil\\share\\x.exe", true, L""},
      {"PLONK! 2 x", true, L""},
      {"PLONK! 2 http://x/", true, L""},
      {"PLONK! 2 https://" LARKSPINDLE_SITE_HOST ".evil.example/", true, L""},
      {"PLONK! 2 http://" LARKSPINDLE_SITE_HOST "@evil.example/", true, L""},
      {"PLONK! 1.0.0.4", false, L""},  // no space after the version: nothing was published
  };
  for (const auto& c : cases) {
    auto script = std::make_shared<ScriptedDownload::Script>();
    script->body = c.body;
    UpdateChecker checker(L"http://127.0.0.1/v", serve(script));
    // The download is released only after the worker has published (or not).
    ASSERT_TRUE(script->waitForFinish());
    const UpdateFinding found = findUpdate(&checker, 0x01000003, hosts);
    EXPECT_EQ(c.newerVersion, found.newerVersion) << c.body;
    EXPECT_EQ(c.address, found.address) << c.body;
  }
  EXPECT_FALSE(findUpdate(nullptr, 0, hosts).newerVersion) << "no check, nothing found";
}

TEST(UpdateChecker, ADestroyedCheckerNeverPublishesAndWaitsBoundedly) {
  auto script = std::make_shared<ScriptedDownload::Script>();
  script->body = "PLONK! 9 http://example.org/";
  script->stallAfterFirstChunk = true;
  // A short bound: an unbounded wait would hang here, which the test's time limit catches.
  // The bound's real second is measured by the benchmark.
  auto checker = std::make_unique<UpdateChecker>(L"http://127.0.0.1/v", serve(script), std::chrono::milliseconds(20));
  // Wait until the worker is inside its second read, held there by the script.
  ASSERT_TRUE(script->waitFor([&] { return script->reads >= 2; }));
  checker.reset();  // the worker is stalled between reads: the wait gives up at its bound
  EXPECT_FALSE(script->waitFor([&] { return script->finished; }, std::chrono::milliseconds(0)))
      << "the checker did not wait for a stalled worker to finish";
  // Let the worker go on now that its checker is gone; it must touch nothing freed
  // (AddressSanitizer watches) and see the cancellation at its next read.
  {
    std::lock_guard<std::mutex> lock(script->mutex);
    script->release = true;
  }
  script->released.notify_all();
  EXPECT_TRUE(script->waitForFinish()) << "the worker ended and let go of its download";
  EXPECT_EQ(2, script->reads) << "no read after the cancellation was seen";
}

// A flag one thread raises and another waits for, within a bound.
struct Signal {
  std::mutex mutex;
  std::condition_variable raised;
  bool up = false;
  void raise() {
    std::lock_guard<std::mutex> lock(mutex);
    up = true;
    raised.notify_all();
  }
  bool waitFor(std::chrono::milliseconds bound) {
    std::unique_lock<std::mutex> lock(mutex);
    return raised.wait_for(lock, bound, [this] { return up; });
  }
};

// Holds its worker in open() until the second check has started, for 900 ms at most:
// less than the second a destroyed checker waits for its worker. Had the first checker
// been destroyed before the second was made, its worker would wait out the 900 ms.
class HoldingDownload : public VersionDownload {
 public:
  HoldingDownload(std::shared_ptr<Signal> secondStarted, std::shared_ptr<bool> sawSecond)
      : secondStarted_(std::move(secondStarted)), sawSecond_(std::move(sawSecond)) {}
  void open(const std::wstring&) override { *sawSecond_ = secondStarted_->waitFor(std::chrono::milliseconds(900)); }
  std::size_t read(char*, std::size_t) override { return 0; }

 private:
  std::shared_ptr<Signal> secondStarted_;
  std::shared_ptr<bool> sawSecond_;
};

TEST(UpdateChecker, ASecondCheckStartsBeforeTheFirstIsDestroyed) {
  RenameState state;
  auto secondStarted = std::make_shared<Signal>();
  auto sawSecond = std::make_shared<bool>(false);
  auto firstDone = std::make_shared<Signal>();
  startUpdateCheck(state, [=] {
    struct Reporting : HoldingDownload {
      using HoldingDownload::HoldingDownload;
      std::shared_ptr<Signal> done;
      ~Reporting() override { done->raise(); }
    };
    auto download = std::make_unique<Reporting>(secondStarted, sawSecond);
    download->done = firstDone;
    return std::unique_ptr<VersionDownload>(std::move(download));
  });
  auto second = std::make_shared<ScriptedDownload::Script>();
  second->body = "PLONK! 9 http://second/";
  startUpdateCheck(state, [second, secondStarted] {
    secondStarted->raise();
    return std::unique_ptr<VersionDownload>(new ScriptedDownload(second));
  });
  ASSERT_TRUE(firstDone->waitFor(std::chrono::seconds(10)));
  EXPECT_TRUE(*sawSecond) << "the second check was running while the first was still there";
  ASSERT_TRUE(second->waitForFinish());
  std::uint32_t version = 0;
  std::wstring link;
  EXPECT_TRUE(state.updateChecker->poll(version, link));
  EXPECT_EQ(L"http://second/", link);
  EXPECT_EQ(L"http://" LARK_WIDE(LARKSPINDLE_SITE_HOST) L"/Downloads/LarkspindleLatestVersion.txt", second->openedUrl);
}

}  // namespace
}  // namespace lark
