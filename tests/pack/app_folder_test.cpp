#include "app_folder.h"

#include <gtest/gtest.h>

#include <fstream>

#include "errors.h"
#include "host_system.h"

namespace fs = std::filesystem;

namespace {

class AppFolderTest : public testing::Test {
 protected:
  void SetUp() override {
    base_ = makeTemporaryFolder();
    root_ = base_ / "app";
    fs::create_directory(root_);
  }
  void TearDown() override { fs::remove_all(base_); }

  void write(const std::string& name, const std::string& contents = "x") {
    const fs::path path = root_ / name;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << contents;
  }

  std::vector<std::u16string> names(const std::string& child = {}) {
    std::vector<std::u16string> out;
    for (const AppFile& file : scanAppFolder(root_, child).files) out.push_back(file.name);
    return out;
  }

  // The message of the UserError that scanning throws, or "" without one.
  std::string refusal(const std::string& child = {}) {
    try {
      scanAppFolder(root_, child);
    } catch (const UserError& error) {
      return error.what();
    }
    return "";
  }

  fs::path base_;
  fs::path root_;
};

TEST_F(AppFolderTest, ChildFirstThenUtf16OrderWithBackslashes) {
  write("zeta.exe");
  write("b/inner.txt");
  write("a.txt");
  write("B.txt");
  write("\xEF\xBC\xA1.txt");      // U+FF21: after a surrogate pair in UTF-16, before it in UTF-8
  write("\xF0\x9F\x98\x80.txt");  // U+1F600
  EXPECT_EQ(names(), (std::vector<std::u16string>{u"zeta.exe", u"B.txt", u"a.txt", u"b\\inner.txt",
                                                  u"\xD83D\xDE00.txt", u"\uFF21.txt"}));
  const std::vector<AppFile> files = scanAppFolder(root_, "").files;
  EXPECT_EQ(files[0].size, 1u);
  EXPECT_EQ(files[0].path, root_ / "zeta.exe");
}

TEST_F(AppFolderTest, ChildIsTheOnlyTopExeOrChosen) {
  write("tool/helper.exe");
  write("readme.txt");
  EXPECT_NE(refusal().find("no .exe file at the top"), std::string::npos);
  write("App.EXE");
  EXPECT_EQ(names().front(), u"App.EXE");
  write("second.exe");
  EXPECT_NE(refusal().find("2 .exe files"), std::string::npos);
  EXPECT_EQ(names("tool/helper.exe").front(), u"tool\\helper.exe");
  EXPECT_EQ(names("tool\\helper.exe").front(), u"tool\\helper.exe");
  EXPECT_NE(refusal("tool/missing.exe").find("--child tool/missing.exe"), std::string::npos);
}

TEST_F(AppFolderTest, EmptyFoldersAreLeftOutAndNamedOnce) {
  write("app.exe");
  fs::create_directories(root_ / "empty/deeper/deepest");
  fs::create_directories(root_ / "data/none");
  write("data/file.txt");
  const AppFolder folder = scanAppFolder(root_, "");
  EXPECT_EQ(folder.files.size(), 2u);
  EXPECT_EQ(folder.emptyFolders, (std::vector<std::string>{"data/none", "empty"}));
}

TEST_F(AppFolderTest, FollowsSymbolicLinksInsideTheFolderOnly) {
  write("app.exe");
  write("real/lib.dll");
  fs::create_symlink("real", root_ / "linked");
  fs::create_symlink("real/lib.dll", root_ / "alias.dll");
  EXPECT_EQ(names(), (std::vector<std::u16string>{u"app.exe", u"alias.dll", u"linked\\lib.dll",
                                                  u"real\\lib.dll"}));

  std::ofstream(base_ / "secret.txt") << "outside";
  fs::create_symlink("../secret.txt", root_ / "leak.txt");
  EXPECT_NE(refusal().find("outside the application folder"), std::string::npos);
  fs::remove(root_ / "leak.txt");

  fs::create_symlink("..", root_ / "up");
  EXPECT_NE(refusal().find("outside the application folder"), std::string::npos);
  fs::remove(root_ / "up");

  fs::create_symlink("nowhere", root_ / "dangling");
  EXPECT_NE(refusal().find("broken symbolic link"), std::string::npos);
  fs::remove(root_ / "dangling");

  fs::create_symlink("..", root_ / "real/loop");
  EXPECT_NE(refusal().find("loop"), std::string::npos);
}

TEST_F(AppFolderTest, RefusesNamesThatWouldNotSurviveOnWindows) {
  write("app.exe");
  for (const char* bad : {"CON.txt", "sub/aux", "a:b", "q?", "trailing.", "blank ", "back\\slash",
                          "bad\xFF.txt", "dir./x.txt"}) {
    write(bad);
    EXPECT_NE(refusal(), "") << bad;
    fs::remove_all(root_ / fs::path(bad).begin()->string());
  }
  write("Data.txt");
  write("data.TXT");
  EXPECT_NE(refusal().find("without regard to case"), std::string::npos);
}

TEST_F(AppFolderTest, RefusesWhatIsNotAFolderOfFiles) {
  EXPECT_NE(refusal().find("no files"), std::string::npos);
  fs::remove(root_);
  EXPECT_NE(refusal().find("not a folder"), std::string::npos);
  std::ofstream(root_) << "file";
  EXPECT_NE(refusal().find("not a folder"), std::string::npos);
}

}  // namespace
