#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "host_system.h"

namespace fs = std::filesystem;

int runProgram(const std::vector<std::string>& arguments, const fs::path& workingDirectory) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    if (chdir(workingDirectory.c_str()) == 0) execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string findProgram(const std::string& name) {
  const auto isExecutable = [](const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.c_str(), X_OK) == 0;
  };
  if (name.find('/') != std::string::npos) return isExecutable(name) ? name : std::string();
  const char* const path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  for (;;) {
    const size_t end = folders.find(':', start);
    std::string folder = folders.substr(start, end - start);
    if (folder.empty()) folder = ".";
    const std::string candidate = folder + "/" + name;
    if (isExecutable(candidate)) return candidate;
    if (end == std::string::npos) return {};
    start = end + 1;
  }
}

fs::path selfExecutable(const char* argv0) {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  if (!error) return self;
  const std::string found = findProgram(argv0);
  return fs::absolute(found.empty() ? argv0 : found);
}

bool standardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

fs::path makeTemporaryFolder() {
  std::string pattern = (fs::temp_directory_path() / "tavmor-pack-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw fs::filesystem_error("cannot make a temporary folder", pattern,
                               std::error_code(errno, std::generic_category()));
  }
  return pattern;
}
