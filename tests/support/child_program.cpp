#include "tests/support/child_program.h"

#include <algorithm>

namespace lark {

std::wstring programFromEnvironment(const wchar_t* variable) {
  wchar_t value[MAX_PATH * 2] = {};
  GetEnvironmentVariableW(variable, value, MAX_PATH * 2);
  std::wstring path = L"Z:" + std::wstring(value);
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

bool startWithOutput(std::wstring commandLine, const std::wstring& outputFile, DWORD flags,
                     PROCESS_INFORMATION& process) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE output = CreateFileW(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = startup.hStdOutput = startup.hStdError = output;
  const bool started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr,
                                      &startup, &process) != FALSE;
  if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
  return started;
}

std::string readOutput(const std::wstring& outputFile) {
  // Shared for writing too: a service the child started (Wine's rpcss, say) may hold the
  // handles it inherited.
  HANDLE read = CreateFileW(outputFile.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  std::string text;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(read, buffer, sizeof buffer, &got, nullptr) && got != 0) text.append(buffer, got);
  if (read != INVALID_HANDLE_VALUE) CloseHandle(read);
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

}  // namespace lark
