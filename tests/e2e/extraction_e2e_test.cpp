// Extraction as a user sees it: what lands in the target directory on a first
// run, what a second run leaves alone, and what it repairs; and what the
// check by size and time trusts.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "process_win32.h"

namespace {

const char* const kFiles[] = {
    "app.exe",           "readme.txt",        "empty.txt",          "edges\\32767.bin",
    "edges\\32768.bin",  "edges\\32769.bin",  "edges\\131071.bin",  "edges\\131072.bin",
    "edges\\131073.bin", "a\\b\\c\\deep.txt", "several-blocks.bin", "zz-last-incompressible.bin"};

std::wstring wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::wstring launcher(const char* name) {
  return windowsPathOf(std::string(TAVMOR_E2E_DIR) + "/" + name + ".exe");
}

std::wstring sourceFile(const char* name) {
  return windowsPathOf(std::string(TAVMOR_E2E_DIR) + "/extraction_app/") + wide(name);
}

// Every launcher here uses the relative spec "cache\app" or, checking by size
// and time, "{TEMP}\cache\app", so each test gets its own target directory
// below a fresh working directory, which is also the launcher's TEMP.
struct LauncherRun {
  std::wstring workDir = makeScratchDirectory(L"extract");
  // The launcher of start() without a name: with its entry table by default.
  const char* launcherName = "extraction_launcher";
  std::wstring target() const { return workDir + L"\\cache\\app"; }
  std::wstring file(const char* name) const { return target() + L"\\" + wide(name); }
  std::wstring record() const { return target() + L"\\.tavmor-record"; }
  bool byMetadata() const { return std::string(launcherName) == "extraction_metadata_launcher"; }
  ProcessResult start(const char* name = nullptr) const {
    if (name == nullptr) name = launcherName;
    ProcessOptions options;
    options.workingDirectory = workDir;
    options.environment = {{L"TMP", workDir}, {L"TEMP", workDir}};
    return runProgram(launcher(name), options);
  }
};

const FILETIME kOldTime = {0x2A69C000, 0x01C00000};  // a date long past

void setWriteTime(const std::wstring& path, const FILETIME& time) {
  HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  SetFileTime(file, nullptr, nullptr, &time);
  CloseHandle(file);
}

FILETIME writeTime(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return FILETIME{};
  return data.ftLastWriteTime;
}

bool hasOldWriteTime(const std::wstring& path) {
  const FILETIME time = writeTime(path);
  return CompareFileTime(&time, &kOldTime) == 0;
}

void expectAllFilesIntact(const LauncherRun& run) {
  for (const char* name : kFiles) {
    EXPECT_EQ(readWholeFile(run.file(name)), readWholeFile(sourceFile(name))) << name;
  }
}

// Every file below the target directory is one of the application's (or
// the record of the check by size and time), and no staged tree is left
// beside it.
void expectNoPartialFiles(const LauncherRun& run) {
  std::vector<std::wstring> expected;
  for (const char* name : kFiles) expected.push_back(wide(name));
  if (run.byMetadata()) expected.push_back(L".tavmor-record");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(filesBelow(run.target()), expected);
  EXPECT_FALSE(pathExists(run.target() + L".tavmor-partial"));
}

// Marks every unpacked file with an old write time, so a later run that
// opens one for writing shows.
void markAllOld(const LauncherRun& run) {
  for (const char* name : kFiles) {
    if (pathExists(run.file(name))) setWriteTime(run.file(name), kOldTime);
  }
}

// The tests of what a start writes and repairs run over a launcher with its
// entry table and several frames, which decodes them on several threads on a
// first start and checks the files it finds before decoding on a later one;
// over the same attached data without the table, which the single pass
// decodes front to back, checking each file as it comes; over a launcher
// whose attached data is one frame; and over one that checks the files it
// finds by size and time (each changed time has the file read).
class ExtractionPasses : public testing::TestWithParam<const char*> {
 protected:
  ExtractionPasses() { run.launcherName = GetParam(); }
  LauncherRun run;
};
INSTANTIATE_TEST_SUITE_P(BothPasses, ExtractionPasses,
                         testing::Values("extraction_launcher", "extraction_single_pass_launcher",
                                         "extraction_single_frame_launcher",
                                         "extraction_metadata_launcher"));

TEST_P(ExtractionPasses, FirstRunWritesEveryFileAndPrintsNothing) {
  const ProcessResult result = run.start();
  EXPECT_EQ(result.exitCode, 0u);
  EXPECT_EQ(result.standardOutput, "");
  EXPECT_EQ(result.standardError, "");
  expectAllFilesIntact(run);
  EXPECT_EQ(pathExists(run.record()), run.byMetadata());
}

TEST_P(ExtractionPasses, ExtractionDirectoryReusedWithoutWrites) {
  ASSERT_EQ(run.start().exitCode, 0u);
  markAllOld(run);

  const ProcessResult second = run.start();
  EXPECT_EQ(second.exitCode, 0u);
  EXPECT_EQ(second.standardOutput + second.standardError, "");
  // The empty file too: it matches its empty entry.
  for (const char* name : kFiles) EXPECT_TRUE(hasOldWriteTime(run.file(name))) << name;
  expectAllFilesIntact(run);
}

TEST_P(ExtractionPasses, RecoverChangedMissingTruncatedAndEmptiedFiles) {
  ASSERT_EQ(run.start().exitCode, 0u);
  writeWholeFile(run.file("readme.txt"), "changed by the user");
  DeleteFileW(run.file("a\\b\\c\\deep.txt").c_str());
  const std::string blocks = readWholeFile(run.file("several-blocks.bin"));
  writeWholeFile(run.file("several-blocks.bin"), blocks.substr(0, blocks.size() / 2));
  writeWholeFile(run.file("edges\\131072.bin"), "");
  markAllOld(run);

  ASSERT_EQ(run.start().exitCode, 0u);
  const std::map<std::string, bool> rewritten = {{"readme.txt", true},
                                                 {"a\\b\\c\\deep.txt", true},
                                                 {"several-blocks.bin", true},
                                                 {"edges\\131072.bin", true}};
  for (const char* name : kFiles) {
    EXPECT_EQ(hasOldWriteTime(run.file(name)), rewritten.count(name) == 0) << name;
  }
  expectAllFilesIntact(run);
}

TEST_P(ExtractionPasses, ReadOnlyHiddenAndSystemFilesAreReplaced) {
  ASSERT_EQ(run.start().exitCode, 0u);
  const std::map<std::string, DWORD> stale = {{"readme.txt", FILE_ATTRIBUTE_READONLY},
                                              {"edges\\32767.bin", FILE_ATTRIBUTE_HIDDEN},
                                              {"a\\b\\c\\deep.txt", FILE_ATTRIBUTE_SYSTEM},
                                              {"empty.txt", FILE_ATTRIBUTE_READONLY}};
  for (const auto& [name, attribute] : stale) {
    writeWholeFile(run.file(name.c_str()), "stale");
    ASSERT_TRUE(SetFileAttributesW(run.file(name.c_str()).c_str(), attribute)) << name;
  }
  const ProcessResult result = run.start();
  EXPECT_EQ(result.exitCode, 0u);
  EXPECT_EQ(result.standardOutput + result.standardError, "");
  expectAllFilesIntact(run);
  expectNoPartialFiles(run);
}

TEST_P(ExtractionPasses, FileThatCannotBeReplacedEndsTheRunAndLeavesNoTemporaryFile) {
  ASSERT_EQ(run.start().exitCode, 0u);
  const std::wstring readme = run.file("readme.txt");
  const std::string expected =
      "Error, failed to open '" + std::string(readme.begin(), readme.end()) + "' for writing.\r\n";

  // Held open by another process without delete sharing, past the retries.
  writeWholeFile(readme, "stale");
  HANDLE held = CreateFileW(readme.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const ProcessResult result = run.start();
  CloseHandle(held);
  EXPECT_EQ(result.exitCode, 2u);
  EXPECT_EQ(result.standardError, expected);
  EXPECT_EQ(result.standardOutput, "");
  EXPECT_EQ(readWholeFile(readme), "stale");
  expectNoPartialFiles(run);

  ASSERT_EQ(run.start().exitCode, 0u);
  expectAllFilesIntact(run);
}

TEST(EntryTable, AStartThatFindsEveryFileWholeDecodesNothing) {
  // The damaged block lies near the end of the attached data, in its last
  // file: a first start fails there, having written the files before it.
  LauncherRun run;
  const ProcessResult first = run.start("extraction_late_block_launcher");
  EXPECT_EQ(first.standardOutput, "Error, couldn't decode attached data.\r\n");
  EXPECT_EQ(first.exitCode, 2u);
  EXPECT_FALSE(pathExists(run.target()));

  // Over a whole cache its table shows that nothing must be written, so it
  // decodes nothing and starts the child; the same launcher with its table
  // damaged decodes as far as the damage and fails.
  ASSERT_EQ(run.start("extraction_launcher").exitCode, 0u);
  markAllOld(run);
  const ProcessResult warm = run.start("extraction_late_block_launcher");
  EXPECT_EQ(warm.standardOutput + warm.standardError, "");
  EXPECT_EQ(warm.exitCode, 0u);
  const ProcessResult distrusted = run.start("extraction_late_block_distrusted_launcher");
  EXPECT_EQ(distrusted.standardOutput, "Error, couldn't decode attached data.\r\n");
  EXPECT_EQ(distrusted.exitCode, 2u);

  // A repair decodes only as far as the last file it writes: one before the
  // damage is repaired, and the damage is never reached.
  writeWholeFile(run.file("readme.txt"), "changed");
  const ProcessResult repair = run.start("extraction_late_block_launcher");
  EXPECT_EQ(repair.standardOutput + repair.standardError, "");
  EXPECT_EQ(repair.exitCode, 0u);
  for (const char* name : kFiles) {
    EXPECT_EQ(hasOldWriteTime(run.file(name)), std::string(name) != "readme.txt") << name;
  }
  expectAllFilesIntact(run);
  expectNoPartialFiles(run);
}

TEST(Frames, ARepairDecodesOnlyTheFramesOfTheFilesItWrites) {
  // The launcher's first frame is damaged: a first start, whose workers
  // decode every frame, fails with the single pass's message and shows no
  // target directory.
  LauncherRun run;
  const ProcessResult first = run.start("extraction_first_frame_block_launcher");
  EXPECT_EQ(first.standardOutput, "Error, couldn't decode attached data.\r\n");
  EXPECT_EQ(first.standardError, "");
  EXPECT_EQ(first.exitCode, 2u);
  EXPECT_FALSE(pathExists(run.target()));

  // The last file, alone in the last frame, is repaired without a look at
  // the damaged frame, and nothing else is written.
  ASSERT_EQ(run.start("extraction_launcher").exitCode, 0u);
  writeWholeFile(run.file("zz-last-incompressible.bin"), "damaged");
  markAllOld(run);
  const ProcessResult repair = run.start("extraction_first_frame_block_launcher");
  EXPECT_EQ(repair.standardOutput + repair.standardError, "");
  EXPECT_EQ(repair.exitCode, 0u);
  for (const char* name : kFiles) {
    EXPECT_EQ(hasOldWriteTime(run.file(name)), std::string(name) != "zz-last-incompressible.bin")
        << name;
  }
  expectAllFilesIntact(run);
  expectNoPartialFiles(run);
}

TEST(Extraction, CutAttachedDataFailsMidEntryAndIsRepairedLater) {
  LauncherRun run;
  const ProcessResult cut = run.start("extraction_cut_launcher");
  EXPECT_EQ(cut.standardOutput, "Error, couldn't decode attached data.\r\n");
  EXPECT_EQ(cut.standardError, "");
  EXPECT_EQ(cut.exitCode, 2u);
  // A first start shows no target directory until every file is whole; the
  // next start reuses the staged tree it left.
  EXPECT_FALSE(pathExists(run.target()));
  const std::wstring staged = run.target() + L".tavmor-partial\\";
  for (const char* name : kFiles) {
    if (std::string(name) == "zz-last-incompressible.bin") continue;
    EXPECT_EQ(readWholeFile(staged + wide(name)), readWholeFile(sourceFile(name))) << name;
  }
  const std::string partial = readWholeFile(staged + L"zz-last-incompressible.bin");
  EXPECT_GT(partial.size(), 0u);
  EXPECT_LT(partial.size(), readWholeFile(sourceFile("zz-last-incompressible.bin")).size());

  ASSERT_EQ(run.start().exitCode, 0u);
  expectAllFilesIntact(run);
  expectNoPartialFiles(run);
}

TEST(Extraction, FilesInAFolderOnAnotherVolumeArriveWhole) {
  // The test's set-up links cache\app\edges of this working directory to
  // another file system: no file can be renamed into it from elsewhere.
  LauncherRun run;
  run.workDir = windowsPathOf(std::string(TAVMOR_E2E_DIR) + "/other_volume");
  const std::wstring outside = run.file("outside.tmp");
  writeWholeFile(outside, "x");
  EXPECT_FALSE(MoveFileExW(outside.c_str(), run.file("edges\\inside.tmp").c_str(), 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SAME_DEVICE));
  DeleteFileW(outside.c_str());

  ASSERT_EQ(run.start().exitCode, 0u);
  expectAllFilesIntact(run);
  expectNoPartialFiles(run);
}

TEST(Extraction, ANameWin32RewritesLandsWhereWin32PutsIt) {
  // "readme." is the file "readme" to every Win32 program; the launcher, which
  // then fails to start it as a program, must not leave a file named
  // otherwise.
  LauncherRun run;
  const ProcessResult result = run.start("extraction_dot_launcher");
  EXPECT_EQ(result.exitCode, 2u);
  EXPECT_EQ(filesBelow(run.target()), std::vector<std::wstring>{L"readme"});
  EXPECT_EQ(readWholeFile(run.target() + L"\\readme"),
            readWholeFile(windowsPathOf(std::string(TAVMOR_E2E_DIR) + "/readme.txt")));
}

TEST(Extraction, EntryPathBeyondPathCapacityAbortsBeforeWriting) {
  // Its spec is a 4088-unit absolute path: with "\app.exe" the first entry's
  // path needs 4097 units with its terminator, one more than fits.
  LauncherRun run;
  const ProcessResult result = run.start("extraction_long_launcher");
  EXPECT_EQ(result.exitCode, 3u);  // the runtime's abnormal termination
  EXPECT_EQ(result.standardOutput, "");
  EXPECT_FALSE(pathExists(L"C:\\tavmor-long"));
}

// Gives the file at `path` other contents of the same size, in place (the
// same file), and then its write time back: the one change that a check by
// size and time cannot see.
void changeKeepingSizeAndTime(const std::wstring& path) {
  const FILETIME time = writeTime(path);
  std::string contents = readWholeFile(path);
  for (char& unit : contents) unit = static_cast<char>(unit ^ 0x5A);
  writeWholeFile(path, contents);
  setWriteTime(path, time);
}

LauncherRun metadataRun() {
  LauncherRun run;
  run.launcherName = "extraction_metadata_launcher";
  return run;
}

TEST(MetadataCheck, OnlyFilesWhoseSizeOrTimeChangedAreRead) {
  const LauncherRun run = metadataRun();
  ASSERT_EQ(run.start().exitCode, 0u);
  const std::string readme = readWholeFile(run.file("readme.txt"));
  writeWholeFile(run.file("readme.txt"), std::string(readme.size(), 'x'));
  setWriteTime(run.file("readme.txt"), kOldTime);
  changeKeepingSizeAndTime(run.file("edges\\32768.bin"));
  const std::string unnoticed = readWholeFile(run.file("edges\\32768.bin"));

  ASSERT_EQ(run.start().exitCode, 0u);
  EXPECT_EQ(readWholeFile(run.file("readme.txt")), readme);
  EXPECT_EQ(readWholeFile(run.file("edges\\32768.bin")), unnoticed);
}

TEST(MetadataCheck, AMissingDamagedOrForeignRecordHasEveryFileRead) {
  // Each time a change the record would hide, and a fresh record after.
  const LauncherRun run = metadataRun();
  ASSERT_EQ(run.start().exitCode, 0u);
  changeKeepingSizeAndTime(run.file("readme.txt"));
  ASSERT_TRUE(DeleteFileW(run.record().c_str()));
  ASSERT_EQ(run.start().exitCode, 0u);
  expectAllFilesIntact(run);
  ASSERT_TRUE(pathExists(run.record()));

  // One bit of another file's time (app.exe's, the first entry).
  changeKeepingSizeAndTime(run.file("readme.txt"));
  std::string damaged = readWholeFile(run.record());
  damaged.at(56) ^= 1;
  writeWholeFile(run.record(), damaged);
  ASSERT_EQ(run.start().exitCode, 0u);
  expectAllFilesIntact(run);
  const std::string fresh = readWholeFile(run.record());
  EXPECT_NE(fresh, damaged);

  // The same files packed at another level: other attached data.
  changeKeepingSizeAndTime(run.file("readme.txt"));
  ASSERT_EQ(run.start("extraction_rebuilt_launcher").exitCode, 0u);
  expectAllFilesIntact(run);
  EXPECT_NE(readWholeFile(run.record()), fresh);
  expectNoPartialFiles(run);
}

}  // namespace
