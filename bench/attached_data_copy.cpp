// Copies the attached data out of a launcher image, so that the floor
// programs can carry exactly the bytes the launcher decodes, and prints the
// length of its zstd frame and the frame's window size.
//
//   attached_data_copy LAUNCHER.exe OUT
#define ZSTD_STATIC_LINKING_ONLY  // ZSTD_getFrameHeader
#include <zstd.h>

#include <cstdio>
#include <exception>

#include "attached_data_file.h"
#include "payload/format.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: attached_data_copy LAUNCHER.exe OUT\n");
    return 2;
  }
  try {
    const AttachedDataFile file = loadAttachedData(argv[1]);
    if (!file.location.trailerMatches) {
      std::fprintf(stderr, "attached_data_copy: %s: the attached data is damaged\n", argv[1]);
      return 1;
    }
    const size_t frameLength = file.location.inputLength - kAttachedTrailerSize;
    ZSTD_frameHeader header;
    if (ZSTD_getFrameHeader(&header, file.input(), frameLength) != 0) {
      std::fprintf(stderr, "attached_data_copy: %s: no frame header\n", argv[1]);
      return 1;
    }
    const size_t length = kAttachedHeaderSize + file.location.inputLength;
    std::FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr ||
        std::fwrite(file.bytes.data() + file.location.offset, 1, length, out) != length ||
        std::fclose(out) != 0) {
      std::perror(argv[2]);
      return 1;
    }
    std::printf("%zu %llu\n", frameLength, static_cast<unsigned long long>(header.windowSize));
    return 0;
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "attached_data_copy: %s\n", failure.what());
    return 1;
  }
}
