// qvhost --strings. The block comes from the version operations the exports
// use (the portable reader on Linux, the system's GetFileVersionInfoA behind
// the project's checks on Windows), and the reader's walk visits its tables
// and strings with the bounds its queries keep. Values are the file's own
// text in UTF-8: UTF-16 from a 32-bit block, where a surrogate without its
// pair becomes U+FFFD, and code page 1252 from a 16-bit (NE) block.
#include "files.h"
#include "options.h"
#include "output.h"

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

struct StringTable {
    std::string translation;
    uint32_t info = 1; // its StringFileInfo node, counted from 1
    std::vector<String> strings;
};

struct FileStrings {
    FileStatus status = FileStatus::missing;
    bool image = true;
    std::vector<std::pair<std::string, std::string>> fixed; // none without a record
    std::vector<std::string> translations;
    std::vector<StringTable> tables;
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
    // The file is opened and read once; the reader's refusal tells "none"
    // from "missing".
    FileStrings file;
    qv::reader::Refusal refusal = qv::reader::Refusal::none;
    const auto block = qv::fileinfo::ReadCheckedBlock(path, refusal);
    if (!block) {
        file.status = Unreadable(refusal) ? FileStatus::missing : FileStatus::none;
        file.image = !NotAnImage(refusal);
        return file;
    }
    file.status = FileStatus::none;
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
        file.status = FileStatus::ok;
    return file;
}

// {"file": ..., "status": ..., "fixed": {NAME: VALUE...} or null,
//  "translations": [...], "tables": [{"translation": ..., "info": N,
//  "strings": [[KEY, VALUE] or [KEY, VALUE, "binary"]...]}...]}
std::string JsonLine(std::string_view path, const FileStrings &file, std::string_view reason)
{
    JsonMembers fixed;
    for (const auto &[name, value] : file.fixed)
        fixed.emplace_back(name, JsonString(value));
    std::vector<std::string> translations;
    for (const std::string &translation : file.translations)
        translations.push_back(JsonString(translation));
    std::vector<std::string> tables;
    for (const StringTable &table : file.tables) {
        std::vector<std::string> strings;
        for (const String &string : table.strings) {
            std::vector<std::string> row = {JsonString(string.key), JsonString(string.value)};
            if (string.binary)
                row.push_back(JsonString("binary"));
            strings.push_back(JsonArray(row));
        }
        tables.push_back(JsonObject({{"translation", JsonString(table.translation)},
                                     {"info", std::to_string(table.info)},
                                     {"strings", JsonArray(strings)}}));
    }
    JsonMembers members = {{"file", JsonString(Utf8FromArgument(path))},
                           {"status", JsonString(StatusName(file.status))}};
    if (!reason.empty())
        members.emplace_back("reason", JsonString(reason));
    members.emplace_back("fixed", fixed.empty() ? "null" : JsonObject(fixed));
    members.emplace_back("translations", JsonArray(translations));
    members.emplace_back("tables", JsonArray(tables));
    return JsonObject(members) + "\n";
}

// file=, status=, fixed.NAME=VALUE, Translation=LIST, then table=T and an
// indented KEY=VALUE for each of its strings. A table of a second
// StringFileInfo node, which the queries do not see, and a value typed
// binary, which VerQueryValueA does not convert, say so after them.
std::string TextLines(std::string_view path, const FileStrings &file, bool utf8_names,
                      std::string_view reason)
{
    std::string out;
    AppendLine(out, "file", utf8_names ? Utf8FromArgument(path) : std::string(path));
    AppendLine(out, "status", StatusName(file.status));
    if (!reason.empty())
        AppendLine(out, "reason", reason);
    for (const auto &[name, value] : file.fixed)
        AppendLine(out, "fixed." + name, value);
    std::string list;
    for (size_t i = 0; i < file.translations.size(); i++)
        list += (i ? " " : "") + file.translations[i];
    AppendLine(out, "Translation", list);
    for (const StringTable &table : file.tables) {
        AppendLine(out, "table",
                   table.info > 1
                       ? table.translation + " (StringFileInfo " + std::to_string(table.info) + ")"
                       : table.translation);
        for (const String &string : table.strings)
            AppendLine(out, "  " + string.key, string.value + (string.binary ? " (binary)" : ""));
    }
    return out;
}

} // namespace

int RunStrings(const Options &o)
{
    return PrintFiles(o, [&](std::string_view path, std::string_view reason) {
        const FileStrings file = ReadStrings(path);
        return FileOutput{file.status,
                          o.json ? JsonLine(path, file, reason)
                                 : TextLines(path, file, o.utf8, reason),
                          file.image};
    });
}

} // namespace qvhost
