// The placeholders a spec may hold, by name, compared without regard to case.
// One table serves the launcher, which expands them, and tavmor-pack, which
// checks a spec before it writes it into a launcher.
#pragma once

enum class Placeholder {
  kTemp,
  kProgram,
  kProgramBase,
  kProgramDir,
  kPid,
  kHome,
  kCacheDir,
  kCompany,
  kProduct,
  kVersion,
  kFileVersion,
  kProductVersion,
  kRandom,
  kTimeUs,
  kTime,
};

struct PlaceholderName {
  const char* name;
  Placeholder placeholder;
};

constexpr PlaceholderName kPlaceholderNames[] = {
    {"TEMP", Placeholder::kTemp},
    {"PROGRAM", Placeholder::kProgram},
    {"PROGRAM_BASE", Placeholder::kProgramBase},
    {"PROGRAM_DIR", Placeholder::kProgramDir},
    {"PID", Placeholder::kPid},
    {"HOME", Placeholder::kHome},
    {"CACHE_DIR", Placeholder::kCacheDir},
    {"COMPANY", Placeholder::kCompany},
    {"PRODUCT", Placeholder::kProduct},
    {"VERSION", Placeholder::kVersion},
    {"FILE_VERSION", Placeholder::kFileVersion},
    {"PRODUCT_VERSION", Placeholder::kProductVersion},
    {"RANDOM", Placeholder::kRandom},
    {"TIME_US", Placeholder::kTimeUs},
    {"TIME", Placeholder::kTime},
};
