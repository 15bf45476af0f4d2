#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "host_system.h"
#include "unicode.h"

namespace fs = std::filesystem;

std::vector<std::string> hostArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

bool standardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

fs::path hostPath(const std::string& named) { return named; }

std::string shownPath(const fs::path& path) { return path.string(); }

fs::path realPath(const fs::path& path) { return fs::canonical(path); }

bool isLink(const fs::path& path) { return fs::is_symlink(fs::symlink_status(path)); }

bool nameToUtf16(const fs::path& name, std::u16string& out) {
  return utf8ToUtf16(name.string(), out);
}

fs::path pathFromUtf16(const std::u16string& name) { return toUtf8(name); }

FileKind fileKind(const fs::path& path) {
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (!fs::exists(status)) return FileKind::missing;
  if (fs::is_regular_file(status)) return FileKind::file;
  return fs::is_directory(status) ? FileKind::folder : FileKind::other;
}

uint64_t fileSize(const fs::path& path) { return fs::file_size(path); }

std::vector<fs::path> folderEntries(const fs::path& folder) {
  std::vector<fs::path> entries;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    entries.push_back(entry.path());
  }
  return entries;
}

void makeFolders(const fs::path& folder) { fs::create_directories(folder); }

void removeFile(const fs::path& path) {
  std::error_code ignored;
  fs::remove(path, ignored);
}

std::FILE* openFile(const fs::path& path, const char* mode) {
  return std::fopen(path.c_str(), mode);
}

bool seekFile(std::FILE* file, uint64_t offset) {
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

fs::path makeTemporaryFolder() {
  std::string pattern = (fs::temp_directory_path() / "tavmor-pack-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw fs::filesystem_error("cannot make a temporary folder", pattern,
                               std::error_code(errno, std::generic_category()));
  }
  return pattern;
}
