// Journals as files: written by one run at a time, read and settled by the Undo program.
#include "win32/journal_folder.h"

#include <shlobj.h>

#include <cwchar>

#include "win32/handles.h"

namespace lark {

namespace {

class Win32JournalFile : public JournalFile {
 public:
  explicit Win32JournalFile(UniqueFileHandle file) : file_(std::move(file)) {}
  bool append(const std::string& bytes, bool durable) override {
    LARGE_INTEGER end = {};
    if (!SetFilePointerEx(file_.get(), end, nullptr, FILE_END)) return false;
    for (std::size_t done = 0; done < bytes.size();) {
      DWORD written = 0;
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
      if (!WriteFile(file_.get(), bytes.data() + done, chunk, &written, nullptr) || written == 0) return false;
      done += written;
    }
    return !durable || FlushFileBuffers(file_.get());
  }
  bool cut(std::size_t length) override {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(length);
    return SetFilePointerEx(file_.get(), at, nullptr, FILE_BEGIN) && SetEndOfFile(file_.get()) &&
           FlushFileBuffers(file_.get());
  }

 private:
  UniqueFileHandle file_;
};

// Others may read a journal while its run writes it, never write it: that is how the
// Undo program tells a run still going from one that was cut short, and why two Undo
// programs never settle one journal at once.
HANDLE openForWriting(const std::wstring& path, DWORD disposition) {
  return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool isJournalName(const wchar_t* name) {
  const std::size_t length = std::wcslen(name);
  return length > 4 && name[0] >= L'0' && name[0] <= L'9' && _wcsicmp(name + length - 4, L".txt") == 0;
}

}  // namespace

const std::wstring& Win32JournalFolder::folder() {
  if (!folder_.empty()) return folder_;
  wchar_t appData[MAX_PATH] = {};
  if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData))) {
    folder_ = std::wstring(appData) + L"\\Larkspindle\\Journal";
  }
  if (!folder_.empty() && folder_.back() != L'\\') folder_ += L'\\';
  return folder_;
}

std::unique_ptr<JournalFile> Win32JournalFolder::create(std::wstring& made) {
  const std::wstring& where = folder();
  if (where.empty()) return nullptr;
  // Both levels, each allowed to exist already.
  CreateDirectoryW(where.substr(0, where.rfind(L'\\', where.size() - 2)).c_str(), nullptr);
  CreateDirectoryW(where.c_str(), nullptr);
  SYSTEMTIME time;
  GetSystemTime(&time);
  wchar_t stem[32];
  swprintf(stem, 32, L"%04u%02u%02u-%02u%02u%02u-%03u", time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute,
           time.wSecond, time.wMilliseconds);
  for (int attempt = 1; attempt <= 100; ++attempt) {
    std::wstring name = stem;
    if (attempt > 1) name += L"-" + std::to_wstring(attempt);
    UniqueFileHandle file(openForWriting(where + name + L".txt", CREATE_NEW));
    if (file) {
      made = name + L".txt";
      return std::make_unique<Win32JournalFile>(std::move(file));
    }
    if (GetLastError() != ERROR_FILE_EXISTS) return nullptr;
  }
  return nullptr;
}

std::vector<std::wstring> Win32JournalFolder::names() {
  std::vector<std::wstring> names;
  const std::wstring& where = folder();
  if (where.empty()) return names;
  WIN32_FIND_DATAW data;
  UniqueFindHandle find(FindFirstFileW((where + L"*.txt").c_str(), &data));
  if (!find) return names;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && isJournalName(data.cFileName)) names.push_back(data.cFileName);
  } while (FindNextFileW(find.get(), &data));
  return names;
}

bool Win32JournalFolder::read(const std::wstring& name, std::size_t limit, std::string& text) {
  UniqueFileHandle file(CreateFileW((folder() + name).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size;
  if (!file || !GetFileSizeEx(file.get(), &size)) return false;
  text.resize(static_cast<std::size_t>(std::min<ULONGLONG>(size.QuadPart, limit + 1ull)));
  for (std::size_t done = 0; done < text.size();) {
    DWORD got = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1u << 20));
    if (!ReadFile(file.get(), &text[done], chunk, &got, nullptr)) return false;
    if (got == 0) {
      text.resize(done);  // it shrank meanwhile
      break;
    }
    done += got;
  }
  return true;
}

std::unique_ptr<JournalFile> Win32JournalFolder::reopen(const std::wstring& name) {
  UniqueFileHandle file(openForWriting(folder() + name, OPEN_EXISTING));
  if (!file) return nullptr;
  return std::make_unique<Win32JournalFile>(std::move(file));
}

void Win32JournalFolder::remove(const std::wstring& name) { DeleteFileW((folder() + name).c_str()); }

std::wstring Win32JournalFolder::now() {
  SYSTEMTIME utc;
  SYSTEMTIME local;
  GetSystemTime(&utc);
  FILETIME utcTicks;
  FILETIME localTicks;
  SystemTimeToFileTime(&utc, &utcTicks);
  FileTimeToLocalFileTime(&utcTicks, &localTicks);
  FileTimeToSystemTime(&localTicks, &local);
  const auto ticks = [](const FILETIME& time) {
    return static_cast<long long>((static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
  };
  const long long minutes = (ticks(localTicks) - ticks(utcTicks)) / 600000000;
  wchar_t text[48];
  swprintf(text, 48, L"%04u-%02u-%02u %02u:%02u:%02u %c%02lld:%02lld", local.wYear, local.wMonth, local.wDay, local.wHour,
           local.wMinute, local.wSecond, minutes < 0 ? L'-' : L'+', (minutes < 0 ? -minutes : minutes) / 60,
           (minutes < 0 ? -minutes : minutes) % 60);
  return text;
}

}  // namespace lark
