#include "toolchain.h"

#include "errors.h"
#include "host_system.h"

namespace fs = std::filesystem;

std::vector<fs::path> LauncherRuntime::libraries() const {
  return {libraryDir / "libtavmor_launcher.a", libraryDir / "libzstd_decoder.a",
          libraryDir / "libz.a"};
}

LauncherRuntime findLauncherRuntime(const std::string& prefix, const fs::path& self) {
  const fs::path root = prefix.empty() ? self.parent_path().parent_path() : fs::path(prefix);
  LauncherRuntime runtime{root / "lib" / "tavmor", root / "share" / "tavmor"};
  std::vector<fs::path> needed = runtime.libraries();
  for (const char* name : {"constants.cpp.in", "attached_data.S.in", "launcher.manifest"}) {
    needed.push_back(runtime.templateDir / name);
  }
  for (const fs::path& file : needed) {
    if (!fs::is_regular_file(file)) {
      throw UserError("launcher runtime incomplete: " + file.string() +
                      " is missing (choose the runtime with --runtime PREFIX)");
    }
  }
  return runtime;
}

Toolchain findToolchain(const std::string& prefix) {
  Toolchain toolchain;
  toolchain.compiler = findProgram(prefix + "g++-posix");
  if (toolchain.compiler.empty()) toolchain.compiler = findProgram(prefix + "g++");
  if (toolchain.compiler.empty()) {
    throw UserError("no " + prefix + "g++-posix or " + prefix +
                    "g++ found (install mingw-w64 or choose it with --toolchain PREFIX)");
  }
  toolchain.windres = findProgram(prefix + "windres");
  if (toolchain.windres.empty()) {
    throw UserError("no " + prefix +
                    "windres found (install mingw-w64 or choose it with --toolchain PREFIX)");
  }
  return toolchain;
}
