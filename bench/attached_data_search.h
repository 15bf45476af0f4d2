// Finds the attached data inside a launcher image, so that the floor programs
// can carry exactly the bytes the launcher decodes.
#pragma once
#include <cstddef>
#include <cstdint>

struct FoundAttachedData {
  size_t offset;  // of the "RUQ" header in the image
  size_t length;  // header, frame and trailer
  size_t frameLength;
  uint64_t windowSize;  // the frame's window: what the decoder holds at most
};

// The first place in `image` where "RUQ", a whole zstd frame and a trailer
// whose u64 gives its own offset from the header follow one another. False
// when there is none.
bool findAttachedData(const unsigned char* image, size_t size, FoundAttachedData& found);
