// The module as a setup host sees it: loaded from beside this program,
// exports found by name and by ordinal, a HostParamBlock laid out by the
// host, guard bytes after every slot.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#endif

#include "export_cases.h"
#include "host_table.h"
#include "module_beside.h"

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

class Module : public ModuleBeside {};

TEST_F(Module, ExportsByNameAndOrdinalAgree)
{
    // In the order of their ordinals, from 1.
    const char *names[] = {"GetFileVersion", "NormalizeMSIEVersion", "CompareVersions",
                           "IsQarvellClientRunning", "GetFileVersionEx"};
    for (unsigned ordinal = 1; ordinal <= std::size(names); ordinal++) {
        const char *name = names[ordinal - 1];
        ASSERT_NE(ByName(name), nullptr) << name;
        EXPECT_EQ(ByName(name), ByOrdinal(ordinal)) << name;
    }
    EXPECT_EQ(ByName("_CompareVersions@4"), nullptr);
    EXPECT_EQ(ByName("CompareVersions@4"), nullptr);
    EXPECT_EQ(ByName("CompareVersionStrings"), nullptr); // internals stay hidden
    EXPECT_EQ(ByName("SetVariable"), nullptr);
}

#if defined(_WIN32) && defined(__i386__)
TEST_F(Module, CalleeRemovesItsArgument)
{
    HostTable t;
    t.Parameters("1, 2");
    EXPECT_EQ(StackLeftByCall(ByName("CompareVersions"), t.block()), 0);
    EXPECT_EQ(t.Get("VersionDelta"), "-1");
    t.Append("%FILEVERSION%", "4.72.3110");
    EXPECT_EQ(StackLeftByCall(ByName("NormalizeMSIEVersion"), t.block()), 0);
    EXPECT_EQ(t.Get("FILEVERSION"), "4.72.0.3110");
    EXPECT_EQ(StackLeftByCall(ByName("IsQarvellClientRunning"), nullptr), 0);
    EXPECT_EQ(StackLeftByCall(ByName("GetFileVersionEx"), t.block()), 0);
}
#endif

TEST_F(Module, CompareVersionsAndNormalizeMSIEVersionCases)
{
    CheckCompareCases(ByName("CompareVersions"));
    CheckCompareCases(ByOrdinal(3));
    CheckNormalizeCases(ByName("NormalizeMSIEVersion"));
    CheckNormalizeCases(ByOrdinal(2));
}

TEST_F(Module, CompareVersionsAppendsIntoRoomAndLeavesTheTextAlone)
{
    char text[] = " 4.72b.3 , 4.72.3 ";
    HostTable t(4);
    t.Parameters(text);
    ByName("CompareVersions")(t.block());
    EXPECT_STREQ(text, " 4.72b.3 , 4.72.3 ");
    ASSERT_EQ(t.count(), 1u);
    EXPECT_EQ(t.Key(0), "%VersionDelta%");
    EXPECT_EQ(t.Value(0), "-3");
    EXPECT_TRUE(t.Intact());
}

// A full table is left as it was; a narrow slot gets what fits of the result.
TEST_F(Module, FullAndNarrowTables)
{
    // The export, the value slots' width, "FILEVERSION" (null: none), the
    // value it leaves in the first slot.
    const std::tuple<const char *, uint32_t, const char *, const char *> cases[] = {
        {"CompareVersions", 2, nullptr, "-"}, {"NormalizeMSIEVersion", 8, "4.72.3110", "4.72.0."}};
    for (const auto &[name, value_width, fileversion, cut] : cases) {
        QvSetupExport call = ByName(name);
        HostTable full(1);
        full.Append("%X%", "1");
        full.Parameters("1, 2");
        const std::string before = full.Snapshot();
        EXPECT_EQ(call(full.block()), 0);
        EXPECT_EQ(full.Snapshot(), before) << name;

        HostTable narrow(4, 64, value_width);
        if (fileversion != nullptr)
            narrow.Append("%FILEVERSION%", fileversion);
        narrow.Parameters("1, 2");
        call(narrow.block());
        EXPECT_EQ(narrow.Value(0), cut) << name;
        EXPECT_TRUE(narrow.Intact()) << name;
        EXPECT_EQ(call(nullptr), 0);
    }
}

// No window of the client's classes exists here (the tests with real
// windows are in tests/windows); the table is never touched.
TEST_F(Module, IsQarvellClientRunningWithoutClient)
{
    for (QvSetupExport probe : {ByName("IsQarvellClientRunning"), ByOrdinal(4)}) {
        ASSERT_NE(probe, nullptr);
        HostTable t;
        t.Append("%A%", "1");
        t.Parameters("QarvellWobexAppClass");
        std::string before = t.Snapshot();
        EXPECT_EQ(probe(t.block()), 0);
        EXPECT_EQ(t.Snapshot(), before);
        EXPECT_EQ(probe(nullptr), 0);
    }
}

#ifdef _WIN32
// The DLL's version resource, read back by the system's own reader.
TEST_F(Module, VersionResourceCarriesTheProjectVersion)
{
    char path[4096];
    ASSERT_TRUE(DefaultModulePath(path, sizeof path));
    const DWORD size = GetFileVersionInfoSizeA(path, nullptr);
    ASSERT_NE(size, 0u);
    std::string data(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, &data[0]));

    // The value at `sub_block`, its length in `length`; null when there is none.
    UINT length = 0;
    auto query = [&data, &length](const std::string &sub_block) -> const void * {
        void *value = nullptr;
        return VerQueryValueA(data.data(), sub_block.c_str(), &value, &length) ? value : nullptr;
    };
    const std::string version = QV_PROJECT_VERSION ".0";
    // An empty expectation: the field is there with some text.
    const std::pair<const char *, std::string> fields[] = {{"FileVersion", version},
                                                           {"ProductVersion", version},
                                                           {"OriginalFilename", "QVSETUP.dll"},
                                                           {"InternalName", "QVSETUP"},
                                                           {"ProductName", "QVSETUP"},
                                                           {"CompanyName", QV_COMPANY_NAME},
                                                           {"FileDescription", ""},
                                                           {"LegalCopyright", QV_LEGAL_COPYRIGHT}};
    for (const auto &[field, expected] : fields) {
        const auto *value =
            static_cast<const char *>(query(std::string("\\StringFileInfo\\040904E4\\") + field));
        ASSERT_NE(value, nullptr) << field;
        if (expected.empty())
            EXPECT_STRNE(value, "") << field;
        else
            EXPECT_EQ(value, expected) << field;
    }

    const auto *translation = static_cast<const WORD *>(query("\\VarFileInfo\\Translation"));
    ASSERT_NE(translation, nullptr);
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1252);

    const auto *fixed = static_cast<const VS_FIXEDFILEINFO *>(query("\\"));
    ASSERT_NE(fixed, nullptr);
    const DWORD ms = (QV_PROJECT_VERSION_MAJOR << 16) | QV_PROJECT_VERSION_MINOR;
    const DWORD ls = QV_PROJECT_VERSION_PATCH << 16;
    EXPECT_EQ(fixed->dwFileVersionMS, ms);
    EXPECT_EQ(fixed->dwFileVersionLS, ls);
    EXPECT_EQ(fixed->dwProductVersionMS, ms);
    EXPECT_EQ(fixed->dwProductVersionLS, ls);
}
#endif

} // namespace
