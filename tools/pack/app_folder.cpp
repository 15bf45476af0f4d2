#include "app_folder.h"

#include <algorithm>
#include <set>

#include "entry_names.h"
#include "errors.h"
#include "host_system.h"
#include "unicode.h"

namespace fs = std::filesystem;

namespace {

class FolderScanner {
 public:
  explicit FolderScanner(const fs::path& root) : root_(realPath(root)) {}

  // Adds the files below `folder`, whose entry name is `prefix` (empty at the
  // top); returns how many it added.
  size_t scan(const fs::path& folder, const std::u16string& prefix, const std::string& shown) {
    const fs::path real = realPath(folder);
    if (!ancestors_.insert(real).second) {
      throw UserError(shownPath(folder) + ": symbolic link loop");
    }
    // Only the outermost of nested empty folders is named.
    const size_t emptyBefore = folder_.emptyFolders.size();
    std::vector<fs::path> entries = folderEntries(folder);
    std::sort(entries.begin(), entries.end());
    size_t added = 0;
    for (const fs::path& entry : entries) added += scanEntry(entry, prefix, shown);
    ancestors_.erase(real);
    if (added == 0 && !prefix.empty()) {
      folder_.emptyFolders.resize(emptyBefore);
      folder_.emptyFolders.push_back(shown);
    }
    return added;
  }

  AppFolder take() { return std::move(folder_); }

 private:
  size_t scanEntry(const fs::path& path, const std::u16string& prefix,
                   const std::string& shownFolder) {
    const std::string shown = shownPath(path);
    const std::string hostName = shownPath(path.filename());
    std::u16string component;
    if (!nameToUtf16(path.filename(), component)) {
      throw UserError(shown + ": file name is not valid UTF-8");
    }
    if (component.find(u'\\') != std::u16string::npos) {
      throw UserError(shown + ": refused: the name holds a backslash, which Windows reads " +
                      "as a folder separator");
    }
    const std::u16string name = prefix.empty() ? component : prefix + u'\\' + component;
    const std::string problem = entryNameProblem(name);
    if (!problem.empty()) throw UserError(shown + ": refused: " + problem);

    if (isLink(path)) {
      fs::path target;
      try {
        target = realPath(path);
      } catch (const fs::filesystem_error&) {
        throw UserError(shown + ": broken symbolic link");
      }
      if (!isInsideRoot(target)) {
        throw UserError(shown + ": refused: symbolic link to " + shownPath(target) +
                        ", outside the application folder");
      }
    }
    const FileKind kind = fileKind(path);
    const std::string shownName = shownFolder.empty() ? hostName : shownFolder + "/" + hostName;
    if (kind == FileKind::folder) return scan(path, name, shownName);
    if (kind != FileKind::file) {
      throw UserError(shown + ": refused: not a regular file or folder");
    }
    const std::u16string clash = names_.add(name);
    if (!clash.empty()) {
      throw UserError(shown + ": refused: Windows would put it and \"" + toUtf8(clash) +
                      "\" in one place (the same name without regard to case, or an 8.3 "
                      "short alias of it)");
    }
    folder_.files.push_back(AppFile{name, path, fileSize(path)});
    return 1;
  }

  bool isInsideRoot(const fs::path& target) const {
    auto [rootEnd, targetAt] =
        std::mismatch(root_.begin(), root_.end(), target.begin(), target.end());
    return rootEnd == root_.end();
  }

  const fs::path root_;
  std::set<fs::path> ancestors_;
  EntryNameSet names_;
  AppFolder folder_;
};

bool isTopLevelExe(const AppFile& file) {
  const std::u16string& name = file.name;
  return name.find(u'\\') == std::u16string::npos && hasExeSuffix(name);
}

// Moves the child program to the front.
void placeChildFirst(AppFolder& folder, const fs::path& root, const std::string& child) {
  std::vector<AppFile>& files = folder.files;
  std::vector<AppFile>::iterator found = files.end();
  if (child.empty()) {
    const auto count = std::count_if(files.begin(), files.end(), isTopLevelExe);
    if (count != 1) {
      throw UserError(
          shownPath(root) + ": " +
          (count == 0 ? std::string("no .exe file") : std::to_string(count) + " .exe files") +
          " at the top; choose the program to start with --child");
    }
    found = std::find_if(files.begin(), files.end(), isTopLevelExe);
  } else {
    std::u16string name = toUtf16(child, "--child");
    std::replace(name.begin(), name.end(), u'/', u'\\');
    found = std::find_if(files.begin(), files.end(),
                         [&](const AppFile& file) { return file.name == name; });
    if (found == files.end()) {
      throw UserError("--child " + child + ": no such file in " + shownPath(root));
    }
  }
  std::rotate(files.begin(), found, found + 1);
}

}  // namespace

AppFolder scanAppFolder(const fs::path& root, const std::string& child) {
  if (fileKind(root) != FileKind::folder) throw UserError(shownPath(root) + ": not a folder");
  FolderScanner scanner(root);
  scanner.scan(root, u"", "");
  AppFolder folder = scanner.take();
  if (folder.files.empty()) throw UserError(shownPath(root) + ": no files to pack");
  std::sort(folder.files.begin(), folder.files.end(),
            [](const AppFile& a, const AppFile& b) { return a.name < b.name; });
  placeChildFirst(folder, root, child);
  return folder;
}
