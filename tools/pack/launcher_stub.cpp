#include "launcher_stub.h"

extern "C" const unsigned char tavmorLauncherStub[], tavmorLauncherStubEnd[];
extern "C" const unsigned char tavmorLauncherManifest[], tavmorLauncherManifestEnd[];

EmbeddedFile launcherStub() {
  return {tavmorLauncherStub, static_cast<size_t>(tavmorLauncherStubEnd - tavmorLauncherStub)};
}

EmbeddedFile launcherManifest() {
  return {tavmorLauncherManifest,
          static_cast<size_t>(tavmorLauncherManifestEnd - tavmorLauncherManifest)};
}
