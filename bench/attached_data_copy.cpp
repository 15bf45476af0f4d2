// Copies the attached data out of a launcher image and prints the length of
// its zstd frame and the frame's window size.
//
//   attached_data_copy LAUNCHER.exe OUT
#include <cstdio>
#include <vector>

#include "attached_data_search.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: attached_data_copy LAUNCHER.exe OUT\n");
    return 2;
  }
  std::FILE* in = std::fopen(argv[1], "rb");
  if (in == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  std::vector<unsigned char> image;
  unsigned char piece[1 << 16];
  size_t got;
  while ((got = std::fread(piece, 1, sizeof piece, in)) > 0) {
    image.insert(image.end(), piece, piece + got);
  }
  std::fclose(in);

  FoundAttachedData found;
  if (!findAttachedData(image.data(), image.size(), found)) {
    std::fprintf(stderr, "attached_data_copy: no attached data in %s\n", argv[1]);
    return 1;
  }
  std::FILE* out = std::fopen(argv[2], "wb");
  if (out == nullptr ||
      std::fwrite(image.data() + found.offset, 1, found.length, out) != found.length ||
      std::fclose(out) != 0) {
    std::perror(argv[2]);
    return 1;
  }
  std::printf("%zu %llu\n", found.frameLength, static_cast<unsigned long long>(found.windowSize));
  return 0;
}
