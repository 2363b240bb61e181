// The boxes that report exceptions escaping a guarded handler.
#include "ui/error_reporting.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "automation/modal_catcher.h"

namespace lark {
namespace {

struct NotStandard {};

std::wstring systemText(DWORD code) {
  wchar_t* text = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code,
                 MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&text), 0, nullptr);
  std::wstring copy = text ? text : L"";
  LocalFree(text);
  return copy;
}

class ErrorReporting : public ::testing::Test {
 protected:
  void SetUp() override {
    owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
  }
  void TearDown() override { DestroyWindow(owner); }
  // Throws from inside a guarded region and returns the one box it showed.
  template <typename Throw>
  CaughtWindow report(Throw&& thrower) {
    ModalCatcher catcher(IDOK);
    bool after = false;
    guarded(owner, [&] {
      thrower();
      after = true;
    });
    EXPECT_FALSE(after) << "the rest of the handler is skipped";
    EXPECT_EQ(1u, catcher.caught.size());
    return catcher.caught.empty() ? CaughtWindow{} : catcher.caught[0];
  }
  HWND owner = nullptr;
};

TEST_F(ErrorReporting, StandardExceptionsShowTheirTextWidenedByteByByte) {
  const struct {
    std::string what;
    std::wstring shown;
  } cases[] = {
      {"", L"C++ Exception was caught:\n\n"},
      {"vector::_M_range_check", L"C++ Exception was caught:\n\nvector::_M_range_check"},
      {"caf\xe9", L"C++ Exception was caught:\n\ncaf\xffe9"},
  };
  for (const auto& c : cases) {
    const CaughtWindow box = report([&] { throw std::runtime_error(c.what); });
    EXPECT_EQ(L"Rename", box.caption);
    EXPECT_EQ(c.shown, box.text);
    EXPECT_TRUE(box.hasOk);
    EXPECT_FALSE(box.hasYes);
  }
  EXPECT_EQ(L"C++ Exception was caught:\n\nstd::bad_alloc", report([] { throw std::bad_alloc(); }).text);
}

TEST_F(ErrorReporting, OtherExceptionsShowTheSystemTextOfTheLastError) {
  const CaughtWindow box = report([] {
    SetLastError(ERROR_FILE_NOT_FOUND);
    throw NotStandard();
  });
  EXPECT_EQ(L"Rename", box.caption);
  EXPECT_FALSE(systemText(ERROR_FILE_NOT_FOUND).empty());
  EXPECT_EQ(systemText(ERROR_FILE_NOT_FOUND), box.text);

  const CaughtWindow unknown = report([] {
    SetLastError(0x2000FFFF);  // a customer code the system has no text for
    throw 42;
  });
  EXPECT_EQ(L"Unknown C++ Exception was caught!", unknown.text);

  const CaughtWindow noCode = report([] {
    SetLastError(ERROR_SUCCESS);
    throw 42;
  });
  EXPECT_EQ(L"Unknown C++ Exception was caught!", noCode.text);
}

TEST_F(ErrorReporting, TheOwnerStaysUsable) {
  report([] { throw std::logic_error("first"); });
  EXPECT_TRUE(IsWindow(owner));
  EXPECT_EQ(L"C++ Exception was caught:\n\nsecond", report([] { throw std::logic_error("second"); }).text);
}

}  // namespace
}  // namespace lark
