// Writing one launcher file: the attached data streamed into its place in
// the image, the image completed around it, the result read back, and only
// then OUT replaced, in one step.
#pragma once
#include <cstdint>
#include <filesystem>

#include "app_folder.h"
#include "launcher_image.h"
#include "pack/writer.h"

struct PackedSize {
  uint64_t contents = 0;
  uint64_t attachedData = 0;
};

// Packs `folder` into a launcher at `output`. A problem with the input (a
// file that cannot be read or changes, an application too large for an
// image) is a UserError; a failure to write or a launcher that does not read
// back as written is an internal error. Either way `output` stays as it was.
PackedSize writeLauncher(const AppFolder& folder, const LauncherSettings& settings,
                         const WriterSettings& compression, const std::filesystem::path& output);
