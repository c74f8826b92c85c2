// qvhost --strings. The block comes from the version operations the exports
// use (the portable reader on Linux, the system's GetFileVersionInfoA behind
// the project's checks on Windows), and the reader's walk visits its tables
// and strings with the bounds its queries keep. Values are the file's own
// text in UTF-8: UTF-16 from a 32-bit block, where a surrogate without its
// pair becomes U+FFFD, and code page 1252 from a 16-bit (NE) block.
#include "strings.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "fileinfo/checked_block.h"
#include "reader/cp1252.h"
#include "reader/version_block.h"

namespace qvhost {
namespace {

using qv::reader::BlockText;
using qv::reader::ByteView;

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

constexpr uint32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(uint32_t unit)
{
    return unit >= 0xD800 && unit < 0xDC00;
}

bool IsLowSurrogate(uint32_t unit)
{
    return unit >= 0xDC00 && unit < 0xE000;
}

// The text's units as UTF-8; the reader found them inside the block.
std::string Utf8Text(ByteView block, BlockText text, bool wide)
{
    std::string out;
    for (uint32_t i = 0; i < text.count; i++) {
        if (!wide) {
            AppendUtf8(out,
                       qv::reader::Utf16FromCp1252(block.ReadOrZero<uint8_t>(text.offset + i)));
            continue;
        }
        const uint32_t unit = block.ReadOrZero<uint16_t>(text.offset + 2 * uint64_t{i});
        const uint32_t next =
            i + 1 < text.count ? block.ReadOrZero<uint16_t>(text.offset + 2 * uint64_t{i + 1}) : 0;
        if (IsHighSurrogate(unit) && IsLowSurrogate(next)) {
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
            i++;
        } else {
            AppendUtf8(out, IsHighSurrogate(unit) || IsLowSurrogate(unit) ? kReplacement : unit);
        }
    }
    return out;
}

struct String {
    std::string key;
    std::string value;
    bool binary = false;
};

struct Table {
    std::string translation;
    uint32_t info = 1; // its StringFileInfo node, counted from 1
    std::vector<String> strings;
};

// What one file gives, all as UTF-8 text.
enum class Status { ok, none, missing };
constexpr const char *kStatusNames[] = {"ok", "none", "missing"};
constexpr int kStatusExits[] = {0, 1, 3};

struct FileStrings {
    Status status = Status::missing;
    std::vector<std::pair<std::string, std::string>> fixed; // none without a record
    std::vector<std::string> translations;
    std::vector<Table> tables;
};

// The fixed record's two versions as GetFileVersionEx gives them, and its
// flags, OS and type.
void ReadFixed(const qv::fileinfo::CheckedBlock &block, FileStrings &file)
{
    const auto record = qv::reader::VersionFixedRecord(block.view);
    if (!record)
        return;
    using qv::fileinfo::FixedVersion;
    const auto version = [&](FixedVersion which) {
        const auto text = qv::fileinfo::FixedVersionText(block, which);
        return std::string(text ? text.get() : "");
    };
    file.fixed = {{"FileVersion", version(FixedVersion::file)},
                  {"ProductVersion", version(FixedVersion::product)}};
    constexpr std::pair<const char *, uint32_t> kWords[] = {
        {"FileFlagsMask", 24}, {"FileFlags", 28},   {"FileOS", 32},
        {"FileType", 36},      {"FileSubtype", 40},
    };
    for (const auto &[name, offset] : kWords)
        file.fixed.emplace_back(name,
                                "0x" + Hex(block.view.ReadOrZero<uint32_t>(*record + offset), 8));
}

FileStrings ReadStrings(std::string_view path)
{
    // The file is opened once when it has a block; only a file without one
    // is tried again, to tell "none" from "missing".
    FileStrings file;
    const auto block = qv::fileinfo::ReadCheckedBlock(path);
    if (!block) {
        file.status = Readable(path) ? Status::none : Status::missing;
        return file;
    }
    file.status = Status::none;
    ReadFixed(*block, file);
    const BlockText list = qv::reader::VersionTranslations(block->view);
    for (uint32_t i = 0; i < list.count; i++) {
        const uint32_t entry = block->view.ReadOrZero<uint32_t>(list.offset + 4 * uint64_t{i});
        file.translations.push_back(Hex(entry & 0xffff, 4) + Hex(entry >> 16, 4));
    }
    auto cursor = qv::reader::StartVersionStrings(block->view);
    for (auto entry = NextVersionString(cursor); entry != qv::reader::VersionEntry::end;
         entry = NextVersionString(cursor)) {
        const std::string key = Utf8Text(block->view, cursor.key, cursor.wide);
        if (entry == qv::reader::VersionEntry::table)
            file.tables.push_back({key, cursor.info_count, {}});
        else if (!file.tables.empty())
            file.tables.back().strings.push_back(
                {key, Utf8Text(block->view, cursor.value, cursor.wide), cursor.binary});
    }
    if (!file.fixed.empty() || !file.translations.empty() || !file.tables.empty())
        file.status = Status::ok;
    return file;
}

// {"file": ..., "status": ..., "fixed": {NAME: VALUE...} or null,
//  "translations": [...], "tables": [{"translation": ..., "info": N,
//  "strings": [[KEY, VALUE] or [KEY, VALUE, "binary"]...]}...]}
std::string JsonLine(std::string_view path, const FileStrings &file)
{
    std::string out = "{\"file\": " + JsonString(Utf8FromArgument(path)) + ", \"status\": \"" +
                      kStatusNames[static_cast<int>(file.status)] + "\", \"fixed\": ";
    for (size_t i = 0; i < file.fixed.size(); i++)
        out += (i ? ", " : "{") + JsonString(file.fixed[i].first) + ": " +
               JsonString(file.fixed[i].second);
    out += file.fixed.empty() ? "null" : "}";
    out += ", \"translations\": [";
    for (size_t i = 0; i < file.translations.size(); i++)
        out += (i ? ", " : "") + JsonString(file.translations[i]);
    out += "], \"tables\": [";
    for (size_t t = 0; t < file.tables.size(); t++) {
        out += (t ? ", " : "") + std::string("{\"translation\": ") +
               JsonString(file.tables[t].translation) +
               ", \"info\": " + std::to_string(file.tables[t].info) + ", \"strings\": [";
        const auto &strings = file.tables[t].strings;
        for (size_t i = 0; i < strings.size(); i++)
            out += (i ? ", [" : "[") + JsonString(strings[i].key) + ", " +
                   JsonString(strings[i].value) + (strings[i].binary ? ", \"binary\"]" : "]");
        out += "]}";
    }
    return out + "]}\n";
}

// file=, status=, fixed.NAME=VALUE, Translation=LIST, then table=T and an
// indented KEY=VALUE for each of its strings. A table of a second
// StringFileInfo node, which the queries do not see, and a value typed
// binary, which VerQueryValueA does not convert, say so after them.
std::string TextLines(std::string_view path, const FileStrings &file, bool utf8_names)
{
    std::string out = "file=" + (utf8_names ? Utf8FromArgument(path) : std::string(path)) +
                      "\nstatus=" + kStatusNames[static_cast<int>(file.status)] + "\n";
    for (const auto &[name, value] : file.fixed)
        out += "fixed." + name + "=" + value + "\n";
    out += "Translation=";
    for (size_t i = 0; i < file.translations.size(); i++)
        out += (i ? " " : "") + file.translations[i];
    out += "\n";
    for (const Table &table : file.tables) {
        out += "table=" + table.translation;
        out += table.info > 1 ? " (StringFileInfo " + std::to_string(table.info) + ")\n" : "\n";
        for (const String &string : table.strings)
            out += "  " + string.key + "=" + string.value + (string.binary ? " (binary)\n" : "\n");
    }
    return out;
}

} // namespace

int PrintStrings(std::span<const std::string_view> files, bool json, bool utf8_names)
{
    Status worst = Status::ok;
    for (std::string_view path : files) {
        const FileStrings file = ReadStrings(path);
        const std::string out = json ? JsonLine(path, file) : TextLines(path, file, utf8_names);
        fwrite(out.data(), 1, out.size(), stdout);
        worst = std::max(worst, file.status);
    }
    fflush(stdout);
    return kStatusExits[static_cast<int>(worst)];
}

std::string Hex(uint64_t value, int digits)
{
    std::array<char, 24> text;
    std::snprintf(text.data(), text.size(), "%0*llX", digits,
                  static_cast<unsigned long long>(value));
    return text.data();
}

} // namespace qvhost
