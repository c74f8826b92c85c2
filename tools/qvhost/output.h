// qvhost's output: the text and JSON writers every command prints with, and
// the conversions of the module's text and of FILE arguments to UTF-8.
#ifndef QV_TOOLS_QVHOST_OUTPUT_H
#define QV_TOOLS_QVHOST_OUTPUT_H

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qvhost {

// Writes to stdout as it is: no conversion, no CR.
void Write(std::string_view text);

// Text output: NAME=VALUE and a LF.
void AppendLine(std::string &out, std::string_view name, std::string_view value);

// JSON as qvhost prints it, on one line: ", " between members and
// elements, ": " after a key. Values are JSON already (JsonString, a
// number, a nested object or array, null).
using JsonMembers = std::vector<std::pair<std::string, std::string>>;
std::string JsonObject(const JsonMembers &members);
std::string JsonArray(const std::vector<std::string> &elements);

// A JSON string of UTF-8 text: quotes, backslashes and control characters
// escaped, everything else kept.
std::string JsonString(std::string_view utf8);
void AppendJsonString(std::string &out, std::string_view utf8);

// A code point as UTF-8.
void AppendUtf8(std::string &out, uint32_t code_point);

// The module's text as UTF-8: from code page 1252 on Linux, from the
// system's ANSI code page on Windows.
std::string Utf8FromHost(std::string_view text);
void AppendUtf8FromHost(std::string &out, std::string_view text);

// A FILE argument as UTF-8: Linux hands on the name's bytes (UTF-8 in
// today's locales); Windows hands it on in the ANSI code page.
std::string Utf8FromArgument(std::string_view text);

// `value` in upper-case hexadecimal, at least `digits` digits, no prefix.
std::string Hex(uint64_t value, int digits);

} // namespace qvhost

#endif
