// The shapes of the benchmark's synthetic application folders: which files
// each holds, how large each is and what kind of contents fills it. The same
// shape and scale always give the same layout.
//
// - large files: modelled on a large desktop application, 422 files of
//   395,916,563 bytes in all, the first a program of 194,424,320 bytes, the
//   rest spread over directories up to five levels deep.
// - many files: modelled on an interpreter with its standard library or a
//   database server with its share folder, 10,000 files of 159,000,000 bytes,
//   most of 1 to 50 KB of text, a few DLLs of 1 to 5 MiB, the first a program
//   of 1 MiB; directories up to eight levels deep.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class AppShape { largeFiles, manyFiles };

struct AppShapeFacts {
  const char* name;  // on the command line: "large-files", "many-files"
  size_t fileCount;
  uint64_t totalBytes;    // at full scale
  uint64_t programBytes;  // at full scale
  size_t longestName;     // exactly, with the backslashes
  int deepest;            // directories above the deepest file
};

const AppShapeFacts& appShapeFacts(AppShape shape);

// Fills `shape` and returns true when `name` is one of the shapes' names.
bool appShapeNamed(const std::string& name, AppShape& shape);

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
std::vector<AppFile> makeAppLayout(AppShape shape, double scale);
