#include "image_sections.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

void putU16(std::string& image, size_t at, uint16_t value) {
  image[at] = static_cast<char>(value & 0xFF);
  image[at + 1] = static_cast<char>(value >> 8);
}

void putU32(std::string& image, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) image[at + i] = static_cast<char>(value >> (8 * i));
}

// Headers of an image with the PE header at 0x80, an optional header of 0xF0
// bytes and the sections given as (name, raw data offset).
std::string imageWith(std::initializer_list<std::pair<const char*, uint32_t>> sections) {
  std::string image(0x400, '\0');
  image[0] = 'M';
  image[1] = 'Z';
  putU32(image, 0x3C, 0x80);
  std::memcpy(&image[0x80], "PE\0\0", 4);
  putU16(image, 0x80 + 6, static_cast<uint16_t>(sections.size()));
  putU16(image, 0x80 + 20, 0xF0);
  size_t at = 0x80 + 24 + 0xF0;
  for (const auto& [name, offset] : sections) {
    std::memcpy(&image[at], name, std::strlen(name));
    putU32(image, at + 20, offset);
    at += 40;
  }
  return image;
}

TEST(SectionFileOffset, FindsTheNamedSectionAndOnlyIt) {
  const std::string image =
      imageWith({{".text", 0x400}, {".rdata", 0x1F600}, {".payload", 0x24A00}, {".pay", 0x100}});
  EXPECT_EQ(sectionFileOffset(image, ".payload"), 0x24A00u);
  EXPECT_EQ(sectionFileOffset(image, ".pay"), 0x100u);
  EXPECT_EQ(sectionFileOffset(image, ".rdata"), 0x1F600u);
  EXPECT_EQ(sectionFileOffset(image, ".data"), std::nullopt);
}

TEST(SectionFileOffset, RefusesWhatIsNoImageOrIsCutShort) {
  std::string image = imageWith({{".text", 0x400}, {".payload", 0x24A00}});
  EXPECT_EQ(sectionFileOffset(image.substr(0, 0x80 + 24 + 0xF0 + 60), ".payload"), std::nullopt);
  EXPECT_EQ(sectionFileOffset(image.substr(0, 0x30), ".text"), std::nullopt);
  std::string noPe = image;
  noPe[0x81] = 'X';
  EXPECT_EQ(sectionFileOffset(noPe, ".text"), std::nullopt);
  std::string farPe = image;
  putU32(farPe, 0x3C, 0xFFFFFFF0u);
  EXPECT_EQ(sectionFileOffset(farPe, ".text"), std::nullopt);
  image[0] = 'X';
  EXPECT_EQ(sectionFileOffset(image, ".text"), std::nullopt);
}

TEST(PaddingToPage, MovesAnOffsetOntoTheNextPageOnlyWhenItIsOffOne) {
  EXPECT_EQ(paddingToPage(0x24A00), 0x600u);
  EXPECT_EQ(paddingToPage(0x25000), 0u);
  EXPECT_EQ(paddingToPage(0x200), 0xE00u);
  EXPECT_EQ(paddingToPage(0), 0u);
}

}  // namespace
