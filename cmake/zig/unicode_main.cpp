// The start-up that mingw's -municode gives a program, for Zig's runtime, which always
// calls main: the program defines one of the two wide entry points, and the other stays
// a null weak reference.
#include <windows.h>
#include <shellapi.h>

int wmain(int argc, wchar_t** argv) __attribute__((weak));
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR command_line, int show) __attribute__((weak));

int main() {
  if (wmain) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return 1;
    int code = wmain(argc, argv);
    LocalFree(argv);
    return code;
  }
  // The command line without the program's name, as Windows hands it to wWinMain: the
  // name is quoted or ends at the first blank, and the blanks after it are skipped.
  const wchar_t* rest = GetCommandLineW();
  bool quoted = false;
  for (; *rest && (quoted || (*rest != L' ' && *rest != L'\t')); ++rest) {
    if (*rest == L'"') quoted = !quoted;
  }
  while (*rest == L' ' || *rest == L'\t') ++rest;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  GetStartupInfoW(&startup);
  int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
  return wWinMain(GetModuleHandleW(nullptr), nullptr, const_cast<wchar_t*>(rest), show);
}
