// What linking a launcher needs besides the generated sources: the launcher
// runtime (prebuilt libraries and templates) and the mingw-w64 tools.
#pragma once
#include <filesystem>
#include <string>
#include <vector>

struct LauncherRuntime {
  std::filesystem::path libraryDir;   // libtavmor_launcher.a, libzstd_decoder.a, libz.a
  std::filesystem::path templateDir;  // constants.cpp.in, attached_data.S.in, launcher.manifest
  // The libraries in link order.
  std::vector<std::filesystem::path> libraries() const;
};

// The runtime below `prefix` (lib/tavmor and share/tavmor), or, when
// `prefix` is empty, below the folder above the one `self` lies in. Throws a
// UserError naming the first missing file.
LauncherRuntime findLauncherRuntime(const std::string& prefix, const std::filesystem::path& self);

struct Toolchain {
  std::string compiler;  // <prefix>g++-posix, or <prefix>g++ when there is no -posix
  std::string windres;
};

// Throws a UserError when a tool is missing.
Toolchain findToolchain(const std::string& prefix);
