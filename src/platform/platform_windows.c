/* Windows: the system's VERSION.dll and file access. */
#include <windows.h>

#include <stdlib.h>
#include <string.h>

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

int OpenVersionApi(VersionApi *api)
{
    memset(api, 0, sizeof *api);
    HMODULE module = LoadSystemVersionDll();
    if (module == NULL)
        return 0;
    FARPROC size = GetProcAddress(module, "GetFileVersionInfoSizeA");
    FARPROC info = GetProcAddress(module, "GetFileVersionInfoA");
    FARPROC query = GetProcAddress(module, "VerQueryValueA");
    if (size == NULL || info == NULL || query == NULL) {
        FreeLibrary(module);
        return 0;
    }
    api->module = module;
    api->GetSize = (VersionInfoSizeFunction)(void (*)(void))size;
    api->GetInfo = (VersionInfoFunction)(void (*)(void))info;
    api->Query = (VersionQueryFunction)(void (*)(void))query;
    return 1;
}

void CloseVersionApi(VersionApi *api)
{
    if (api->module != NULL)
        FreeLibrary((HMODULE)api->module);
    memset(api, 0, sizeof *api);
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
