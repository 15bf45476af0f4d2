// The few things tavmor-pack asks of the host system. Paths the user names
// arrive as UTF-8 and go through hostPath; every path shown in a message goes
// through shownPath, so both hosts speak UTF-8 on every stream.
#pragma once
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

// The command line as UTF-8, without the program's own name; standard output
// and error then carry bytes unchanged ("\n" stays one byte).
std::vector<std::string> hostArguments(int argc, char** argv);

bool standardErrorIsTerminal();

// A path as the user named it (UTF-8), in the form the file system takes
// whatever its length (on Windows: absolute, with the \\?\ prefix).
std::filesystem::path hostPath(const std::string& named);
// A path as messages show it (UTF-8, without the \\?\ prefix).
std::string shownPath(const std::filesystem::path& path);
// An existing path with every link resolved; throws filesystem_error.
std::filesystem::path realPath(const std::filesystem::path& path);
// Whether the path is itself a link (a symbolic link, or on Windows any
// reparse point such as a junction) rather than what it leads to.
bool isLink(const std::filesystem::path& path);

// A file name as the UTF-16 of an entry name; false when it has no such form
// (on POSIX hosts: a name that is not UTF-8).
bool nameToUtf16(const std::filesystem::path& name, std::u16string& out);

// An entry name's path below a folder (the name's parts are already checked).
std::filesystem::path pathFromUtf16(const std::u16string& name);

// The file system calls that take any path. On Windows the standard
// library's own ones fail on long paths (its folder listing) or on the
// prefixed form (stat), so these go to the Win32 API there.
enum class FileKind { missing, file, folder, other };
// What the path leads to, following links.
FileKind fileKind(const std::filesystem::path& path);
// These throw filesystem_error.
uint64_t fileSize(const std::filesystem::path& path);
std::vector<std::filesystem::path> folderEntries(const std::filesystem::path& folder);
void makeFolders(const std::filesystem::path& folder);
// Removes a file if it is there; quietly does nothing otherwise.
void removeFile(const std::filesystem::path& path);

// fopen for any path; modes "rb" and "wb".
std::FILE* openFile(const std::filesystem::path& path, const char* mode);
// fseek beyond 2 GiB.
bool seekFile(std::FILE* file, uint64_t offset);

// A new, empty folder, for tests that need one.
std::filesystem::path makeTemporaryFolder();
