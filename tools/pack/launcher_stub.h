// What this tool carries to write launchers from: the launcher stub built by
// the windows preset (the launcher with its configuration block zero), the
// launcher's manifest, and THIRD-PARTY-NOTICES.txt, whose last part names
// the third-party code in that stub; all embedded at build time
// (embedded_files.S.in).
#pragma once
#include <cstddef>

struct EmbeddedFile {
  const unsigned char* data;
  size_t size;
};

EmbeddedFile launcherStub();
EmbeddedFile launcherManifest();
EmbeddedFile thirdPartyNotices();
