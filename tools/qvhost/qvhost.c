/* qvhost: calls one export of the QVSETUP module the way a setup host does
 * and prints the return value and the variable table afterwards.
 *
 * qvhost [--dll PATH] [--set NAME=VALUE]... [--capacity N] [--name-width N]
 *        [--value-width N] [--json] EXPORT [PARAMETER_TEXT]
 * qvhost --help | --version
 */
#include <errno.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "../loader/module_loader.h"
#include "qvsetup.h"

#define USAGE_STATUS 2
#define MAX_SETS 256
#define MAX_TABLE_BYTES (256u * 1024u * 1024u)

/* What to do besides calling an export. */
enum Request { CALL_EXPORT, SHOW_HELP, SHOW_VERSION };

typedef struct Options {
    enum Request request;
    const char *dll;
    const char *sets[MAX_SETS];
    int set_count;
    uint32_t capacity;
    uint32_t name_width;
    uint32_t value_width;
    int json;
    const char *export_name;
    const char *parameter_text; /* null when no PARAMETER_TEXT was given */
} Options;

static const char kHelp[] =
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

static int Fail(const char *message, const char *detail)
{
    fprintf(stderr, "qvhost: %s%s%s\n", message, detail ? ": " : "", detail ? detail : "");
    return USAGE_STATUS;
}

/* A mistake in the command line: the reason and where to read more, on one
 * line. */
static int Usage(const char *message, const char *detail)
{
    fprintf(stderr, "qvhost: %s%s%s (see qvhost --help)\n", message, detail ? ": " : "",
            detail ? detail : "");
    return USAGE_STATUS;
}

static int TakesValue(const char *option)
{
    static const char *const kOptions[] = {"--dll", "--set", "--capacity", "--name-width",
                                           "--value-width"};
    for (size_t i = 0; i < sizeof kOptions / sizeof kOptions[0]; i++)
        if (strcmp(option, kOptions[i]) == 0)
            return 1;
    return 0;
}

/* Decimal number in 0 .. UINT32_MAX; 0 when `text` is not one. */
static int ParseNumber(const char *text, uint32_t *out)
{
    if (*text < '0' || *text > '9')
        return 0;
    errno = 0;
    char *end;
    unsigned long long value = strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0' || value > UINT32_MAX)
        return 0;
    *out = (uint32_t)value;
    return 1;
}

static int ParseOptions(int argc, char **argv, Options *o)
{
    memset(o, 0, sizeof *o);
    o->capacity = 64;
    o->name_width = 64;
    o->value_width = 1024;
    int i = 1;
    for (; i < argc && (strncmp(argv[i], "--", 2) == 0 || strcmp(argv[i], "-h") == 0); i++) {
        const char *option = argv[i];
        if (strcmp(option, "--") == 0) {
            i++;
            break;
        }
        if (strcmp(option, "--help") == 0 || strcmp(option, "-h") == 0) {
            o->request = SHOW_HELP;
            return 0;
        }
        if (strcmp(option, "--version") == 0) {
            o->request = SHOW_VERSION;
            return 0;
        }
        if (strcmp(option, "--json") == 0) {
            o->json = 1;
            continue;
        }
        if (!TakesValue(option))
            return Usage("unknown option", option);
        if (i + 1 >= argc)
            return Usage("option needs a value", option);
        const char *value = argv[++i];
        if (strcmp(option, "--dll") == 0) {
            o->dll = value;
        } else if (strcmp(option, "--set") == 0) {
            if (strchr(value, '=') == NULL)
                return Usage("--set takes NAME=VALUE", value);
            if (o->set_count == MAX_SETS)
                return Usage("too many --set options", NULL);
            o->sets[o->set_count++] = value;
        } else if (strcmp(option, "--capacity") == 0) {
            if (!ParseNumber(value, &o->capacity))
                return Usage("--capacity is not a number", value);
        } else if (strcmp(option, "--name-width") == 0) {
            if (!ParseNumber(value, &o->name_width))
                return Usage("--name-width is not a number", value);
        } else if (strcmp(option, "--value-width") == 0) {
            if (!ParseNumber(value, &o->value_width))
                return Usage("--value-width is not a number", value);
        }
    }
    if (i >= argc)
        return Usage("no EXPORT given", NULL);
    o->export_name = argv[i++];
    if (i < argc)
        o->parameter_text = argv[i++];
    if (i < argc)
        return Usage("unexpected argument", argv[i]);
    return 0;
}

/* Slot arrays of the table; the sizes are checked against MAX_TABLE_BYTES. */
static int AllocateTable(const Options *o, HostParamBlock *block)
{
    uint64_t names = (uint64_t)o->capacity * o->name_width;
    uint64_t values = (uint64_t)o->capacity * o->value_width;
    if (names > MAX_TABLE_BYTES || values > MAX_TABLE_BYTES)
        return Usage("variable table too large", NULL);
    /* calloc(0) may give null; keep one byte so the table is a table. */
    block->NameSlots = calloc((size_t)names + 1, 1);
    block->ValueSlots = calloc((size_t)values + 1, 1);
    if (block->NameSlots == NULL || block->ValueSlots == NULL)
        return Fail("out of memory for the variable table", NULL);
    block->VariableCapacity = o->capacity;
    block->NameWidth = o->name_width;
    block->ValueWidth = o->value_width;
    return 0;
}

/* Stores NAME=VALUE under '%NAME%' as a host does: overwrite the first entry
 * with that key, or append. */
static int StoreVariable(HostParamBlock *block, const char *assignment)
{
    const char *equals = strchr(assignment, '=');
    size_t name_length = (size_t)(equals - assignment);
    const char *value = equals + 1;
    if (name_length + 3 > block->NameWidth)
        return Usage("--set name does not fit the name width", assignment);
    if (strlen(value) + 1 > block->ValueWidth)
        return Usage("--set value does not fit the value width", assignment);
    char *key = malloc(name_length + 3);
    if (key == NULL)
        return Fail("out of memory", NULL);
    key[0] = '%';
    memcpy(key + 1, assignment, name_length);
    memcpy(key + 1 + name_length, "%", 2);
    uint32_t i = 0;
    while (i < block->VariableCount &&
           strcmp(block->NameSlots + (size_t)i * block->NameWidth, key) != 0)
        i++;
    if (i == block->VariableCount) {
        if (i >= block->VariableCapacity) {
            free(key);
            return Usage("--set: the variable table is full", assignment);
        }
        memcpy(block->NameSlots + (size_t)i * block->NameWidth, key, name_length + 3);
        block->VariableCount++;
    }
    strcpy(block->ValueSlots + (size_t)i * block->ValueWidth, value);
    free(key);
    return 0;
}

/* Length of the string in a slot, never past the slot. */
static size_t SlotLength(const char *slot, uint32_t width)
{
    const char *end = memchr(slot, '\0', width);
    return end ? (size_t)(end - slot) : width;
}

/* The key without its percent signs. */
static void KeyToName(const char **name, size_t *length)
{
    if (*length > 0 && (*name)[0] == '%') {
        (*name)++;
        (*length)--;
    }
    if (*length > 0 && (*name)[*length - 1] == '%')
        (*length)--;
}

/* JSON string of 8-bit text: byte n is code point U+00nn. */
static void PrintJsonString(const char *text, size_t length)
{
    putchar('"');
    for (size_t i = 0; i < length; i++) {
        unsigned char c = (unsigned char)text[i];
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

static void PrintResult(const Options *o, const HostParamBlock *block, int32_t result)
{
    uint32_t entries = block->VariableCount < block->VariableCapacity ? block->VariableCount
                                                                      : block->VariableCapacity;
    if (o->json) {
        printf("{\"export\": ");
        PrintJsonString(o->export_name, strlen(o->export_name));
        printf(", \"return\": %ld, \"variables\": [", (long)result);
    } else {
        printf("return=%ld\n", (long)result);
    }
    for (uint32_t i = 0; i < entries; i++) {
        const char *name = block->NameSlots + (size_t)i * block->NameWidth;
        const char *value = block->ValueSlots + (size_t)i * block->ValueWidth;
        size_t name_length = SlotLength(name, block->NameWidth);
        size_t value_length = SlotLength(value, block->ValueWidth);
        KeyToName(&name, &name_length);
        if (o->json) {
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
    if (o->json)
        printf("]}\n");
}

/* EXPORT is a name, or '#N' for ordinal N. */
static int ResolveExport(LoadedModule *module, const char *text, QvSetupExport *function)
{
    unsigned ordinal = 0;
    if (text[0] == '#') {
        uint32_t number;
        if (!ParseNumber(text + 1, &number) || number == 0 || number > 65535)
            return Usage("not an ordinal", text);
        ordinal = number;
    }
    *function = FindModuleExport(module, text, ordinal);
    if (*function == NULL)
        return Usage("the module has no such export", text);
    return 0;
}

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
    if (options.request == SHOW_HELP) {
        fputs(kHelp, stdout);
        return 0;
    }
    if (options.request == SHOW_VERSION) {
        printf("qvhost %s\n", QVSETUP_VERSION_STRING);
        return 0;
    }

    char default_path[4096];
    const char *path = options.dll;
    if (path == NULL) {
        if (!DefaultModulePath(default_path, sizeof default_path))
            return Usage("cannot tell where the module is; use --dll", NULL);
        path = default_path;
    }
    LoadedModule *module = OpenModule(path);
    if (module == NULL)
        return Usage("cannot load the module", path);

    QvSetupExport function = NULL;
    HostParamBlock block;
    memset(&block, 0, sizeof block);
    status = ResolveExport(module, options.export_name, &function);
    if (status == 0)
        status = AllocateTable(&options, &block);
    for (int i = 0; status == 0 && i < options.set_count; i++)
        status = StoreVariable(&block, options.sets[i]);
    if (status == 0) {
        block.ParameterText = options.parameter_text;
        int32_t result = function(&block);
        PrintResult(&options, &block, result);
        fflush(stdout);
    }
    free(block.NameSlots);
    free(block.ValueSlots);
    CloseModule(module);
    return status;
}
