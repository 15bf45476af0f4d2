// The image written around the embedded stub, field by field where our own
// reading is the judge; tools/pack's tool_test.py asks tools nobody here
// wrote (objdump, wrestool, osslsigncode) and Wine.
#include "launcher_image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "default_icon.h"
#include "host_system.h"
#include "launcher_stub.h"
#include "payload/format.h"

namespace {

LauncherSettings testSettings() {
  LauncherSettings settings;
  settings.texts[kSpecText] = u"{CACHE_DIR}\\Quolvenarix\\1.70.0";
  settings.texts[kCompanyText] = u"Pelmarith";
  settings.texts[kProductText] = u"Quolvenarix";
  settings.texts[kVersionText] = settings.texts[kFileVersionText] =
      settings.texts[kProductVersionText] = u"1.70.0";
  settings.subsystem = pe::kSubsystemConsole;
  settings.resources.version.productName = u"Quolvenarix";
  settings.resources.icon = defaultIconFile();
  settings.resources.manifest = "<assembly/>";
  return settings;
}

// "RUQ", a stand-in frame and the trailer that matches it.
std::vector<unsigned char> attachedData(size_t frameLength) {
  std::vector<unsigned char> data(kAttachedHeaderSize + frameLength + kAttachedTrailerSize, 0x5A);
  std::memcpy(data.data(), "RUQ", 3);
  unsigned char trailer[kAttachedTrailerSize];
  fillAttachedTrailer(trailer, frameLength);
  std::memcpy(data.data() + 3 + frameLength, trailer, sizeof trailer);
  return data;
}

std::vector<unsigned char> readAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class LauncherImageTest : public ::testing::Test {
 protected:
  void SetUp() override { folder_ = makeTemporaryFolder(); }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::filesystem::path write(const std::vector<unsigned char>& data, const char* name) {
    const EmbeddedFile stub = launcherStub();
    LauncherImageWriter image(stub.data, stub.size, testSettings());
    const std::filesystem::path path = folder_ / name;
    std::FILE* out = std::fopen(path.c_str(), "w+b");
    std::fseek(out, static_cast<long>(image.attachedDataOffset()), SEEK_SET);
    std::fwrite(data.data(), 1, data.size(), out);
    PeChecksum sum;
    sum.add(data.data(), data.size());
    image.finish(out, data.size(), sum);
    std::fclose(out);
    return path;
  }

  std::filesystem::path folder_;
};

TEST_F(LauncherImageTest, HeadersDescribeTheAddedSectionsAndTheChecksumTheFile) {
  // An odd length: the last word of the attached data is half padding.
  const std::vector<unsigned char> data = attachedData(5000);
  const std::filesystem::path path = write(data, "one.exe");
  EXPECT_EQ(launcherImageProblem(path), "");
  std::vector<unsigned char> file = readAll(path);
  PeHeaders headers, stub;
  ASSERT_EQ(readPeHeaders(file.data(), file.size(), headers), "");
  ASSERT_EQ(readPeHeaders(launcherStub().data, launcherStub().size, stub), "");

  ASSERT_EQ(headers.sections.size(), stub.sections.size() + 2);
  const PeSection& resources = headers.sections[stub.sections.size()];
  const PeSection& payload = headers.sections.back();
  EXPECT_EQ(resources.name, ".rsrc");
  EXPECT_EQ(payload.name, ".payload");
  EXPECT_EQ(payload.rawOffset % 4096, 0u);
  EXPECT_EQ(resources.rawOffset + resources.rawSize, payload.rawOffset);
  EXPECT_EQ(payload.virtualSize, data.size());
  EXPECT_EQ(payload.virtualAddress % headers.sectionAlignment, 0u);
  EXPECT_EQ(file.size(), payload.rawOffset + alignUp(data.size(), headers.fileAlignment));
  EXPECT_EQ(std::memcmp(file.data() + payload.rawOffset, data.data(), data.size()), 0);
  EXPECT_EQ(headers.sizeOfImage,
            alignUp(payload.virtualAddress + payload.virtualSize, headers.sectionAlignment));
  EXPECT_EQ(headers.subsystem, pe::kSubsystemConsole);

  const unsigned char* optional = file.data() + headers.optionalOffset;
  EXPECT_EQ(loadU32(optional + pe::kSizeOfInitializedData),
            loadU32(launcherStub().data + stub.optionalOffset + pe::kSizeOfInitializedData) +
                resources.rawSize + payload.rawSize);
  EXPECT_EQ(loadU32(optional + pe::kDirectories + 8 * pe::kResourceDirectory),
            resources.virtualAddress);
  const uint32_t stored = loadU32(optional + pe::kCheckSum);
  std::memset(file.data() + headers.optionalOffset + pe::kCheckSum, 0, 4);
  PeChecksum sum;
  sum.add(file.data(), file.size());
  EXPECT_EQ(stored, sum.finish(file.size()));

  // The same inputs, the same bytes.
  EXPECT_EQ(readAll(path), readAll(write(data, "two.exe")));
}

TEST_F(LauncherImageTest, ReadingBackFindsDamage) {
  const std::filesystem::path path = write(attachedData(300), "launcher.exe");
  const std::vector<unsigned char> good = readAll(path);
  PeHeaders headers;
  ASSERT_EQ(readPeHeaders(good.data(), good.size(), headers), "");
  const auto damaged = [&](size_t at, unsigned char value) {
    std::vector<unsigned char> bytes = good;
    bytes[at] = value;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return launcherImageProblem(path);
  };
  const size_t config = headers.section(kConfigurationSection)->rawOffset;
  const size_t payloadEntry = headers.sectionTable + 40 * (headers.sections.size() - 1);
  EXPECT_NE(damaged(config, 0), "");  // not stamped
  EXPECT_NE(damaged(config + offsetof(StampedConfiguration, inputLength) + 2, 1), "");  // length
  EXPECT_NE(damaged(payloadEntry + 8 + 1, 0), "");      // section shorter than data
  EXPECT_NE(damaged(payloadEntry + 16 + 2, 0x10), "");  // raw data past the file's end
  EXPECT_NE(damaged(headers.section(".payload")->rawOffset + 3 + 300 + 5, 1), "");  // trailer
  EXPECT_NE(damaged(headers.section(".rsrc")->rawOffset + 14, 0), "");  // no resource types
  EXPECT_EQ(damaged(0x3C + 1, good[0x3C + 1]), "");
}

TEST(StampedConfiguration, RefusesUnstampedOrUnterminatedBlocks) {
  static StampedConfiguration block;  // zero, as in the stub
  LauncherConfiguration read;
  EXPECT_FALSE(readStampedConfiguration(block, read));
  std::memcpy(block.signature, kConfigurationSignature, 8);
  EXPECT_FALSE(readStampedConfiguration(block, read)) << "empty spec";
  for (Utf16Unit& unit : block.texts) unit = u'x';
  EXPECT_FALSE(readStampedConfiguration(block, read)) << "no terminators";
  for (size_t i = kConfigurationTextCapacity - 6; i < kConfigurationTextCapacity; ++i) {
    block.texts[i] = 0;
  }
  EXPECT_FALSE(readStampedConfiguration(block, read)) << "six texts, the seventh unterminated";
  block.texts[kConfigurationTextCapacity - 7] = 0;
  ASSERT_TRUE(readStampedConfiguration(block, read));
  EXPECT_EQ(read.texts[kProgressText], block.texts + kConfigurationTextCapacity - 1);
  block.flags = kNoProgressDisplay;
  ASSERT_TRUE(readStampedConfiguration(block, read));
  EXPECT_EQ(read.flags, kNoProgressDisplay);
  block.flags = 2;
  EXPECT_FALSE(readStampedConfiguration(block, read)) << "an unknown flag";
  block.flags = 0;
  block.reserved = 1;
  EXPECT_FALSE(readStampedConfiguration(block, read)) << "reserved word";
}

TEST(SectionHoldsRange, OnlyWhollyInsideOneSection) {
  const EmbeddedFile stub = launcherStub();
  PeHeaders headers;
  ASSERT_EQ(readPeHeaders(stub.data, stub.size, headers), "");
  const PeSection& s = headers.sections[1];
  const auto holds = [&](uint64_t rva, uint64_t length) {
    return sectionHoldsRange(stub.data, headers.sizeOfHeaders, rva, length);
  };
  EXPECT_TRUE(holds(s.virtualAddress, s.virtualSize));
  EXPECT_TRUE(holds(s.virtualAddress + s.virtualSize - 1, 1));
  EXPECT_FALSE(holds(s.virtualAddress + s.virtualSize - 1, 2));
  EXPECT_FALSE(holds(s.virtualAddress, uint64_t{1} << 63));
  EXPECT_FALSE(holds(uint64_t{1} << 40, 1));
  EXPECT_FALSE(sectionHoldsRange(stub.data, 0x100, s.virtualAddress, 1)) << "cut headers";
}

TEST(LauncherImage, RefusesAttachedDataBeyondTheImageLimit) {
  const EmbeddedFile stub = launcherStub();
  LauncherImageWriter image(stub.data, stub.size, testSettings());
  EXPECT_LT(image.attachedDataLimit(), kImageSizeLimit);
  // The stub's own image, zero-filled buffers included, takes some megabytes.
  EXPECT_GT(image.attachedDataLimit(), kImageSizeLimit - (uint64_t{1} << 24));
  EXPECT_THROW(image.finish(nullptr, image.attachedDataLimit() + 1, PeChecksum()),
               std::runtime_error);
}

TEST(ResourceSection, ReadsBackAndRefusesBadIcons) {
  LauncherSettings settings = testSettings();
  const std::string section = resourceSection(settings.resources, 0x70000);
  const auto* bytes = reinterpret_cast<const unsigned char*>(section.data());
  EXPECT_EQ(resourceSectionProblem(bytes, section.size(), 0x70000), "");
  EXPECT_NE(resourceSectionProblem(bytes, section.size(), 0x71000), "") << "wrong address";
  EXPECT_NE(resourceSectionProblem(bytes, section.size() / 2, 0x70000), "") << "cut";
  std::string icon = defaultIconFile();
  EXPECT_EQ(iconFileProblem(icon), "");
  EXPECT_NE(iconFileProblem(icon.substr(0, icon.size() - 1)), "");
  EXPECT_NE(iconFileProblem("not an icon"), "");
}

}  // namespace
