// The reader on the generated files (make_version_files, directory in
// QV_VERSION_FILES): what scripts get through QueryVersionField, and the
// block-level answers where the conventions matter.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <sys/stat.h>

#include "fixture_path.h"
#include "fileinfo/version_api.h"
#include "fileinfo/version_field.h"
#include "reader/version_block.h"
#include "reader/version_file.h"

namespace {

using namespace qv::fileinfo;
using namespace qv::reader;

std::string FilePath(const char *name)
{
    return InFolder("QV_VERSION_FILES", "version_files", name);
}

struct FieldCase {
    const char *file;
    const char *field;
    const char *expected;
    bool ex = false;                 // GetFileVersionEx's rule, else GetFileVersion's
    Refusal refusal = Refusal::none; // checked when given: one file per reason
};

// Names are given relative to the folder of the files, as a script may give
// them: a bare name without an extension is one LoadLibraryEx never finds.
TEST(VersionField, AnswersLikeWine)
{
    const FieldCase cases[] = {
        {"basic_pe32.dll", "FileVersion", "1.2.3.4"},
        {"basic_pe32.dll", "companyname", "Example Company "},
        {"basic_pe32plus.dll", "ProductName", "Example Product"},
        {"basic_no_extension", "OriginalFilename", "example.dll"},
        // Damaged so that the mapped lookup fails and the parser answers.
        {"directory_flag_missing", "FileVersion", "1.2.3.4"},
        {"folder.with.dot/directory_flag_missing", "FileVersion", "<none>"},
        {"folder/directory_flag_missing", "FileVersion", "<none>"},
        // A FIFO opens at once and has nothing to read.
        {"../version_fifo", "FileVersion", "<none>", false, Refusal::not_read},
        {"section_virtual_size_zero.dll", "FileVersion", "1.2.3.4"},
        {"section_virtual_size_small.dll", "FileVersion", "1.2.3.4"},
        // Only the terminating zero: an empty string.
        {"string_length_zero.dll", "ProductName", ""},
        // Length 0: nothing converted, so no string at all.
        {"string_length_zero.dll", "Comments", "<none>"},
        {"string_length_zero.dll", "FileVersion", "5.6.7.8"},
        {"string_lengths_in_bytes.dll", "CompanyName", "Example Company "},
        // Binary-typed: returned as is, UTF-16, so the 8-bit copy stops early.
        {"strings_binary_typed.dll", "CompanyName", "E"},
        {"varfileinfo_first.dll", "InternalName", "example"},
        {"string_tables_several.dll", "CompanyName", "Example Company ansi"},
        {"string_file_info_twice.dll", "CompanyName", "<none>"},
        // Language: neutral first, then en-US, then the first entry.
        {"languages_german_and_english.dll", "CompanyName", "Example Company en"},
        {"languages_neutral_and_english.dll", "CompanyName", "Example Company neutral"},
        {"languages_german_and_french.dll", "CompanyName", "Example Company de"},
        {"root_without_fixed_info.dll", "ProductVersion", "5.6.7.8"},
        {"root_without_fixed_info.dll", "FileVersion", "<none>", false, Refusal::no_fixed_record},
        {"child_length_zero.dll", "FileVersion", "5.6.7.8"},
        {"keys_mixed_case.dll", "CompanyName", "upper"},
        {"keys_mixed_case.dll", "FileVersion", "2.0"},
        {"strings_non_ascii.dll", "CompanyName",
         "Caf\xe9 \x80 \x99 O L\xf3"
         "dz ?"},
        {"strings_non_ascii.dll", "FileDescription", "pair ?? end"},
        {"strings_non_ascii.dll", "ProductName", "lone ? x ?"},
        {"strings_non_ascii.dll", "InternalName", "fullwidth AB dash \x97 quote \x93\x94 ?"},
        {"directory_loops_to_root.dll", "FileVersion", "<none>", false, Refusal::directory_loop},
        {"directory_points_outside.dll", "FileVersion", "<none>", false,
         Refusal::directory_unreadable},
        {"truncated_in_headers.dll", "FileVersion", "<none>"},
        {"truncated_in_directory.dll", "FileVersion", "<none>"},
        {"no_version_resource.dll", "FileVersion", "<none>", false, Refusal::no_version_language},
        {"empty_file.dll", "FileVersion", "<none>", false, Refusal::not_executable},
        {"not_an_image.dll", "FileVersion", "<none>"},
        {"missing_file.dll", "FileVersion", "<none>", false, Refusal::not_opened},
        // Mapped as Wine maps an image: headers larger than the file, zeros
        // between sections, pages without read access.
        {"size_of_headers_far_past_file.dll", "CompanyName", "Example Company "},
        // Zeros where the resource should be: the block then starts with
        // "FE2X", whose root claims more than the block holds. Wine's "\"
        // query reads only that header, but there is no tree: no answer.
        {"resource_rva_in_section_gap.dll", "FileVersion", "<none>"},
        {"section_of_no_size_in_header_page.dll", "CompanyName", "Example Company "},
        {"section_inside_page_unreadable.dll", "CompanyName", "Example Company "},
        {"section_at_address_zero_unreadable.dll", "CompanyName", "Example Company "},
        {"section_at_address_zero_unreadable_cut.dll", "CompanyName", "<none>"},
        {"section_shared_over_headers.dll", "CompanyName", "<none>", false,
         Refusal::headers_unreadable},
        {"section_count_zero_in_mapped_headers.dll", "CompanyName", "Example Company "},
        {"section_count_one_in_mapped_headers.dll", "CompanyName", "<none>"},
        // A count past the table: the loader would take entries from its
        // own stack. Made here, out of the mutated files: Wine's answer
        // depends on what its stack held.
        {"../section_count_past_table.dll", "CompanyName", "<none>", false,
         Refusal::loader_undefined},
        {"rsrc_not_readable.dll", "FileVersion", "<none>"},
        {"section_at_address_zero_over_headers.dll", "CompanyName", "<none>"},
        {"section_raw_size_far_past_file.dll", "CompanyName", "Example Company "},
        {"resource_runs_past_file_later_section_cut.dll", "CompanyName", "Example Company "},
        {"machine_unknown.dll", "FileVersion", "1.2.3.4"},
        {"machine_unknown_resource_cut.dll", "FileVersion", "<none>"},
        {"section_address_inside_page.dll", "CompanyName", "Example Company "},
        {"image_size_huge.dll", "CompanyName", "Example Company "},
        {"section_alignment_past_image.dll", "CompanyName", "Example Company "},
        {"section_virtual_size_huge.dll", "FileVersion", "<none>", false,
         Refusal::directory_section_outside},
        {"section_virtual_size_513_mib.dll", "CompanyName", "Example Company "},
        {"resource_directory_size_8.dll", "FileVersion", "<none>", false,
         Refusal::no_resource_directory},
        {"resource_offset_negative.dll", "CompanyName", "Example Company "},
        {"truncated_before_resource.dll", "FileVersion", "<none>", false, Refusal::root_past_block},
        {"folder.with.dot/truncated_in_last_sector", "CompanyName", "Example Company "},
        // Sizes as Wine computes them, in 32 bits; a root a little longer
        // than the resource; a signed byte telling the layouts apart.
        {"resource_larger_than_64k.dll", "CompanyName", "Example Company "},
        {"resource_size_top_bit.dll", "CompanyName", "Example Company "},
        {"root_length_plus_8.dll", "CompanyName", "Example Company "},
        {"root_length_6.dll", "FileVersion", "5.6.7.8"},
        {"root_type_high_byte.dll", "FileVersion", "2.1028.0.0"},
        // 16-bit executables.
        {"ne_version.exe", "CompanyName", "Example Company ne"},
        {"ne_shift_zero.exe", "FileVersion", "1.2.3.4"},
        {"ne_no_version_id.exe", "FileVersion", "<none>", false, Refusal::no_version_name},
        {"ne_table_cut_short.exe", "FileVersion", "<none>", false, Refusal::ne_walk_leaves_table},
        {"ne_length_below_fixed_info.exe", "FileVersion", "<none>", false,
         Refusal::block_too_large},
        {"ne_several_types.exe", "CompanyName", "Example Company ne"},
        // Read by the parser, at the first byte of a second section.
        {"version_data_at_section_start", "CompanyName", "Example Company "},
        // The directory readable, the data's section not (or a one-byte
        // section over it): Wine's own functions crash copying it.
        {"version_data_section_not_readable.dll", "FileVersion", "<none>", false,
         Refusal::data_unreadable},
        {"edges/version_data_under_one_byte_section.dll", "FileVersion", "<none>", false,
         Refusal::data_unreadable},
        // The file's own tables: those its translation list names first, in
        // its order, then 040904B0, 040904E4 and 04090000.
        {"tables_unicode_only.dll", "CompanyName", "<none>", false, Refusal::not_in_table},
        {"tables_unicode_only.dll", "CompanyName", "Example Company unicode", true},
        {"basic_pe32.dll", "comments", "Comment ", true},
        {"basic_pe32.dll", "Unknown", "<none>", true, Refusal::unknown_field},
        {"basic_pe32.dll", "ZzzzVersion", "<none>"}, // as long as FileVersion
        {"basic_pe32.dll", "XileVersion", "<none>"}, // all but the first letter
        {"translation_names_missing_table.dll", "CompanyName", "Example Company lower key", true},
        {"translation_first_table_lacks_field.dll", "CompanyName", "Example Company second", true},
        {"translation_first_table_lacks_field.dll", "FileDescription", "Datei", true},
        {"translation_german_table.dll", "CompanyName", "Example Company de", true},
        {"translation_partial_entry.dll", "CompanyName", "Example Company ansi", true},
        // Empty strings are passed over, blanks are not; FileVersion falls
        // back to the file-version words, not the product's.
        {"translation_first_string_empty.dll", "CompanyName", "ansi", true},
        {"translation_first_string_empty.dll", "ProductName", " ", true},
        {"translation_first_string_empty.dll", "FileVersion", "1.2.3.4", true},
        {"translation_first_string_empty.dll", "ProductVersionNumber", "5.6.7.8", true},
        {"root_without_fixed_info.dll", "FileVersionNumber", "<none>", true},
        {"basic_pe32.dll", "fileversionnumber", "1.2.3.4", true},
        {"basic_pe32.dll", "PRODUCTVERSIONNUMBER", "5.6.7.8", true},
        {"table_choice/defaults_without_list.dll", "CompanyName", "Example Company unicode", true},
        {"table_choice/defaults_list_names_neither.dll", "Comments", "Comment unicode", true},
        {"table_choice/second_listed_before_default.dll", "CompanyName",
         "Example Company second listed", true},
        {"table_choice/all_twelve_fields.dll", "specialbuild", "SpecialBuild text", true},
        {"table_choice/partial_entry_padding_names_table.dll", "CompanyName",
         "Example Company ansi", true},
        // Limits on both sides: 96 sections mapped, 97 parsed; the largest
        // image and section read. A directory part-way into its section.
        {"edges/sections_96.dll", "CompanyName", "<none>"},
        {"edges/sections_97.dll", "CompanyName", "Example Company "},
        {"edges/image_size_below_largest.dll", "CompanyName", "<none>"},
        {"native_only/image_size_largest.dll", "CompanyName", "Example Company "},
        {"native_only/section_size_below_largest.dll", "CompanyName", "Example Company "},
        {"native_only/section_size_largest.dll", "CompanyName", "<none>"},
        {"edges/flat_image_data_past_sections.dll", "CompanyName", "Example Company "},
        {"edges/merged_pe32.dll", "CompanyName", "Example Company en"},
        {"edges/merged_pe32_cut.dll", "CompanyName", "Example Company de"},
        {"edges/merged_pe32plus.dll", "CompanyName", "Example Company en"},
        {"edges/merged_pe32plus_cut.dll", "CompanyName", "Example Company en"},
        // The other reasons, each with a file that reaches it.
        {"", "FileVersion", "<none>", true, Refusal::no_path},
        {"header_offset_past_file.dll", "FileVersion", "<none>", true,
         Refusal::header_offset_outside},
        {"truncated_in_section_table.dll", "FileVersion", "<none>", true,
         Refusal::section_table_outside},
        {"ne_no_version_type.exe", "FileVersion", "<none>", true, Refusal::no_version_type},
        {"ne_table_empty.exe", "FileVersion", "<none>", true, Refusal::ne_table_empty},
        {"reasons/ne_names_before_resources.exe", "FileVersion", "<none>", true,
         Refusal::ne_table_empty},
        {"reasons/ne_table_outside.exe", "FileVersion", "<none>", true, Refusal::ne_table_outside},
        {"reasons/ne_block_empty.exe", "FileVersion", "<none>", true, Refusal::block_empty},
        {"reasons/signature_neither_pe_nor_ne.dll", "FileVersion", "<none>", true,
         Refusal::not_pe_or_ne},
        {"reasons/optional_magic_unknown.dll", "FileVersion", "<none>", true,
         Refusal::unknown_magic},
        {"reasons/directory_in_no_section.dll", "FileVersion", "<none>", true,
         Refusal::directory_in_no_section},
        {"reasons/data_in_no_section.dll", "FileVersion", "<none>", true,
         Refusal::data_in_no_section},
        {"native_only/data_entry_at_image_end.dll", "FileVersion", "<none>", true,
         Refusal::directory_unreadable},
        {"reasons/directory_of_16_bytes.dll", "FileVersion", "<none>", true,
         Refusal::no_version_type},
        {"basic_pe32.dll", "PrivateBuild", "<none>", true, Refusal::in_no_table},
    };
    const std::filesystem::path here = std::filesystem::current_path();
    std::filesystem::current_path(FilePath(""));
    mkfifo("../version_fifo", 0600);
    // section_count_past_table.dll: 3 sections in the mapped copy of the
    // headers (at 0x600) of section_count_one_in_mapped_headers.dll.
    std::ifstream in("section_count_one_in_mapped_headers.dll", std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 0x600u + 0x46 + 1);
    bytes[0x600 + 0x46] = 3;
    bytes[0x600 + 0x46 + 1] = 0;
    std::ofstream("../section_count_past_table.dll", std::ios::binary)
        .write(bytes.data(), std::streamsize(bytes.size()));
    for (const FieldCase &c : cases) {
        const auto answer =
            c.ex ? AnswerVersionFieldEx(c.file, c.field) : AnswerVersionField(c.file, c.field);
        EXPECT_EQ(std::string(answer.text ? answer.text.get() : "<none>"), c.expected)
            << c.file << " " << c.field << (c.ex ? " (ex)" : "");
        if (c.refusal != Refusal::none) {
            EXPECT_EQ(RefusalName(answer.refusal), RefusalName(c.refusal)) << c.file;
        }
    }
    std::filesystem::current_path(here);
}

// A generated file's version block, read with a byte to spare (empty when
// there is none), and the answer of the last query on it.
struct Block {
    uint32_t size = 0;
    std::vector<unsigned char> bytes = {};
    void *pointer = nullptr;
    unsigned length = 99;
    bool Query(const char *sub_block)
    {
        return BlockValueQuery(bytes.data(), size + 1, sub_block, &pointer, &length);
    }
    unsigned Tree() const { return bytes[0] | bytes[1] << 8; }
    long Offset() const { return static_cast<unsigned char *>(pointer) - bytes.data(); }
};

Block Load(const char *file)
{
    const std::string path = FilePath(file);
    Block b{qv::reader::PathInfoSize(path.c_str(), nullptr)};
    b.bytes.assign(b.size + 2, 0);
    if (b.size == 0 || !qv::reader::PathInfoRead(path.c_str(), 0, b.size + 1, b.bytes.data()))
        b.bytes.clear();
    return b;
}

TEST(CheckedBlock, SizeSignatureAndAnsiArea)
{
    Block b = Load("basic_pe32.dll");
    ASSERT_FALSE(b.bytes.empty());
    EXPECT_EQ(b.size, 1516u); // resource length * 2 + 4
    EXPECT_EQ(std::memcmp(&b.bytes[b.Tree()], "FE2X", 4), 0);

    ASSERT_TRUE(b.Query("\\StringFileInfo\\040904E4\\FileVersion"));
    EXPECT_EQ(b.length, 8u); // characters, terminating zero included
    EXPECT_STREQ(static_cast<char *>(b.pointer), "1.2.3.4");
    // The 8-bit copy lies after the tree and "FE2X", at the value's offset.
    const unsigned offset = b.Offset() - b.Tree() - 4;
    EXPECT_EQ(b.bytes[offset], '1');
    EXPECT_EQ(b.bytes[offset + 1], 0);

    ASSERT_TRUE(b.Query(""));
    EXPECT_EQ(b.length, 52u);
    EXPECT_EQ(b.Offset(), 40);
    ASSERT_TRUE(b.Query("\\\\VarFileInfo\\\\Translation\\"));
    EXPECT_EQ(b.length, 4u);

    b.length = 99;
    EXPECT_FALSE(b.Query("\\StringFileInfo\\040904E4\\Nothing"));
    EXPECT_EQ(b.length, 0u);
    EXPECT_FALSE(b.Query("\\StringFileInfo\\040904E"));
}

// Sizes in Wine's 32-bit arithmetic: twice the resource plus four, or for a
// 16-bit resource four times what follows its fixed record (which wraps).
// A 16-bit block gets no "FE2X" after its tree.
TEST(CheckedBlock, SizesAsWineComputesThem)
{
    const std::pair<const char *, uint32_t> cases[] = {
        {"basic_pe32.dll", 1516},
        {"resource_size_top_bit.dll", 1516},
        {"resource_larger_than_64k.dll", 140004},
        {"ne_version.exe", (448 - 52) * 4},
        {"ne_length_below_fixed_info.exe", uint32_t(32 - 52) * 4},
    };
    for (const auto &[file, size] : cases)
        EXPECT_EQ(qv::reader::PathInfoSize(FilePath(file).c_str(), nullptr), size) << file;
    const Block b = Load("ne_version.exe");
    ASSERT_FALSE(b.bytes.empty());
    EXPECT_NE(std::memcmp(&b.bytes[b.Tree()], "FE2X", 4), 0);
}

TEST(CheckedBlock, RootWithoutFixedInfo)
{
    Block b = Load("root_without_fixed_info.dll");
    ASSERT_FALSE(b.bytes.empty());
    ASSERT_TRUE(b.Query("\\"));
    EXPECT_EQ(b.length, 0u);
    EXPECT_EQ(b.Offset(), 40); // after the key
}

TEST(CheckedBlock, DamagedFilesFailCleanly)
{
    for (const char *file : {"resource_runs_far_past_file.dll", "resource_rva_outside_sections.dll",
                             "directory_entry_count_huge.dll", "header_offset_past_file.dll",
                             "header_offset_negative.dll", "truncated_in_section_table.dll",
                             "native_only/data_entry_outside_directory.dll"})
        EXPECT_TRUE(Load(file).bytes.empty()) << file;
}

// The queries stay inside the buffer they are given: a tree that claims more
// than was read, or a buffer too short for the 8-bit copies, fails a string
// query where Wine would read or write past it.
TEST(CheckedBlock, QueriesStayInsideTheBuffer)
{
    Block tree = Load("tree_longer_than_resource.dll");
    ASSERT_FALSE(tree.bytes.empty());
    EXPECT_FALSE(tree.Query("\\StringFileInfo\\040904E4\\FileVersion"));
    EXPECT_EQ(tree.length, 0u);

    void *pointer = nullptr;
    unsigned length = 99;
    std::string path = FilePath("basic_pe32.dll");
    const uint32_t size = qv::reader::PathInfoSize(path.c_str(), nullptr);
    uint32_t half = (size - 4) / 2; // the resource, without room for the copies
    std::vector<unsigned char> block(size, 0);
    ASSERT_TRUE(qv::reader::PathInfoRead(path.c_str(), 0, half, block.data()));
    EXPECT_TRUE(BlockValueQuery(block.data(), half, "\\", &pointer, &length));
    const char *company = "\\StringFileInfo\\040904E4\\CompanyName";
    EXPECT_FALSE(BlockValueQuery(block.data(), half, company, &pointer, &length));
    EXPECT_TRUE(BlockValueQuery(block.data(), size, company, &pointer, &length));
    EXPECT_FALSE(BlockValueQuery(block.data(), 4, "\\", &pointer, &length));
    // Why each query fails: cut inside the root's key, before its value,
    // before the 8-bit copies, or before the root's header.
    const std::tuple<uint32_t, const char *, Refusal> reasons[] = {
        {30, "\\", Refusal::key_leaves_block},
        {39, "\\", Refusal::value_past_block},
        {half, company, Refusal::copy_leaves_block},
        {4, "\\", Refusal::block_too_short},
        {size, "\\StringFileInfo\\040904E4\\Nothing", Refusal::no_such_value},
    };
    for (const auto &[cut, sub_block, refusal] : reasons)
        EXPECT_EQ(RefusalName(BlockQueryRefusal(block.data(), cut, sub_block)),
                  RefusalName(refusal));
    EXPECT_FALSE(qv::reader::PathInfoRead(path.c_str(), 0, size, nullptr));
    // Room for the tree and "FE2X" exactly: the signature is written.
    block.assign(size, 0);
    ASSERT_TRUE(qv::reader::PathInfoRead(path.c_str(), 0, half + 4, block.data()));
    EXPECT_EQ(std::memcmp(&block[half], "FE2X", 4), 0);
    // Values that run one byte past the end of a view are not read.
    const ByteView nine{{block.data(), 9}};
    EXPECT_EQ(nine.Read<uint16_t>(8), std::nullopt);
    EXPECT_EQ(nine.Read<uint32_t>(6), std::nullopt);
    EXPECT_EQ(nine.Read<uint64_t>(2), std::nullopt);
}

// One query keeps the file it measured open for the read that follows; a
// read for another path (or without a size first) must still read that path.
TEST(VersionSession, ReadFollowsThePathItIsGiven)
{
    const std::string first = FilePath("basic_pe32.dll");
    for (const std::string &read : {first, FilePath("strings_non_ascii.dll")}) {
        uint32_t expected_size = qv::reader::PathInfoSize(read.c_str(), nullptr);
        ASSERT_NE(expected_size, 0u);
        std::vector<unsigned char> expected(expected_size + 1, 0), got(expected_size + 1, 0);
        ASSERT_TRUE(qv::reader::PathInfoRead(read.c_str(), 0, expected_size, expected.data()));

        const VersionApiHandle api = OpenVersionApi();
        ASSERT_TRUE(api);
        uint32_t handle = 7;
        EXPECT_NE(ApiInfoSize(*api, first.c_str(), &handle), 0u);
        EXPECT_EQ(handle, 0u);
        EXPECT_TRUE(ApiInfoRead(*api, read.c_str(), handle, expected_size, got.data()));
        EXPECT_EQ(got, expected) << read;
    }
    VersionApiHandle api = OpenVersionApi();
    std::vector<unsigned char> block(4096, 0);
    EXPECT_TRUE(ApiInfoRead(*api, first.c_str(), 0, 4096, block.data())); // no size asked first
    // Only the block last read is queried, not a copy of it.
    const std::vector<unsigned char> copy = block;
    void *pointer = nullptr;
    unsigned length = 0;
    EXPECT_TRUE(ApiValueQuery(*api, block.data(), "\\", &pointer, &length));
    EXPECT_FALSE(ApiValueQuery(*api, copy.data(), "\\", &pointer, &length));
    uint32_t handle = 0;
    EXPECT_EQ(ApiInfoSize(*api, FilePath("no_version_resource.dll").c_str(), &handle), 0u);
    EXPECT_FALSE(
        ApiInfoRead(*api, FilePath("no_version_resource.dll").c_str(), 0, 4096, block.data()));
}

} // namespace
