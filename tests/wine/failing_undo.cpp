// Linked into a copy of the Undo program for its test: the allocation that
// LARK_FAIL_ALLOCATION numbers (counting from 0 on the main thread, from the start) fails,
// and at exit the count and whether it failed are written to the file LARK_ALLOCATIONS
// names, so that the test knows how many there are to fail.
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "tests/support/fault_injection.h"

namespace {

struct ArmedFromEnvironment {
  ArmedFromEnvironment() {
    wchar_t number[32] = {};
    if (GetEnvironmentVariableW(L"LARK_FAIL_ALLOCATION", number, 32) != 0) {
      lark::faults::arm(std::wcstol(number, nullptr, 10));
    }
  }
  ~ArmedFromEnvironment() {
    wchar_t path[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"LARK_ALLOCATIONS", path, MAX_PATH) == 0) return;
    char line[64];
    const int length = std::snprintf(line, sizeof line, "%ld %d\n", lark::faults::counted(), lark::faults::fired() ? 1 : 0);
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(length), &written, nullptr);
    CloseHandle(file);
  }
} armed;

}  // namespace
