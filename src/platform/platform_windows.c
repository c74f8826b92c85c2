/* Windows: the system's VERSION.dll. */
#include <windows.h>

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
