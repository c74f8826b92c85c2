// A setup host that watches what QVSETUP.dll does to it (tests/README.md,
// mutants_guarded_host). For every file of a list it calls GetFileVersion
// for every field, and GetFileVersionEx for three, each twice: pass 0 with
// the DLL's malloc/calloc/realloc/free sent to a guard allocator (each block
// ends where inaccessible pages begin) and the heap sprayed with 0x41, pass
// 1 with the DLL's blocks on the ordinary heap, sprayed with 0xa5. The two
// answers must be equal, or the DLL built one from bytes it does not own.
//   guarded_host LIST [FIRST]
// LIST names files, one a line (Unix paths are used from drive Z:); FIRST
// skips the lines before it. Before each file it prints "FILE n name", after
// it "END n"; the first fault ends the run with "FAULT n name field pass:
// cause: detail" (status 1). A crash prints the same with the cause "crash",
// or "read/write past a DLL block" when a guard page was hit (status 3); a
// call that runs for more than 20 s, or that takes the process's memory
// past 1 GiB, with "hang" or "memory" (status 4).
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "fixture_path.h"
#include "heap_spray.h"
#include "hex.h"
#include "host_table.h"
#include "module_beside.h"
#include "qvsetup.h"
#include "watchdog.h"

namespace {

struct FieldCall {
    bool ex; // GetFileVersionEx, else GetFileVersion
    const char *field;
};
const FieldCall kCalls[] = {
    {false, "FileVersion"},  {false, "CompanyName"},        {false, "FileDescription"},
    {false, "InternalName"}, {false, "LegalCopyright"},     {false, "OriginalFilename"},
    {false, "ProductName"},  {false, "ProductVersion"},     {true, "FileVersion"},
    {true, "CompanyName"},   {true, "ProductVersionNumber"}};
const uint8_t kPassFill[2] = {0x41, 0xa5};
const uint8_t kCanary = 0xfd; // the rest of a guard block's pages

// One block of the guard allocator: committed pages from `base` ending at
// `user` + the block size rounded up, then a reserved (inaccessible) span.
// The bytes from `base` up to `user`, and from the block's end to the end
// of the committed pages, hold a canary.
struct GuardBlock {
    uint8_t *base;
    size_t reserved;
    uint8_t *user;
    size_t size;
};

void PrintFault(const char *what);

// The run's state: the import hooks, the crash filter and the watchdog have
// no other way to reach it. The watchdog ends a call that runs for more
// than 20 s, or takes the process's memory past 1 GiB.
struct Host {
    bool guard = false;
    uint8_t fill = 0;
    long live = 0;                       // the DLL's blocks not yet freed
    std::map<void *, GuardBlock> blocks; // by `user`
    std::string fault;                   // first fault found by a hook
    long index = -1;                     // what is being processed, for a crash report
    const char *name = "";
    const char *field = "";
    int pass = 0;
    Watchdog watchdog{.limit_ms = 20000, .memory_limit = SIZE_T(1) << 30, .report = PrintFault};
} g;

void PrintFault(const char *what)
{
    std::printf("FAULT %ld %s %s %d: %s\n", g.index, g.name, g.field, g.pass, what);
    std::fflush(stdout);
}

void Fault(const std::string &what)
{
    if (g.fault.empty())
        g.fault = what;
}

constexpr size_t kPage = 4096, kAlign = 2 * sizeof(void *), kGuardSpan = 256 * 1024;
// More than a version resource can need: the DLL is refused such a block.
constexpr size_t kHugeAllocation = 64u << 20;

// A block of `size` bytes ending where inaccessible pages begin.
void *GuardAlloc(size_t size)
{
    size_t rounded = (size + kAlign - 1) & ~(kAlign - 1);
    size_t committed = rounded == 0 ? kPage : (rounded + kPage - 1) & ~(kPage - 1);
    auto *base = static_cast<uint8_t *>(
        VirtualAlloc(nullptr, committed + kGuardSpan, MEM_RESERVE, PAGE_NOACCESS));
    if (base == nullptr || !VirtualAlloc(base, committed, MEM_COMMIT, PAGE_READWRITE)) {
        VirtualFree(base, 0, MEM_RELEASE); // fails harmlessly on null
        Fault("guard allocator: out of address space");
        return nullptr;
    }
    uint8_t *user = base + committed - rounded;
    std::memset(base, kCanary, committed); // the block's own bytes are the caller's
    g.blocks[user] = {base, committed + kGuardSpan, user, size};
    return user;
}

// Frees a guard block, checking its canary; false when `p` is not one.
bool GuardFree(void *p)
{
    const auto it = g.blocks.find(p);
    if (it == g.blocks.end())
        return false;
    const GuardBlock &b = it->second;
    const auto canary = [](uint8_t c) { return c == kCanary; };
    if (!std::all_of(b.base, b.user, canary) ||
        !std::all_of(b.user + b.size, b.base + (b.reserved - kGuardSpan), canary))
        Fault("wrote outside a DLL block: bytes beside a block of " + std::to_string(b.size) +
              " changed");
    VirtualFree(b.base, 0, MEM_RELEASE);
    g.blocks.erase(it);
    return true;
}

bool Huge(size_t size)
{
    if (size <= kHugeAllocation)
        return false;
    Fault("huge allocation: the DLL asked for " + std::to_string(size) + " bytes");
    return true;
}

void *__cdecl HookMalloc(size_t size)
{
    if (Huge(size))
        return nullptr;
    void *p = g.guard ? GuardAlloc(size) : std::malloc(size);
    if (p == nullptr)
        return nullptr;
    g.live++;
    return std::memset(p, g.fill, size); // what a reused block might hold
}

void *__cdecl HookCalloc(size_t count, size_t size)
{
    void *p = (size != 0 && count > SIZE_MAX / size) ? nullptr : HookMalloc(count * size);
    return p != nullptr ? std::memset(p, 0, count * size) : nullptr;
}

void __cdecl HookFree(void *p)
{
    if (p == nullptr)
        return;
    g.live--;
    if (!GuardFree(p))
        std::free(p);
}

// A guard block moves to a new block (of the pass's allocator); any other
// is the C runtime's to resize.
void *__cdecl HookRealloc(void *p, size_t size)
{
    const auto b = g.blocks.find(p);
    if (p != nullptr && b == g.blocks.end())
        return Huge(size) ? nullptr : std::realloc(p, size);
    void *q = HookMalloc(size);
    if (q != nullptr && p != nullptr) {
        std::memcpy(q, p, std::min(b->second.size, size));
        HookFree(p);
    }
    return q;
}

// Points the DLL's imports of the C runtime's allocator at the hooks: each
// import slot that holds msvcrt's function (the loader bound it there) gets
// the hook.
bool HookAllocator(HMODULE module)
{
    const HMODULE crt = GetModuleHandleA("msvcrt.dll");
    const std::pair<const char *, void *> kHooks[] = {
        {"malloc", reinterpret_cast<void *>(HookMalloc)},
        {"calloc", reinterpret_cast<void *>(HookCalloc)},
        {"realloc", reinterpret_cast<void *>(HookRealloc)},
        {"free", reinterpret_cast<void *>(HookFree)}};
    auto *base = reinterpret_cast<uint8_t *>(module);
    const auto *nt = reinterpret_cast<IMAGE_NT_HEADERS *>(
        base + reinterpret_cast<IMAGE_DOS_HEADER *>(base)->e_lfanew);
    const DWORD imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    int hooked = 0;
    for (auto *d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR *>(base + imports);
         crt != nullptr && imports != 0 && d->Name != 0; d++)
        for (auto *slot = reinterpret_cast<ULONG_PTR *>(base + d->FirstThunk); *slot != 0; slot++)
            for (const auto &[name, hook] : kHooks) {
                if (*slot != reinterpret_cast<ULONG_PTR>(GetProcAddress(crt, name)))
                    continue;
                DWORD old;
                VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
                *slot = reinterpret_cast<ULONG_PTR>(hook);
                VirtualProtect(slot, sizeof *slot, old, &old);
                hooked++;
            }
    return hooked >= 3; // malloc, calloc and free at least
}

// The base name of the module that holds `address`, for crash reports.
const char *ModuleOf(void *address)
{
    static char path[MAX_PATH];
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCSTR>(address), &module) ||
        GetModuleFileNameA(module, path, sizeof path) == 0)
        return "?";
    const char *slash = std::strrchr(path, '\\');
    return slash ? slash + 1 : path;
}

LONG WINAPI OnCrash(EXCEPTION_POINTERS *e)
{
    const EXCEPTION_RECORD *r = e->ExceptionRecord;
    char what[160];
    std::snprintf(what, sizeof what, "crash: exception %08lx at %p", r->ExceptionCode,
                  r->ExceptionAddress);
    if (r->ExceptionCode == EXCEPTION_ACCESS_VIOLATION && r->NumberParameters >= 2) {
        auto *at = reinterpret_cast<uint8_t *>(r->ExceptionInformation[1]);
        const char *op = r->ExceptionInformation[0] == 1 ? "write" : "read";
        std::snprintf(what, sizeof what, "crash: %s of %p in %s", op, static_cast<void *>(at),
                      ModuleOf(r->ExceptionAddress));
        for (const auto &[user, b] : g.blocks)
            if (at >= b.base && at < b.base + b.reserved)
                std::snprintf(what, sizeof what,
                              "%s past a DLL block: %ld bytes past a block of %lu", op,
                              long(at - (b.user + b.size)), static_cast<unsigned long>(b.size));
    }
    PrintFault(what);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

bool HeapsValid()
{
    HANDLE heaps[64];
    const DWORD n = std::min<DWORD>(GetProcessHeaps(64, heaps), 64);
    return std::all_of(heaps, heaps + n, [](HANDLE h) { return HeapValidate(h, 0, nullptr); });
}

// One call, in a host table (guard bytes around the block and each slot
// array) holding one variable; returns the fault found, or "". The table
// must then hold "%FileVersion%" appended, the answer in its value slot,
// and nothing else changed.
std::string Call(QvSetupExport get_file_version, HeapSpray &spray, const std::string &parameters,
                 std::string &answer)
{
    g.fill = kPassFill[g.pass];
    spray.Fill(g.fill);
    static HostTable table({.capacity = 4, .name_width = 64, .value_width = 1024, .fill = 0x6b});
    table.Reset();
    table.Append("%Other%", "kept");
    std::string text = parameters;
    table.Parameters(text.c_str());
    g.guard = g.pass == 0;
    g.fault.clear();
    g.watchdog.Begin();
    get_file_version(table.block());
    g.watchdog.End();
    g.guard = false;
    if (!g.fault.empty())
        return g.fault;
    if (g.live != 0)
        return "block not freed: " + std::to_string(g.live) + " of the DLL's blocks still live";
    answer = table.Value(1);
    if (!table.Intact() || table.count() != 2 || table.Key(0) != "%Other%" ||
        table.Value(0) != "kept" || table.Key(1) != "%FileVersion%" || text != parameters)
        return "host memory changed: the host block, its slots or its parameter text";
    if (!spray.Kept(g.fill))
        return "host memory changed: a sprayed heap block";
    return "";
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: guarded_host LIST [FIRST]\n");
        return 2;
    }
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(OnCrash);
    StartWatchdog(g.watchdog);
    LoadedModule *module = LoadModuleBesideProgram();
    const QvSetupExport exports[2] = {
        module ? FindModuleExport(module, "GetFileVersion", 0) : nullptr,
        module ? FindModuleExport(module, "GetFileVersionEx", 0) : nullptr};
    FILE *list = std::fopen(argv[1], "r");
    if (exports[0] == nullptr || exports[1] == nullptr || list == nullptr ||
        !HookAllocator(reinterpret_cast<HMODULE>(module))) {
        std::fprintf(stderr, "guarded_host: cannot load and hook the module, or read the list\n");
        return 2;
    }
    long first = argc > 2 ? std::atol(argv[2]) : 0;
    HeapSpray spray;
    const auto shown = [](const std::string &bytes) { return bytes.empty() ? "''" : Hex(bytes); };
    char line[4096];
    for (long n = 0; std::fgets(line, sizeof line, list) != nullptr; n++) {
        line[std::strcspn(line, "\r\n")] = '\0';
        if (n < first || line[0] == '\0')
            continue;
        const char *slash = std::strrchr(line, '/');
        g.index = n;
        g.name = slash ? slash + 1 : line;
        std::printf("FILE %ld %s\n", n, g.name);
        std::fflush(stdout);
        const std::string path = HostPath(line);
        for (const FieldCall &call : kCalls) {
            const std::string label = std::string(call.ex ? "Ex:" : "") + call.field;
            g.field = label.c_str();
            std::string answers[2];
            for (g.pass = 0; g.pass < 2; g.pass++) {
                std::string fault =
                    Call(exports[call.ex], spray, path + "," + call.field, answers[g.pass]);
                if (fault.empty() && answers[g.pass] != answers[0])
                    fault = "answer depends on memory: " + shown(answers[0]) +
                            " with the guard allocator, " + shown(answers[g.pass]) +
                            " on the sprayed heap";
                if (!fault.empty()) {
                    PrintFault(fault.c_str());
                    return 1;
                }
            }
        }
        // Once a file: validating every heap takes longer than the calls.
        if (!HeapsValid()) {
            std::printf("FAULT %ld %s - -: heap damaged: HeapValidate fails\n", n, g.name);
            return 1;
        }
        std::printf("END %ld\n", n);
    }
    std::printf("DONE\n");
    std::fclose(list);
    return 0;
}
