// Why the reader or the checked block refused a file or a query: each place
// that gives up names its reason. The module's exports only test for
// Refusal::none; the names and texts are for tools (qvhost --explain), and
// nothing in the module refers to them, so the linker leaves them out.
#ifndef QV_READER_REFUSAL_H
#define QV_READER_REFUSAL_H

#include <array>
#include <cstdint>
#include <string_view>

namespace qv::reader {

enum class Refusal : uint8_t {
    none,
    // Opening the file.
    no_path,
    not_opened,
    not_read,
    no_memory,
    // What the file is.
    not_executable,
    header_offset_outside,
    not_pe_or_ne,
    unknown_magic,
    loader_undefined,
    headers_unreadable,
    // Finding the version resource.
    no_resource_directory,
    section_table_outside,
    directory_in_no_section,
    directory_section_outside,
    no_version_type,
    no_version_name,
    no_version_language,
    directory_loop,
    directory_unreadable,
    data_in_no_section,
    ne_table_empty,
    ne_table_outside,
    ne_walk_leaves_table,
    // The block the version resource gives.
    block_empty,
    block_too_large,
    data_unreadable,
    root_past_block,
    system_refused,
    // Queries on the block.
    block_too_short,
    no_such_value,
    key_leaves_block,
    value_past_block,
    copy_leaves_block,
    value_outside_block,
    no_terminator,
    value_empty,
    no_fixed_record,
    // The rules of GetFileVersion and GetFileVersionEx.
    unknown_field,
    not_in_table,
    in_no_table,
};

struct RefusalInfo {
    std::string_view name;
    std::string_view text;
};

inline constexpr std::array<RefusalInfo, 41> kRefusals = {{
    {"none", "no refusal"},
    {"no_path", "no file name was given"},
    {"not_opened", "the file cannot be opened (no such file, or no access)"},
    {"not_read", "the file cannot be read (a folder, a device, or a read error)"},
    {"no_memory", "no memory for the file's buffers"},
    {"not_executable", "not an executable: no \"MZ\" header, or a negative new header offset"},
    {"header_offset_outside", "the new header's offset is past the end of the file"},
    {"not_pe_or_ne", "the new header is neither PE nor NE"},
    {"unknown_magic", "the optional header is neither PE32 nor PE32+"},
    {"loader_undefined", "the loader would read section entries past the section table"},
    {"headers_unreadable", "the headers cannot be read in the image as the loader maps it"},
    {"no_resource_directory", "the image has no resource directory"},
    {"section_table_outside", "the section table runs past the end of the file"},
    {"directory_in_no_section", "no section holds the resource directory"},
    {"directory_section_outside",
     "the section holding the resource directory runs past the end of the file, is too large, "
     "or is too small for a directory"},
    {"no_version_type", "no version resource: the resource directory has no type 16 directory"},
    {"no_version_name", "no version resource: type 16 has no resource 1 directory"},
    {"no_version_language", "no version resource: resource 1 has no language entry"},
    {"directory_loop", "the resource directory points back to itself or to a directory above"},
    {"directory_unreadable",
     "the resource directory runs past the image or its section, or onto a page that is not "
     "readable"},
    {"data_in_no_section", "no section holds the version resource's data"},
    {"ne_table_empty", "the NE resource table is empty or ends before it starts"},
    {"ne_table_outside", "the NE resource table runs past the end of the file"},
    {"ne_walk_leaves_table", "walking the NE resource table leaves it"},
    {"block_empty", "the version resource is empty"},
    {"block_too_large", "the version block would need 512 MiB or more"},
    {"data_unreadable",
     "the version resource lies past the image or on a page that is not readable"},
    {"root_past_block",
     "the block is too short for its root's header, or the root claims more bytes than it holds"},
    {"system_refused", "the system's version functions gave no block"},
    {"block_too_short", "the block is too short for a node header"},
    {"no_such_value", "the block has no such value"},
    {"key_leaves_block", "a key or a child's length runs past the end of the block"},
    {"value_past_block", "the value starts past the end of the block"},
    {"copy_leaves_block", "the 8-bit copy of the string would run past the end of the block"},
    {"value_outside_block", "the value lies outside the block"},
    {"no_terminator", "the string has no terminating NUL inside the block"},
    {"value_empty", "the value is empty"},
    {"no_fixed_record", "the block has no whole fixed record (VS_FIXEDFILEINFO)"},
    {"unknown_field", "the rule does not know this field"},
    {"not_in_table", "the table the rule reads has no such string, or it is empty"},
    {"in_no_table", "no table the rule asks has this string"},
}};

constexpr std::string_view RefusalName(Refusal refusal)
{
    const auto index = static_cast<std::size_t>(refusal);
    return index < kRefusals.size() ? kRefusals[index].name : "unknown";
}

constexpr std::string_view RefusalText(Refusal refusal)
{
    const auto index = static_cast<std::size_t>(refusal);
    return index < kRefusals.size() ? kRefusals[index].text : "unknown";
}

static_assert(RefusalName(Refusal::in_no_table) == "in_no_table", "one entry per refusal");

} // namespace qv::reader

#endif
