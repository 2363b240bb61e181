// Path helpers: separators, trailing backslashes and the folder/name/extension split.
#include "engine/path_helpers.h"

#include <gtest/gtest.h>

namespace lark {
namespace {

struct SplitCase {
  const wchar_t* path;
  const wchar_t* fileName;
  const wchar_t* folder;
  const wchar_t* extension;
};

TEST(PathHelpers, SplitsPathsIntoFolderNameAndExtension) {
  const SplitCase cases[] = {
      {L"C:\\Work\\a.txt", L"a.txt", L"C:\\Work\\", L".txt"},
      {L"C:", L"", L"C:", L"C:"},
      {L"a.txt", L"a.txt", L"a.txt", L".txt"},
      {L"C:a.txt", L"a.txt", L"C:", L".txt"},
      {L"archive.tar.gz", L"archive.tar.gz", L"archive.tar.gz", L".gz"},
      {L"README", L"README", L"README", L"README"},
      // The extension search runs across separators on purpose.
      {L"C:\\v1.2\\README", L"README", L"C:\\v1.2\\", L".2\\README"},
      {L"C:\\Work\\", L"", L"C:\\Work\\", L"C:\\Work\\"},
      {L"\\\\server\\share\\x", L"x", L"\\\\server\\share\\", L"\\\\server\\share\\x"},
      {L"", L"", L"", L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(std::wstring(c.fileName), fileNamePart(c.path)) << "fileNamePart of " << ::testing::PrintToString(c.path);
    EXPECT_EQ(std::wstring(c.folder), folderPart(c.path)) << "folderPart of " << ::testing::PrintToString(c.path);
    EXPECT_EQ(std::wstring(c.extension), extensionPart(c.path)) << "extensionPart of " << ::testing::PrintToString(c.path);
  }
}

TEST(PathHelpers, NamesASelectedItemAsStrippingThenSplittingWould) {
  for (const wchar_t* path : {L"C:\\Work\\a.txt", L"C:\\Work\\Album\\", L"C:\\", L"C:", L"\\", L"", L"a.txt",
                              L"C:a.txt", L"C:\\Work\\\\", L"\\\\server\\share\\", L"x:\\"}) {
    std::wstring stripped = path;
    stripTrailingBackslash(stripped);
    std::size_t start = 99, end = 99;
    itemNameBounds(path, start, end);
    ASSERT_LE(start, end);
    EXPECT_EQ(fileNamePart(stripped), std::wstring(path).substr(start, end - start)) << ::testing::PrintToString(path);
  }
}

struct EditCase {
  void (*edit)(std::wstring&);
  const wchar_t* before;
  const wchar_t* after;
};

TEST(PathHelpers, EditsInPlace) {
  const EditCase cases[] = {
      {ensureTrailingBackslash, L"C:\\Work", L"C:\\Work\\"},
      {ensureTrailingBackslash, L"C:\\", L"C:\\"},
      {ensureTrailingBackslash, L"", L"\\"},
      {stripTrailingBackslash, L"C:\\Work\\\\", L"C:\\Work\\"},
      {stripTrailingBackslash, L"C:\\Work", L"C:\\Work"},
      {stripTrailingBackslash, L"\\", L""},
      {stripTrailingBackslash, L"", L""},
      {toBackslashes, L"C:/Work/a.txt", L"C:\\Work\\a.txt"},
      {toBackslashes, L"//server/share", L"\\\\server\\share"},
      {toBackslashes, L"no separators", L"no separators"},
  };
  for (const auto& c : cases) {
    std::wstring text = c.before;
    c.edit(text);
    EXPECT_EQ(std::wstring(c.after), text) << "from " << ::testing::PrintToString(c.before);
  }
}

TEST(PathHelpers, KnowsTheCharactersNoFileNameCanHold) {
  const struct {
    std::wstring name;
    bool forbidden;
  } cases[] = {
      {L"plain name.txt", false}, {L"", false},         {L"Sub\\x.txt", false}, {L"a/b", false},
      {L"trailing. ", false},     {L"caf\u00e9", false}, {L"\x7f", false},       {L"a*b", true},
      {L"a?b", true},             {L"x<", true},        {L">x", true},          {L"C:x", true},
      {L"\"", true},              {L"|", true},         {L"\x1f", true},        {std::wstring(1, L'\0'), true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.forbidden, holdsForbiddenNameCharacter(c.name)) << ::testing::PrintToString(c.name);
  }
}

TEST(PathHelpers, KnowsTheNamesWindowsKeepsForDevices) {
  const struct {
    std::wstring name;
    bool reserved;
  } cases[] = {
      {L"CON", true},          {L"nul.txt", true},        {L"Prn.log.txt", true},   {L"aUx", true},
      {L"COM0", true},         {L"com9.jpg", true},       {L"LPT1", true},          {L"lpt0.x", true},
      {L"COM\u00b9", true},    {L"LPT\u00b2.txt", true},  {L"com\u00b3", true},     {L"CON .txt", true},
      {L"NUL  ", true},        {L"AUX.", true},           {L"Sub\\CON", true},     {L"PRN/x.txt", true},
      {L"CONSOLE", false},     {L"COM10", false},         {L"LPT", false},          {L"COM\u00b4", false},
      {L"xCON", false},        {L" CON", false},          {L"CO", false},           {L"", false},
      {L"report.con", false},  {L"NULL.txt", false},      {L"C\u00d3N", false},     {L"Sub\\CONX", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.reserved, isReservedDeviceName(c.name)) << ::testing::PrintToString(c.name);
  }
}

}  // namespace
}  // namespace lark
