// qvhost: calls one export of the QVSETUP module the way a setup host does
// and prints the return value and the variable table afterwards, or prints
// every GetFileVersionEx field of some files, or every string their version
// resources carry.
//
// qvhost [--dll PATH] [--set NAME=VALUE]... [--capacity N] [--name-width N]
//        [--value-width N] [--json] [--utf8] EXPORT [PARAMETER_TEXT]
// qvhost [--dll PATH] [--json] [--utf8] --fields FILE...
// qvhost [--json] [--utf8] --strings FILE...
// qvhost [--dll PATH] [--utf8] --explain FILE [FIELD]
// qvhost --help | --version
#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include "reader/cp1252.h"
#endif

#include "../loader/module_loader.h"
#include "explain.h"
#include "fileinfo/version_fields.h"
#include "host/parameters.h"
#include "qvsetup.h"
#include "strings.h"

namespace {

using qvhost::JsonString;
using qvhost::Readable;
using qvhost::Utf8FromArgument;

constexpr int kUsageStatus = 2;
constexpr size_t kMaxSets = 256;
constexpr uint64_t kMaxTableBytes = 256u * 1024u * 1024u;

constexpr char kHelpHead[] =
    "usage: qvhost [OPTION]... EXPORT [PARAMETER_TEXT]\n"
    "       qvhost [--dll PATH] [--json] [--utf8] --fields FILE...\n"
    "       qvhost [--json] [--utf8] --strings FILE...\n"
    "       qvhost [--dll PATH] [--utf8] --explain FILE [FIELD]\n"
    "\n"
    "Loads the QVSETUP module, calls EXPORT the way a setup host does and prints\n"
    "return=N and then each variable of the table as NAME=VALUE.\n"
    "\n"
    "With --fields, asks GetFileVersionEx for each field of each FILE and prints\n"
    "file=FILE, status=ok, none (every field is empty) or missing (the file\n"
    "cannot be opened and read), then the fourteen fields as NAME=VALUE:\n";
static_assert(qv::fileinfo::kExFields.size() == 14, "the help counts the fields");

// After the list of fields.
constexpr char kHelpTail[] =
    "\n"
    "With --strings, reads the version block of each FILE as the exports do and\n"
    "prints file=FILE, status=ok, none (nothing found) or missing, the fixed\n"
    "record as fixed.NAME=VALUE (FileVersion ProductVersion FileFlagsMask\n"
    "FileFlags FileOS FileType FileSubtype), Translation=LIST, then each string\n"
    "table in file order as table=TRANSLATION followed by every key in it, custom\n"
    "keys too, as an indented KEY=VALUE. Values are the file's own text in UTF-8:\n"
    "from UTF-16 (a surrogate without its pair becomes U+FFFD), or from code page\n"
    "1252 in a 16-bit (NE) file. The module is not loaded: on Windows the block\n"
    "comes from the system's GetFileVersionInfoA.\n"
    "\n"
    "With --explain, prints one line per step of how GetFileVersion and\n"
    "GetFileVersionEx answer FIELD (default FileVersion) of FILE: whether it\n"
    "opened and what it is, where its version resource is (or the reason=\n"
    "there is none), its translations, string tables and fixed record, each\n"
    "table each rule asks in order and what it found, the answer and where it\n"
    "came from, or why it is empty, with a hint where there is one, and last\n"
    "the module's own answer, flagged MISMATCH when it differs (exit status 1).\n"
    "The steps are the project's own code, linked into qvhost. On Linux that\n"
    "is the whole of it. In qvhost.exe the file is vetted by the same reader,\n"
    "but the block comes from the system's version functions, as in the DLL:\n"
    "answers and values can then differ from the Linux build's (the system's\n"
    "code page, its own reading of the resource), and a block the system\n"
    "refuses after the reader vetted it gives reason=system_refused.\n"
    "\n"
    "Options:\n"
    "  --dll PATH        the module to load (default: the one beside qvhost)\n"
    "  --set NAME=VALUE  store VALUE under %NAME% before the call (repeatable)\n"
    "  --capacity N      entries the variable table can hold (default 64)\n"
    "  --name-width N    bytes per name slot (default 64)\n"
    "  --value-width N   bytes per value slot (default 1024)\n"
    "  --json            print the result as one JSON object in UTF-8 (one line\n"
    "                    per FILE with --fields and --strings)\n"
    "  --utf8            print text in UTF-8 instead of the module's bytes\n"
    "  --fields          print every GetFileVersionEx field of each FILE\n"
    "  --strings         print every string table and string of each FILE\n"
    "  --explain         explain the answers for one FILE and FIELD\n"
    "  -h, --help        print this help and exit\n"
    "  --version         print qvhost's version and exit\n"
    "\n"
    "Exports (EXPORT is the name or #ORDINAL):\n"
    "  #1 GetFileVersion          \"path[, field]\"   writes FileVersion\n"
    "  #2 NormalizeMSIEVersion    no parameters     rewrites FILEVERSION as a.b.0.c\n"
    "  #3 CompareVersions         \"first, second\"   writes VersionDelta\n"
    "  #4 IsQarvellClientRunning  no parameters     returns 1 when the client runs\n"
    "  #5 GetFileVersionEx        \"path[, field]\"   writes FileVersion\n"
    "\n"
    "The module writes code page 1252 on Linux and the system's ANSI code page\n"
    "on Windows. Text output keeps those bytes; --json and --utf8 convert them\n"
    "to UTF-8 from that code page.\n"
    "\n"
    "Exit status: 0 after a call, 2 on bad usage or when the module or export\n"
    "cannot be found. With --fields and --strings: 0 when every FILE has version\n"
    "information, 1 when one has none, 3 when one is missing (3 before 1).\n";

// The help's lines fit 80 columns.
constexpr size_t kHelpWidth = 79;

// The help: the fields --fields prints, between kHelpHead and kHelpTail,
// as many to a line as fit.
std::string HelpText()
{
    std::string text = kHelpHead;
    std::string line;
    for (std::string_view field : qv::fileinfo::kExFields) {
        if (!line.empty() && line.size() + 1 + field.size() > kHelpWidth) {
            text.append(line).append("\n");
            line.clear();
        }
        line.append(line.empty() ? "" : " ").append(field);
    }
    return text.append(line).append(".\n").append(kHelpTail);
}

// What to do: call an export, print the fields of files, or neither.
enum class Request { CallExport, ListFields, ListStrings, Explain, ShowHelp, ShowVersion };

// The command line. The texts handed on to the loader and the export are
// owned copies, so they keep their terminating NUL.
struct Options {
    Request request = Request::CallExport;
    std::optional<std::string> dll;
    std::vector<std::string_view> sets; // NAME=VALUE, in the order given
    uint32_t capacity = 64;
    uint32_t name_width = 64;
    uint32_t value_width = 1024;
    bool table_options = false; // --set or a table size was given
    bool json = false;
    bool utf8 = false;
    std::string export_name;
    std::optional<std::string> parameter_text; // none when no PARAMETER_TEXT was given
    std::vector<std::string_view> files;       // with --fields or --strings, or --explain's FILE
    std::string_view field = "FileVersion";    // with --explain
};

// Why qvhost stops without a call: one line on stderr, exit status 2.
struct Error {
    std::string message;
    bool usage = true; // a mistake in the command line: the line points to --help
};

template <typename T>
using Result = std::variant<T, Error>;

Error UsageError(std::string_view what)
{
    return {std::string(what)};
}

Error UsageError(std::string_view what, std::string_view detail)
{
    return {std::string(what).append(": ").append(detail)};
}

int Report(const Error &error)
{
    std::string line = "qvhost: " + error.message;
    line += error.usage ? " (see qvhost --help)\n" : "\n";
    fwrite(line.data(), 1, line.size(), stderr);
    return kUsageStatus;
}

void Write(std::string_view text)
{
    fwrite(text.data(), 1, text.size(), stdout);
}

// The options that take a number, and where each one goes.
struct NumberOption {
    std::string_view name;
    uint32_t Options::*field;
};

constexpr NumberOption kNumberOptions[] = {
    {"--capacity", &Options::capacity},
    {"--name-width", &Options::name_width},
    {"--value-width", &Options::value_width},
};

bool TakesValue(std::string_view option)
{
    if (option == "--dll" || option == "--set")
        return true;
    return std::ranges::any_of(kNumberOptions,
                               [option](const NumberOption &n) { return n.name == option; });
}

// A decimal number in 0 .. UINT32_MAX, digits only: no sign, no blanks.
std::optional<uint32_t> ParseNumber(std::string_view text)
{
    uint32_t value = 0;
    const char *end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc{} || stop != end)
        return std::nullopt;
    return value;
}

// Takes the value of an option that has one.
std::optional<Error> SetOption(Options &o, std::string_view option, std::string_view value)
{
    o.table_options = o.table_options || option != "--dll";
    if (option == "--dll") {
        o.dll = std::string(value);
    } else if (option == "--set") {
        if (value.find('=') == std::string_view::npos)
            return UsageError("--set takes NAME=VALUE", value);
        if (o.sets.size() == kMaxSets)
            return UsageError("too many --set options");
        o.sets.push_back(value);
    }
    for (const NumberOption &n : kNumberOptions) {
        if (option != n.name)
            continue;
        std::optional<uint32_t> number = ParseNumber(value);
        if (!number)
            return UsageError(std::string(option) + " is not a number", value);
        o.*n.field = *number;
    }
    return std::nullopt;
}

bool IsOption(std::string_view arg)
{
    return arg.starts_with("--") || arg == "-h";
}

// The FILEs after --fields or --strings. With --fields each reaches the
// export as the first item of "FILE, FIELD", so one with a comma or a blank
// at either end cannot.
Result<Options> ParseFiles(Options o, std::span<const std::string_view> files)
{
    if (o.table_options)
        return UsageError("--fields, --strings and --explain take no --set and no table size");
    if (files.empty())
        return UsageError("no FILE given");
    for (std::string_view file : files)
        if (o.request != Request::ListStrings &&
            (file.find(',') != std::string_view::npos || qv::host::TrimBlanks(file) != file))
            return UsageError("the export cannot take a FILE with a comma or an outer blank", file);
    o.files.assign(files.begin(), files.end());
    return o;
}

// --explain's FILE and FIELD: as --fields' FILE, and no JSON.
Result<Options> ParseExplain(Options o, std::span<const std::string_view> args)
{
    if (o.json)
        return UsageError("--explain prints text only");
    if (args.size() > 2)
        return UsageError("unexpected argument", args[2]);
    if (args.size() == 2)
        o.field = args[1];
    return ParseFiles(std::move(o), args.first(std::min<std::size_t>(args.size(), 1)));
}

// Options come first and end at the first other argument or at "--"; --help
// and --version end the reading where they stand.
Result<Options> ParseCommandLine(const std::vector<std::string_view> &args)
{
    Options o;
    size_t i = 0;
    for (; i < args.size() && IsOption(args[i]); i++) {
        std::string_view option = args[i];
        if (option == "--") {
            i++;
            break;
        }
        if (option == "--help" || option == "-h") {
            o.request = Request::ShowHelp;
            return o;
        }
        if (option == "--version") {
            o.request = Request::ShowVersion;
            return o;
        }
        if (option == "--json" || option == "--utf8") {
            (option == "--json" ? o.json : o.utf8) = true;
            continue;
        }
        if (option == "--fields" || option == "--strings" || option == "--explain") {
            o.request = option == "--fields"    ? Request::ListFields
                        : option == "--strings" ? Request::ListStrings
                                                : Request::Explain;
            continue;
        }
        if (!TakesValue(option))
            return UsageError("unknown option", option);
        if (i + 1 >= args.size())
            return UsageError("option needs a value", option);
        if (std::optional<Error> error = SetOption(o, option, args[++i]))
            return *error;
    }
    if (o.request == Request::ListFields || o.request == Request::ListStrings)
        return ParseFiles(std::move(o), std::span(args).subspan(i));
    if (o.request == Request::Explain)
        return ParseExplain(std::move(o), std::span(args).subspan(i));
    if (i >= args.size())
        return UsageError("no EXPORT given");
    o.export_name = args[i++];
    if (i < args.size())
        o.parameter_text = std::string(args[i++]);
    if (i < args.size())
        return UsageError("unexpected argument", args[i]);
    return o;
}

// The table's slot arrays; the block points into them.
struct Table {
    std::vector<char> names;
    std::vector<char> values;
};

Result<Table> AllocateTable(const Options &o)
{
    uint64_t names = uint64_t{o.capacity} * o.name_width;
    uint64_t values = uint64_t{o.capacity} * o.value_width;
    if (names > kMaxTableBytes || values > kMaxTableBytes)
        return UsageError("variable table too large");
    // One byte more, so that an empty table still has an address.
    Table table;
    try {
        table.names.assign(static_cast<size_t>(names) + 1, '\0');
        table.values.assign(static_cast<size_t>(values) + 1, '\0');
    } catch (const std::bad_alloc &) {
        return Error{"out of memory for the variable table", false};
    }
    return table;
}

HostParamBlock BlockFor(Table &table, const Options &o)
{
    HostParamBlock block{};
    block.NameSlots = table.names.data();
    block.ValueSlots = table.values.data();
    block.VariableCapacity = o.capacity;
    block.NameWidth = o.name_width;
    block.ValueWidth = o.value_width;
    block.ParameterText = o.parameter_text ? o.parameter_text->c_str() : nullptr;
    return block;
}

char *NameSlot(const HostParamBlock &block, uint32_t i)
{
    return block.NameSlots + size_t{i} * block.NameWidth;
}

char *ValueSlot(const HostParamBlock &block, uint32_t i)
{
    return block.ValueSlots + size_t{i} * block.ValueWidth;
}

// The string in a slot, never past the slot.
std::string_view SlotText(const char *slot, uint32_t width)
{
    const auto *end = static_cast<const char *>(memchr(slot, '\0', width));
    return {slot, end ? static_cast<size_t>(end - slot) : width};
}

// Stores NAME=VALUE under %NAME% as a host does: overwrites the first entry
// with that key, or appends one.
std::optional<Error> StoreVariable(HostParamBlock &block, std::string_view assignment)
{
    size_t equals = assignment.find('=');
    std::string key = "%";
    key.append(assignment.substr(0, equals)).append("%");
    std::string_view value = assignment.substr(equals + 1);
    if (key.size() + 1 > block.NameWidth)
        return UsageError("--set name does not fit the name width", assignment);
    if (value.size() + 1 > block.ValueWidth)
        return UsageError("--set value does not fit the value width", assignment);
    uint32_t i = 0;
    while (i < block.VariableCount && SlotText(NameSlot(block, i), block.NameWidth) != key)
        i++;
    if (i == block.VariableCount) {
        if (i >= block.VariableCapacity)
            return UsageError("--set: the variable table is full", assignment);
        memcpy(NameSlot(block, i), key.c_str(), key.size() + 1);
        block.VariableCount++;
    }
    char *slot = ValueSlot(block, i);
    memcpy(slot, value.data(), value.size());
    slot[value.size()] = '\0';
    return std::nullopt;
}

struct Variable {
    std::string_view name; // without its percent signs
    std::string_view value;
};

std::string_view KeyName(std::string_view key)
{
    if (key.starts_with('%'))
        key.remove_prefix(1);
    if (key.ends_with('%'))
        key.remove_suffix(1);
    return key;
}

// The table's entries after the call, within its capacity.
std::vector<Variable> Variables(const HostParamBlock &block)
{
    std::vector<Variable> variables;
    uint32_t entries = std::min(block.VariableCount, block.VariableCapacity);
    for (uint32_t i = 0; i < entries; i++)
        variables.push_back({KeyName(SlotText(NameSlot(block, i), block.NameWidth)),
                             SlotText(ValueSlot(block, i), block.ValueWidth)});
    return variables;
}

#ifdef _WIN32
// The module's text as UTF-8, from the system's ANSI code page, in which the
// system's version functions answer and the command line arrives.
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

} // namespace

namespace qvhost {

// A FILE argument as UTF-8: it arrives in the ANSI code page.
std::string Utf8FromArgument(std::string_view text)
{
    return Utf8FromHost(text);
}

} // namespace qvhost

namespace {
#else
// The module's text as UTF-8, from code page 1252, in which the portable
// reader answers. Each byte is one code unit below U+FFFF.
std::string Utf8FromHost(std::string_view text)
{
    std::string out;
    for (char byte : text) {
        const uint16_t unit = qv::reader::Utf16FromCp1252(static_cast<uint8_t>(byte));
        if (unit < 0x80) {
            out += static_cast<char>(unit);
        } else if (unit < 0x800) {
            out += static_cast<char>(0xc0 | (unit >> 6));
            out += static_cast<char>(0x80 | (unit & 0x3f));
        } else {
            out += static_cast<char>(0xe0 | (unit >> 12));
            out += static_cast<char>(0x80 | ((unit >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (unit & 0x3f));
        }
    }
    return out;
}

} // namespace

namespace qvhost {

// A FILE argument as UTF-8: Linux hands on the name's bytes, in the locale's
// encoding, UTF-8 today.
std::string Utf8FromArgument(std::string_view text)
{
    return std::string(text);
}

} // namespace qvhost

namespace {
#endif

// The module's text as text output shows it: its bytes, or with --utf8 UTF-8.
std::string Shown(const Options &o, std::string_view text)
{
    return o.utf8 ? Utf8FromHost(text) : std::string(text);
}

// return=N, then NAME=VALUE for each variable.
void PrintText(const Options &o, int32_t result, const std::vector<Variable> &variables)
{
    std::string out = "return=" + std::to_string(result) + "\n";
    for (const Variable &v : variables)
        out.append(Shown(o, v.name)).append("=").append(Shown(o, v.value)).append("\n");
    Write(out);
}

} // namespace

namespace qvhost {

// JSON string of UTF-8 text.
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

} // namespace qvhost

namespace {

// JSON string of the module's text.
std::string JsonHostString(std::string_view text)
{
    return JsonString(Utf8FromHost(text));
}

// One line: {"export": ..., "return": N, "variables": [{"name": ..., "value": ...}, ...]}
void PrintJson(std::string_view export_name, int32_t result, const std::vector<Variable> &variables)
{
    std::string out = "{\"export\": " + JsonHostString(export_name) +
                      ", \"return\": " + std::to_string(result) + ", \"variables\": [";
    for (size_t i = 0; i < variables.size(); i++) {
        out += i ? ", " : "";
        out += "{\"name\": " + JsonHostString(variables[i].name) +
               ", \"value\": " + JsonHostString(variables[i].value) + "}";
    }
    out += "]}\n";
    Write(out);
}

// EXPORT is a name, or #N for ordinal N.
Result<QvSetupExport> ResolveExport(LoadedModule *module, const std::string &text)
{
    unsigned ordinal = 0;
    if (text.starts_with('#')) {
        std::optional<uint32_t> number = ParseNumber(std::string_view(text).substr(1));
        if (!number || *number == 0 || *number > 65535)
            return UsageError("not an ordinal", text);
        ordinal = *number;
    }
    QvSetupExport function = FindModuleExport(module, text.c_str(), ordinal);
    if (function == nullptr)
        return UsageError("the module has no such export", text);
    return function;
}

// Fills the table from --set, calls the export and prints the outcome.
int RunCall(LoadedModule *module, const Options &o)
{
    Result<QvSetupExport> function = ResolveExport(module, o.export_name);
    if (const Error *error = std::get_if<Error>(&function))
        return Report(*error);
    Result<Table> table = AllocateTable(o);
    if (const Error *error = std::get_if<Error>(&table))
        return Report(*error);
    HostParamBlock block = BlockFor(std::get<Table>(table), o);
    for (std::string_view assignment : o.sets)
        if (std::optional<Error> error = StoreVariable(block, assignment))
            return Report(*error);
    int32_t result = std::get<QvSetupExport>(function)(&block);
    if (o.json)
        PrintJson(o.export_name, result, Variables(block));
    else
        PrintText(o, result, Variables(block));
    fflush(stdout);
    return 0;
}

// The fields --fields prints, in this order.
constexpr auto &kFields = qv::fileinfo::kExFields;

// What --fields found in one FILE, from best to worst.
enum class FileStatus { Ok, None, Missing };
constexpr std::string_view kFileStatusNames[] = {"ok", "none", "missing"};
constexpr int kFileStatusExits[] = {0, 1, 3};

// --fields asks with a one-entry table whose value slot holds any version
// string: a string's block has a 16-bit length.
constexpr uint32_t kFieldValueWidth = 65536;

struct FileFields {
    FileStatus status = FileStatus::Missing;
    std::vector<std::string> values; // one per field of kFields
};

} // namespace

namespace qvhost {

// Whether the file opens and reads: a folder opens on Linux, but does not
// read.
bool Readable(std::string_view path)
{
    FILE *file = fopen(std::string(path).c_str(), "rb");
    if (file == nullptr)
        return false;
    fgetc(file);
    const bool readable = !ferror(file);
    fclose(file);
    return readable;
}

} // namespace qvhost

namespace {

// Asks the export for each field of the file. None when every answer is
// empty; no question for a file that does not read.
FileFields AskFields(QvSetupExport function, std::string_view file)
{
    FileFields fields;
    fields.values.resize(std::size(kFields));
    if (!Readable(file))
        return fields;
    Options shape;
    shape.capacity = 1;
    shape.value_width = kFieldValueWidth;
    Table table{std::vector<char>(shape.name_width), std::vector<char>(shape.value_width)};
    fields.status = FileStatus::None;
    for (size_t i = 0; i < std::size(kFields); i++) {
        shape.parameter_text = std::string(file).append(", ").append(kFields[i]);
        HostParamBlock block = BlockFor(table, shape);
        function(&block);
        for (const Variable &v : Variables(block))
            if (v.name == "FileVersion")
                fields.values[i] = v.value;
        if (!fields.values[i].empty())
            fields.status = FileStatus::Ok;
    }
    return fields;
}

// file=FILE, status=..., then NAME=VALUE for each field; or the same as one
// JSON object on one line.
void PrintFields(const Options &o, std::string_view file, const FileFields &fields)
{
    const std::string status(kFileStatusNames[static_cast<size_t>(fields.status)]);
    std::string out;
    if (o.json) {
        out =
            "{\"file\": " + JsonString(Utf8FromArgument(file)) + ", \"status\": \"" + status + "\"";
        for (size_t i = 0; i < std::size(kFields); i++)
            out.append(", ")
                .append(JsonString(kFields[i]))
                .append(": ")
                .append(JsonHostString(fields.values[i]));
        out += "}\n";
    } else {
        out = "file=" + (o.utf8 ? Utf8FromArgument(file) : std::string(file)) +
              "\nstatus=" + status + "\n";
        for (size_t i = 0; i < std::size(kFields); i++)
            out.append(kFields[i]).append("=").append(Shown(o, fields.values[i])).append("\n");
    }
    Write(out);
}

// Prints the fields of each FILE; the exit status is that of the worst.
int RunFields(LoadedModule *module, const Options &o)
{
    Result<QvSetupExport> function = ResolveExport(module, "GetFileVersionEx");
    if (const Error *error = std::get_if<Error>(&function))
        return Report(*error);
    FileStatus worst = FileStatus::Ok;
    for (std::string_view file : o.files) {
        FileFields fields = AskFields(std::get<QvSetupExport>(function), file);
        PrintFields(o, file, fields);
        worst = std::max(worst, fields.status);
    }
    fflush(stdout);
    return kFileStatusExits[static_cast<size_t>(worst)];
}

std::string ShownBytes(std::string_view text)
{
    return std::string(text);
}

// Explains FILE's FIELD beside the module's two exports.
int RunExplainWith(LoadedModule *module, const Options &o)
{
    Result<QvSetupExport> plain = ResolveExport(module, "GetFileVersion");
    Result<QvSetupExport> ex = ResolveExport(module, "GetFileVersionEx");
    for (const Result<QvSetupExport> *function : {&plain, &ex})
        if (const Error *error = std::get_if<Error>(function))
            return Report(*error);
    return qvhost::RunExplain({o.files.front(), o.field, std::get<QvSetupExport>(plain),
                               std::get<QvSetupExport>(ex), o.utf8 ? Utf8FromHost : ShownBytes});
}

// The module named by --dll, or else the one beside qvhost.
std::optional<std::string> ModulePath(const Options &o)
{
    if (o.dll)
        return o.dll;
    char path[4096];
    if (!DefaultModulePath(path, sizeof path))
        return std::nullopt;
    return std::string(path);
}

// Loads the module, then calls the export or prints the fields.
int RunWithModule(const Options &o)
{
    std::optional<std::string> path = ModulePath(o);
    if (!path)
        return Report(UsageError("cannot tell where the module is; use --dll"));
    LoadedModule *module = OpenModule(path->c_str());
    if (module == nullptr)
        return Report(UsageError("cannot load the module", *path));
    int status = o.request == Request::ListFields ? RunFields(module, o)
                 : o.request == Request::Explain  ? RunExplainWith(module, o)
                                                  : RunCall(module, o);
    CloseModule(module);
    return status;
}

} // namespace

int main(int argc, char **argv)
{
#ifdef _WIN32
    // Same bytes on every platform: no CR added before LF.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    std::vector<std::string_view> args;
    for (int i = 1; i < argc; i++)
        args.emplace_back(argv[i]);
    Result<Options> parsed = ParseCommandLine(args);
    if (const Error *error = std::get_if<Error>(&parsed))
        return Report(*error);
    const Options &options = std::get<Options>(parsed);
    switch (options.request) {
    case Request::ShowHelp:
        Write(HelpText());
        return 0;
    case Request::ShowVersion:
        Write("qvhost " QVSETUP_VERSION_STRING "\n");
        return 0;
    case Request::ListStrings:
        return qvhost::PrintStrings(options.files, options.json, options.utf8);
    case Request::CallExport:
    case Request::ListFields:
    case Request::Explain:
        break;
    }
    return RunWithModule(options);
}
