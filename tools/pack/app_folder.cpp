#include "app_folder.h"

#include <algorithm>
#include <set>

#include "entry_names.h"
#include "errors.h"
#include "unicode.h"

namespace fs = std::filesystem;

namespace {

class FolderScanner {
 public:
  explicit FolderScanner(const fs::path& root) : root_(fs::canonical(root)) {}

  // Adds the files below `folder`, whose entry name is `prefix` (empty at the
  // top); returns how many it added.
  size_t scan(const fs::path& folder, const std::u16string& prefix, const std::string& shown) {
    const fs::path real = fs::canonical(folder);
    if (!ancestors_.insert(real).second) {
      throw UserError(folder.string() + ": symbolic link loop");
    }
    // Only the outermost of nested empty folders is named.
    const size_t emptyBefore = folder_.emptyFolders.size();
    std::vector<fs::directory_entry> entries(fs::directory_iterator(folder), {});
    std::sort(entries.begin(), entries.end());
    size_t added = 0;
    for (const fs::directory_entry& entry : entries) added += scanEntry(entry, prefix, shown);
    ancestors_.erase(real);
    if (added == 0 && !prefix.empty()) {
      folder_.emptyFolders.resize(emptyBefore);
      folder_.emptyFolders.push_back(shown);
    }
    return added;
  }

  AppFolder take() { return std::move(folder_); }

 private:
  size_t scanEntry(const fs::directory_entry& entry, const std::u16string& prefix,
                   const std::string& shown) {
    const fs::path& path = entry.path();
    const std::string hostName = path.filename().string();
    std::u16string component;
    if (!utf8ToUtf16(hostName, component)) {
      throw UserError(path.string() + ": file name is not valid UTF-8");
    }
    if (component.find(u'\\') != std::u16string::npos) {
      throw UserError(path.string() +
                      ": refused: the name holds a backslash, which Windows reads " +
                      "as a folder separator");
    }
    const std::u16string name = prefix.empty() ? component : prefix + u'\\' + component;
    const std::string problem = entryNameProblem(name);
    if (!problem.empty()) throw UserError(path.string() + ": refused: " + problem);

    fs::file_status status = entry.symlink_status();
    if (fs::is_symlink(status)) {
      std::error_code error;
      const fs::path target = fs::canonical(path, error);
      if (error) throw UserError(path.string() + ": broken symbolic link");
      if (!isInsideRoot(target)) {
        throw UserError(path.string() + ": refused: symbolic link to " + target.string() +
                        ", outside the application folder");
      }
      status = fs::status(target);
    }
    const std::string shownName = shown.empty() ? hostName : shown + "/" + hostName;
    if (fs::is_directory(status)) return scan(path, name, shownName);
    if (!fs::is_regular_file(status)) {
      throw UserError(path.string() + ": refused: not a regular file or folder");
    }
    const std::u16string clash = names_.add(name);
    if (!clash.empty()) {
      throw UserError(path.string() + ": refused: Windows would put it and \"" + toUtf8(clash) +
                      "\" in one place (the same name without regard to case, or an 8.3 "
                      "short alias of it)");
    }
    folder_.files.push_back(AppFile{name, path, fs::file_size(path)});
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
          root.string() + ": " +
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
      throw UserError("--child " + child + ": no such file in " + root.string());
    }
  }
  std::rotate(files.begin(), found, found + 1);
}

}  // namespace

AppFolder scanAppFolder(const fs::path& root, const std::string& child) {
  std::error_code error;
  if (!fs::is_directory(root, error)) throw UserError(root.string() + ": not a folder");
  FolderScanner scanner(root);
  scanner.scan(root, u"", "");
  AppFolder folder = scanner.take();
  if (folder.files.empty()) throw UserError(root.string() + ": no files to pack");
  std::sort(folder.files.begin(), folder.files.end(),
            [](const AppFile& a, const AppFile& b) { return a.name < b.name; });
  placeChildFirst(folder, root, child);
  return folder;
}
