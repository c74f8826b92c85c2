/* Prints, for each file of a list, what the Windows build and the portable
 * build answer; compare_with_wine.sh compares the two outputs.
 *   query_versions [--exports] LISTFILE [FIRST]
 * By default, the three version-information operations: on Windows (under
 * Wine) the system's own functions, on the portable build the project's
 * reader. Each file is queried twice, with different bytes past the
 * buffer and in the heap's free memory; a report that changes with them
 * ends with "reads outside the buffer", and one where the bytes past the
 * buffer changed with "writes outside the buffer".
 * Each file's report also gives GetFileVersionEx's answer for each of its
 * fields, "ex <field> TAB <value in hex>": on Windows worked out by its rule
 * through the system's functions, on the portable build the library's
 * export itself.
 * With --exports, the module's GetFileVersion for every field below, one
 * line "<field> TAB <value in hex>" each, and GetFileVersionEx for each of
 * its fields, "ex <field> TAB <value in hex>": on Windows the real DLL
 * beside the program, on the portable build the linked library.
 * LISTFILE names one file a line; FIRST skips the lines before it. Each
 * file's report starts with "FILE n name" and ends with "END n", so that a
 * run that dies on a file can be resumed after it. */
#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "qvsetup.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "loader/module_loader.h"
#define GetSize(path, handle) GetFileVersionInfoSizeA(path, handle)
#define GetInfo(path, handle, length, data) GetFileVersionInfoA(path, handle, length, data)
#define Query(block, size, sub, buffer, length) VerQueryValueA(block, sub, buffer, length)
typedef DWORD Handle;
#else
#include "reader/image.h"
#include "reader/version_block.h"
#include "reader/version_file.h"
#define GetSize(path, handle) qv::reader::VersionInfoSize(path, handle)
#define GetInfo(path, handle, length, data) qv::reader::VersionInfoRead(path, handle, length, data)
#define Query(block, size, sub, buffer, length)                                                    \
    qv::reader::VersionValueQuery(block, size, sub, buffer, length)
typedef uint32_t Handle;

// True when Wine 8's loader, mapping the file, would act on memory it never
// set (section entries past its table, from its own stack): the reader then
// gives no answer, and Wine's depends on what that memory held. The paths
// here all name a folder, so the loader maps each file.
static bool WineUsesUnsetMemory(const char *path)
{
    static qv::reader::FileImage image;
    static qv::reader::ImageMap map;
    return qv::reader::OpenFileImage(image, path) &&
           qv::reader::MapImage(image, map) == qv::reader::Mapping::undefined;
}
#endif

static const char *const kSubBlocks[] = {
    "\\",
    "\\StringFileInfo\\040904E4\\FileVersion",
    "\\StringFileInfo\\040904E4\\CompanyName",
    "\\StringFileInfo\\040904E4\\FileDescription",
    "\\StringFileInfo\\040904E4\\InternalName",
    "\\StringFileInfo\\040904E4\\LegalCopyright",
    "\\StringFileInfo\\040904E4\\OriginalFilename",
    "\\StringFileInfo\\040904E4\\ProductName",
    "\\StringFileInfo\\040904E4\\ProductVersion",
    "\\StringFileInfo\\040904E4\\Comments",
    "\\VarFileInfo\\Translation",
};

/* The fields asked of GetFileVersion: each known one, one in another case,
 * and none (the default field). */
static const char *const kFields[] = {
    "FileVersion",
    "CompanyName",
    "FileDescription",
    "InternalName",
    "LegalCopyright",
    "OriginalFilename",
    "ProductName",
    "ProductVersion",
    "Comments",
    "companyname",
    "",
};

/* GetFileVersionEx's fields. */
static const char *const kExFields[] = {
    "FileVersion",       "CompanyName",          "FileDescription", "InternalName",
    "LegalCopyright",    "OriginalFilename",     "ProductName",     "ProductVersion",
    "Comments",          "LegalTrademarks",      "PrivateBuild",    "SpecialBuild",
    "FileVersionNumber", "ProductVersionNumber", "companyname",     "Unknown",
};

/* The export's answer for "path,field" in a one-entry table with room for
 * the longest value, in hex; "" when it wrote nothing. */
static std::string CallExport(QvSetupExport function, const char *path, const char *field)
{
    constexpr uint32_t kNameWidth = 64, kValueWidth = 65536;
    std::vector<char> names(kNameWidth), values(kValueWidth);
    std::string parameters = std::string(path) + "," + field;
    HostParamBlock block{};
    block.VariableCapacity = 1;
    block.NameWidth = kNameWidth;
    block.ValueWidth = kValueWidth;
    block.NameSlots = names.data();
    block.ValueSlots = values.data();
    block.ParameterText = parameters.c_str();
    values[0] = '\0';
    function(&block);
    std::string hex;
    char digits[3];
    for (size_t i = 0; block.VariableCount != 0 && i < kValueWidth && values[i] != '\0'; i++) {
        snprintf(digits, sizeof digits, "%02x", static_cast<unsigned char>(values[i]));
        hex += digits;
    }
    return hex;
}

#ifdef _WIN32
static std::string Hex(const std::string &text)
{
    std::string hex;
    char digits[3];
    for (unsigned char c : text) {
        snprintf(digits, sizeof digits, "%02x", c);
        hex += digits;
    }
    return hex;
}

/* "a.b.c.d" from the fixed record's two words at `words`; "" without a
 * record of at least 52 bytes that lies inside the block whole, as long
 * as the functions say it is. */
static std::string FixedNumber(unsigned char *block, uint32_t length, size_t words)
{
    void *pointer = NULL;
    unsigned n = 0;
    if (!Query(block, length, "\\", &pointer, &n) || n < 52)
        return "";
    const auto *p = static_cast<const unsigned char *>(pointer);
    if (p < block || p > block + length || n > size_t(block + length - p))
        return "";
    uint32_t ms, ls;
    memcpy(&ms, p + words, 4);
    memcpy(&ls, p + words + 4, 4);
    char text[32];
    snprintf(text, sizeof text, "%u.%u.%u.%u", ms >> 16, ms & 0xffff, ls >> 16, ls & 0xffff);
    return text;
}

/* GetFileVersionEx's rule worked out through the system's functions: the
 * tables the translation list names (whole entries inside the block), then
 * 040904B0, 040904E4, 04090000, each tried once; the first string not
 * empty (up to its first NUL) answers; FileVersion falls back to the file
 * version words. Like the module, it asks nothing of a block whose root
 * claims more than the block holds. */
static std::string ExRule(unsigned char *block, uint32_t length, const char *field)
{
    if (length < 6 || uint32_t(block[0] | block[1] << 8) > length)
        return "";
    if (strcmp(field, "FileVersionNumber") == 0)
        return FixedNumber(block, length, 8);
    if (strcmp(field, "ProductVersionNumber") == 0)
        return FixedNumber(block, length, 16);
    std::vector<uint32_t> keys;
    void *pointer = NULL;
    unsigned n = 0;
    if (Query(block, length, "\\VarFileInfo\\Translation", &pointer, &n) && pointer != NULL) {
        const auto *t = static_cast<const unsigned char *>(pointer);
        for (unsigned i = 0; i + 4 <= n && t >= block && t + i + 4 <= block + length; i += 4)
            keys.push_back(uint32_t(t[i] | t[i + 1] << 8) << 16 |
                           uint32_t(t[i + 2] | t[i + 3] << 8));
    }
    keys.insert(keys.end(), {0x040904B0u, 0x040904E4u, 0x04090000u});
    static const char *const kKnown[] = {"FileVersion",     "CompanyName",    "FileDescription",
                                         "InternalName",    "LegalCopyright", "OriginalFilename",
                                         "ProductName",     "ProductVersion", "Comments",
                                         "LegalTrademarks", "PrivateBuild",   "SpecialBuild"};
    bool known = false;
    for (const char *k : kKnown)
        known |= _stricmp(k, field) == 0;
    if (!known)
        return "";
    for (size_t i = 0; i < keys.size(); i++) {
        if (std::find(keys.begin(), keys.begin() + i, keys[i]) != keys.begin() + i)
            continue;
        char path[96];
        snprintf(path, sizeof path, "\\StringFileInfo\\%08X\\%s", keys[i], field);
        pointer = NULL;
        n = 0;
        if (!Query(block, length, path, &pointer, &n) || pointer == NULL || n == 0)
            continue;
        const auto *p = static_cast<const unsigned char *>(pointer);
        if (p < block || p >= block + length)
            return "outside";
        const std::string text(reinterpret_cast<const char *>(p),
                               strnlen(reinterpret_cast<const char *>(p), block + length - p));
        if (!text.empty())
            return text;
    }
    return _stricmp(field, "FileVersion") == 0 ? FixedNumber(block, length, 8) : "";
}
#endif

static const char *BaseName(const char *path)
{
    const char *name = path;
    for (const char *p = path; *p != '\0'; p++)
        if (*p == '/' || *p == '\\')
            name = p + 1;
    return name;
}

static uint32_t Checksum(const unsigned char *p, size_t n)
{
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < n; i++)
        h = (h ^ p[i]) * 16777619u;
    return h;
}

/* Room past the buffer for what a reader might write there: Wine writes its
 * 8-bit copies of strings up to about twice the 16-bit tree length past the
 * block's start. */
enum { kTail = 0x20000 };

typedef struct Text {
    char s[32768];
    size_t n;
} Text;

static void Add(Text *t, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    int n = vsnprintf(t->s + t->n, sizeof t->s - t->n, format, args);
    va_end(args);
    if (n > 0)
        t->n = t->n + (size_t)n < sizeof t->s ? t->n + (size_t)n : sizeof t->s - 1;
}

#ifdef _WIN32
/* Leaves `fill` in the process heap's free memory, where the system's
 * functions take their own buffers from: what they read past those then
 * depends on it. */
static void SprayHeap(unsigned char fill)
{
    void *blocks[40];
    for (int i = 0; i < 40; i++) {
        size_t size = (size_t)16 << (i % 10);
        blocks[i] = HeapAlloc(GetProcessHeap(), 0, size);
        if (blocks[i] != NULL)
            memset(blocks[i], fill, size);
    }
    for (int i = 0; i < 40; i++)
        HeapFree(GetProcessHeap(), 0, blocks[i]);
}
#else
static void SprayHeap(unsigned char fill)
{
    (void)fill;
}
#endif

/* Queries one file with the bytes past the buffer, and the free memory of
 * the heap, set to `fill`. Returns 0 when the bytes past the buffer have
 * changed. */
static int Report(const char *path, unsigned char fill, Text *out)
{
    SprayHeap(fill);
    Handle handle = 7;
    uint32_t size = GetSize(path, &handle);
    Add(out, "size %lu handle %lu\n", (unsigned long)size, (unsigned long)handle);
    if (size == 0 || size > 0x100000)
        return 1;
    /* As the module's caller does: size + 1 bytes into a zeroed buffer of
     * size + 2; what follows is the probe. */
    auto *block = static_cast<unsigned char *>(malloc((size_t)size + 2 + kTail));
    if (block == NULL)
        return 1;
    memset(block, 0, (size_t)size + 2);
    memset(block + size + 2, fill, kTail);
    int ok = GetInfo(path, 0, size + 1, block) != 0;
    Add(out, "info %d checksum %08lx\n", ok, (unsigned long)Checksum(block, (size_t)size + 1));
    for (size_t i = 0; ok && i < sizeof kSubBlocks / sizeof kSubBlocks[0]; i++) {
        void *pointer = NULL;
        unsigned length = 12345;
        int found = Query(block, size + 1, kSubBlocks[i], &pointer, &length) != 0;
        Add(out, "%s %d %u", kSubBlocks[i], found, length);
        const auto *p = static_cast<const unsigned char *>(pointer);
        if (found && p != NULL) {
            size_t shown = length > 256 ? 256 : length;
            if (p >= block && p <= block + size + 1 && shown <= (size_t)(block + size + 1 - p)) {
                Add(out, " at %ld :", (long)(p - block));
                for (size_t j = 0; j < shown; j++)
                    Add(out, " %02x", p[j]);
            } else {
                Add(out, " outside");
            }
        }
        Add(out, "\n");
    }
    for (const char *field : kExFields) {
#ifdef _WIN32
        const std::string value = ok ? Hex(ExRule(block, size + 1, field)) : "";
#else
        const std::string value = CallExport(GetFileVersionEx, path, field);
#endif
        Add(out, "ex %s\t%s\n", field, value.c_str());
    }
    int kept = 1;
    for (size_t i = 0; i < kTail; i++)
        kept &= block[size + 2 + i] == fill;
    free(block);
    return kept;
}

/* GetFileVersion and GetFileVersionEx of the module for each of their
 * fields of one file, as a host calls them. */
static void ReportExports(QvSetupExport get_file_version, QvSetupExport get_file_version_ex,
                          const char *path)
{
    for (const char *field : kFields)
        printf("%s\t%s\n", field, CallExport(get_file_version, path, field).c_str());
    for (const char *field : kExFields)
        printf("ex %s\t%s\n", field, CallExport(get_file_version_ex, path, field).c_str());
}

/* The module's GetFileVersion: the DLL beside the program on Windows, the
 * linked library on the portable build. */
#ifdef _WIN32
/* A file that keeps the run from going on (Wine's functions looping, or a
 * heap an earlier file's overrun has spoiled) ends it after 60 s, as a
 * crash does: the comparison then resumes after that file. */
static volatile LONG g_file_number = -1;

static DWORD WINAPI Watchdog(void *)
{
    LONG seen = -1;
    DWORD since = GetTickCount();
    for (;;) {
        Sleep(1000);
        const LONG now = g_file_number;
        if (now != seen) {
            seen = now;
            since = GetTickCount();
        } else if (now >= 0 && GetTickCount() - since > 60000) {
            fprintf(stderr, "query_versions: file %ld has run for 60 s\n", (long)now);
            TerminateProcess(GetCurrentProcess(), 3);
        }
    }
}
#endif

static QvSetupExport FindExport(const char *name)
{
#ifdef _WIN32
    static LoadedModule *module = nullptr; // stays loaded until the program ends
    char module_path[4096];
    if (module == nullptr && DefaultModulePath(module_path, sizeof module_path))
        module = OpenModule(module_path);
    return module ? FindModuleExport(module, name, 0) : nullptr;
#else
    return strcmp(name, "GetFileVersion") == 0 ? GetFileVersion : GetFileVersionEx;
#endif
}

int main(int argc, char **argv)
{
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY); // the same bytes as on Linux
#endif
    bool exports = argc > 1 && strcmp(argv[1], "--exports") == 0;
    if (exports) {
        argc--;
        argv++;
    }
    if (argc < 2) {
        fprintf(stderr, "usage: query_versions [--exports] LISTFILE [FIRST]\n");
        return 2;
    }
    QvSetupExport get_file_version = exports ? FindExport("GetFileVersion") : nullptr;
    QvSetupExport get_file_version_ex = exports ? FindExport("GetFileVersionEx") : nullptr;
    if (exports && (get_file_version == nullptr || get_file_version_ex == nullptr)) {
        fprintf(stderr, "query_versions: cannot load the module\n");
        return 2;
    }
    FILE *list = fopen(argv[1], "r");
    if (list == NULL)
        return 1;
#ifdef _WIN32
    CloseHandle(CreateThread(NULL, 0, Watchdog, NULL, 0, NULL));
#endif
    long first = argc > 2 ? atol(argv[2]) : 0;
    char line[4096];
    for (long n = 0; fgets(line, sizeof line, list) != NULL; n++) {
        line[strcspn(line, "\r\n")] = '\0';
        if (n < first || line[0] == '\0')
            continue;
        printf("FILE %ld %s\n", n, BaseName(line));
        fflush(stdout);
#ifdef _WIN32
        InterlockedExchange(&g_file_number, n);
#endif
        if (exports) {
            ReportExports(get_file_version, get_file_version_ex, line);
            printf("END %ld\n", n);
            fflush(stdout);
            continue;
        }
        static Text once, again;
        once.n = again.n = 0;
        once.s[0] = again.s[0] = '\0';
        int kept = Report(line, 0xa5, &once);
        kept &= Report(line, 0x5a, &again);
        fputs(once.s, stdout);
        if (strcmp(once.s, again.s) != 0)
            printf("reads outside the buffer\n");
        if (!kept)
            printf("writes outside the buffer\n");
#ifndef _WIN32
        // Wine's answer there depends on memory Wine never set: a cause the
        // Windows side cannot see, so the portable side names it.
        if (WineUsesUnsetMemory(line))
            printf("Wine uses memory it never set\n");
#endif
        printf("END %ld\n", n);
        fflush(stdout);
    }
    fclose(list);
    return 0;
}
