#include "app_layout.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "bench_random.h"

namespace {

std::string pick(BenchRandom& random, const std::vector<std::string>& from) {
  return from[random.below(static_cast<uint32_t>(from.size()))];
}

const std::vector<std::string> kTop = {"bin", "lib", "resources", "plugins", "share"};
const std::vector<std::string> kMiddle = {"core",    "platforms", "imageformats",  "locales",
                                          "styles",  "python3",   "site_packages", "runtime",
                                          "codecs",  "fonts",     "icons",         "themes",
                                          "data",    "modules",   "extensions",    "translations",
                                          "shaders", "scripts",   "templates",     "assets"};
const std::vector<std::string> kStem = {
    "render",  "network",   "widgets",       "gui",      "audio",  "database",
    "crypto",  "parser",    "compress",      "media",    "config", "updater",
    "search",  "sync",      "printing",      "vector",   "layout", "spelling",
    "archive", "telemetry", "accessibility", "scheduler"};

struct FileKind {
  const char* extension;
  ContentProfile profile;
};
const std::vector<FileKind> kKinds = {
    {".dll", ContentProfile::library}, {".dll", ContentProfile::library},
    {".pyd", ContentProfile::library}, {".pak", ContentProfile::library},
    {".png", ContentProfile::media},   {".json", ContentProfile::text},
    {".py", ContentProfile::text},     {".txt", ContentProfile::text},
    {".qm", ContentProfile::data},     {".dat", ContentProfile::data}};

}  // namespace

std::vector<AppFile> makeAppLayout(double scale) {
  BenchRandom random{0x7A7B0422};
  std::vector<AppFile> files;
  // Windows compares names without regard to case; these are lower case.
  std::set<std::string> taken;
  files.push_back({kAppProgramName, 0, ContentProfile::program});
  while (files.size() < kAppFileCount - 1) {
    std::string name;
    if (files.size() >= kAppTopLevelFiles) {
      // One to five directories down, shallow ones more often.
      const int depth =
          1 + static_cast<int>(std::min(random.below(kAppDeepest), random.below(kAppDeepest)));
      name = pick(random, kTop);
      for (int d = 1; d < depth; ++d) name += "\\" + pick(random, kMiddle);
      name += "\\";
    }
    const FileKind& kind = kKinds[random.below(static_cast<uint32_t>(kKinds.size()))];
    name += pick(random, kStem) + "_" + pick(random, kStem) + std::to_string(random.below(100)) +
            kind.extension;
    if (name.size() > kAppLongestName || !taken.insert(name).second) continue;
    files.push_back({name, 0, kind.profile});
  }
  // The deepest file, whose name is also exactly the longest.
  std::string deepest = pick(random, kTop);
  for (int d = 1; d < kAppDeepest; ++d) deepest += "\\" + pick(random, kMiddle);
  deepest += "\\" + pick(random, kStem) + "_";
  deepest += std::string(kAppLongestName - deepest.size() - 4, 'x') + ".dat";
  files.push_back({deepest, 0, ContentProfile::data});

  // Sizes: the program, then a long-tailed spread over the rest (most files
  // small, a few of several megabytes) that adds up to the total.
  const uint64_t program = static_cast<uint64_t>(std::llround(kAppProgramBytes * scale));
  const uint64_t rest = static_cast<uint64_t>(std::llround(kAppTotalBytes * scale)) - program;
  std::vector<double> weights(files.size(), 0.0);
  double weightSum = 0;
  for (size_t i = 1; i < files.size(); ++i) {
    const double u = random.unit();
    weightSum += weights[i] = std::exp(10.0 * u * u * u);
  }
  files[0].size = program;
  uint64_t given = 0;
  size_t largest = 1;
  for (size_t i = 1; i < files.size(); ++i) {
    files[i].size = std::max<uint64_t>(1, static_cast<uint64_t>(rest * weights[i] / weightSum));
    given += files[i].size;
    if (files[i].size > files[largest].size) largest = i;
  }
  files[largest].size += rest - given;  // unsigned wrap-around gives the difference either way
  return files;
}
