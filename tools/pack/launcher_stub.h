// What this tool carries to write launchers from: the launcher stub built by
// the windows preset (the launcher with its configuration block zero) and
// the launcher's manifest, both embedded at build time (embedded_files.S.in).
#pragma once
#include <cstddef>

struct EmbeddedFile {
  const unsigned char* data;
  size_t size;
};

EmbeddedFile launcherStub();
EmbeddedFile launcherManifest();
