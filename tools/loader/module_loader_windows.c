#include <windows.h>

#include <string.h>

#include "module_loader.h"

int DefaultModulePath(char *out, size_t size)
{
    DWORD length = GetModuleFileNameA(NULL, out, (DWORD)size);
    if (length == 0 || length >= size)
        return 0;
    char *slash = strrchr(out, '\\');
    char *base = slash ? slash + 1 : out;
    static const char kName[] = "QVSETUP.dll";
    if ((size_t)(base - out) + sizeof kName > size)
        return 0;
    memcpy(base, kName, sizeof kName);
    return 1;
}

LoadedModule *OpenModule(const char *path)
{
    /* No error dialog boxes for a module that fails to load. */
    UINT old_mode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryA(path);
    SetErrorMode(old_mode);
    return (LoadedModule *)module;
}

QvSetupExport FindModuleExport(LoadedModule *module, const char *name, unsigned ordinal)
{
    FARPROC proc = ordinal != 0 ? GetProcAddress((HMODULE)module, MAKEINTRESOURCEA(ordinal))
                                : GetProcAddress((HMODULE)module, name);
    return (QvSetupExport)(void (*)(void))proc;
}

void CloseModule(LoadedModule *module)
{
    if (module != NULL)
        FreeLibrary((HMODULE)module);
}
