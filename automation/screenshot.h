// Saves what a window shows on screen as a 24-bit BMP, for the test run's screenshots.
#pragma once

#include <windows.h>

#include <string>

namespace lark {

// Writes <LARK_SCREENSHOT_DIR>\<name>.bmp when that variable is set; true when written.
bool saveScreenshot(HWND window, const std::wstring& name);
// Writes the picture to a full Windows path.
bool saveScreenshotTo(HWND window, const std::wstring& path);

}  // namespace lark
