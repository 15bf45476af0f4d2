// tavmor-pack build: the command line. It reads the options, has every input
// checked before anything is written (launcher_texts, app_folder, the child
// program's headers, the icon) and hands the rest to launcher_output.
#include <zstd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

#include "app_folder.h"
#include "arguments.h"
#include "commands.h"
#include "default_icon.h"
#include "errors.h"
#include "host_system.h"
#include "launcher_output.h"
#include "launcher_stub.h"
#include "launcher_texts.h"
#include "pe_image.h"
#include "unicode.h"

namespace fs = std::filesystem;

namespace {

const char kBuildUsage[] =
    "usage: tavmor-pack build APP_DIR -o OUT.exe [options]\n"
    "\n"
    "Makes a launcher that carries the application in APP_DIR, unpacks it into\n"
    "a cache folder when started, and runs its program there. The launcher is\n"
    "written from the launcher stub this tool carries: no compiler or linker\n"
    "is needed.\n"
    "\n"
    "  -o, --output FILE         the launcher to write\n"
    "  --child REL               the program to start, relative to APP_DIR, a\n"
    "                            64-bit x86 Windows program (default: the only\n"
    "                            .exe at the top of APP_DIR)\n"
    "  --subsystem gui|console   the launcher's subsystem (default: the child's)\n"
    "  --product TEXT            product name (default: the child's name without .exe)\n"
    "  --company TEXT            company name (default: the product)\n"
    "  --version X.Y.Z           version (default 1.0.0)\n"
    "  --file-version X.Y.Z      file version (default: the version)\n"
    "  --product-version X.Y.Z   product version (default: the version)\n"
    "  --description TEXT        file description (default: the product)\n"
    "  --spec TEMPLATE           where to unpack, e.g. {CACHE_DIR}\\Product\\1.0.0\n"
    "                            (default: {CACHE_DIR}\\<product>\\<version>)\n"
    "  --icon FILE.ico           the launcher's icon (default: a built-in one)\n"
    "  --level N                 zstd compression level (default 19)\n"
    "  --threads N               compression threads, 0 for none (default: all cores)\n"
    "  --cache-check content|metadata\n"
    "                            how a start that finds the application unpacked\n"
    "                            decides what to repair: content (the default)\n"
    "                            checksums every file; metadata checksums only\n"
    "                            files whose size or time changed since the last\n"
    "                            complete start (refused for a spec outside the\n"
    "                            user's own folders; see docs/environment.md)\n"
    "  --no-entry-table          leave out the entry table: every start then\n"
    "                            decodes all attached data to check the files\n"
    "                            (and a first start shows no progress)\n"
    "  --frame-size KIB          cut the attached data into zstd frames of about\n"
    "                            this many KiB of files each, which a first start\n"
    "                            decodes on several cores (default 65536; a file\n"
    "                            at least this large gets a frame of its own)\n"
    "  --single-frame            one zstd frame for everything, decoded on one core\n"
    "  --progress auto|none      auto (the default): a first start still unpacking\n"
    "                            after 0.5 s shows its progress until the last\n"
    "                            file is in place, before the program starts: a\n"
    "                            graphical launcher in a small window, a console\n"
    "                            launcher as one line on standard error when that\n"
    "                            is a console (never when it is redirected); warm\n"
    "                            starts and short first starts show nothing.\n"
    "                            none: never\n"
    "  --progress-text TEXT      the line shown with it (default: Preparing\n"
    "                            <product> for its first start)\n"
    "\n"
    "A spec that is relative, outside the user's own folders or the same for\n"
    "every version gets a warning. The launcher must stay below 2 GiB, the\n"
    "largest image Windows loads.\n";

const std::vector<OptionSpec> kBuildOptions = {
    {"--output", "-o", true},
    {"--child", nullptr, true},
    {"--subsystem", nullptr, true},
    {"--product", nullptr, true},
    {"--company", nullptr, true},
    {"--version", nullptr, true},
    {"--file-version", nullptr, true},
    {"--product-version", nullptr, true},
    {"--description", nullptr, true},
    {"--spec", nullptr, true},
    {"--icon", nullptr, true},
    {"--level", nullptr, true},
    {"--threads", nullptr, true},
    {"--cache-check", nullptr, true},
    {"--no-entry-table", nullptr, false},
    {"--frame-size", nullptr, true},
    {"--single-frame", nullptr, false},
    {"--progress", nullptr, true},
    {"--progress-text", nullptr, true},
    {"--help", "-h", false},
};

std::string readWholeFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  if (!in) throw UserError(shownPath(path) + ": cannot read");
  return text.str();
}

std::string readIconFile(const fs::path& path) {
  const std::string icon = readWholeFile(path);
  const std::string problem = iconFileProblem(icon);
  if (!problem.empty()) throw UserError(shownPath(path) + ": " + problem);
  return icon;
}

// The subsystem of the program the launcher starts, which must be a 64-bit
// x86 Windows executable.
uint16_t childSubsystem(const AppFile& child) {
  std::ifstream in(child.path, std::ios::binary);
  std::string head(65536, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(in.gcount()));
  PeHeaders headers;
  std::string problem =
      readPeHeaders(reinterpret_cast<const unsigned char*>(head.data()), head.size(), headers);
  if (problem.empty()) problem = childProgramProblem(headers);
  if (!problem.empty()) {
    throw UserError(shownPath(child.path) +
                    ": refused as the program to start: it must be a 64-bit x86 Windows "
                    "program, and " +
                    (headers.peOffset == 0
                         ? std::string("it is no Windows program (") + problem + ")"
                         : problem));
  }
  return headers.subsystem;
}

// Whether `name` in the existing folder `parent` lies below `folder`.
bool isInside(const fs::path& parent, const fs::path& name, const fs::path& folder) {
  const fs::path real = realPath(parent) / name;
  const fs::path root = realPath(folder);
  auto [rootEnd, pathAt] = std::mismatch(root.begin(), root.end(), real.begin(), real.end());
  return rootEnd == root.end();
}

std::string percent(uint64_t part, uint64_t whole) {
  if (whole == 0) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f%%", 100.0 * static_cast<double>(part) / whole);
  return text;
}

LauncherTextOptions textOptions(const ParsedArguments& parsed) {
  LauncherTextOptions options;
  const auto take = [&](const char* name, std::string& value, bool& has) {
    has = parsed.has(name);
    value = parsed.value(name);
  };
  take("--product", options.product, options.hasProduct);
  take("--company", options.company, options.hasCompany);
  take("--file-version", options.fileVersion, options.hasFileVersion);
  take("--product-version", options.productVersion, options.hasProductVersion);
  take("--description", options.description, options.hasDescription);
  take("--spec", options.spec, options.hasSpec);
  take("--progress-text", options.progressText, options.hasProgressText);
  options.version = parsed.value("--version", "1.0.0");
  return options;
}

}  // namespace

int runBuild(const std::vector<std::string>& arguments) {
  const auto started = std::chrono::steady_clock::now();
  const ParsedArguments parsed = parseArguments(arguments, kBuildOptions);
  if (parsed.has("--help")) {
    std::cout << kBuildUsage;
    return 0;
  }
  if (parsed.positional.size() != 1) {
    throw UserError("build needs one APP_DIR (see --help)");
  }
  if (!parsed.has("--output")) throw UserError("build needs -o OUT.exe");
  const std::string shownOutput = parsed.value("--output");
  const fs::path output = hostPath(shownOutput);
  WriterSettings compression;
  compression.level =
      parseNumberOption("--level", parsed.value("--level", "19"), 1, ZSTD_maxCLevel());
  compression.threads = parsed.has("--threads")
                            ? parseNumberOption("--threads", parsed.value("--threads"), 0, 256)
                            : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  if (parsed.has("--single-frame") && parsed.has("--frame-size")) {
    throw UserError("--single-frame and --frame-size exclude each other");
  }
  compression.frameSize =
      parsed.has("--single-frame")
          ? 0
          : uint64_t{1024} *
                static_cast<uint64_t>(parseNumberOption(
                    "--frame-size", parsed.value("--frame-size", "65536"), 64, 1024 * 1024));
  const std::string cacheCheck = parsed.value("--cache-check", "content");
  if (cacheCheck != "content" && cacheCheck != "metadata") {
    throw UserError("--cache-check " + cacheCheck + ": expected content or metadata");
  }
  if (cacheCheck == "metadata" && parsed.has("--no-entry-table")) {
    throw UserError("--cache-check metadata needs the entry table (drop --no-entry-table)");
  }
  const std::string progress = parsed.value("--progress", "auto");
  if (progress != "auto" && progress != "none") {
    throw UserError("--progress " + progress + ": expected auto or none");
  }
  const std::string subsystem = parsed.value("--subsystem");
  if (parsed.has("--subsystem") && subsystem != "gui" && subsystem != "console") {
    throw UserError("--subsystem " + subsystem + ": expected gui or console");
  }

  // Everything that can be refused is checked before anything is written.
  const fs::path outputFolder = output.has_parent_path() ? output.parent_path() : fs::path(".");
  if (fileKind(outputFolder) != FileKind::folder) {
    throw UserError(shownOutput + ": no folder " + shownPath(outputFolder) + " to write it in");
  }
  LauncherSettings settings;
  settings.resources.icon =
      parsed.has("--icon") ? readIconFile(hostPath(parsed.value("--icon"))) : defaultIconFile();
  const fs::path appDir = hostPath(parsed.positional[0]);
  const AppFolder folder = scanAppFolder(appDir, parsed.value("--child"));
  if (isInside(outputFolder, output.filename(), appDir)) {
    throw UserError(shownOutput + ": the launcher cannot be written into the folder it packs");
  }
  const AppFile& child = folder.files.front();
  const uint16_t childKind = childSubsystem(child);
  const LauncherTexts texts =
      launcherTexts(textOptions(parsed), child.name, shownPath(output.filename()));
  settings.texts[kSpecText] = texts.spec;
  settings.texts[kCompanyText] = texts.company;
  settings.texts[kProductText] = texts.product;
  settings.texts[kVersionText] = texts.version;
  settings.texts[kFileVersionText] = texts.fileVersion;
  settings.texts[kProductVersionText] = texts.productVersion;
  settings.texts[kProgressText] = texts.progressText;
  settings.progressDisplay = progress == "auto";
  if (cacheCheck == "metadata" && !specInUsersFolders(texts.spec)) {
    throw UserError("--cache-check metadata: the spec " + toUtf8(texts.spec) +
                    " lies outside the user's own folders ({CACHE_DIR}, {HOME}, {TEMP}), where "
                    "another account could plant a file of the same size and time");
  }
  settings.cacheCheck = cacheCheck == "metadata" ? kCacheCheckMetadata : kCacheCheckContent;
  settings.entryTable = !parsed.has("--no-entry-table");
  const std::string textsProblem = configurationTextsProblem(settings);
  if (!textsProblem.empty()) throw UserError(textsProblem);
  settings.subsystem = subsystem.empty()        ? childKind
                       : subsystem == "console" ? pe::kSubsystemConsole
                                                : pe::kSubsystemGui;
  settings.resources.version = texts.resource;
  const EmbeddedFile manifest = launcherManifest();
  settings.resources.manifest.assign(reinterpret_cast<const char*>(manifest.data), manifest.size);

  for (const std::string& warning : specWarnings(texts.spec, texts)) {
    std::cerr << "tavmor-pack: warning: " << warning << "\n";
  }
  for (const std::string& empty : folder.emptyFolders) {
    std::cerr << "tavmor-pack: notice: empty folder " << empty
              << " left out (attached data holds files only)\n";
  }

  const PackedSize packed = writeLauncher(folder, settings, compression, output);

  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  char time[32];
  std::snprintf(time, sizeof time, "%.1f s", seconds);
  std::cout << "tavmor-pack: " << shownOutput << ": " << folder.files.size()
            << (folder.files.size() == 1 ? " file, " : " files, ") << packed.contents
            << " bytes in, " << packed.attachedData << " bytes out ("
            << percent(packed.attachedData, packed.contents) << "), " << time << "\n";
  return 0;
}
