// An application folder as the builder packs it: its regular files with the
// entry names they get, the child program first.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct AppFile {
  std::u16string name;  // entry name: components joined by backslashes
  std::filesystem::path path;
  uint64_t size = 0;
};

struct AppFolder {
  // The child program first, then every other file in the order of its
  // UTF-16 name, unit by unit.
  std::vector<AppFile> files;
  // Folders with no file below them, relative to the folder; they cannot be
  // packed since the format has no folders.
  std::vector<std::string> emptyFolders;
};

// Scans `root` and checks every name. `child` is the child program relative
// to `root` ('/' or '\' between components); empty picks the only .exe at the
// top. Symbolic links are followed when they resolve inside `root`. Throws a
// UserError naming the file for anything that cannot be packed as it is, so
// nothing is written for a folder that would pack wrongly.
AppFolder scanAppFolder(const std::filesystem::path& root, const std::string& child);
