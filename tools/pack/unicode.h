// Conversions between the host's UTF-8 and the UTF-16 of entry names and
// build-time constants.
#pragma once
#include <string>

// Strict UTF-8 to UTF-16: returns false on malformed input (overlong forms,
// surrogates encoded in UTF-8, values above U+10FFFF, cut sequences).
bool utf8ToUtf16(const std::string& text, std::u16string& out);

// Like utf8ToUtf16, but throws a UserError naming `what` on malformed input.
std::u16string toUtf16(const std::string& text, const std::string& what);

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD. For display only: names
// read from attached data may hold lone surrogates.
std::string toUtf8(const std::u16string& text);

// The unit as Windows compares file names without regard to case: the simple
// upper-case mapping of the unit alone (surrogates map to themselves).
char16_t upperCaseUnit(char16_t unit);
std::u16string upperCase(const std::u16string& text);
