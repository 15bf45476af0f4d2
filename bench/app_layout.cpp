#include "app_layout.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "bench_random.h"

namespace {

const AppShapeFacts kShapes[] = {
    {"large-files", 422, 395916563, 194424320, 96, 5},
    {"many-files", 10000, 159000000, 1048576, 120, 8},
};

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
// What a standard library or a share folder holds: mostly source and text,
// some compiled or binary tables, a few images.
const std::vector<FileKind> kSmallKinds = {
    {".py", ContentProfile::text},   {".py", ContentProfile::text},
    {".py", ContentProfile::text},   {".js", ContentProfile::text},
    {".h", ContentProfile::text},    {".sql", ContentProfile::text},
    {".json", ContentProfile::text}, {".txt", ContentProfile::text},
    {".html", ContentProfile::text}, {".css", ContentProfile::text},
    {".svg", ContentProfile::text},  {".pyc", ContentProfile::data},
    {".mo", ContentProfile::data},   {".png", ContentProfile::media}};

// Gives every file but the program a share of `rest` in proportion to its
// weight, at least 1 byte; the largest takes what rounding leaves over.
void spreadSizes(std::vector<AppFile>& files, const std::vector<double>& weights, uint64_t rest) {
  double weightSum = 0;
  for (size_t i = 1; i < files.size(); ++i) weightSum += weights[i];
  uint64_t given = 0;
  size_t largest = 1;
  for (size_t i = 1; i < files.size(); ++i) {
    files[i].size = std::max<uint64_t>(1, static_cast<uint64_t>(rest * weights[i] / weightSum));
    given += files[i].size;
    if (files[i].size > files[largest].size) largest = i;
  }
  files[largest].size += rest - given;  // unsigned wrap-around gives the difference either way
}

// The deepest file, whose name is also exactly the longest: `deepest`
// directories down, the first of them a top-level one.
std::string deepestName(BenchRandom& random, const AppShapeFacts& facts) {
  std::string name;
  do {
    name = pick(random, kTop);
    for (int d = 1; d < facts.deepest; ++d) name += "\\" + pick(random, kMiddle);
    name += "\\" + pick(random, kStem) + "_";
  } while (name.size() + 4 > facts.longestName);
  return name + std::string(facts.longestName - name.size() - 4, 'x') + ".dat";
}

std::vector<AppFile> largeFilesLayout(const AppShapeFacts& facts, double scale) {
  BenchRandom random{0x7A7B0422};
  std::vector<AppFile> files;
  // Windows compares names without regard to case; these are lower case.
  std::set<std::string> taken;
  files.push_back({kAppProgramName, 0, ContentProfile::program});
  constexpr size_t kTopLevelFiles = 42;  // the program included
  while (files.size() < facts.fileCount - 1) {
    std::string name;
    if (files.size() >= kTopLevelFiles) {
      // One to five directories down, shallow ones more often.
      const uint32_t deepest = static_cast<uint32_t>(facts.deepest);
      const int depth =
          1 + static_cast<int>(std::min(random.below(deepest), random.below(deepest)));
      name = pick(random, kTop);
      for (int d = 1; d < depth; ++d) name += "\\" + pick(random, kMiddle);
      name += "\\";
    }
    const FileKind& kind = kKinds[random.below(static_cast<uint32_t>(kKinds.size()))];
    name += pick(random, kStem) + "_" + pick(random, kStem) + std::to_string(random.below(100)) +
            kind.extension;
    if (name.size() > facts.longestName || !taken.insert(name).second) continue;
    files.push_back({name, 0, kind.profile});
  }
  files.push_back({deepestName(random, facts), 0, ContentProfile::data});

  // Sizes: the program, then a long-tailed spread over the rest (most files
  // small, a few of several megabytes) that adds up to the total.
  const uint64_t program = static_cast<uint64_t>(std::llround(facts.programBytes * scale));
  const uint64_t rest = static_cast<uint64_t>(std::llround(facts.totalBytes * scale)) - program;
  std::vector<double> weights(files.size(), 0.0);
  for (size_t i = 1; i < files.size(); ++i) {
    const double u = random.unit();
    weights[i] = std::exp(10.0 * u * u * u);
  }
  files[0].size = program;
  spreadSizes(files, weights, rest);
  return files;
}

std::vector<AppFile> manyFilesLayout(const AppShapeFacts& facts, double scale) {
  BenchRandom random{0x7A7B1000};
  std::set<std::string> taken;  // every file and directory name, lower case
  // A random tree: each new directory goes below one of those made so far,
  // which makes most of them four to seven levels deep, as in a standard
  // library; none deeper than the deepest file.
  struct Directory {
    std::string name;
    int depth;
  };
  std::vector<Directory> directories;
  for (const std::string& top : kTop) directories.push_back({top, 1}), taken.insert(top);
  constexpr size_t kDirectories = 640;
  while (directories.size() < kDirectories) {
    const Directory parent = directories[random.below(static_cast<uint32_t>(directories.size()))];
    std::string name = parent.name + "\\" + pick(random, random.below(2) ? kMiddle : kStem);
    if (random.below(3) == 0) name += "_" + pick(random, kStem);
    if (parent.depth >= facts.deepest || name.size() > facts.longestName - 24 ||
        !taken.insert(name).second) {
      continue;
    }
    directories.push_back({name, parent.depth + 1});
  }

  std::vector<AppFile> files;
  std::vector<double> weights;  // the full-scale size each file is drawn
  files.push_back({kAppProgramName, 0, ContentProfile::program});
  weights.push_back(0);
  // Beside the program, the DLLs it loads, each of 1 to 5 MiB, then a few
  // top-level text files.
  constexpr size_t kLibraries = 12;
  constexpr size_t kTopLevelFiles = 24;  // the program and its DLLs included
  while (files.size() < facts.fileCount - 1) {
    const bool library = files.size() <= kLibraries;
    std::string name;
    if (files.size() >= kTopLevelFiles) {
      name = directories[random.below(static_cast<uint32_t>(directories.size()))].name + "\\";
    }
    const FileKind& kind =
        library ? FileKind{".dll", ContentProfile::library}
                : kSmallKinds[random.below(static_cast<uint32_t>(kSmallKinds.size()))];
    name += pick(random, kStem);
    if (random.below(2)) name += "_" + pick(random, kStem);
    name += std::to_string(random.below(100)) + kind.extension;
    const double u = random.unit();
    if (name.size() > facts.longestName || !taken.insert(name).second) continue;
    files.push_back({name, 0, kind.profile});
    // Most files 1 to 50 KB, evenly on a log scale; one in twenty a stub
    // of under a kilobyte.
    weights.push_back(library                 ? (1 + 4 * u) * 1048576
                      : random.below(20) == 0 ? 64 + 960 * u
                                              : 1000 * std::pow(50.0, u));
  }
  files.push_back({deepestName(random, facts), 0, ContentProfile::text});
  weights.push_back(1000 * std::pow(50.0, random.unit()));

  const uint64_t program = static_cast<uint64_t>(std::llround(facts.programBytes * scale));
  const uint64_t rest = static_cast<uint64_t>(std::llround(facts.totalBytes * scale)) - program;
  files[0].size = program;
  spreadSizes(files, weights, rest);
  return files;
}

}  // namespace

const AppShapeFacts& appShapeFacts(AppShape shape) {
  return kShapes[shape == AppShape::largeFiles ? 0 : 1];
}

bool appShapeNamed(const std::string& name, AppShape& shape) {
  for (const AppShape candidate : {AppShape::largeFiles, AppShape::manyFiles}) {
    if (name == appShapeFacts(candidate).name) {
      shape = candidate;
      return true;
    }
  }
  return false;
}

std::vector<AppFile> makeAppLayout(AppShape shape, double scale) {
  const AppShapeFacts& facts = appShapeFacts(shape);
  return shape == AppShape::largeFiles ? largeFilesLayout(facts, scale)
                                       : manyFilesLayout(facts, scale);
}
