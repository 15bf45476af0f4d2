// Reading the section table of a linked PE image.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// Where the raw data of the section called `name` (at most 8 characters)
// starts in the image file, or nothing when `image` (the file's first bytes,
// headers included) is no PE image or has no such section.
std::optional<uint32_t> sectionFileOffset(const std::string& image, const char* name);

// Bytes to put before a section that starts at `offset` so that it starts on
// a page of the file; a multiple of the 512-byte file alignment when `offset`
// is one.
constexpr uint32_t kImagePageSize = 4096;
constexpr uint32_t paddingToPage(uint32_t offset) {
  return (kImagePageSize - offset % kImagePageSize) % kImagePageSize;
}
