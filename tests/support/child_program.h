// A test's own program run as a child, with its output and errors in a file.
#pragma once

#include <windows.h>

#include <string>

namespace lark {

// The Windows path of a program that CTest names by its Unix path in a variable, as Wine
// shows that path on drive Z:.
std::wstring programFromEnvironment(const wchar_t* variable);

// Starts `commandLine` with standard input, output and errors on `outputFile` (made
// anew), the process created with `flags`; false, with `process` untouched, when it
// cannot be started.
bool startWithOutput(std::wstring commandLine, const std::wstring& outputFile, DWORD flags,
                     PROCESS_INFORMATION& process);

// What a child wrote to its output file, with Windows' line ends as "\n".
std::string readOutput(const std::wstring& outputFile);

}  // namespace lark
