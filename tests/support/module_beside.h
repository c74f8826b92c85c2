// The QVSETUP module that stands beside the test program, loaded the way a
// setup host loads it.
#ifndef QV_TESTS_MODULE_BESIDE_H
#define QV_TESTS_MODULE_BESIDE_H

#include "loader/module_loader.h"

inline LoadedModule *LoadModuleBesideProgram()
{
    char path[4096];
    return DefaultModulePath(path, sizeof path) ? OpenModule(path) : nullptr;
}

#endif
