/* Loading the QVSETUP module and finding its exports, as a setup host does:
 * LoadLibrary/GetProcAddress on Windows, dlopen/dlsym on the portable build. */
#ifndef QV_MODULE_LOADER_H
#define QV_MODULE_LOADER_H

#include <stddef.h>

#include "qvsetup.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct LoadedModule LoadedModule;

/* Path of the module that stands beside the running program
 * (QVSETUP.dll on Windows, libqvsetup.so elsewhere). 0 on failure. */
int DefaultModulePath(char *out, size_t size);

/* Loads the module at `path`; null on failure. */
LoadedModule *OpenModule(const char *path);

/* Finds an export by name, or by ordinal (1 to 65535) when `ordinal` is not
 * 0. Null when the module has no such export. */
QvSetupExport FindModuleExport(LoadedModule *module, const char *name, unsigned ordinal);

void CloseModule(LoadedModule *module);

#ifdef __cplusplus
}
#endif

#endif
