#include <dlfcn.h>
#include <string.h>
#include <unistd.h>

#include "module_loader.h"

/* Shared objects have no ordinals; these are the module's, by number. */
static const char *const kExportByOrdinal[] = {
    NULL, "GetFileVersion", "NormalizeMSIEVersion", "CompareVersions", "IsQarvellClientRunning",
};

int DefaultModulePath(char *out, size_t size)
{
    if (size == 0)
        return 0;
    ssize_t length = readlink("/proc/self/exe", out, size - 1);
    if (length <= 0 || (size_t)length >= size - 1)
        return 0;
    out[length] = '\0';
    char *slash = strrchr(out, '/');
    char *base = slash ? slash + 1 : out;
    static const char kName[] = "libqvsetup.so";
    if ((size_t)(base - out) + sizeof kName > size)
        return 0;
    memcpy(base, kName, sizeof kName);
    return 1;
}

LoadedModule *OpenModule(const char *path)
{
    /* A bare name would be searched for on the library path; a host means
     * the file it names. */
    char local[4096];
    if (strchr(path, '/') == NULL && strlen(path) + 3 <= sizeof local) {
        memcpy(local, "./", 2);
        memcpy(local + 2, path, strlen(path) + 1);
        path = local;
    }
    return (LoadedModule *)dlopen(path, RTLD_NOW | RTLD_LOCAL);
}

QvSetupExport FindModuleExport(LoadedModule *module, const char *name, unsigned ordinal)
{
    if (ordinal != 0) {
        if (ordinal >= sizeof kExportByOrdinal / sizeof kExportByOrdinal[0])
            return NULL;
        name = kExportByOrdinal[ordinal];
    }
    void *symbol = dlsym(module, name);
    QvSetupExport function;
    memcpy(&function, &symbol, sizeof function);
    return function;
}

void CloseModule(LoadedModule *module)
{
    if (module != NULL)
        dlclose(module);
}
