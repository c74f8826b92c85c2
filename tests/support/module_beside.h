// The QVSETUP module that stands beside the test program, loaded the way a
// setup host loads it: for programs that load it once and keep it
// (LoadModuleBesideProgram), and, where GoogleTest is in use, once for each
// test suite that derives from ModuleBeside.
#ifndef QV_TESTS_MODULE_BESIDE_H
#define QV_TESTS_MODULE_BESIDE_H

#include "loader/module_loader.h"

// The module beside the program, or null when it cannot be loaded.
inline LoadedModule *LoadModuleBesideProgram()
{
    char path[4096];
    return DefaultModulePath(path, sizeof path) ? OpenModule(path) : nullptr;
}

#ifdef QV_TESTS_WITH_GTEST
#include <gtest/gtest.h>

class ModuleBeside : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        module_ = LoadModuleBesideProgram();
        ASSERT_NE(module_, nullptr) << "cannot load the module beside the program";
    }
    static void TearDownTestSuite()
    {
        CloseModule(module_);
        module_ = nullptr;
    }

    static QvSetupExport ByName(const char *name) { return FindModuleExport(module_, name, 0); }
    static QvSetupExport ByOrdinal(unsigned n) { return FindModuleExport(module_, "", n); }

    static inline LoadedModule *module_ = nullptr;
};
#endif

#endif
