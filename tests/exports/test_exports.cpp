// The module as a setup host sees it: loaded from beside this program,
// exports found by name and by ordinal, a HostParamBlock laid out by the
// host, guard bytes after every slot.
#include <gtest/gtest.h>

#include <string>

#include "export_cases.h"
#include "host_table.h"
#include "loader/module_loader.h"

namespace {

#if defined(_WIN32) && defined(__i386__)
// Calls fn(arg) and returns how many bytes of arguments the call left on the
// stack: 0 when the callee removed its argument (stdcall), 4 when not.
extern "C" int StackLeftByCall(QvSetupExport fn, HostParamBlock *arg);
asm(".text\n"
    ".globl _StackLeftByCall\n"
    "_StackLeftByCall:\n"
    "  pushl %ebx\n"
    "  movl %esp, %ebx\n"
    "  pushl 12(%ebx)\n"
    "  call *8(%ebx)\n"
    "  movl %ebx, %eax\n"
    "  subl %esp, %eax\n"
    "  movl %ebx, %esp\n"
    "  popl %ebx\n"
    "  ret\n");
#endif

class Module : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        char path[4096];
        ASSERT_TRUE(DefaultModulePath(path, sizeof path));
        module_ = OpenModule(path);
        ASSERT_NE(module_, nullptr) << "cannot load " << path;
    }
    static void TearDownTestSuite()
    {
        CloseModule(module_);
        module_ = nullptr;
    }

    static QvSetupExport ByName(const char *name) { return FindModuleExport(module_, name, 0); }
    static QvSetupExport ByOrdinal(unsigned ordinal) { return FindModuleExport(module_, "", ordinal); }

    static LoadedModule *module_;
};

LoadedModule *Module::module_ = nullptr;

TEST_F(Module, ExportsByNameAndOrdinalAgree)
{
    ASSERT_NE(ByName("CompareVersions"), nullptr);
    EXPECT_EQ(ByName("CompareVersions"), ByOrdinal(3));
    EXPECT_EQ(ByName("_CompareVersions@4"), nullptr);
    EXPECT_EQ(ByName("CompareVersions@4"), nullptr);
    EXPECT_EQ(ByName("CompareVersionStrings"), nullptr); // internals stay hidden
    EXPECT_EQ(ByName("SetVariable"), nullptr);
}

#if defined(_WIN32) && defined(__i386__)
TEST_F(Module, CalleeRemovesItsArgument)
{
    HostTable t;
    t.block()->ParameterText = "1, 2";
    EXPECT_EQ(StackLeftByCall(ByName("CompareVersions"), t.block()), 0);
    EXPECT_EQ(t.Get("VersionDelta"), "-1");
}
#endif

TEST_F(Module, CompareVersionsEdgeCases)
{
    for (QvSetupExport compare : {ByName("CompareVersions"), ByOrdinal(3)}) {
        ASSERT_NE(compare, nullptr);
        for (const CompareCase &c : kCompareCases) {
            HostTable t;
            t.Append("%Before%", "1");
            t.Append("%VersionDelta%", "stale");
            t.block()->ParameterText = c.parameters;
            EXPECT_EQ(compare(t.block()), 0);
            EXPECT_EQ(t.Get("VersionDelta"), c.delta) << (c.parameters ? c.parameters : "(null)");
            EXPECT_EQ(t.count(), 2u);
            EXPECT_EQ(t.Get("Before"), "1");
            EXPECT_TRUE(t.Intact());
        }
    }
}

TEST_F(Module, CompareVersionsAppendsIntoRoom)
{
    HostTable t(4);
    t.block()->ParameterText = "2.0, 1.9";
    ByName("CompareVersions")(t.block());
    ASSERT_EQ(t.count(), 1u);
    EXPECT_EQ(t.Key(0), "%VersionDelta%");
    EXPECT_EQ(t.Value(0), "1");
    EXPECT_TRUE(t.Intact());
}

TEST_F(Module, CompareVersionsRespectsNarrowAndFullTables)
{
    HostTable full(1);
    full.Append("%X%", "1");
    full.block()->ParameterText = "1, 2";
    std::string before = full.Snapshot();
    ByName("CompareVersions")(full.block());
    EXPECT_EQ(full.Snapshot(), before);

    HostTable narrow(4, 64, 2); // room for one character and the terminator
    narrow.block()->ParameterText = "1, 2";
    ByName("CompareVersions")(narrow.block());
    EXPECT_EQ(narrow.Value(0), "-");
    EXPECT_TRUE(narrow.Intact());

    EXPECT_EQ(ByName("CompareVersions")(nullptr), 0);
}

TEST_F(Module, ParameterTextIsNotModified)
{
    char text[] = " 4.72b.3 , 4.72.3 ";
    HostTable t;
    t.block()->ParameterText = text;
    ByName("CompareVersions")(t.block());
    EXPECT_STREQ(text, " 4.72b.3 , 4.72.3 ");
    EXPECT_EQ(t.Get("VersionDelta"), "-3");
}

} // namespace
