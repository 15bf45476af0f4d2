// tavmor-pack build: application folder -> attached data -> generated
// sources and resources -> launcher linked against the prebuilt runtime.
#include <zstd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <thread>

#include "app_folder.h"
#include "arguments.h"
#include "commands.h"
#include "default_icon.h"
#include "entry_names.h"
#include "errors.h"
#include "host_system.h"
#include "image_sections.h"
#include "launcher_sources.h"
#include "pack/writer.h"
#include "payload/format.h"
#include "progress.h"
#include "toolchain.h"
#include "unicode.h"

namespace fs = std::filesystem;

namespace {

const char kBuildUsage[] =
    "usage: tavmor-pack build APP_DIR -o OUT.exe [options]\n"
    "\n"
    "Makes a launcher that carries the application in APP_DIR, unpacks it into\n"
    "a cache folder when started, and runs its program there.\n"
    "\n"
    "  -o, --output FILE         the launcher to write\n"
    "  --child REL               the program to start, relative to APP_DIR\n"
    "                            (default: the only .exe at the top of APP_DIR)\n"
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
    "  --toolchain PREFIX        mingw-w64 tool prefix (default x86_64-w64-mingw32-)\n"
    "  --runtime PREFIX          where lib/tavmor and share/tavmor are\n"
    "                            (default: beside this program's bin folder)\n";

const std::vector<OptionSpec> kBuildOptions = {
    {"--output", "-o", true},
    {"--child", nullptr, true},
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
    {"--toolchain", nullptr, true},
    {"--runtime", nullptr, true},
    {"--help", "-h", false},
};

// Everything the launcher's constants and version resource say.
struct LauncherTexts {
  std::u16string spec, company, product, version, fileVersion, productVersion;
  VersionResource resource;
};

std::array<uint16_t, 4> versionNumbers(const std::string& option, const std::string& text) {
  std::array<uint16_t, 4> numbers;
  if (!parseVersionNumbers(text, numbers)) {
    throw UserError(option + " " + text +
                    ": expected one to four numbers from 0 to 65535 separated by dots");
  }
  return numbers;
}

// A text that the default spec uses as a folder name.
void checkFolderName(const std::string& option, const std::u16string& text) {
  std::string problem = entryNameProblem(text);
  if (problem.empty() && text.find_first_of(u"\\{}") != std::u16string::npos) {
    problem = "it holds a backslash or brace";
  }
  if (!problem.empty()) {
    throw UserError(option + " " + toUtf8(text) + " cannot be a folder name in the default spec (" +
                    problem + "); choose one with --spec");
  }
}

LauncherTexts launcherTexts(const ParsedArguments& parsed, const std::u16string& childName,
                            const fs::path& output) {
  LauncherTexts texts;
  std::u16string defaultProduct = childName.substr(childName.rfind(u'\\') + 1);
  if (defaultProduct.size() > 4 &&
      upperCase(defaultProduct.substr(defaultProduct.size() - 4)) == u".EXE") {
    defaultProduct.resize(defaultProduct.size() - 4);
  }
  texts.product =
      parsed.has("--product") ? toUtf16(parsed.value("--product"), "--product") : defaultProduct;
  if (texts.product.empty()) throw UserError("--product is empty");
  texts.company =
      parsed.has("--company") ? toUtf16(parsed.value("--company"), "--company") : texts.product;
  const std::string version = parsed.value("--version", "1.0.0");
  if (version.empty()) throw UserError("--version is empty");
  texts.version = toUtf16(version, "--version");
  // The resource's versions are numbers; the placeholders keep the texts.
  const std::string fileVersionOption =
      parsed.has("--file-version") ? "--file-version" : "--version";
  const std::string productVersionOption =
      parsed.has("--product-version") ? "--product-version" : "--version";
  const std::string fileVersion = parsed.value("--file-version", version);
  const std::string productVersion = parsed.value("--product-version", version);
  texts.fileVersion = toUtf16(fileVersion, fileVersionOption);
  texts.productVersion = toUtf16(productVersion, productVersionOption);
  texts.resource.fileVersion = versionNumbers(fileVersionOption, fileVersion);
  texts.resource.productVersion = versionNumbers(productVersionOption, productVersion);

  if (parsed.has("--spec")) {
    texts.spec = toUtf16(parsed.value("--spec"), "--spec");
  } else {
    checkFolderName("--product", texts.product);
    checkFolderName("--version", texts.version);
    texts.spec = u"{CACHE_DIR}\\" + texts.product + u"\\" + texts.version;
  }
  const std::string problem = specProblem(texts.spec);
  if (!problem.empty()) throw UserError("--spec " + toUtf8(texts.spec) + ": " + problem);

  texts.resource.companyName = texts.company;
  texts.resource.productName = texts.product;
  texts.resource.internalName = texts.product;
  texts.resource.originalFilename = toUtf16(output.filename().string(), "the output's file name");
  texts.resource.fileDescription = parsed.has("--description")
                                       ? toUtf16(parsed.value("--description"), "--description")
                                       : texts.product;
  return texts;
}

// Removes one build's intermediate files, whatever happens.
struct TemporaryFolder {
  TemporaryFolder() : path(makeTemporaryFolder()) {}
  ~TemporaryFolder() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
  const fs::path path;
};

void writeTextFile(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out.flush()) throw std::runtime_error("cannot write " + path.string());
}

// The first page of an image: its headers and section table.
std::string readImageHeaders(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string headers(kImagePageSize, '\0');
  in.read(headers.data(), headers.size());
  headers.resize(static_cast<size_t>(in.gcount()));
  return headers;
}

std::string readTextFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  if (!in) throw UserError(path.string() + ": cannot read");
  return text.str();
}

// An .ico file: the icon directory's reserved word 0, type 1 and at least one
// image.
std::string readIconFile(const fs::path& path) {
  const std::string icon = readTextFile(path);
  if (icon.size() < 6 || icon.compare(0, 4, std::string("\0\0\1\0", 4)) != 0 ||
      (icon[4] == 0 && icon[5] == 0)) {
    throw UserError(path.string() + ": not an .ico file");
  }
  return icon;
}

struct PackedSize {
  uint64_t contents = 0;
  uint64_t attachedData = 0;
};

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using OpenFile = std::unique_ptr<std::FILE, FileCloser>;

// Reads `in` from its start, hands every piece to `consume` and returns the
// byte count and the checksum.
template <typename Consume>
std::pair<uint64_t, uint32_t> readFilePass(std::FILE* in, const AppFile& file,
                                           std::vector<unsigned char>& buffer, Consume&& consume) {
  uint64_t size = 0;
  uint32_t crc = 0;
  size_t got;
  std::rewind(in);
  while ((got = std::fread(buffer.data(), 1, buffer.size(), in)) > 0) {
    crc = extendCrc(crc, buffer.data(), got);
    size += got;
    consume(got, size);
  }
  if (std::ferror(in)) {
    throw UserError(file.path.string() + ": cannot read: " + std::strerror(errno));
  }
  return {size, checksumFromCrc(crc)};
}

// Streams every file into the writer: a first pass for the checksum, which
// precedes the contents, a second for the contents. A file that changes in
// between is refused by name rather than packed with a wrong checksum.
PackedSize writeAttachedData(const AppFolder& folder, const fs::path& out,
                             const WriterSettings& settings) {
  uint64_t total = 0;
  for (const AppFile& file : folder.files) total += file.size;
  Progress progress(total, standardErrorIsTerminal());
  const OpenFile data(std::fopen(out.c_str(), "wb"));
  if (data == nullptr) throw std::runtime_error(out.string() + ": cannot create");
  AttachedDataWriter writer;
  std::string error;
  const auto check = [&error](bool ok) {
    if (!ok) throw std::runtime_error("writing the attached data: " + error);
  };
  std::vector<unsigned char> buffer(1 << 16);
  PackedSize packed;
  check(writer.open(data.get(), settings, error));
  for (const AppFile& file : folder.files) {
    const OpenFile in(std::fopen(file.path.c_str(), "rb"));
    if (in == nullptr) {
      throw UserError(file.path.string() + ": cannot open: " + std::strerror(errno));
    }
    const UserError changed(file.path.string() + ": changed while it was being packed");
    const auto first = readFilePass(in.get(), file, buffer, [](size_t, uint64_t) {});
    check(writer.beginEntry(file.name, first.first, first.second, error));
    const auto second = readFilePass(in.get(), file, buffer, [&](size_t got, uint64_t soFar) {
      if (soFar > first.first) throw changed;
      check(writer.addContents(buffer.data(), got, error));
      progress.advance(got);
    });
    if (second != first) throw changed;
    check(writer.endEntry(error));
    packed.contents += first.first;
  }
  progress.finishing();
  check(writer.finish(error));
  packed.attachedData = writer.bytesWritten();
  return packed;
}

void runStep(const std::vector<std::string>& command, const fs::path& folder) {
  const int status = runProgram(command, folder);
  if (status != 0) {
    throw std::runtime_error(
        command[0] + " failed" +
        (status < 0 ? std::string() : " with exit status " + std::to_string(status)));
  }
}

// Compiles the generated sources and the resources and links them with the
// runtime into `folder`/launcher.exe. Every input lies in `folder` and is
// named relative to it, so no build-machine path reaches the image.
void linkLauncher(const fs::path& folder, const LauncherTexts& texts,
                  const LauncherRuntime& runtime, const Toolchain& toolchain,
                  const std::string& icon) {
  const fs::path& templates = runtime.templateDir;
  writeTextFile(folder / "constants.cpp",
                fillTemplate(readTextFile(templates / "constants.cpp.in"),
                             {{"SPEC", unitArray(texts.spec)},
                              {"COMPANY", unitArray(texts.company)},
                              {"PRODUCT", unitArray(texts.product)},
                              {"VERSION", unitArray(texts.version)},
                              {"FILE_VERSION", unitArray(texts.fileVersion)},
                              {"PRODUCT_VERSION", unitArray(texts.productVersion)}}));
  const std::string dataTemplate = readTextFile(templates / "attached_data.S.in");
  const auto writeDataSource = [&](uint32_t padding) {
    writeTextFile(folder / "attached_data.S",
                  fillTemplate(dataTemplate, {{"ATTACHED_DATA", "attached.bin"},
                                              {"PADDING", std::to_string(padding)}}));
  };
  writeDataSource(0);
  writeTextFile(folder / "launcher.ico", icon);
  fs::copy_file(templates / "launcher.manifest", folder / "launcher.manifest");
  writeTextFile(folder / "launcher.rc",
                resourceScript(texts.resource, "launcher.ico", "launcher.manifest"));

  runStep({toolchain.windres, "-O", "coff", "-i", "launcher.rc", "-o", "resources.o"}, folder);
  runStep({toolchain.compiler, "-c", "-O2", "constants.cpp", "-o", "constants.o"}, folder);
  runStep({toolchain.compiler, "-c", "attached_data.S", "-o", "attached_data.o"}, folder);
  std::vector<std::string> link = {
      toolchain.compiler, "-municode", "-mwindows", "-static", "-static-libgcc",
      "-static-libstdc++", "-s", "-Wl,--no-insert-timestamp",
      // The runtime's start-up code, linked after our library, calls wWinMain.
      "-Wl,-u,wWinMain", "-o", "launcher.exe", "constants.o", "attached_data.o", "resources.o"};
  for (const fs::path& library : runtime.libraries())
    link.push_back(fs::absolute(library).string());
  link.push_back("-lshell32");
  runStep(link, folder);

  // Once more with the attached data moved onto a page of the file, so that
  // loaders map it instead of copying it (attached_data.S.in).
  const std::optional<uint32_t> dataOffset =
      sectionFileOffset(readImageHeaders(folder / "launcher.exe"), ".payload");
  if (dataOffset && paddingToPage(*dataOffset) != 0) {
    writeDataSource(paddingToPage(*dataOffset));
    runStep({toolchain.compiler, "-c", "attached_data.S", "-o", "attached_data.o"}, folder);
    runStep(link, folder);
  }
}

bool isInside(const fs::path& path, const fs::path& folder) {
  const fs::path real = fs::weakly_canonical(path);
  const fs::path root = fs::canonical(folder);
  auto [rootEnd, pathAt] = std::mismatch(root.begin(), root.end(), real.begin(), real.end());
  return rootEnd == root.end();
}

std::string percent(uint64_t part, uint64_t whole) {
  if (whole == 0) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f%%", 100.0 * static_cast<double>(part) / whole);
  return text;
}

}  // namespace

int runBuild(const std::vector<std::string>& arguments, const fs::path& self) {
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
  const fs::path output = parsed.value("--output");
  WriterSettings settings;
  settings.level = parseNumberOption("--level", parsed.value("--level", "19"), 1, ZSTD_maxCLevel());
  settings.threads = parsed.has("--threads")
                         ? parseNumberOption("--threads", parsed.value("--threads"), 0, 256)
                         : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));

  // Everything that can be refused is checked before anything is written.
  const fs::path outputFolder = output.has_parent_path() ? output.parent_path() : fs::path(".");
  if (!fs::is_directory(outputFolder)) {
    throw UserError(output.string() + ": no folder " + outputFolder.string() + " to write it in");
  }
  const LauncherRuntime runtime = findLauncherRuntime(parsed.value("--runtime"), self);
  const Toolchain toolchain = findToolchain(parsed.value("--toolchain", "x86_64-w64-mingw32-"));
  const std::string icon =
      parsed.has("--icon") ? readIconFile(parsed.value("--icon")) : defaultIconFile();
  const fs::path appDir = parsed.positional[0];
  const AppFolder folder = scanAppFolder(appDir, parsed.value("--child"));
  if (isInside(output, appDir)) {
    throw UserError(output.string() + ": the launcher cannot be written into the folder it packs");
  }
  const LauncherTexts texts = launcherTexts(parsed, folder.files.front().name, output);
  for (const std::string& empty : folder.emptyFolders) {
    std::cerr << "tavmor-pack: notice: empty folder " << empty
              << " left out (attached data holds files only)\n";
  }

  TemporaryFolder work;
  const PackedSize packed = writeAttachedData(folder, work.path / "attached.bin", settings);
  linkLauncher(work.path, texts, runtime, toolchain, icon);

  // Replace the output in one step, so it is never seen half written.
  fs::path partial = output;
  partial += ".partial";
  std::error_code error;
  fs::copy_file(work.path / "launcher.exe", partial, fs::copy_options::overwrite_existing, error);
  if (!error) fs::rename(partial, output, error);
  if (error) {
    fs::remove(partial, error);
    throw UserError(output.string() + ": cannot write: " + error.message());
  }

  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  char time[32];
  std::snprintf(time, sizeof time, "%.1f s", seconds);
  std::cout << "tavmor-pack: " << output.string() << ": " << folder.files.size()
            << (folder.files.size() == 1 ? " file, " : " files, ") << packed.contents
            << " bytes in, " << packed.attachedData << " bytes out ("
            << percent(packed.attachedData, packed.contents) << "), " << time << "\n";
  return 0;
}
