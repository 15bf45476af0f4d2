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

const AppShape kShapes[] = {AppShape::largeFiles, AppShape::manyFiles};

// What each shape was modelled on; the large one must not drift, so that its
// figures stay comparable from one run to the next.
struct Expected {
  AppShape shape;
  size_t files, nested, deepest, longest;
  uint64_t total, program;
};
const Expected kExpected[] = {
    {AppShape::largeFiles, 422, 380, 5, 96, 395916563, 194424320},
    {AppShape::manyFiles, 10000, 9976, 8, 120, 159000000, 1048576},
};

TEST(AppLayout, FullScaleHasTheShapeOfTheReferenceApplication) {
  for (const Expected& expected : kExpected) {
    const std::vector<AppFile> files = makeAppLayout(expected.shape, 1.0);
    ASSERT_EQ(files.size(), expected.files);
    EXPECT_EQ(files[0].name, kAppProgramName);
    EXPECT_EQ(files[0].size, expected.program);
    uint64_t total = 0;
    size_t nested = 0, deepest = 0, longest = 0, small = 0, libraries = 0;
    for (const AppFile& file : files) {
      total += file.size;
      EXPECT_GE(file.size, 1u) << file.name;
      nested += backslashes(file.name) > 0;
      deepest = std::max(deepest, backslashes(file.name));
      longest = std::max(longest, file.name.size());
      small += file.size >= 1000 && file.size <= 50000;
      libraries += file.size >= 1048576 && file.size <= 5 * 1048576 &&
                   file.profile != ContentProfile::program;
    }
    EXPECT_EQ(total, expected.total);
    EXPECT_EQ(nested, expected.nested);
    EXPECT_EQ(deepest, expected.deepest);
    EXPECT_EQ(longest, expected.longest);
    const AppShapeFacts& facts = appShapeFacts(expected.shape);
    EXPECT_EQ(facts.fileCount, expected.files);
    EXPECT_EQ(facts.totalBytes, expected.total);
    if (expected.shape == AppShape::manyFiles) {
      EXPECT_GT(small, files.size() * 9 / 10);  // most files 1 to 50 KB
      EXPECT_EQ(libraries, 12u);
    }
  }
}

TEST(AppLayout, NamesAreFilesAWindowsFolderCanHold) {
  for (const AppShape shape : kShapes) {
    const std::vector<AppFile> files = makeAppLayout(shape, 1.0);
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
}

TEST(AppLayout, ScaleChangesSizesOnlyAndKeepsTheTotalExact) {
  for (const AppShape shape : kShapes) {
    const AppShapeFacts& facts = appShapeFacts(shape);
    const std::vector<AppFile> full = makeAppLayout(shape, 1.0);
    for (const double scale : {0.1, 0.001}) {
      const std::vector<AppFile> scaled = makeAppLayout(shape, scale);
      ASSERT_EQ(scaled.size(), full.size());
      uint64_t total = 0;
      for (size_t i = 0; i < scaled.size(); ++i) {
        EXPECT_EQ(scaled[i].name, full[i].name);
        EXPECT_GE(scaled[i].size, 1u);
        total += scaled[i].size;
      }
      EXPECT_EQ(total, static_cast<uint64_t>(std::llround(facts.totalBytes * scale))) << scale;
      EXPECT_EQ(scaled[0].size, static_cast<uint64_t>(std::llround(facts.programBytes * scale)))
          << scale;
    }
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
