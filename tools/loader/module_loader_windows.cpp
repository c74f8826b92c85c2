#include <windows.h>

#include <cstring>
#include <string_view>

#include "module_loader.h"

int DefaultModulePath(char *out, size_t size)
{
    const DWORD length = GetModuleFileNameA(nullptr, out, static_cast<DWORD>(size));
    if (length == 0 || length >= size)
        return 0;
    const std::string_view program(out, length);
    const size_t slash = program.rfind('\\');
    const size_t base = slash == std::string_view::npos ? 0 : slash + 1;
    static constexpr char kName[] = "QVSETUP.dll";
    if (base + sizeof kName > size)
        return 0;
    std::memcpy(out + base, kName, sizeof kName);
    return 1;
}

LoadedModule *OpenModule(const char *path)
{
    // No error dialog boxes for a module that fails to load.
    const UINT old_mode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryA(path);
    SetErrorMode(old_mode);
    return reinterpret_cast<LoadedModule *>(module);
}

QvSetupExport FindModuleExport(LoadedModule *module, const char *name, unsigned ordinal)
{
    const auto handle = reinterpret_cast<HMODULE>(module);
    const FARPROC proc = ordinal != 0 ? GetProcAddress(handle, MAKEINTRESOURCEA(ordinal))
                                      : GetProcAddress(handle, name);
    return reinterpret_cast<QvSetupExport>(reinterpret_cast<void (*)()>(proc));
}

void CloseModule(LoadedModule *module)
{
    if (module != nullptr)
        FreeLibrary(reinterpret_cast<HMODULE>(module));
}
