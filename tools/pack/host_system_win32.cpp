#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdlib>

#include "errors.h"
#include "host_system.h"
#include "unicode.h"

namespace fs = std::filesystem;

namespace {

std::wstring wide(const std::string& text) {
  const std::u16string units = toUtf16(text, "a path");
  return std::wstring(units.begin(), units.end());
}

std::string utf8(const std::wstring& text) {
  return toUtf8(std::u16string(text.begin(), text.end()));
}

// The console's output code page when the tool started, restored at exit so
// that the caller's console is left as it was.
UINT startingOutputCodePage = 0;

void restoreConsole() { SetConsoleOutputCP(startingOutputCodePage); }

// Text goes out as UTF-8 bytes, as on other hosts: no "\r\n" translation, and
// a console told to show UTF-8 and to draw the progress line's escapes.
void prepareStandardStreams() {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  DWORD mode = 0;
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  if (GetConsoleMode(error, &mode)) {
    SetConsoleMode(error, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
  }
  startingOutputCodePage = GetConsoleOutputCP();
  if (startingOutputCodePage != 0 && startingOutputCodePage != CP_UTF8) {
    SetConsoleOutputCP(CP_UTF8);
    std::atexit(restoreConsole);
  }
}

}  // namespace

std::vector<std::string> hostArguments(int, char**) {
  prepareStandardStreams();
  // The narrow argv went through the ANSI code page and lost what it cannot
  // hold; the wide command line has every name as it was typed.
  int count = 0;
  wchar_t** const words = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(utf8(words[i]));
  LocalFree(words);
  return arguments;
}

bool standardErrorIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

// Absolute and with the \\?\ prefix, so that no call stops at 260
// characters; a UNC path \\server\share\... becomes \\?\UNC\server\share\....
// The standard library splits such a path lexically into odd parts (its
// parent_path and filename still hold), so nothing here asks it to make one
// absolute or canonical: GetFullPathNameW and realPath do that.
fs::path hostPath(const std::string& named) {
  if (named.empty()) return fs::path();
  const std::wstring given = wide(named);
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) {
      throw fs::filesystem_error(
          "cannot make it absolute", fs::u8path(named),
          std::error_code(static_cast<int>(GetLastError()), std::system_category()));
    }
    if (length < full.size()) {
      full.resize(length);
      break;
    }
    full.resize(length);
  }
  if (full.rfind(L"\\\\?\\", 0) == 0 || full.rfind(L"\\\\.\\", 0) == 0) return full;
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

std::string shownPath(const fs::path& path) {
  const std::wstring& text = path.native();
  if (text.rfind(L"\\\\?\\UNC\\", 0) == 0) return utf8(L"\\\\" + text.substr(8));
  if (text.rfind(L"\\\\?\\", 0) == 0) return utf8(text.substr(4));
  return utf8(text);
}

namespace {

fs::filesystem_error lastError(const char* what, const fs::path& path) {
  return fs::filesystem_error(
      what, path, std::error_code(static_cast<int>(GetLastError()), std::system_category()));
}

}  // namespace

fs::path realPath(const fs::path& path) {
  const auto failure = [&] { return lastError("cannot resolve", path); };
  const HANDLE handle =
      CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) throw failure();
  // Room for the longest path there is: not every GetFinalPathNameByHandleW
  // says how much it needs when the buffer is short.
  std::wstring real(32768, L'\0');
  const DWORD length = GetFinalPathNameByHandleW(
      handle, real.data(), static_cast<DWORD>(real.size()), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (length == 0 || length >= real.size()) {
    const DWORD reason = GetLastError();
    CloseHandle(handle);
    // Wine's GetFinalPathNameByHandleW stops at 260 characters. What lies
    // below a folder it resolves, and is no link itself, resolves through it.
    if (reason == ERROR_MORE_DATA && !isLink(path) && path.has_filename()) {
      return realPath(path.parent_path()) / path.filename();
    }
    SetLastError(reason);
    throw failure();
  }
  CloseHandle(handle);
  real.resize(length);
  return real;
}

bool isLink(const fs::path& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Windows names are UTF-16 already: no round trip through any other form.
bool nameToUtf16(const fs::path& name, std::u16string& out) {
  out.assign(name.native().begin(), name.native().end());
  return true;
}

fs::path pathFromUtf16(const std::u16string& name) {
  return std::wstring(name.begin(), name.end());
}

FileKind fileKind(const fs::path& path) {
  // Through a link to what it leads to, like stat.
  const HANDLE handle =
      CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES ? FileKind::missing
                                                                       : FileKind::other;
  }
  BY_HANDLE_FILE_INFORMATION information;
  const bool known = GetFileInformationByHandle(handle, &information);
  const DWORD type = GetFileType(handle);
  CloseHandle(handle);
  if (!known || type != FILE_TYPE_DISK) return FileKind::other;
  return (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? FileKind::folder
                                                                   : FileKind::file;
}

uint64_t fileSize(const fs::path& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
    throw lastError("cannot read the size", path);
  }
  return (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

std::vector<fs::path> folderEntries(const fs::path& folder) {
  std::vector<fs::path> entries;
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileExW((folder / L"*").c_str(), FindExInfoBasic, &found,
                                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE) throw lastError("cannot list", folder);
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") entries.push_back(folder / name);
  } while (FindNextFileW(search, &found));
  const DWORD reason = GetLastError();
  FindClose(search);
  if (reason != ERROR_NO_MORE_FILES) {
    SetLastError(reason);
    throw lastError("cannot list", folder);
  }
  return entries;
}

void makeFolders(const fs::path& folder) {
  const FileKind kind = fileKind(folder);
  if (kind == FileKind::folder) return;
  if (kind == FileKind::missing && folder.has_relative_path() && folder.parent_path() != folder) {
    makeFolders(folder.parent_path());
  }
  if (!CreateDirectoryW(folder.c_str(), nullptr)) throw lastError("cannot create", folder);
}

void removeFile(const fs::path& path) { DeleteFileW(path.c_str()); }

std::FILE* openFile(const fs::path& path, const char* mode) {
  return _wfopen(path.c_str(), wide(mode).c_str());
}

bool seekFile(std::FILE* file, uint64_t offset) {
  return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
}

fs::path makeTemporaryFolder() {
  const fs::path base = fs::temp_directory_path();
  for (unsigned attempt = GetTickCount();; ++attempt) {
    const fs::path folder = base / ("tavmor-pack-" + std::to_string(attempt));
    if (CreateDirectoryW(folder.c_str(), nullptr)) return folder;
    if (GetLastError() != ERROR_ALREADY_EXISTS) {
      throw fs::filesystem_error(
          "cannot make a temporary folder", folder,
          std::error_code(static_cast<int>(GetLastError()), std::system_category()));
    }
  }
}
