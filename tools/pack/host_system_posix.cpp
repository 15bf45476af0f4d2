#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "host_system.h"

namespace fs = std::filesystem;

bool standardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

fs::path makeTemporaryFolder() {
  std::string pattern = (fs::temp_directory_path() / "tavmor-pack-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw fs::filesystem_error("cannot make a temporary folder", pattern,
                               std::error_code(errno, std::generic_category()));
  }
  return pattern;
}
