/* qvhost: calls one export of the QVSETUP module the way a setup host does
 * and prints the return value and the variable table afterwards.
 *
 * qvhost [--dll PATH] [--set NAME=VALUE]... [--capacity N] [--name-width N]
 *        [--value-width N] [--json] EXPORT [PARAMETER_TEXT]
 * qvhost --help | --version
 */
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "../loader/module_loader.h"
#include "qvsetup.h"

namespace {

constexpr int kUsageStatus = 2;
constexpr size_t kMaxSets = 256;
constexpr uint64_t kMaxTableBytes = 256u * 1024u * 1024u;

/* What to do besides calling an export. */
enum class Request { CallExport, ShowHelp, ShowVersion };

struct Options {
    Request request = Request::CallExport;
    const char *dll = nullptr;
    std::vector<std::string_view> sets;
    uint32_t capacity = 64;
    uint32_t name_width = 64;
    uint32_t value_width = 1024;
    bool json = false;
    const char *export_name = nullptr;
    const char *parameter_text = nullptr; /* null when no PARAMETER_TEXT was given */
};

/* The table's slot arrays; they live as long as the call's block. */
struct Table {
    std::vector<char> names;
    std::vector<char> values;
};

constexpr char kHelp[] =
    "usage: qvhost [OPTION]... EXPORT [PARAMETER_TEXT]\n"
    "\n"
    "Loads the QVSETUP module, calls EXPORT the way a setup host does and prints\n"
    "return=N and then each variable of the table as NAME=VALUE.\n"
    "\n"
    "Options:\n"
    "  --dll PATH        the module to load (default: the one beside qvhost)\n"
    "  --set NAME=VALUE  store VALUE under %NAME% before the call (repeatable)\n"
    "  --capacity N      entries the variable table can hold (default 64)\n"
    "  --name-width N    bytes per name slot (default 64)\n"
    "  --value-width N   bytes per value slot (default 1024)\n"
    "  --json            print the result as one JSON object\n"
    "  -h, --help        print this help and exit\n"
    "  --version         print qvhost's version and exit\n"
    "\n"
    "Exports (EXPORT is the name or #ORDINAL):\n"
    "  #1 GetFileVersion          \"path[, field]\"   writes FileVersion\n"
    "  #2 NormalizeMSIEVersion    no parameters     rewrites FILEVERSION as a.b.0.c\n"
    "  #3 CompareVersions         \"first, second\"   writes VersionDelta\n"
    "  #4 IsQarvellClientRunning  no parameters     returns 1 when the client runs\n"
    "\n"
    "Exit status: 0 after a call, 2 on bad usage or when the module or export\n"
    "cannot be found.\n";

int Fail(const char *message, const char *detail)
{
    fprintf(stderr, "qvhost: %s%s%s\n", message, detail ? ": " : "", detail ? detail : "");
    return kUsageStatus;
}

/* A mistake in the command line: the reason and where to read more, on one
 * line. */
int Usage(const char *message, const char *detail)
{
    fprintf(stderr, "qvhost: %s%s%s (see qvhost --help)\n", message, detail ? ": " : "",
            detail ? detail : "");
    return kUsageStatus;
}

bool TakesValue(std::string_view option)
{
    constexpr std::string_view kOptions[] = {"--dll", "--set", "--capacity", "--name-width",
                                             "--value-width"};
    for (std::string_view known : kOptions)
        if (option == known)
            return true;
    return false;
}

/* Decimal number in 0 .. UINT32_MAX; false when `text` is not one. */
bool ParseNumber(const char *text, uint32_t *out)
{
    if (*text < '0' || *text > '9')
        return false;
    errno = 0;
    char *end;
    unsigned long long value = strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0' || value > UINT32_MAX)
        return false;
    *out = static_cast<uint32_t>(value);
    return true;
}

int ParseOptions(int argc, char **argv, Options *o)
{
    int i = 1;
    for (; i < argc &&
           (std::string_view(argv[i]).starts_with("--") || std::string_view(argv[i]) == "-h");
         i++) {
        const char *option = argv[i];
        std::string_view name = option;
        if (name == "--") {
            i++;
            break;
        }
        if (name == "--help" || name == "-h") {
            o->request = Request::ShowHelp;
            return 0;
        }
        if (name == "--version") {
            o->request = Request::ShowVersion;
            return 0;
        }
        if (name == "--json") {
            o->json = true;
            continue;
        }
        if (!TakesValue(option))
            return Usage("unknown option", option);
        if (i + 1 >= argc)
            return Usage("option needs a value", option);
        const char *value = argv[++i];
        if (name == "--dll") {
            o->dll = value;
        } else if (name == "--set") {
            if (strchr(value, '=') == nullptr)
                return Usage("--set takes NAME=VALUE", value);
            if (o->sets.size() == kMaxSets)
                return Usage("too many --set options", nullptr);
            o->sets.push_back(value);
        } else if (name == "--capacity") {
            if (!ParseNumber(value, &o->capacity))
                return Usage("--capacity is not a number", value);
        } else if (name == "--name-width") {
            if (!ParseNumber(value, &o->name_width))
                return Usage("--name-width is not a number", value);
        } else if (name == "--value-width") {
            if (!ParseNumber(value, &o->value_width))
                return Usage("--value-width is not a number", value);
        }
    }
    if (i >= argc)
        return Usage("no EXPORT given", nullptr);
    o->export_name = argv[i++];
    if (i < argc)
        o->parameter_text = argv[i++];
    if (i < argc)
        return Usage("unexpected argument", argv[i]);
    return 0;
}

/* Slot arrays of the table; the sizes are checked against kMaxTableBytes. */
int AllocateTable(const Options &o, Table *table, HostParamBlock *block)
{
    uint64_t names = uint64_t{o.capacity} * o.name_width;
    uint64_t values = uint64_t{o.capacity} * o.value_width;
    if (names > kMaxTableBytes || values > kMaxTableBytes)
        return Usage("variable table too large", nullptr);
    /* One byte more, so that an empty table still has an address. */
    try {
        table->names.assign(static_cast<size_t>(names) + 1, '\0');
        table->values.assign(static_cast<size_t>(values) + 1, '\0');
    } catch (const std::bad_alloc &) {
        return Fail("out of memory for the variable table", nullptr);
    }
    block->NameSlots = table->names.data();
    block->ValueSlots = table->values.data();
    block->VariableCapacity = o.capacity;
    block->NameWidth = o.name_width;
    block->ValueWidth = o.value_width;
    return 0;
}

/* Stores NAME=VALUE under '%NAME%' as a host does: overwrite the first entry
 * with that key, or append. */
int StoreVariable(HostParamBlock *block, std::string_view assignment)
{
    size_t equals = assignment.find('=');
    std::string_view value = assignment.substr(equals + 1);
    std::string key(equals + 2, '%'); // "%NAME%"
    assignment.copy(key.data() + 1, equals);
    if (key.size() + 1 > block->NameWidth)
        return Usage("--set name does not fit the name width", assignment.data());
    if (value.size() + 1 > block->ValueWidth)
        return Usage("--set value does not fit the value width", assignment.data());
    uint32_t i = 0;
    while (i < block->VariableCount &&
           key != block->NameSlots + static_cast<size_t>(i) * block->NameWidth)
        i++;
    if (i == block->VariableCount) {
        if (i >= block->VariableCapacity)
            return Usage("--set: the variable table is full", assignment.data());
        memcpy(block->NameSlots + static_cast<size_t>(i) * block->NameWidth, key.c_str(),
               key.size() + 1);
        block->VariableCount++;
    }
    char *slot = block->ValueSlots + static_cast<size_t>(i) * block->ValueWidth;
    memcpy(slot, value.data(), value.size());
    slot[value.size()] = '\0';
    return 0;
}

/* Length of the string in a slot, never past the slot. */
size_t SlotLength(const char *slot, uint32_t width)
{
    const auto *end = static_cast<const char *>(memchr(slot, '\0', width));
    return end ? static_cast<size_t>(end - slot) : width;
}

/* The key without its percent signs. */
void KeyToName(const char **name, size_t *length)
{
    if (*length > 0 && (*name)[0] == '%') {
        (*name)++;
        (*length)--;
    }
    if (*length > 0 && (*name)[*length - 1] == '%')
        (*length)--;
}

/* JSON string of 8-bit text: byte n is code point U+00nn. */
void PrintJsonString(const char *text, size_t length)
{
    putchar('"');
    for (size_t i = 0; i < length; i++) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\')
            printf("\\%c", c);
        else if (c < 0x20 || c == 0x7f)
            printf("\\u%04x", c);
        else if (c < 0x80)
            putchar(c);
        else {
            putchar(0xc0 | (c >> 6));
            putchar(0x80 | (c & 0x3f));
        }
    }
    putchar('"');
}

void PrintResult(const Options &o, const HostParamBlock *block, int32_t result)
{
    uint32_t entries = block->VariableCount < block->VariableCapacity ? block->VariableCount
                                                                      : block->VariableCapacity;
    if (o.json) {
        printf("{\"export\": ");
        PrintJsonString(o.export_name, strlen(o.export_name));
        printf(", \"return\": %ld, \"variables\": [", static_cast<long>(result));
    } else {
        printf("return=%ld\n", static_cast<long>(result));
    }
    for (uint32_t i = 0; i < entries; i++) {
        const char *name = block->NameSlots + static_cast<size_t>(i) * block->NameWidth;
        const char *value = block->ValueSlots + static_cast<size_t>(i) * block->ValueWidth;
        size_t name_length = SlotLength(name, block->NameWidth);
        size_t value_length = SlotLength(value, block->ValueWidth);
        KeyToName(&name, &name_length);
        if (o.json) {
            printf("%s{\"name\": ", i ? ", " : "");
            PrintJsonString(name, name_length);
            printf(", \"value\": ");
            PrintJsonString(value, value_length);
            putchar('}');
        } else {
            fwrite(name, 1, name_length, stdout);
            putchar('=');
            fwrite(value, 1, value_length, stdout);
            putchar('\n');
        }
    }
    if (o.json)
        printf("]}\n");
}

/* EXPORT is a name, or '#N' for ordinal N. */
int ResolveExport(LoadedModule *module, const char *text, QvSetupExport *function)
{
    unsigned ordinal = 0;
    if (text[0] == '#') {
        uint32_t number;
        if (!ParseNumber(text + 1, &number) || number == 0 || number > 65535)
            return Usage("not an ordinal", text);
        ordinal = number;
    }
    *function = FindModuleExport(module, text, ordinal);
    if (*function == nullptr)
        return Usage("the module has no such export", text);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
#ifdef _WIN32
    /* Same bytes on every platform: no CR added before LF. */
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    Options options;
    int status = ParseOptions(argc, argv, &options);
    if (status != 0)
        return status;
    if (options.request == Request::ShowHelp) {
        fputs(kHelp, stdout);
        return 0;
    }
    if (options.request == Request::ShowVersion) {
        printf("qvhost %s\n", QVSETUP_VERSION_STRING);
        return 0;
    }

    char default_path[4096];
    const char *path = options.dll;
    if (path == nullptr) {
        if (!DefaultModulePath(default_path, sizeof default_path))
            return Usage("cannot tell where the module is; use --dll", nullptr);
        path = default_path;
    }
    LoadedModule *module = OpenModule(path);
    if (module == nullptr)
        return Usage("cannot load the module", path);

    QvSetupExport function = nullptr;
    HostParamBlock block{};
    Table table;
    status = ResolveExport(module, options.export_name, &function);
    if (status == 0)
        status = AllocateTable(options, &table, &block);
    for (size_t i = 0; status == 0 && i < options.sets.size(); i++)
        status = StoreVariable(&block, options.sets[i]);
    if (status == 0) {
        block.ParameterText = options.parameter_text;
        int32_t result = function(&block);
        PrintResult(options, &block, result);
        fflush(stdout);
    }
    CloseModule(module);
    return status;
}
