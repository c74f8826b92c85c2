// qvhost --strings: every string a file's version resource carries, read
// from the same checked block the exports query.
#ifndef QV_TOOLS_QVHOST_STRINGS_H
#define QV_TOOLS_QVHOST_STRINGS_H

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qvhost {

// From qvhost.cpp: a JSON string of UTF-8 text; a FILE argument as UTF-8;
// whether a file opens and reads.
std::string JsonString(std::string_view utf8);
std::string Utf8FromArgument(std::string_view text);
bool Readable(std::string_view path);

// Prints, for each FILE, its status, the fixed record, the translation list
// and each string table with its strings, as text or one JSON object a
// line; `utf8_names` shows FILE in UTF-8 in text output. The exit status is
// that of --fields: 0 when every FILE has version information, 1 when one
// has none, 3 when one does not open and read.
int PrintStrings(std::span<const std::string_view> files, bool json, bool utf8_names);

// `value` in upper-case hexadecimal, at least `digits` digits, no prefix.
std::string Hex(uint64_t value, int digits);

} // namespace qvhost

#endif
