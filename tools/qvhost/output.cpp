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
    std::string out;
    AppendJsonString(out, utf8);
    return out;
}

// Bytes that pass through unescaped are appended a run at a time.
void AppendJsonString(std::string &out, std::string_view utf8)
{
    constexpr char kHex[] = "0123456789abcdef";
    out.reserve(out.size() + utf8.size() + 2);
    out += '"';
    size_t run = 0;
    for (size_t i = 0; i < utf8.size(); i++) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c != '"' && c != '\\' && c >= 0x20 && c != 0x7f)
            continue;
        out.append(utf8, run, i - run);
        run = i + 1;
        if (c == '"' || c == '\\') {
            const char escaped[] = {'\\', static_cast<char>(c)};
            out.append(escaped, 2);
        } else {
            const char escaped[] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 0xf]};
            out.append(escaped, 6);
        }
    }
    out.append(utf8, run);
    out += '"';
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

void AppendUtf8FromHost(std::string &out, std::string_view text)
{
    out += Utf8FromHost(text);
}

std::string Utf8FromArgument(std::string_view text)
{
    return Utf8FromHost(text);
}
#else
// Each byte of code page 1252, in which the portable reader answers, is one
// code unit below U+FFFF; ASCII stays as it is, and is appended a run at a
// time.
void AppendUtf8FromHost(std::string &out, std::string_view text)
{
    out.reserve(out.size() + text.size());
    size_t run = 0;
    for (size_t i = 0; i < text.size(); i++) {
        const auto byte = static_cast<uint8_t>(text[i]);
        if (byte < 0x80)
            continue;
        out.append(text, run, i - run);
        run = i + 1;
        AppendUtf8(out, qv::reader::Utf16FromCp1252(byte));
    }
    out.append(text, run);
}

std::string Utf8FromHost(std::string_view text)
{
    std::string out;
    AppendUtf8FromHost(out, text);
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
