#include "app_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <set>

#include "app_contents.h"

namespace {

size_t backslashes(const std::string& name) { return std::count(name.begin(), name.end(), '\\'); }

std::string lowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

TEST(AppLayout, FullScaleHasTheShapeOfTheReferenceApplication) {
  const std::vector<AppFile> files = makeAppLayout(1.0);
  ASSERT_EQ(files.size(), 422u);
  EXPECT_EQ(files[0].name, kAppProgramName);
  EXPECT_EQ(files[0].size, 194424320u);
  uint64_t total = 0;
  size_t nested = 0, deepest = 0, longest = 0;
  for (const AppFile& file : files) {
    total += file.size;
    EXPECT_GE(file.size, 1u) << file.name;
    nested += backslashes(file.name) > 0;
    deepest = std::max(deepest, backslashes(file.name));
    longest = std::max(longest, file.name.size());
  }
  EXPECT_EQ(total, 395916563u);
  EXPECT_EQ(nested, 380u);
  EXPECT_EQ(deepest, 5u);
  EXPECT_EQ(longest, 96u);
}

TEST(AppLayout, NamesAreFilesAWindowsFolderCanHold) {
  const std::vector<AppFile> files = makeAppLayout(1.0);
  std::set<std::string> fileNames, directories;
  for (const AppFile& file : files) {
    const std::string name = lowerCase(file.name);
    EXPECT_TRUE(fileNames.insert(name).second) << "twice, ignoring case: " << file.name;
    EXPECT_EQ(name.find("\\\\"), std::string::npos) << file.name;
    EXPECT_NE(name.front(), '\\');
    EXPECT_NE(name.back(), '\\');
    for (size_t slash = name.find('\\'); slash != std::string::npos;
         slash = name.find('\\', slash + 1)) {
      directories.insert(name.substr(0, slash));
    }
  }
  for (const std::string& directory : directories) {
    EXPECT_EQ(fileNames.count(directory), 0u) << "both a file and a directory: " << directory;
  }
}

TEST(AppLayout, ScaleChangesSizesOnlyAndKeepsTheTotalExact) {
  const std::vector<AppFile> full = makeAppLayout(1.0);
  for (const double scale : {0.1, 0.001}) {
    const std::vector<AppFile> scaled = makeAppLayout(scale);
    ASSERT_EQ(scaled.size(), full.size());
    uint64_t total = 0;
    for (size_t i = 0; i < scaled.size(); ++i) {
      EXPECT_EQ(scaled[i].name, full[i].name);
      EXPECT_GE(scaled[i].size, 1u);
      total += scaled[i].size;
    }
    EXPECT_EQ(total, static_cast<uint64_t>(std::llround(395916563 * scale))) << scale;
    EXPECT_EQ(scaled[0].size, static_cast<uint64_t>(std::llround(194424320 * scale))) << scale;
  }
}

TEST(AppContents, SameCallsGiveTheSameBytesAndStretchesStayWithinWhatIsLeft) {
  ContentModel first = makeContentModel();
  ContentModel second = makeContentModel();
  std::vector<unsigned char> a(kLongestStretch), b(kLongestStretch);
  const ContentProfile profiles[] = {ContentProfile::program, ContentProfile::media,
                                     ContentProfile::text, ContentProfile::data};
  for (int i = 0; i < 64; ++i) {
    const uint64_t left = i % 2 ? kLongestStretch * 4 : 1 + static_cast<uint64_t>(i) * 997;
    const ContentProfile profile = profiles[i % 4];
    const size_t length = fillStretch(first, profile, a.data(), left);
    ASSERT_EQ(fillStretch(second, profile, b.data(), left), length);
    ASSERT_GE(length, 1u);
    ASSERT_LE(length, std::min<uint64_t>(left, kLongestStretch));
    ASSERT_TRUE(std::equal(a.begin(), a.begin() + length, b.begin())) << "stretch " << i;
  }
}

}  // namespace
