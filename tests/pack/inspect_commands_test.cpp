// list, verify and extract on attached-data files, as a user runs them.
#include <gtest/gtest.h>
#include <zstd.h>

#include <fstream>
#include <sstream>

#include "commands.h"
#include "errors.h"
#include "host_system.h"
#include "pack_in_memory.h"
#include "payload/format.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<unsigned char>;

// Attached data around an entry list written by hand, for lists the writer
// refuses to make: wrong checksums, bad names.
Bytes handMade(const std::vector<std::pair<std::u16string, std::string>>& entries,
               uint32_t (*checksumOf)(const std::string&)) {
  std::string list;
  for (const auto& [name, contents] : entries) {
    for (const char16_t unit : name)
      list += {static_cast<char>(unit), static_cast<char>(unit >> 8)};
    unsigned char numbers[14] = {};
    storeU64(numbers + 2, contents.size());
    storeU32(numbers + 10, checksumOf(contents));
    list.append(reinterpret_cast<const char*>(numbers), sizeof numbers);
    list += contents;
  }
  list.append(2, '\0');
  Bytes data(kAttachedDataHeader, kAttachedDataHeader + 3);
  Bytes frame(ZSTD_compressBound(list.size()));
  frame.resize(ZSTD_compress(frame.data(), frame.size(), list.data(), list.size(), 3));
  data.insert(data.end(), frame.begin(), frame.end());
  unsigned char trailer[kAttachedTrailerSize];
  fillAttachedTrailer(trailer, frame.size());
  data.insert(data.end(), trailer, trailer + sizeof trailer);
  return data;
}

uint32_t rightChecksum(const std::string& contents) {
  return contentChecksum(contents.data(), contents.size());
}

class InspectTest : public testing::Test {
 protected:
  void SetUp() override {
    base_ = makeTemporaryFolder();
  }
  void TearDown() override { fs::remove_all(base_); }

  std::string save(const Bytes& data, const std::string& name = "data.bin") {
    const fs::path path = base_ / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()),
               static_cast<std::streamsize>(data.size()));
    return path.string();
  }

  Bytes packed(const std::vector<TestEntry>& entries) {
    std::string error;
    const Bytes data = packInMemory(entries, WriterSettings{}, 1000, error);
    EXPECT_EQ(error, "");
    return data;
  }

  // Runs a command; returns its standard output, or the UserError's message
  // prefixed with "error: ".
  std::string run(int (*command)(const std::vector<std::string>&), std::vector<std::string> args) {
    testing::internal::CaptureStdout();
    try {
      EXPECT_EQ(command(args), 0);
    } catch (const UserError& error) {
      testing::internal::GetCapturedStdout();
      return std::string("error: ") + error.what();
    }
    return testing::internal::GetCapturedStdout();
  }

  fs::path base_;
};

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST_F(InspectTest, ListShowsEveryEntryForPeopleAndForScripts) {
  const std::string file = save(packed({{u"app.exe", "MZ"}, {u"lib\\\u00E4.dll", ""}}));
  EXPECT_EQ(run(runList, {file}),
            "           2  8fb09b5d  app.exe\n"
            "           0  00000001  lib\\\xC3\xA4.dll\n");
  EXPECT_EQ(run(runList, {"--json", file}),
            "[\n"
            "  {\"name\": \"app.exe\", \"size\": 2, \"checksum\": 2410715997},\n"
            "  {\"name\": \"lib\\\\\xC3\xA4.dll\", \"size\": 0, \"checksum\": 1}\n"
            "]\n");
  EXPECT_EQ(run(runList, {"--json", save(handMade({}, rightChecksum), "empty.bin")}), "[]\n");
}

TEST_F(InspectTest, VerifyPassesSoundDataAndNamesTheFirstBadEntry) {
  const Bytes good = packed({{u"app.exe", std::string(300000, 'a')}, {u"b.txt", "b"}});
  EXPECT_EQ(run(runVerify, {save(good)}).find("2 entries, 300001 bytes, every checksum matches"),
            std::string(save(good)).size() + 2);

  const std::string wrong =
      save(handMade({{u"app.exe", "MZ"}, {u"bad.txt", "text"}},
                    [](const std::string& c) { return c == "MZ" ? rightChecksum(c) : 7u; }));
  EXPECT_NE(run(runVerify, {wrong}).find("entry \"bad.txt\": checksum mismatch"),
            std::string::npos);

  // A damaged frame, a list cut short, a trailer that does not fit.
  Bytes flipped = good;
  flipped[flipped.size() / 2] ^= 0x10;
  EXPECT_NE(run(runVerify, {save(flipped)}).find("error: "), std::string::npos);
  const Bytes cut(good.begin(), good.begin() + good.size() / 2);
  EXPECT_NE(run(runVerify, {save(cut)}).find("damaged attached data"), std::string::npos);
  Bytes badTrailer = good;
  badTrailer[badTrailer.size() - 2] = 1;
  EXPECT_NE(run(runVerify, {save(badTrailer)}).find("trailer"), std::string::npos);
  EXPECT_NE(run(runVerify, {save(Bytes{'M', 'Z'})}).find("no attached data"), std::string::npos);
}

TEST_F(InspectTest, ExtractReproducesTheFilesBelowTheFolder) {
  const std::string big(200000, 'x');
  const std::string file = save(packed({{u"app.exe", "MZ"}, {u"a\\b\\c.txt", big}, {u"e", ""}}));
  const fs::path out = base_ / "out" / "new";
  EXPECT_NE(run(runExtract, {file, out.string()}).find("3 files written"), std::string::npos);
  EXPECT_EQ(readFile(out / "app.exe"), "MZ");
  EXPECT_EQ(readFile(out / "a" / "b" / "c.txt"), big);
  EXPECT_TRUE(fs::is_regular_file(out / "e"));
  // Again over the same files: they are replaced.
  EXPECT_NE(run(runExtract, {file, out.string()}).find("3 files written"), std::string::npos);
}

TEST_F(InspectTest, ExtractWritesNothingForDataThatWouldEscapeOrClash) {
  const fs::path out = base_ / "out";
  for (const auto& entries : std::vector<std::vector<std::pair<std::u16string, std::string>>>{
           {{u"app.exe", "MZ"}, {u"..\\escaped.txt", "x"}},
           {{u"app.exe", "MZ"}, {u"C:\\escaped.txt", "x"}},
           {{u"app.exe", "MZ"}, {u"App.EXE", "x"}},
           {{u"app.exe", "MZ"}, {u"sub\\CON", "x"}}}) {
    EXPECT_NE(
        run(runExtract, {save(handMade(entries, rightChecksum)), out.string()}).find("error: "),
        std::string::npos);
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(fs::exists(base_ / "escaped.txt"));
  }
}

TEST_F(InspectTest, ExtractDoesNotFollowLinksAlreadyInTheFolder) {
  const fs::path out = base_ / "out";
  fs::create_directories(out);
  fs::create_directory(base_ / "elsewhere");
  fs::create_directory_symlink(base_ / "elsewhere", out / "sub");
  const std::string file = save(packed({{u"app.exe", "MZ"}, {u"sub\\x.txt", "x"}}));
  EXPECT_NE(run(runExtract, {file, out.string()}).find("not a folder"), std::string::npos);
  EXPECT_FALSE(fs::exists(base_ / "elsewhere" / "x.txt"));
}

}  // namespace
