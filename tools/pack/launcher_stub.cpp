#include "launcher_stub.h"

extern "C" const unsigned char tavmorLauncherStub[], tavmorLauncherStubEnd[];
extern "C" const unsigned char tavmorLauncherManifest[], tavmorLauncherManifestEnd[];
extern "C" const unsigned char tavmorThirdPartyNotices[], tavmorThirdPartyNoticesEnd[];

EmbeddedFile launcherStub() {
  return {tavmorLauncherStub, static_cast<size_t>(tavmorLauncherStubEnd - tavmorLauncherStub)};
}

EmbeddedFile launcherManifest() {
  return {tavmorLauncherManifest,
          static_cast<size_t>(tavmorLauncherManifestEnd - tavmorLauncherManifest)};
}

EmbeddedFile thirdPartyNotices() {
  return {tavmorThirdPartyNotices,
          static_cast<size_t>(tavmorThirdPartyNoticesEnd - tavmorThirdPartyNotices)};
}
