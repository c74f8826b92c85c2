#include "output.h"

#include <array>
#include <climits>
#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#else
#include "reader/cp1252.h"
#endif

namespace qvhost {

void Write(std::string_view text)
{
    fwrite(text.data(), 1, text.size(), stdout);
}

void AppendLine(std::string &out, std::string_view name, std::string_view value)
{
    out.append(name).append("=").append(value).append("\n");
}

std::string JsonObject(const JsonMembers &members)
{
    std::string out = "{";
    for (std::size_t i = 0; i < members.size(); i++)
        out.append(i ? ", " : "")
            .append(JsonString(members[i].first))
            .append(": ")
            .append(members[i].second);
    return out + "}";
}

std::string JsonArray(const std::vector<std::string> &elements)
{
    std::string out = "[";
    for (std::size_t i = 0; i < elements.size(); i++)
        out.append(i ? ", " : "").append(elements[i]);
    return out + "]";
}

std::string JsonString(std::string_view utf8)
{
    constexpr char kHex[] = "0123456789abcdef";
    std::string out = "\"";
    for (char byte : utf8) {
        auto c = static_cast<unsigned char>(byte);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += byte;
        } else if (c < 0x20 || c == 0x7f) {
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 0xf];
        } else {
            out += byte;
        }
    }
    out += '"';
    return out;
}

void AppendUtf8(std::string &out, uint32_t code_point)
{
    if (code_point < 0x80) {
        out += static_cast<char>(code_point);
    } else if (code_point < 0x800) {
        out += static_cast<char>(0xc0 | (code_point >> 6));
        out += static_cast<char>(0x80 | (code_point & 0x3f));
    } else if (code_point < 0x10000) {
        out += static_cast<char>(0xe0 | (code_point >> 12));
        out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (code_point & 0x3f));
    } else {
        out += static_cast<char>(0xf0 | (code_point >> 18));
        out += static_cast<char>(0x80 | ((code_point >> 12) & 0x3f));
        out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (code_point & 0x3f));
    }
}

#ifdef _WIN32
// Through UTF-16: the system's version functions answer, and the command
// line arrives, in the ANSI code page.
std::string Utf8FromHost(std::string_view text)
{
    if (text.empty() || text.size() > INT_MAX / 3)
        return {};
    const int size = static_cast<int>(text.size());
    const int units = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    if (units <= 0 || units > size)
        return {};
    std::wstring wide(static_cast<size_t>(units), L'\0');
    if (MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), units) != units)
        return {};
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0 || bytes > 3 * units)
        return {};
    std::string out(static_cast<size_t>(bytes), '\0');
    if (WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, out.data(), bytes, nullptr, nullptr) !=
        bytes)
        return {};
    return out;
}

std::string Utf8FromArgument(std::string_view text)
{
    return Utf8FromHost(text);
}
#else
// Each byte of code page 1252, in which the portable reader answers, is one
// code unit below U+FFFF.
std::string Utf8FromHost(std::string_view text)
{
    std::string out;
    for (char byte : text)
        AppendUtf8(out, qv::reader::Utf16FromCp1252(static_cast<uint8_t>(byte)));
    return out;
}

std::string Utf8FromArgument(std::string_view text)
{
    return std::string(text);
}
#endif

std::string Hex(uint64_t value, int digits)
{
    std::array<char, 24> text;
    std::snprintf(text.data(), text.size(), "%0*llX", digits,
                  static_cast<unsigned long long>(value));
    return text.data();
}

} // namespace qvhost
