/* Windows: the system's VERSION.dll and file access. */
#include <windows.h>

#include <stdlib.h>
#include <string.h>

#include "../fileinfo/version_resource.h"
#include "platform.h"

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

/* VERSION.dll is not one of the DLLs Windows always takes from its system
 * folder, and setup programs run from download folders where a planted
 * version.dll would be found first. So it is loaded by its full path in
 * the system directory, never by bare name. */
static HMODULE LoadSystemVersionDll(void)
{
    char path[MAX_PATH + 16];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return NULL;
    if (path[length - 1] != '\\')
        path[length++] = '\\';
    memcpy(path + length, "version.dll", sizeof "version.dll");
    /* Dependencies, too, only from the system folder where the flag is known;
     * older systems reject the flag, and the full path alone then holds. */
    HMODULE module = LoadLibraryExA(path, NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module == NULL)
        module = LoadLibraryExA(path, NULL, 0);
    return module;
}

typedef DWORD(WINAPI *GetSizeFunction)(LPCSTR path, LPDWORD handle);
typedef BOOL(WINAPI *GetInfoFunction)(LPCSTR path, DWORD handle, DWORD length, LPVOID data);
typedef BOOL(WINAPI *QueryFunction)(LPCVOID block, LPCSTR sub_block, LPVOID *buffer,
                                    PUINT length);

/* The block last read and its length bound the queries on it. */
struct VersionApi {
    HMODULE module;
    GetSizeFunction get_size;
    GetInfoFunction get_info;
    QueryFunction query;
    const void *block;
    uint32_t block_length;
};

VersionApi *OpenVersionApi(void)
{
    HMODULE module = LoadSystemVersionDll();
    if (module == NULL)
        return NULL;
    VersionApi *api = calloc(1, sizeof *api);
    if (api != NULL) {
        api->module = module;
        api->get_size = (GetSizeFunction)(void (*)(void))GetProcAddress(module, "GetFileVersionInfoSizeA");
        api->get_info = (GetInfoFunction)(void (*)(void))GetProcAddress(module, "GetFileVersionInfoA");
        api->query = (QueryFunction)(void (*)(void))GetProcAddress(module, "VerQueryValueA");
        if (api->get_size != NULL && api->get_info != NULL && api->query != NULL)
            return api;
        free(api);
    }
    FreeLibrary(module);
    return NULL;
}

void CloseVersionApi(VersionApi *api)
{
    if (api == NULL)
        return;
    FreeLibrary(api->module);
    free(api);
}

/* The system's functions read a damaged file's resource past the mapped
 * image (and crash), or write their 8-bit copies past the caller's buffer.
 * So a file goes to them only when the project's own reader, which stays
 * inside the file and its buffers, can read its version resource; any other
 * file has no version information here, as it has on the portable build. */
uint32_t VersionInfoSize(VersionApi *api, const char *path, uint32_t *handle)
{
    *handle = 0;
    if (!VetVersionFile(path))
        return 0;
    DWORD value = 0;
    DWORD size = api->get_size(path, &value);
    *handle = value;
    return size;
}

int VersionInfo(VersionApi *api, const char *path, uint32_t handle, uint32_t length, void *data)
{
    api->block = data;
    api->block_length = length;
    return api->get_info(path, handle, length, data) != FALSE;
}

/* VerQueryValueA does not know the block's length: it walks the tree and
 * writes its 8-bit copy of a string wherever the block's own lengths say.
 * So only the block last read is queried, and only after the project's
 * reader has judged, without writing, that this query stays inside it. */
int VersionQuery(VersionApi *api, const void *block, const char *sub_block, void **buffer,
                 unsigned *length)
{
    *length = 0;
    if (block == NULL || block != api->block ||
        !VersionQueryStaysInside(block, api->block_length, sub_block))
        return 0;
    UINT value_length = 0;
    BOOL found = api->query(block, sub_block, buffer, &value_length);
    *length = value_length;
    return found != FALSE;
}

struct PlatformFile {
    HANDLE handle;
};

PlatformFile *OpenFileReadOnly(const char *path)
{
    HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (handle == INVALID_HANDLE_VALUE)
        return NULL;
    PlatformFile *file = malloc(sizeof *file);
    if (file == NULL) {
        CloseHandle(handle);
        return NULL;
    }
    file->handle = handle;
    return file;
}

int GetFileLength(PlatformFile *file, uint64_t *size)
{
    LARGE_INTEGER length;
    if (!GetFileSizeEx(file->handle, &length) || length.QuadPart < 0)
        return 0;
    *size = (uint64_t)length.QuadPart;
    return 1;
}

long ReadFileAt(PlatformFile *file, uint64_t offset, void *buffer, size_t length)
{
    if (length > 0x7fffffffu)
        return -1;
    size_t done = 0;
    while (done < length) {
        OVERLAPPED at;
        memset(&at, 0, sizeof at);
        uint64_t position = offset + done;
        at.Offset = (DWORD)position;
        at.OffsetHigh = (DWORD)(position >> 32);
        DWORD n = 0;
        if (!ReadFile(file->handle, (char *)buffer + done, (DWORD)(length - done), &n, &at)) {
            if (GetLastError() == ERROR_HANDLE_EOF)
                break;
            return -1;
        }
        if (n == 0)
            break;
        done += n;
    }
    return (long)done;
}

void CloseFile(PlatformFile *file)
{
    if (file == NULL)
        return;
    CloseHandle(file->handle);
    free(file);
}
