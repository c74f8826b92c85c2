// The QVSETUP module that stands beside the test program, loaded the way a
// setup host loads it, once for each test suite that derives from
// ModuleBeside.
#ifndef QV_TESTS_MODULE_BESIDE_H
#define QV_TESTS_MODULE_BESIDE_H

#include <gtest/gtest.h>

#include "loader/module_loader.h"

class ModuleBeside : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        char path[4096];
        module_ = DefaultModulePath(path, sizeof path) ? OpenModule(path) : nullptr;
        ASSERT_NE(module_, nullptr) << "cannot load the module beside the program";
    }
    static void TearDownTestSuite()
    {
        CloseModule(module_);
        module_ = nullptr;
    }

    static QvSetupExport ByName(const char *name) { return FindModuleExport(module_, name, 0); }
    static QvSetupExport ByOrdinal(unsigned ordinal)
    {
        return FindModuleExport(module_, "", ordinal);
    }

    static inline LoadedModule *module_ = nullptr;
};

#endif
