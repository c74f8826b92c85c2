// GetFileVersion through the loaded module, over the fixtures that the
// build makes (tests/fixtures/build_fixtures.sh) and the generated files
// (tests/fileinfo/make_version_files.cpp). QV_FIXTURES and QV_VERSION_FILES
// name their folders.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "fixture_path.h"
#include "host_table.h"
#include "module_beside.h"

namespace {

std::string Fixture(const std::string &name)
{
    return InFolder("QV_FIXTURES", "fixtures", name);
}

struct FileVersionCase {
    const char *file;  // file name in its folder
    const char *after; // the parameter text after the path: "" or a comma and a field
    const char *value; // expected "FileVersion"
    bool ex = false;   // through GetFileVersionEx
};

const FileVersionCase kCases[] = {
    {"all_fields.dll", "", "1.2.3.4 (file string)"},
    {"all_fields.dll", ",FileVersion", "1.2.3.4 (file string)"},
    {"all_fields.dll", ",CompanyName", "Fixture Company Ltd."},
    {"all_fields.dll", ",companyname", "Fixture Company Ltd."},
    {"all_fields.dll", ", COMPANYNAME ", "Fixture Company Ltd."},
    {"all_fields.dll", ",FileDescription", "All eight fields"},
    {"all_fields.dll", ",InternalName", "all_fields"},
    {"all_fields.dll", ",LegalCopyright", "Copyright (C) 2026 Fixture Company"},
    {"all_fields.dll", ",OriginalFilename", "all_fields.dll"},
    {"all_fields.dll", ",ProductName", "Fixture Product"},
    {"all_fields.dll", ",ProductVersion", "9.8.7.6 (product string)"},
    {"all_fields.dll", ",Comments", ""}, // not one of the eight
    {"all_fields.dll", ",", ""},         // 'path,' asks for the empty name
    {"all_fields.dll", ",CompanyName, x", "Fixture Company Ltd."},
    {"all_fields64.dll", ",CompanyName", "Fixture Company Ltd."},
    {"all_fields64.dll", ",FileVersion", "1.2.3.4 (file string)"},
    // Strings under another translation only: FileVersion falls back to the
    // fixed record's product version, other fields are missing.
    {"other_translation.dll", ",FileVersion", "5.0.261.35"},
    {"other_translation.dll", ",CompanyName", ""},
    // GetFileVersionEx reads the table the file lists; its FileVersion
    // fallback is the file version; it knows twelve string fields.
    {"other_translation.dll", ",CompanyName", "Fixture Company Ltd.", true},
    {"empty_fileversion.dll", "", "1.2.3.4", true},
    {"all_fields.dll", ",Comments", "Not one of the eight", true},
    {"high_versions.dll", ",ProductVersionNumber", "65535.32768.1.0", true},
    {"high_versions.dll", "", "65535.32768.1.0"},
    // The resource compiler stores an empty string with its terminator:
    // present, so no fallback.
    {"empty_fileversion.dll", ",FileVersion", ""},
    {"empty_fileversion.dll", ",CompanyName", "Empty FileVersion Inc."},
    // Code page 1252, characters outside it mapped as Windows maps them.
    {"non_ascii.dll", ",CompanyName",
     "Soci\xe9t\xe9 G\xe9n\xe9rale \x96 \x93quoted\x94 \x80"
     "5"},
    {"non_ascii.dll", ",FileDescription",
     "Adam L\xf3"
     "dz \xd8rsted \xdf \xb5 \x99"},
    {"non_ascii.dll", ",ProductName", "?? and emoji ??"},
    {"non_ascii.dll", ",InternalName", "tab\tand \xff"},
    {"no_version.dll", "", ""},
    {"no_version.dll", ",CompanyName", ""},
    {"plain_text.txt", "", ""},
    {"does_not_exist.dll", "", ""},
};

// Generated files, most of them damaged. On those the system's functions
// crash, read past the resource or write past the block; the module must
// not hand them over, and answers "".
const FileVersionCase kGeneratedCases[] = {
    {"basic_pe32.dll", ",CompanyName", "Example Company "},
    {"resource_size_zero.dll", "", ""},
    {"root_length_4096.dll", "", ""},
    {"root_length_65535.dll", "", ""},
    {"tree_longer_than_resource.dll", "", ""},
    {"resource_runs_past_file.dll", "", ""},
    {"resource_runs_far_past_file.dll", "", ""},
    {"resource_rva_outside_sections.dll", "", ""},
    {"folder.with.dot/resource_runs_far_past_file", "", ""},
    {"folder.with.dot/directory_flag_missing", "", ""},
    {"string_length_zero.dll", "", "5.6.7.8"},
    {"root_without_fixed_info.dll", "", ""},
    {"section_virtual_size_zero.dll", "", "1.2.3.4"},
    {"version_data_section_not_readable.dll", "", ""},
};

class FileVersion : public ModuleBeside {
protected:
    void SetUp() override
    {
        get_ = ByName("GetFileVersion");
        get_ex_ = ByName("GetFileVersionEx");
        ASSERT_NE(get_, nullptr);
        ASSERT_EQ(get_, ByOrdinal(1));
        ASSERT_NE(get_ex_, nullptr);
    }

    std::string Call(const char *parameters, uint32_t value_width = 8192, bool ex = false)
    {
        HostTable t(4, 64, value_width);
        t.Append("%FILEVERSION%", "other variable");
        t.Append("%FileVersion%", "stale");
        t.Parameters(parameters);
        EXPECT_EQ((ex ? get_ex_ : get_)(t.block()), 0);
        EXPECT_EQ(t.count(), 2u);
        EXPECT_EQ(t.Get("FILEVERSION"), "other variable");
        EXPECT_TRUE(t.Intact());
        return t.Get("FileVersion");
    }

    QvSetupExport get_ = nullptr;
    QvSetupExport get_ex_ = nullptr;
};

TEST_F(FileVersion, Fixtures)
{
    for (const FileVersionCase &c : kCases) {
        const std::string parameters = Fixture(c.file) + c.after;
        EXPECT_EQ(Call(parameters.c_str(), 8192, c.ex), c.value) << parameters;
    }
    for (const FileVersionCase &c : kGeneratedCases) {
        const std::string parameters = InFolder("QV_VERSION_FILES", QV_VERSION_FILES_DIR, c.file);
        EXPECT_EQ(Call((parameters + c.after).c_str()), c.value) << parameters << c.after;
    }
}

TEST_F(FileVersion, NoPathOrNoBlockGivesEmpty)
{
    EXPECT_EQ(Call(nullptr), "");
    EXPECT_EQ(Call(""), "");
    EXPECT_EQ(Call(" , CompanyName"), "");
    EXPECT_EQ(get_(nullptr), 0);
    EXPECT_EQ(get_ex_(nullptr), 0);
}

TEST_F(FileVersion, LongValueWholeOrCutToSlot)
{
    std::string expected;
    for (int i = 1; i <= 200; i++) {
        char piece[32];
        std::snprintf(piece, sizeof piece, "long value %04d; ", i);
        expected += piece;
    }
    const std::string parameters = Fixture("long_value.dll") + ", CompanyName";
    EXPECT_EQ(Call(parameters.c_str()), expected);
    EXPECT_EQ(Call(parameters.c_str(), 64), expected.substr(0, 63));
}

} // namespace
