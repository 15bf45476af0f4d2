// The running system's side of spec expansion: the values that only the
// platform knows. The launcher gets them from placeholders_win32.cpp; host
// tests link a stand-in of their own, so the scanning is tested without the
// platform. Time and random values are kept in the environment, which
// target/environment.h reaches.
#pragma once
#include <cstddef>
#include <cstdint>

#include "base/utf16_text.h"

// Writes the temporary-files directory, as the platform reports it (with its
// trailing backslash), into `output`, which has room for `capacity` units
// with the terminator. False when the platform fails or the whole path does
// not fit; `output` is then left empty.
bool writeTemporaryDirectory(Utf16Unit* output, uint64_t capacity);

// Writes the full path of the running executable into `output` as above.
// False when the platform fails or had to cut the path to fit; `output` is
// then left empty.
bool writeProgramPath(Utf16Unit* output, uint64_t capacity);

enum class UserFolder { kProfile, kLocalApplicationData };

// The platform's fixed buffer size for a user folder, terminator included.
constexpr size_t kUserFolderCapacity = 260;

// Reads the user's profile or local application-data folder. False unless
// the platform reports success.
bool readUserFolder(UserFolder folder, Utf16Unit (&path)[kUserFolderCapacity]);

// The system time as a FILETIME count, read afresh on every call.
int64_t readSystemTime();

uint32_t currentProcessId();

// A fresh, never zero seed for the random string.
uint32_t readRandomSeed();
