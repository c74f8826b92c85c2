// Prints, for each file of a list, what this build answers; run natively
// and, built for Windows, under Wine, for compare_with_wine.sh to compare
// (README.md here).
//   query_versions [--exports] LISTFILE [FIRST]
// By default, the three version-information operations (under Wine the
// system's own functions, on the portable build the reader), each file
// queried twice with different bytes past the buffer and in the heap's free
// memory: a report that changes with them ends with "reads outside the
// buffer", and one where the bytes past the buffer changed with "writes
// outside the buffer". Then GetFileVersionEx's answer for each field, "ex
// <field> TAB <value in hex>": on Windows its rule worked out through the
// system's functions, on the portable build the export itself.
// With --exports, the module's GetFileVersion for each field, "<field> TAB
// <value in hex>", and GetFileVersionEx's as above: on Windows the real DLL
// beside the program, on the portable build the linked library.
// LISTFILE names one file a line (Unix paths; on Windows opened through
// drive Z:); FIRST skips the lines before it. Each file's report starts
// with "FILE n name" and ends with "END n", so that a run that dies on a
// file can be resumed after it.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "fixture_path.h"
#include "heap_spray.h"
#include "hex.h"
#include "host_table.h"
#include "fileinfo/version_fields.h"
#include "qvsetup.h"
#include "reader/version_block.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "module_beside.h"
#include "watchdog.h"
#else
#include "reader/image.h"
#include "reader/version_file.h"
#endif

namespace {

using namespace qv;

// The version operations of this build: the system's on Windows, the
// reader's on the portable build. A block is the buffer as the caller
// gives it, its length included.
#ifdef _WIN32
using Handle = DWORD;
uint32_t InfoSize(const char *path, Handle &handle)
{
    return GetFileVersionInfoSizeA(path, &handle);
}
bool InfoRead(const char *path, std::span<uint8_t> block)
{
    return GetFileVersionInfoA(path, 0, block.size(), block.data());
}
bool Query(std::span<uint8_t> block, const char *sub_block, void **buffer, unsigned *length)
{
    return VerQueryValueA(block.data(), sub_block, buffer, length);
}
#else
using Handle = uint32_t;
uint32_t InfoSize(const char *path, Handle &handle)
{
    return reader::PathInfoSize(path, &handle);
}
bool InfoRead(const char *path, std::span<uint8_t> block)
{
    return reader::PathInfoRead(path, 0, block.size(), block.data());
}
bool Query(std::span<uint8_t> block, const char *sub_block, void **buffer, unsigned *length)
{
    return reader::BlockValueQuery(block.data(), block.size(), sub_block, buffer, length);
}

// True when Wine 8's loader, mapping the file, would act on memory it never
// set (section entries past its table, from its own stack): the reader then
// gives no answer, and Wine's depends on what that memory held. The paths
// here all name a folder, so the loader maps each file.
bool WineUsesUnsetMemory(const char *path)
{
    static reader::FileImage image;
    static reader::ImageMap map;
    return reader::OpenFileImage(image, path) == reader::Refusal::none &&
           reader::MapImage(image, map) == reader::Mapping::undefined;
}
#endif

// GetFileVersionEx's fields, a name in another case and an unknown one.
std::vector<std::string_view> ExFields()
{
    std::vector<std::string_view> fields(fileinfo::kExFields.begin(), fileinfo::kExFields.end());
    fields.insert(fields.end(), {"companyname", "Unknown"});
    return fields;
}
// GetFileVersion's eight fields and one it does not know.
constexpr auto kVersionFields = std::span(fileinfo::kStringFields).first(9);

// The sub-blocks queried: the fixed record, GetFileVersion's strings and the
// translation list.
std::vector<std::string> SubBlocks()
{
    std::vector<std::string> paths = {"\\"};
    for (std::string_view field : kVersionFields)
        paths.push_back("\\StringFileInfo\\040904E4\\" + std::string(field));
    paths.push_back("\\VarFileInfo\\Translation");
    return paths;
}

// The export's answer for "path,field" in a one-entry table with room for
// the longest value, in hex; "" when it wrote nothing.
std::string CallExport(QvSetupExport function, std::string_view path, std::string_view field)
{
    HostTable table(HostShape{1, 64, 65536});
    const std::string parameters = std::string(path) + "," + std::string(field);
    table.Parameters(parameters.c_str());
    function(table.block());
    return table.count() != 0 ? Hex(table.Value(0)) : "";
}

#ifdef _WIN32
bool EqualIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && _strnicmp(a.data(), b.data(), a.size()) == 0;
}

// "a.b.c.d" from the fixed record's two words at `words`; "" without a
// record of at least 52 bytes that lies inside the block whole, as long as
// the functions say it is.
std::string FixedNumber(std::span<uint8_t> block, uint32_t words)
{
    void *pointer = nullptr;
    unsigned n = 0;
    const bool found = Query(block, "\\", &pointer, &n);
    const auto *p = static_cast<const uint8_t *>(pointer);
    const uint8_t *end = block.data() + block.size();
    if (!found || p < block.data() || p > end || n > size_t(end - p) ||
        n < reader::kFixedRecordSize)
        return "";
    const reader::ByteView view{{p, n}};
    const uint32_t ms = view.ReadOrZero<uint32_t>(words), ls = view.ReadOrZero<uint32_t>(words + 4);
    return std::to_string(ms >> 16) + "." + std::to_string(ms & 0xffff) + "." +
           std::to_string(ls >> 16) + "." + std::to_string(ls & 0xffff);
}

// GetFileVersionEx's rule worked out through the system's functions: the
// tables the translation list names (whole entries inside the block), then
// 040904B0, 040904E4, 04090000, each tried once; the first string not empty
// (up to its first NUL) answers; FileVersion falls back to the file version
// words. Like the module, it asks nothing of a block whose root claims more
// than the block holds.
std::string ExRule(std::span<uint8_t> block, std::string_view field)
{
    if (block.size() < reader::kNodeHeaderSize32 ||
        reader::ByteView{block}.ReadOrZero<uint16_t>(reader::kNodeLengthOffset) > block.size())
        return "";
    if (EqualIgnoringCase(field, fileinfo::kFileVersionNumber))
        return FixedNumber(block, reader::kFileVersionMSOffset);
    if (EqualIgnoringCase(field, fileinfo::kProductVersionNumber))
        return FixedNumber(block, reader::kProductVersionMSOffset);
    if (std::none_of(fileinfo::kStringFields.begin(), fileinfo::kStringFields.end(),
                     [&](std::string_view known) { return EqualIgnoringCase(known, field); }))
        return "";
    // A translation entry: a WORD language, then a WORD code page.
    constexpr size_t kEntrySize = 4;
    std::vector<uint32_t> keys;
    void *pointer = nullptr;
    unsigned n = 0;
    const uint8_t *end = block.data() + block.size();
    if (Query(block, "\\VarFileInfo\\Translation", &pointer, &n) && pointer >= block.data() &&
        pointer <= end) {
        const auto *p = static_cast<const uint8_t *>(pointer);
        const reader::ByteView list{{p, std::min<size_t>(n, end - p)}};
        for (size_t i = 0; i + kEntrySize <= list.size(); i += kEntrySize)
            keys.push_back(uint32_t(list.ReadOrZero<uint16_t>(i)) << 16 |
                           list.ReadOrZero<uint16_t>(i + 2));
    }
    keys.insert(keys.end(), {0x040904B0u, 0x040904E4u, 0x04090000u});
    for (size_t i = 0; i < keys.size(); i++) {
        if (std::find(keys.begin(), keys.begin() + i, keys[i]) != keys.begin() + i)
            continue;
        char key[9];
        std::snprintf(key, sizeof key, "%08X", unsigned(keys[i]));
        const std::string path =
            "\\StringFileInfo\\" + std::string(key) + "\\" + std::string(field);
        pointer = nullptr;
        n = 0;
        if (!Query(block, path.c_str(), &pointer, &n) || pointer == nullptr || n == 0)
            continue;
        const auto *p = static_cast<const uint8_t *>(pointer);
        if (p < block.data() || p >= end)
            return "outside";
        const std::string_view rest(reinterpret_cast<const char *>(p), end - p);
        const std::string_view text = rest.substr(0, rest.find('\0'));
        if (!text.empty())
            return std::string(text);
    }
    return EqualIgnoringCase(field, "FileVersion")
               ? FixedNumber(block, reader::kFileVersionMSOffset)
               : "";
}
#endif

// The bytes' FNV-1a hash, in hex.
std::string Checksum(std::span<const uint8_t> bytes)
{
    uint32_t h = 2166136261u;
    for (uint8_t b : bytes)
        h = (h ^ b) * 16777619u;
    char text[9];
    std::snprintf(text, sizeof text, "%08x", unsigned(h));
    return text;
}

// Room past the buffer for what a reader might write there: Wine writes its
// 8-bit copies of strings up to about twice the 16-bit tree length past the
// block's start.
constexpr size_t kTail = 0x20000;

// The process heap's free memory, where the system's functions take their
// own buffers from, filled with one byte: what they read past those then
// depends on it.
constexpr size_t kSpraySizes[] = {16, 32, 64, 128, 256, 512, 1024, 2048, 4096, 8192};
constexpr SprayShape kSprayShape{kSpraySizes, 4, false, false};

// Queries one file with the bytes past the buffer, and the free memory of
// the heap, set to `fill`; appends the report to `out`. False when the
// bytes past the buffer have changed.
bool Report(const std::string &path, uint8_t fill, std::string &out)
{
    HeapSpray(kSprayShape).Fill(fill);
    Handle handle = 7;
    const uint32_t size = InfoSize(path.c_str(), handle);
    out += "size " + std::to_string(size) + " handle " + std::to_string(handle) + "\n";
    if (size == 0 || size > 0x100000)
        return true;
    // As the module's caller does: size + 1 bytes into a zeroed buffer of
    // size + 2; what follows is the probe.
    std::vector<uint8_t> buffer(size + 2 + kTail, 0);
    std::fill(buffer.begin() + size + 2, buffer.end(), fill);
    const std::span<uint8_t> block(buffer.data(), size + 1);
    const bool ok = InfoRead(path.c_str(), block);
    out += "info " + std::to_string(ok) + " checksum " + Checksum(block) + "\n";
    for (const std::string &sub_block : SubBlocks()) {
        if (!ok)
            break;
        void *pointer = nullptr;
        unsigned length = 12345;
        const bool found = Query(block, sub_block.c_str(), &pointer, &length);
        out += sub_block + " " + std::to_string(found) + " " + std::to_string(length);
        const auto *p = static_cast<const uint8_t *>(pointer);
        if (found && p != nullptr) {
            const size_t shown = std::min<size_t>(length, 256);
            if (p >= block.data() && p <= block.data() + block.size() &&
                shown <= size_t(block.data() + block.size() - p))
                out += " at " + std::to_string(p - block.data()) + " :" +
                       Hex({reinterpret_cast<const char *>(p), shown}, " ");
            else
                out += " outside";
        }
        out += "\n";
    }
    for (std::string_view field : ExFields()) {
#ifdef _WIN32
        const std::string value = ok ? Hex(ExRule(block, field)) : "";
#else
        const std::string value = CallExport(GetFileVersionEx, path, field);
#endif
        out += "ex " + std::string(field) + "\t" + value + "\n";
    }
    return std::all_of(buffer.begin() + size + 2, buffer.end(),
                       [fill](uint8_t b) { return b == fill; });
}

void Print(std::string_view text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
}

// The module's GetFileVersion and GetFileVersionEx: the DLL beside the
// program on Windows (loaded until the program ends), the linked library on
// the portable build.
std::array<QvSetupExport, 2> FindExports()
{
#ifdef _WIN32
    LoadedModule *module = LoadModuleBesideProgram();
    if (module == nullptr)
        return {};
    return {FindModuleExport(module, "GetFileVersion", 0),
            FindModuleExport(module, "GetFileVersionEx", 0)};
#else
    return {GetFileVersion, GetFileVersionEx};
#endif
}

// GetFileVersion and GetFileVersionEx of the module for each of their
// fields of one file, as a host calls them.
void ReportExports(const std::array<QvSetupExport, 2> &exports, const std::string &path)
{
    // Each of GetFileVersion's fields, one in another case, and none (the
    // default field).
    std::vector<std::string_view> fields(kVersionFields.begin(), kVersionFields.end());
    fields.insert(fields.end(), {"companyname", ""});
    for (std::string_view field : fields)
        Print(std::string(field) + "\t" + CallExport(exports[0], path, field) + "\n");
    for (std::string_view field : ExFields())
        Print("ex " + std::string(field) + "\t" + CallExport(exports[1], path, field) + "\n");
}

} // namespace

int main(int argc, char **argv)
{
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY); // the same bytes as on Linux
    // A file that keeps the run from going on (Wine's functions looping, or
    // a heap an earlier file's overrun has spoiled) ends it after 60 s, as
    // a crash does: the comparison then resumes after that file.
    static Watchdog watchdog{
        60000, 0, [](const char *what) { std::fprintf(stderr, "query_versions: %s\n", what); }};
    StartWatchdog(watchdog);
#endif
    const bool exports_mode = argc > 1 && std::strcmp(argv[1], "--exports") == 0;
    const std::span<char *> args(argv + (exports_mode ? 2 : 1), argc - (exports_mode ? 2 : 1));
    if (args.empty()) {
        std::fprintf(stderr, "usage: query_versions [--exports] LISTFILE [FIRST]\n");
        return 2;
    }
    const auto exports = exports_mode ? FindExports() : std::array<QvSetupExport, 2>{};
    if (exports_mode && (exports[0] == nullptr || exports[1] == nullptr)) {
        std::fprintf(stderr, "query_versions: cannot load the module\n");
        return 2;
    }
    std::ifstream list(args[0]);
    if (!list)
        return 1;
    const long first = args.size() > 1 ? std::atol(args[1]) : 0;
    std::string line;
    for (long n = 0; std::getline(list, line); n++) {
        line.erase(std::min(line.size(), line.find_first_of("\r\n")));
        if (n < first || line.empty())
            continue;
        const std::string path = HostPath(line);
        Print("FILE " + std::to_string(n) + " " + path.substr(path.find_last_of("/\\") + 1) + "\n");
        std::fflush(stdout);
#ifdef _WIN32
        watchdog.Begin();
#endif
        if (exports_mode) {
            ReportExports(exports, path);
        } else {
            std::string once, again;
            bool kept = Report(path, 0xa5, once);
            kept &= Report(path, 0x5a, again);
            Print(once);
            if (once != again)
                Print("reads outside the buffer\n");
            if (!kept)
                Print("writes outside the buffer\n");
#ifndef _WIN32
            // Wine's answer there depends on memory Wine never set: a cause
            // the Windows side cannot see, so the portable side names it.
            if (WineUsesUnsetMemory(path.c_str()))
                Print("Wine uses memory it never set\n");
#endif
        }
        Print("END " + std::to_string(n) + "\n");
        std::fflush(stdout);
    }
    return 0;
}
