// The shape of the benchmark's synthetic application folder: which files it
// holds, how large each is and what kind of contents fills it. Modelled on a
// large desktop application: 422 files of 395,916,563 bytes in all, the first
// a program of 194,424,320 bytes, the rest spread over directories up to five
// levels deep. The same scale always gives the same layout.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr size_t kAppFileCount = 422;
constexpr size_t kAppTopLevelFiles = 42;  // the program included
constexpr uint64_t kAppTotalBytes = 395916563;
constexpr uint64_t kAppProgramBytes = 194424320;
constexpr size_t kAppLongestName = 96;
constexpr int kAppDeepest = 5;  // directories above the deepest file
constexpr const char* kAppProgramName = "Benchapp.exe";

// What a file's contents are made of (see app_contents.h).
enum class ContentProfile { program, library, media, text, data };

struct AppFile {
  std::string name;  // relative, components joined by backslashes
  uint64_t size;     // at least 1
  ContentProfile profile;
};

// The files in packing order, the program first. Every size is the full-scale
// size times `scale` (0 < scale <= 1), rounded, and the sizes add up to the
// scaled total exactly.
std::vector<AppFile> makeAppLayout(double scale);
