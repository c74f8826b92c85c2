// Windows: file access and the system's VERSION.dll.
#include <windows.h>

#include <cstring>
#include <iterator>

#include "platform/platform.h"

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

namespace qv::platform {

struct PlatformFile {
    HANDLE handle;
};

// A UTF-8 path as UTF-16 for the W functions; empty when it is not valid
// UTF-8 (it then names no file) or there is no memory.
static memory::HeapPtr<wchar_t[]> WidePath(const char *path)
{
    const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, nullptr, 0);
    if (units <= 0)
        return {};
    auto wide = memory::AllocateArray<wchar_t>(static_cast<std::size_t>(units));
    if (wide &&
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, wide.get(), units) != units)
        wide.reset();
    return wide;
}

FileHandle PlatformOpenFile(const char *path, PathForm form)
{
    constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
    HANDLE handle = INVALID_HANDLE_VALUE;
    if (form == PathForm::ansi) {
        handle = CreateFileA(path, GENERIC_READ, kShare, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    } else if (const auto wide = WidePath(path)) {
        handle = CreateFileW(wide.get(), GENERIC_READ, kShare, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (handle == INVALID_HANDLE_VALUE)
        return {};
    FileHandle file(memory::NewHeapObject<PlatformFile>(handle));
    if (!file)
        CloseHandle(handle);
    return file;
}

void PlatformCloseFile(PlatformFile *file)
{
    if (file == nullptr)
        return;
    CloseHandle(file->handle);
    memory::DeleteHeapObject(file);
}

std::optional<uint64_t> PlatformFileLength(PlatformFile &file)
{
    LARGE_INTEGER length;
    if (!GetFileSizeEx(file.handle, &length) || length.QuadPart < 0)
        return std::nullopt;
    return static_cast<uint64_t>(length.QuadPart);
}

std::optional<std::size_t> PlatformReadAt(PlatformFile &file, uint64_t offset,
                                          std::span<uint8_t> out)
{
    if (out.size() > 0x7fffffffu)
        return std::nullopt;
    std::size_t done = 0;
    while (done < out.size()) {
        OVERLAPPED at{};
        const uint64_t position = offset + done;
        at.Offset = static_cast<DWORD>(position);
        at.OffsetHigh = static_cast<DWORD>(position >> 32);
        DWORD n = 0;
        if (!ReadFile(file.handle, out.data() + done, static_cast<DWORD>(out.size() - done), &n,
                      &at)) {
            if (GetLastError() == ERROR_HANDLE_EOF)
                break;
            return std::nullopt;
        }
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

using GetSizeFunction = DWORD(WINAPI *)(LPCSTR path, LPDWORD handle);
using GetInfoFunction = BOOL(WINAPI *)(LPCSTR path, DWORD handle, DWORD length, LPVOID data);
using QueryFunction = BOOL(WINAPI *)(LPCVOID block, LPCSTR sub_block, LPVOID *buffer, PUINT length);
using GetSizeWideFunction = DWORD(WINAPI *)(LPCWSTR path, LPDWORD handle);
using GetInfoWideFunction = BOOL(WINAPI *)(LPCWSTR path, DWORD handle, DWORD length, LPVOID data);
using QueryWideFunction = BOOL(WINAPI *)(LPCVOID block, LPCWSTR sub_block, LPVOID *buffer,
                                         PUINT length);

struct PlatformVersionLibrary {
    HMODULE module;
    GetSizeFunction get_size;
    GetInfoFunction get_info;
    QueryFunction query;
    GetSizeWideFunction get_size_wide;
    GetInfoWideFunction get_info_wide;
    QueryWideFunction query_wide;
};

// VERSION.dll is not one of the DLLs Windows always takes from its system
// folder, and setup programs run from download folders where a planted
// version.dll would be found first. So it is loaded by its full path in the
// system directory, never by bare name.
static HMODULE LoadSystemVersionDll()
{
    char path[MAX_PATH + 16];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    if (path[length - 1] != '\\')
        path[length++] = '\\';
    std::memcpy(path + length, "version.dll", sizeof "version.dll");
    // Dependencies, too, only from the system folder where the flag is
    // known; older systems reject the flag, and the full path alone then
    // holds.
    HMODULE module = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module == nullptr)
        module = LoadLibraryExA(path, nullptr, 0);
    return module;
}

template <typename Function>
static Function Lookup(HMODULE module, const char *name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

VersionLibraryHandle PlatformLoadVersionLibrary()
{
    HMODULE module = LoadSystemVersionDll();
    if (module == nullptr)
        return {};
    const PlatformVersionLibrary functions = {
        module,
        Lookup<GetSizeFunction>(module, "GetFileVersionInfoSizeA"),
        Lookup<GetInfoFunction>(module, "GetFileVersionInfoA"),
        Lookup<QueryFunction>(module, "VerQueryValueA"),
        Lookup<GetSizeWideFunction>(module, "GetFileVersionInfoSizeW"),
        Lookup<GetInfoWideFunction>(module, "GetFileVersionInfoW"),
        Lookup<QueryWideFunction>(module, "VerQueryValueW"),
    };
    VersionLibraryHandle library;
    if (functions.get_size != nullptr && functions.get_info != nullptr &&
        functions.query != nullptr && functions.get_size_wide != nullptr &&
        functions.get_info_wide != nullptr && functions.query_wide != nullptr)
        library.reset(memory::NewHeapObject<PlatformVersionLibrary>(functions));
    if (!library)
        FreeLibrary(module);
    return library;
}

void PlatformFreeVersionLibrary(PlatformVersionLibrary *library)
{
    if (library == nullptr)
        return;
    FreeLibrary(library->module);
    memory::DeleteHeapObject(library);
}

// Windows' x64 calling convention has a called function give back xmm6 to
// xmm15 as it found them. 64-bit Wine's version functions do not always:
// on a file whose image its loader faults on (the generated
// section_at_address_zero_unreadable.dll) they return with them changed.
// Declared clobbered before and after the call, those registers hold no
// value across it, and the function around it, never inlined, saves its
// caller's on entry and restores them on return.
#if defined(__x86_64__)
#define QV_KEEP_VECTOR_REGISTERS()                                                                 \
    __asm__ volatile("" ::                                                                         \
                         : "xmm6", "xmm7", "xmm8", "xmm9", "xmm10", "xmm11", "xmm12", "xmm13",     \
                           "xmm14", "xmm15")
#else
#define QV_KEEP_VECTOR_REGISTERS()
#endif

[[gnu::noinline]] uint32_t PlatformGetFileVersionInfoSizeA(PlatformVersionLibrary &library,
                                                           const char *path, uint32_t *handle,
                                                           PathForm form)
{
    DWORD value = 0;
    DWORD size = 0;
    const auto wide = form == PathForm::ansi ? nullptr : WidePath(path);
    QV_KEEP_VECTOR_REGISTERS();
    if (form == PathForm::ansi)
        size = library.get_size(path, &value);
    else if (wide)
        size = library.get_size_wide(wide.get(), &value);
    QV_KEEP_VECTOR_REGISTERS();
    *handle = value;
    return size;
}

[[gnu::noinline]] bool PlatformGetFileVersionInfoA(PlatformVersionLibrary &library,
                                                   const char *path, uint32_t handle,
                                                   uint32_t length, void *data, PathForm form)
{
    const auto wide = form == PathForm::ansi ? nullptr : WidePath(path);
    QV_KEEP_VECTOR_REGISTERS();
    BOOL read = FALSE;
    if (form == PathForm::ansi)
        read = library.get_info(path, handle, length, data);
    else if (wide)
        read = library.get_info_wide(wide.get(), handle, length, data);
    QV_KEEP_VECTOR_REGISTERS();
    return read != FALSE;
}

bool PlatformVerQueryValueA(PlatformVersionLibrary &library, const void *block,
                            const char *sub_block, void **buffer, unsigned *length)
{
    UINT value_length = 0;
    const BOOL found = library.query(block, sub_block, buffer, &value_length);
    *length = value_length;
    return found != FALSE;
}

bool PlatformVerQueryValueW(PlatformVersionLibrary &library, const void *block,
                            const char *sub_block, void **buffer, unsigned *length)
{
    // Sub-blocks are short ASCII paths ("\\StringFileInfo\\...\\Field").
    wchar_t wide[128];
    std::size_t i = 0;
    for (; sub_block[i] != '\0'; i++) {
        if (i + 1 == std::size(wide))
            return false;
        wide[i] = static_cast<unsigned char>(sub_block[i]);
    }
    wide[i] = L'\0';
    UINT value_length = 0;
    const BOOL found = library.query_wide(block, wide, buffer, &value_length);
    *length = value_length;
    return found != FALSE;
}

} // namespace qv::platform
