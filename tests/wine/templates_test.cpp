// Dialog templates 201 and 205, control by control, read back from the module's resources.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "build_config.h"
#include "engine/page_controls.h"
#include "ui/isolation.h"
#include "win32/module.h"

namespace lark {
namespace {

struct Control {
  int id;
  std::wstring windowClass;
  std::wstring text;
  short x, y, cx, cy;
  DWORD style;
  // Window classes are matched without regard to case, as the window manager does.
  bool operator==(const Control& o) const {
    return id == o.id && _wcsicmp(windowClass.c_str(), o.windowClass.c_str()) == 0 && text == o.text && x == o.x && y == o.y && cx == o.cx &&
           cy == o.cy && style == o.style;
  }
};
void PrintTo(const Control& c, std::ostream* out) {
  *out << c.id << " " << ::testing::PrintToString(c.windowClass) << " " << ::testing::PrintToString(c.text) << " " << c.x
       << "," << c.y << " " << c.cx << "x" << c.cy << " style 0x" << std::hex << c.style;
}

struct Dialog {
  DWORD style, exStyle;
  short x, y, cx, cy;
  std::wstring caption, font;
  WORD points, weight;
  BYTE italic, charset;
  std::vector<Control> controls;
};

// Reads a DLGTEMPLATEEX as the dialog manager would.
class TemplateReader {
 public:
  explicit TemplateReader(const BYTE* data) : at_(data) {}
  template <typename T>
  T take() {
    T value;
    memcpy(&value, at_, sizeof value);
    at_ += sizeof value;
    return value;
  }
  // A string or an ordinal (0xFFFF then a number; the predefined classes by name).
  std::wstring nameOrOrdinal() {
    const WORD first = take<WORD>();
    if (first == 0xFFFF) {
      const WORD ordinal = take<WORD>();
      switch (ordinal) {
        case 0x80: return L"Button";
        case 0x81: return L"Edit";
        case 0x82: return L"Static";
        default: return L"#" + std::to_wstring(ordinal);
      }
    }
    std::wstring text;
    for (WORD unit = first; unit != 0; unit = take<WORD>()) text.push_back(static_cast<wchar_t>(unit));
    return text;
  }
  void alignToDword(const BYTE* base) {
    while ((at_ - base) % 4) ++at_;
  }
  const BYTE* at_;
};

Dialog readDialog(int id) {
  HRSRC found = FindResourceW(thisModule(), MAKEINTRESOURCEW(id), reinterpret_cast<LPCWSTR>(RT_DIALOG));
  EXPECT_NE(nullptr, found);
  const auto* base = static_cast<const BYTE*>(LockResource(LoadResource(thisModule(), found)));
  TemplateReader in(base);
  Dialog dialog{};
  EXPECT_EQ(1, in.take<WORD>());
  EXPECT_EQ(0xFFFF, in.take<WORD>()) << "an extended template";
  in.take<DWORD>();  // help id
  dialog.exStyle = in.take<DWORD>();
  dialog.style = in.take<DWORD>();
  const WORD count = in.take<WORD>();
  dialog.x = in.take<short>();
  dialog.y = in.take<short>();
  dialog.cx = in.take<short>();
  dialog.cy = in.take<short>();
  EXPECT_EQ(L"", in.nameOrOrdinal()) << "no menu";
  EXPECT_EQ(L"", in.nameOrOrdinal()) << "default class";
  dialog.caption = in.nameOrOrdinal();
  dialog.points = in.take<WORD>();
  dialog.weight = in.take<WORD>();
  dialog.italic = in.take<BYTE>();
  dialog.charset = in.take<BYTE>();
  dialog.font = in.nameOrOrdinal();
  for (WORD i = 0; i < count; ++i) {
    in.alignToDword(base);
    Control control{};
    EXPECT_EQ(0u, in.take<DWORD>()) << "help id";
    EXPECT_EQ(0u, in.take<DWORD>()) << "extended style";
    control.style = in.take<DWORD>();
    control.x = in.take<short>();
    control.y = in.take<short>();
    control.cx = in.take<short>();
    control.cy = in.take<short>();
    control.id = static_cast<int>(in.take<DWORD>());
    control.windowClass = in.nameOrOrdinal();
    control.text = in.nameOrOrdinal();
    in.at_ += in.take<WORD>();  // creation data
    dialog.controls.push_back(control);
  }
  return dialog;
}

TEST(Templates, TheRenamePageIsControlByControlAsDesigned) {
  const Dialog page = readDialog(kRenamePageDialog);
  EXPECT_EQ(0x80C800C0u, page.style);
  EXPECT_EQ(0u, page.exStyle);
  EXPECT_EQ(0, page.x);
  EXPECT_EQ(0, page.y);
  EXPECT_EQ(221, page.cx);
  EXPECT_EQ(249, page.cy);
  EXPECT_EQ(L"Rename", page.caption);
  EXPECT_EQ(L"MS Sans Serif", page.font);
  EXPECT_EQ(8, page.points);
  EXPECT_EQ(0, page.weight);
  EXPECT_EQ(0, page.italic);
  EXPECT_EQ(0, page.charset);
  const DWORD edit = 0x50810080, check = 0x50010003, push = 0x50010000, label = 0x50020000;
  const std::vector<Control> expected = {
      {203, L"Edit", L"", 47, 29, 132, 13, edit},
      {204, L"Edit", L"", 47, 45, 132, 13, edit},
      {211, L"Button", L"&Rename Folders", 47, 112, 67, 10, check},
      {201, L"Button", L"&Search Subfolders", 47, 125, 74, 10, check},
      {206, L"Button", L"&Test...", 114, 228, 50, 14, push},
      {210, L"Button", L"&Rename", 168, 228, 50, 14, push},
      {-1, L"Static", L"Selected:", 7, 9, 31, 8, label},
      {-1, L"Static", L"&Match:", 7, 31, 23, 8, label},
      {-1, L"Static", L"Example:", 7, 68, 30, 8, label},
      {205, L"Static", L"\"Document1.txt\"", 46, 68, 173, 8, label},
      {207, L"Static", L"\"Doc1.txt\"", 46, 92, 173, 8, label},
      {208, L"Static", L"will be renamed to:", 49, 80, 78, 8, label},
      {-1, L"Static", L"Re&place:", 7, 47, 30, 8, label},
      {209, L"Static", LARK_WIDE(LARKSPINDLE_SITE_URL), 7, 232, 105, 8, 0x50020100},
      {214, L"Static", L"5 files, 8 folders", 49, 9, 132, 8, label},
  };
  EXPECT_EQ(expected, page.controls);
}

TEST(Templates, TheResultsDialogIsControlByControlAsDesigned) {
  const Dialog results = readDialog(kResultsDialog);
  EXPECT_EQ(0x80C40048u, results.style);
  EXPECT_EQ(0u, results.exStyle);
  EXPECT_EQ(345, results.cx);
  EXPECT_EQ(196, results.cy);
  EXPECT_EQ(L"Rename", results.caption);
  EXPECT_EQ(L"MS Shell Dlg", results.font);
  EXPECT_EQ(8, results.points);
  EXPECT_EQ(400, results.weight);
  EXPECT_EQ(1, results.charset);
  const std::vector<Control> expected = {
      {1, L"Button", L"OK", 147, 175, 50, 14, 0x50010001},
      {212, L"SysListView32", L"", 7, 19, 331, 149, 0x50810841},
      {213, L"Static", L"Title:", 7, 7, 177, 8, 0x50020000},
  };
  EXPECT_EQ(expected, results.controls);
}

TEST(Templates, AreInTheNeutralLanguage) {
  for (int id : {kRenamePageDialog, kResultsDialog}) {
    EXPECT_NE(nullptr, FindResourceExW(thisModule(), reinterpret_cast<LPCWSTR>(RT_DIALOG), MAKEINTRESOURCEW(id),
                                       MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL)))
        << id;
  }
}

}  // namespace
}  // namespace lark
