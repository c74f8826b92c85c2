// Writes small PE files with version resources the resource compiler cannot
// make: odd length conventions, several tables and languages, damaged
// directories and lengths, truncations. Each file's name says what it holds.
//   make_version_files OUTDIR
// The files are tables of recipes, one family each: a name and the bytes,
// most of them a small change to a common image.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using Files = std::vector<std::pair<std::string, Bytes>>;

void Put(Bytes &b, size_t at, uint32_t v, int width = 4)
{
    for (int i = 0; i < width; i++)
        b[at + i] = uint8_t(v >> (8 * i));
}

uint32_t Get32(const Bytes &b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

// One change to a file: the little-endian word of `width` bytes at `at`.
struct Edit {
    size_t at;
    uint32_t value;
    int width = 4;
};

Bytes Set(Bytes b, std::initializer_list<Edit> edits)
{
    for (const Edit &e : edits)
        Put(b, e.at, e.value, e.width);
    return b;
}

Bytes Head(const Bytes &b, size_t n)
{
    return Bytes(b.begin(), b.begin() + n);
}

Bytes Grow(Bytes b, size_t n, uint8_t fill = 0)
{
    b.resize(b.size() + n, fill);
    return b;
}

// `x` after `edit`: a recipe's variation on a common part.
template <typename T, typename F>
T With(T x, F edit)
{
    edit(x);
    return x;
}

void Pad4(Bytes &b)
{
    while (b.size() % 4 != 0)
        b.push_back(0);
}

// One node of the version tree. value_length and length, when not -1,
// replace the computed wValueLength and wLength.
struct Node {
    std::u16string key;
    uint16_t type = 1;
    Bytes value = {};
    int value_length = -1;
    int length = -1;
    std::vector<Node> children = {};
};

// The 32-bit layout of a version tree: wLength, wValueLength, wType, UTF-16
// key; or the 16-bit one: wLength, wValueLength in bytes, 8-bit key and text.
Bytes Serialize(const Node &n, bool wide = true)
{
    Bytes b(wide ? 6 : 4, 0);
    for (char16_t c : n.key + u'\0')
        for (int i = 0; i < (wide ? 2 : 1); i++)
            b.push_back(uint8_t(c >> (8 * i)));
    Pad4(b);
    const size_t value_at = b.size();
    for (size_t i = 0; i < n.value.size(); i += wide || n.type == 0 ? 1 : 2)
        b.push_back(n.value[i]);
    const uint32_t value_length = uint32_t(b.size() - value_at) / (wide && n.type ? 2 : 1);
    for (const Node &child : n.children) {
        Pad4(b);
        Bytes c = Serialize(child, wide);
        b.insert(b.end(), c.begin(), c.end());
    }
    Put(b, 0, n.length >= 0 ? uint32_t(n.length) : uint32_t(b.size()), 2);
    Put(b, 2, n.value_length >= 0 ? uint32_t(n.value_length) : value_length, 2);
    if (wide)
        Put(b, 4, n.type, 2);
    return b;
}

Node Text(const std::u16string &key, const std::u16string &text)
{
    Node n{key};
    for (char16_t c : text + u'\0')
        n.value.insert(n.value.end(), {uint8_t(c), uint8_t(c >> 8)});
    return n;
}

// Signature, structure version, file version 1.2.3.4, product version
// 5.6.7.8, OS (NT, Win32), type (DLL).
Bytes FixedInfo()
{
    const std::initializer_list<Edit> fields = {
        {0, 0xFEEF04BD},  {4, 0x00010000},  {8, 0x00010002},  {12, 0x00030004},
        {16, 0x00050006}, {20, 0x00070008}, {32, 0x00040004}, {36, 0x00000002}};
    return Set(Bytes(52, 0), fields);
}

std::vector<Node> StandardStrings(const std::u16string &tag)
{
    return {Text(u"CompanyName", u"Example Company " + tag),
            Text(u"FileDescription", u"Example file " + tag),
            Text(u"FileVersion", u"1.2.3.4"),
            Text(u"InternalName", u"example"),
            Text(u"LegalCopyright", u"Copyright (C) Example"),
            Text(u"OriginalFilename", u"example.dll"),
            Text(u"ProductName", u"Example Product"),
            Text(u"ProductVersion", u"5.6.7.8"),
            Text(u"Comments", u"Comment " + tag)};
}

Node Parent(const std::u16string &key, std::vector<Node> children)
{
    return Node{.key = key, .children = std::move(children)};
}

Node Table(const std::u16string &key, const std::u16string &tag)
{
    return Parent(key, StandardStrings(tag));
}

Node StringFileInfo(std::vector<Node> tables)
{
    return Parent(u"StringFileInfo", std::move(tables));
}

// The translation list: WORD language, WORD code page, ...
Node VarFileInfo(Bytes translations)
{
    return Parent(u"VarFileInfo", {{.key = u"Translation", .type = 0, .value = translations}});
}

Node Root(std::vector<Node> children)
{
    return {.key = u"VS_VERSION_INFO", .type = 0, .value = FixedInfo(), .children = children};
}

Node Listed(std::vector<Node> tables, Bytes list = {0x09, 0x04, 0xE4, 0x04})
{
    return Root({StringFileInfo(std::move(tables)), VarFileInfo(std::move(list))});
}

Node StandardRoot(const std::u16string &tag = u"")
{
    return Listed({Table(u"040904E4", tag)});
}

// A root with one table of `strings`, 040904E4, and no translation list.
Node OneTable(std::vector<Node> strings)
{
    return Root({StringFileInfo({Parent(u"040904E4", std::move(strings))})});
}

struct Resource {
    uint16_t language;
    Bytes data;
};

constexpr uint32_t kSectionRva = 0x1000, kSectionFile = 0x200;

// The resource section: root -> type 16 -> id 1 -> one entry per language,
// then a data entry per language, then the resources' bytes. Where the
// parts a damaged file alters lie in it: the root's entry for type 16, the
// type directory's entry for id 1, the language entries, the data entries.
constexpr uint32_t kTypeEntry = 16, kNameEntry = 40, kLanguageEntries = 64;
constexpr uint32_t DataEntries(uint32_t count)
{
    return kLanguageEntries + 8 * count;
}

Bytes ResourceSection(const std::vector<Resource> &resources)
{
    const uint32_t count = uint32_t(resources.size()), entries = DataEntries(count);
    Bytes b = Set(Bytes(entries + 16 * count, 0), {{14, 1, 2},
                                                   {kTypeEntry, 16},
                                                   {kTypeEntry + 4, 0x80000000u | 24},
                                                   {24 + 14, 1, 2},
                                                   {kNameEntry, 1},
                                                   {kNameEntry + 4, 0x80000000u | 48},
                                                   {48 + 14, count, 2}});
    for (uint32_t i = 0; i < count; i++) {
        Put(b, kLanguageEntries + 8 * i, resources[i].language);
        Put(b, kLanguageEntries + 8 * i + 4, entries + 16 * i);
    }
    for (uint32_t i = 0; i < count; i++) {
        Pad4(b);
        Put(b, entries + 16 * i, kSectionRva + uint32_t(b.size()));
        Put(b, entries + 16 * i + 4, uint32_t(resources[i].data.size()));
        b.insert(b.end(), resources[i].data.begin(), resources[i].data.end());
    }
    return b;
}

// Header offsets of the 32-bit images Image() writes, and in them, for one
// resource, its data entry and its bytes.
constexpr size_t kOptional = 64 + 24, kSectionHeader = kOptional + 224;
constexpr size_t kDataEntry = kSectionFile + DataEntries(1), kFirstData = kDataEntry + 16;

// `b` with a section header after the last one, and SizeOfImage grown to
// take the section in; its bytes are not written.
Bytes AddSection(Bytes b, uint32_t rva, uint32_t virtual_size, uint32_t raw_pointer,
                 uint32_t raw_size, uint32_t flags = 0x40000040)
{
    const uint32_t count = b[64 + 6] | b[64 + 7] << 8, optional_size = b[64 + 20] | b[64 + 21] << 8;
    const size_t sh = kOptional + optional_size + 40 * count;
    return Set(b, {{64 + 6, count + 1, 2},
                   {sh + 8, virtual_size},
                   {sh + 12, rva},
                   {sh + 16, raw_size},
                   {sh + 20, raw_pointer},
                   {sh + 36, flags},
                   {kOptional + 56,
                    std::max(Get32(b, kOptional + 56), (rva + virtual_size + 0xfff) & ~0xfffu)}});
}

// A DLL with one section, ".rsrc", holding the resources.
Bytes Image(const std::vector<Resource> &resources, bool pe64 = false)
{
    Bytes section = ResourceSection(resources);
    const uint32_t size = uint32_t(section.size()), raw_size = (size + 0x1ff) & ~0x1ffu;
    const size_t opt = kOptional, optional_size = pe64 ? 240 : 224;
    const size_t directories = opt + (pe64 ? 112 : 96);
    Bytes b = Set(Bytes(kSectionFile, 0),
                  {{0, 'M' | 'Z' << 8, 2},
                   {60, 64},
                   {64, 'P' | 'E' << 8, 2},
                   {64 + 4, pe64 ? 0x8664u : 0x14cu, 2},
                   {64 + 20, uint32_t(optional_size), 2},
                   {64 + 22, pe64 ? 0x2022u : 0x2102u, 2},
                   {opt, pe64 ? 0x20bu : 0x10bu, 2},
                   {opt + (pe64 ? 24 : 28), 0x10000000}, // ImageBase (its low half)
                   {opt + 32, 0x1000},                   // SectionAlignment
                   {opt + 36, 0x200},                    // FileAlignment
                   {opt + 40, 4, 2},                     // OS version
                   {opt + 48, 4, 2},                     // subsystem version
                   {opt + 60, kSectionFile},             // SizeOfHeaders
                   {opt + 68, 2, 2},                     // GUI subsystem
                   {directories - 4, 16},                // NumberOfRvaAndSizes
                   {directories + 16, kSectionRva},
                   {directories + 20, size}});
    std::copy_n(".rsrc", 5, b.begin() + opt + optional_size);
    section.resize(raw_size, 0);
    b.insert(b.end(), section.begin(), section.end());
    return AddSection(b, kSectionRva, size, kSectionFile, raw_size);
}

Bytes Simple(const Node &root, bool pe64 = false)
{
    return Image({{0x0409, Serialize(root)}}, pe64);
}

// Offsets inside the 16-bit executables NeImage() writes.
constexpr size_t kNeHeader = 0x40, kNeResources = kNeHeader + 0x40, kNeName = kNeResources + 2 + 8;

// A 16-bit (NE) executable whose resource table holds one version
// resource (type 0x8010, id 0x8001), in 16-byte units (shift 4), at 0x100.
Bytes NeImage(const Bytes &resource)
{
    const Bytes table =
        Set(Bytes(2 + 8 + 12 + 2 + 2, 0), {{0, 4, 2}, // alignment shift
                                           {2, 0x8010, 2},
                                           {4, 1, 2},
                                           {10, 0x100 >> 4, 2},
                                           {12, uint32_t(resource.size() + 15) >> 4, 2},
                                           {14, 0x0030, 2},
                                           {16, 0x8001, 2}});
    Bytes b = Set(Bytes(kNeResources, 0), {{0, 'M' | 'Z' << 8, 2},
                                           {60, kNeHeader},
                                           {kNeHeader, 'N' | 'E' << 8, 2},
                                           {kNeHeader + 54, 2, 1},    // Windows
                                           {kNeHeader + 36, 0x40, 2}, // resource table
                                           {kNeHeader + 38, 0x40 + uint32_t(table.size()), 2}});
    b.insert(b.end(), table.begin(), table.end());
    b.resize(0x100, 0);
    b.insert(b.end(), resource.begin(), resource.end());
    b.resize((b.size() + 15) & ~size_t(15), 0);
    return b;
}

// Version trees of unusual shapes and strings, each in the one resource of
// a plain image.
Files TreeFiles()
{
    // The file's own tables, in the order its translation list names them
    // (GetFileVersionEx). Blank and empty strings: StandardStrings' tags.
    const std::vector<Node> empty_strings = {Text(u"CompanyName", u""), Text(u"FileVersion", u""),
                                             Text(u"ProductName", u" ")};
    auto each_string = [](auto edit) {
        std::vector<Node> strings = StandardStrings(u"");
        for (Node &s : strings)
            edit(s);
        return Simple(OneTable(strings));
    };
    auto root = [](auto edit) { return Simple(With(StandardRoot(), edit)); };
    auto languages = [](uint16_t a, const char16_t *a_tag, uint16_t b, const char16_t *b_tag) {
        return Image({{a, Serialize(StandardRoot(a_tag))}, {b, Serialize(StandardRoot(b_tag))}});
    };
    auto units = [](uint32_t first, uint32_t step) {
        std::u16string s;
        for (uint32_t i = 0; i < 255; i++)
            s += char16_t(first + step * i);
        return s;
    };
    const std::vector<Node> without_file_version =
        With(StandardStrings(u""), [](auto &s) { s.erase(s.begin() + 2); });
    const int tree_size = int(Serialize(StandardRoot()).size());
    const Bytes mixed = Simple(Root({StringFileInfo(
        {Parent(u"040904e4", {Text(u"COMPANYNAME", u"upper"), Text(u"fileversion", u"2.0"),
                              Text(u"ProductName\u212a", u"kelvin")})})}));
    return {
        {"basic_pe32.dll", Simple(StandardRoot())},
        {"basic_pe32plus.dll", Simple(StandardRoot(), true)},
        {"basic_no_extension", Simple(StandardRoot())},
        // Comments: wValueLength 0, no value at all; ProductName: just the
        // terminating zero; FileVersion: no characters.
        {"string_length_zero.dll", Simple(OneTable(With(StandardStrings(u""),
                                                        [](auto &s) {
                                                            s.back() = Parent(u"Comments", {});
                                                            s[6] = Text(u"ProductName", u"");
                                                            s[2].value_length = 0;
                                                        })))},
        // Lengths in bytes, not characters; binary, where wValueLength
        // counts bytes; binary, but counted in characters.
        {"string_lengths_in_bytes.dll",
         each_string([](Node &s) { s.value_length = int(s.value.size()); })},
        {"strings_binary_typed.dll", each_string([](Node &s) { s.type = 0; })},
        {"strings_binary_typed_char_lengths.dll", each_string([](Node &s) {
             s.type = 0;
             s.value_length = int(s.value.size() / 2);
         })},
        {"varfileinfo_first.dll", Simple(Root({VarFileInfo({0x09, 0x04, 0xE4, 0x04}),
                                               StringFileInfo({Table(u"040904E4", u"")})}))},
        {"string_tables_several.dll",
         Simple(Listed({Table(u"040704B0", u"de"), Table(u"040904B0", u"unicode"),
                        Table(u"040904e4", u"ansi")}))},
        {"tables_unicode_only.dll",
         Simple(Listed({Table(u"040904B0", u"unicode")}, {0x09, 0x04, 0xB0, 0x04}))},
        {"translation_names_missing_table.dll",
         Simple(Listed({Table(u"040904b0", u"lower key")}, {0x07, 0x04, 0xB0, 0x04}))},
        {"translation_first_table_lacks_field.dll",
         Simple(Listed({Parent(u"040704E4", {Text(u"FileDescription", u"Datei")}),
                        Table(u"040904B0", u"second")},
                       {0x07, 0x04, 0xE4, 0x04, 0x09, 0x04, 0xB0, 0x04}))},
        {"translation_german_table.dll",
         Simple(Listed({Table(u"040904E4", u"en"), Table(u"040704B0", u"de")},
                       {0x07, 0x04, 0xB0, 0x04}))},
        {"translation_partial_entry.dll",
         Simple(Listed({Table(u"04090000", u"no code page"), Table(u"040904E4", u"ansi")},
                       {0x07, 0x04, 0xB0, 0x04, 0x09, 0x04}))},
        {"translation_first_string_empty.dll",
         Simple(Listed(
             {Parent(u"040904B0", empty_strings),
              Parent(u"040904E4", {Text(u"CompanyName", u"ansi"), Text(u"FileVersion", u"")})},
             {0x09, 0x04, 0xB0, 0x04, 0x09, 0x04, 0xE4, 0x04}))},
        {"string_file_info_twice.dll",
         Simple(Root({StringFileInfo({Table(u"040704B0", u"first")}),
                      StringFileInfo({Table(u"040904E4", u"second")})}))},
        {"languages_german_and_english.dll", languages(0x0407, u"de", 0x0409, u"en")},
        {"languages_neutral_and_english.dll", languages(0x0000, u"neutral", 0x0409, u"en")},
        {"languages_english_uk_and_french.dll", languages(0x040C, u"fr", 0x0809, u"uk")},
        {"languages_german_and_french.dll", languages(0x0407, u"de", 0x040C, u"fr")},
        // No fixed record, and no FileVersion string to stand in for it.
        {"root_without_fixed_info.dll",
         Simple(With(OneTable(without_file_version), [](Node &n) { n.value.clear(); }))},
        {"child_runs_past_parent.dll", // past its table
         root([](Node &n) { n.children[0].children[0].children[0].length = 0x400; })},
        {"child_length_zero.dll", // stops the walk
         root([](Node &n) { n.children[0].children[0].children[1].length = 0; })},
        {"value_length_past_tree.dll",
         root([](Node &n) { n.children[0].children[0].children[2].value_length = 0x300; })},
        {"tree_longer_than_resource.dll", // more than the resource holds
         root([](Node &n) { n.length = 0x2000; })},
        {"root_length_4096.dll", root([](Node &n) { n.length = 0x1000; })},
        {"root_length_65535.dll", root([](Node &n) { n.length = 0xffff; })},
        {"root_type_looks_16bit.dll", // the byte Wine uses to tell 16-bit blocks
         root([](Node &n) { n.type = 0x41; })},
        {"root_length_6.dll", root([](Node &n) { n.length = 6; })},
        {"root_length_plus_1.dll", root([&](Node &n) { n.length = tree_size + 1; })},
        {"root_length_plus_8.dll", root([&](Node &n) { n.length = tree_size + 8; })},
        {"root_type_high_byte.dll", root([](Node &n) {
             n.type = 0x80; // a negative char where Wine tells the layouts apart
             n.value_length = 52;
         })},
        // The root's wLength ends inside CompanyName, after its key and
        // before its value (the root's header 40 and fixed record 52,
        // StringFileInfo's header 36, the table's 24: CompanyName at 152,
        // its key up to 182, its value at 184). "FE2X" goes over the key's
        // padding and the value's first character, and the 8-bit copies
        // have no room.
        {"string_value_past_root_length.dll", root([](Node &n) { n.length = 182; })},
        {"edges/string_value_at_root_length.dll", root([](Node &n) { n.length = 184; })},
        // A root twice the resource: "FE2X" fills the block's last bytes.
        {"edges/root_length_twice_resource.dll", root([&](Node &n) { n.length = 2 * tree_size; })},
        // Two bytes longer: "FE2X" would end one byte past the vetting buffer.
        {"edges/root_length_twice_resource_plus_2.dll",
         root([&](Node &n) { n.length = 2 * tree_size + 2; })},
        {"resource_larger_than_64k.dll",
         Image({{0x0409, With(Serialize(StandardRoot()), [](Bytes &b) { b.resize(70000, 0); })}})},
        {"strings_non_ascii.dll",
         Simple(OneTable(
             {Text(u"CompanyName", u"Caf\u00e9 \u20ac \u2122 \u03a9 \u0141\u00f3d\u017a \u4e2d"),
              Text(u"FileDescription", u"pair \U0001F600 end"),
              Text(u"ProductName",
                   std::u16string(u"lone ") + char16_t(0xD800) + u" x " + char16_t(0xDC00)),
              Text(u"InternalName",
                   u"fullwidth \uFF21\uFF22 dash \u2014 quote \u201c\u201d \uFFFD"),
              Text(u"FileVersion", u"1.0"),
              Text(u"Comments", std::u16string(u"embedded") + char16_t(0) + u"zero")}))},
        // Every code unit from 0 to 0xFF (0 ends CompanyName), runs of those
        // above, and a stride over all of them, for the 8-bit copies.
        {"strings_code_units.dll",
         Simple(OneTable(
             {Text(u"CompanyName", units(1, 1)), Text(u"FileDescription", units(0x100, 1)),
              Text(u"InternalName", units(0x2000, 1)), Text(u"LegalCopyright", units(0x2100, 1)),
              Text(u"OriginalFilename", units(0xFF00, 1)), Text(u"Comments", units(0x280, 1)),
              Text(u"ProductName", units(0x100, 0x101))}))},
        {"keys_mixed_case.dll", mixed},
        // Cut before the resource but inside the section's last sector: the
        // image maps, and the resource reads as the zeros after the file.
        {"truncated_before_resource.dll", Head(mixed, 594)},
        {"no_version_resource.dll", Image({})},
        {"empty_file.dll", Bytes()},
        {"not_an_image.dll", Bytes{'h', 'e', 'l', 'l', 'o'}},
    };
}

// The plain image `b`, one word or a few changed: damaged headers,
// directories and sizes, and images the loader maps otherwise than the
// parser reads them.
Files DamagedFiles(const Bytes &b)
{
    const uint32_t size = Get32(b, kDataEntry + 4);
    const Bytes not_dir = Set(b, {{kSectionFile + kTypeEntry + 4, 24}}); // directory flag cleared
    const Bytes far = Set(b, {{kDataEntry + 4, 0x20000}});               // size past the page
    const Bytes no_rva = Set(b, {{kOptional + 92, 2}}); // resource directory not counted
    const Bytes unreadable = Set(b, {{kSectionHeader + 36, 0x00000040}});
    const Bytes machine = Set(b, {{64 + 4, 0x1234, 2}});
    Files files = {
        {"directory_loops_to_root.dll", Set(b, {{kSectionFile + kTypeEntry + 4, 0x80000000u}})},
        {"directory_loops_to_parent.dll", // name -> type
         Set(b, {{kSectionFile + kNameEntry + 4, 0x80000000u | 16}})},
        {"directory_points_outside.dll",
         Set(b, {{kSectionFile + kNameEntry + 4, 0x80000000u | 0x7ffff000u}})},
        {"directory_flag_missing.dll", not_dir},
        {"resource_runs_past_file.dll", Set(b, {{kDataEntry + 4, 0x3000}})}, // size past the file
        {"resource_runs_far_past_file.dll", far},
        {"resource_size_zero.dll", Set(b, {{kDataEntry + 4, 0}})},
        {"resource_rva_outside_sections.dll", Set(b, {{kDataEntry, 0x9000}})}, // in no section
        {"directory_entry_count_huge.dll", // entries run off the section
         Set(b, {{kSectionFile + 14, 0xffff, 2}})},
        {"truncated_in_headers.dll", Head(b, 150)},
        {"truncated_in_section_table.dll", Head(b, kSectionHeader + 20)},
        {"truncated_in_directory.dll", Head(b, kSectionFile + 40)},
        {"truncated_in_resource.dll", Head(b, kFirstData + 100)},
        // Cut inside the section's last 512 bytes: Wine still maps it.
        {"truncated_in_last_sector.dll", Head(b, b.size() - 511)},
        {"signature_not_pe.dll", Set(b, {{66, 'X', 1}})},
        {"signature_pe_then_garbage.dll", Set(b, {{66, 1, 1}})}, // "PE" kept, the zeros not
        {"header_offset_past_file.dll", Set(b, {{60, 0x7ffffff0u}})},
        {"header_offset_negative.dll", Set(b, {{60, 0xfffffff0u}})},
        {"rva_count_excludes_resources.dll", no_rva},
        // The section ends at its raw size, whatever its virtual size says.
        {"section_virtual_size_zero.dll", Set(b, {{kSectionHeader + 8, 0}})},
        {"section_virtual_size_small.dll", // the root directory only
         Set(b, {{kSectionHeader + 8, 16}})},
        {"folder.with.dot/resource_runs_far_past_file", far},
        {"size_of_headers_far_past_file.dll", Set(b, {{kOptional + 60, 0xFF0400}})},
        // The loader maps VirtualSize of it, as if another section followed.
        {"section_raw_size_far_past_file.dll",
         Grow(Set(b, {{kSectionHeader + 16, 0x100000}}), 0x1000)},
        {"leaf_entry_directory_flag.dll",
         Set(b, {{kSectionFile + kLanguageEntries + 4, 0x80000000u | DataEntries(1)}})},
        {"section_virtual_address_zero.dll", Set(b, {{kSectionHeader + 12, 0}})},
        {"rsrc_not_readable.dll", unreadable},
        // Images the loader refuses, whose unreadable .rsrc the parser then
        // reads: a section address inside a page, and more image than a
        // 32-bit process can map.
        {"section_address_inside_page.dll",
         Set(unreadable, {{kSectionHeader + 12, kSectionRva + 0x80},
                          {kOptional + 96 + 16, kSectionRva + 0x80},
                          {kDataEntry, kSectionRva + 0x80 + kFirstData - kSectionFile},
                          {kOptional + 56, 0x4000}})}, // room for the section where it lies
        {"image_size_huge.dll", Set(unreadable, {{kOptional + 56, 0x30000000}})},
        // The image's size is rounded to a page, not to a 64 KiB section
        // alignment: the section lies past it, and the loader refuses it.
        {"section_alignment_past_image.dll",
         Set(unreadable, {{kOptional + 32, 0x10000}, {kOptional + 56, 0x1000}})},
        // A section the parser would need 768 MiB for: Wine cannot get them.
        {"section_virtual_size_huge.dll", Set(b, {{kSectionHeader + 8, 0x30000000}})},
        {"section_virtual_size_513_mib.dll", // Wine still gets them
         Set(b, {{kSectionHeader + 8, 0x20100000}})},
        {"resource_directory_size_8.dll", // less than one directory
         Set(b, {{kOptional + 96 + 20, 8}})},
        {"resource_size_top_bit.dll", Set(b, {{kDataEntry + 4, 0x80000000u | size}})},
        {"resource_rva_in_section_gap.dll",
         Set(Grow(AddSection(b, 0x3000, 0x200, uint32_t(b.size()), 0x200), 0x200),
             {{kDataEntry, 0x2100}})},
        {"resource_runs_past_file_later_section_cut.dll", // the second section not in the file
         Set(AddSection(b, 0x2000, 0x1000, uint32_t(b.size()), 0x1000),
             {{kDataEntry + 4, 0x20000}})},
        {"machine_unknown.dll", machine},
        {"machine_unknown_resource_cut.dll", Head(machine, machine.size() - 300)},
        // For the reasons' table (a folder of their own, see TableChoiceFiles).
        {"reasons/signature_neither_pe_nor_ne.dll", Set(b, {{64, 'X', 1}})},
        {"reasons/optional_magic_unknown.dll", Set(b, {{kOptional, 0x999, 2}})},
        {"reasons/directory_in_no_section.dll", Set(machine, {{kOptional + 96 + 16, 0x9000}})},
        {"reasons/data_in_no_section.dll", Set(machine, {{kDataEntry, 0x9000}})},
    };
    // Without an extension: mapped when named with a folder, whether or not
    // the folder's name has a dot; parsed when named bare.
    for (const std::string folder : {"", "folder/", "folder.with.dot/"}) {
        files.push_back({folder + "directory_flag_missing", not_dir});
        files.push_back({folder + "rva_count_excludes_resources", no_rva});
        files.push_back({folder + "truncated_in_last_sector", Head(b, b.size() - 511)});
    }
    return files;
}

// The plain image `b` with a second section, or the version data moved
// against a section's edge.
Files SectionFiles(const Bytes &b)
{
    const uint32_t size = Get32(b, kDataEntry + 4), raw_size = uint32_t(b.size()) - kSectionFile;
    const auto resource = b.begin() + kFirstData;
    // A copy of the headers mapped over them, with another section count,
    // which the loader reads again after each section it maps and each one
    // whose access it sets.
    auto headers_mapped_over = [&](const Bytes &x, uint16_t count, bool copy_first) {
        Bytes y = AddSection(x, 0, 0x200, uint32_t(x.size()), 0x200);
        if (copy_first)
            std::swap_ranges(y.begin() + kSectionHeader, y.begin() + kSectionHeader + 40,
                             y.begin() + kSectionHeader + 40);
        const Bytes copy = Set(Head(y, kSectionFile), {{64 + 6, count, 2}});
        y.insert(y.end(), copy.begin(), copy.end());
        return y;
    };
    const Bytes unreadable = Set(b, {{kSectionHeader + 36, 0x00000040}});
    const Bytes machine = Set(b, {{64 + 4, 0x1234, 2}});
    // The section at address 0 replaces the headers in memory: the lookup
    // finds no "MZ" there (the parser would find the resource).
    Bytes over = Grow(Head(b, kSectionFile), 0x20);
    over.insert(over.end(), b.begin() + kSectionFile, b.end());
    const uint32_t over_size = uint32_t(over.size()) - kSectionFile;
    over = Set(over, {{kDataEntry + 0x20, Get32(b, kDataEntry) - kSectionRva + 0x20},
                      {kSectionHeader + 8, over_size},
                      {kSectionHeader + 12, 0},
                      {kSectionHeader + 16, over_size},
                      {kOptional + 96 + 16, 0x20}});
    // The parser's data offset is 2 GiB or more: its seek fails and the
    // read goes on from the end of the section it read last, where a copy
    // of the resource lies.
    Bytes negative_seek =
        Set(AddSection(machine, 0x3000, 0x1000, 0x80000000u, 0x1000), {{kDataEntry, 0x3000}});
    negative_seek.insert(negative_seek.end(), resource, b.end());
    // The version data against a section's edge: at the first byte of a
    // second section (the first one's raw data ends at that address, and a
    // gap in the file lies between them; the copy without an extension is
    // for the parser), and at the end of the first, right before a section
    // without access: Wine copies no byte past the resource.
    Bytes at_start = Set(b, {{kSectionHeader + 16, 0x1000}});
    at_start.resize(kSectionFile + 0x1000 + 0x200, 0);
    at_start = AddSection(at_start, 0x2000, size, uint32_t(at_start.size()), 0x400);
    at_start.insert(at_start.end(), resource, resource + size);
    at_start = Set(Grow(at_start, 0x400 - size), {{kDataEntry, 0x2000}});
    Bytes at_end = Set(b, {{kSectionHeader + 8, 0x1000}, {kSectionHeader + 16, 0x1000}});
    at_end.resize(kSectionFile + 0x1000, 0);
    std::copy_n(resource, size, at_end.end() - size);
    at_end = Grow(AddSection(Set(at_end, {{kDataEntry, 0x2000 - size}}), 0x2000, 0x200,
                             uint32_t(at_end.size()), 0x200, 0x00000040),
                  0x200, 0xff);
    // For the parser (the loader refuses the machine): the version type's
    // directory moved to the end of the section's raw data, claiming a
    // second entry past it after the version name.
    Bytes overhang = machine;
    std::copy_n(b.begin() + kSectionFile + 24, 24, overhang.end() - 24);
    overhang = Set(overhang, {{overhang.size() - 24 + 14, 2, 2},
                              {kSectionFile + kTypeEntry + 4, 0x80000000u | (raw_size - 24)}});
    // For the parser too: en-US's data entry in the section's last 8 bytes,
    // where no directory would fit; the first entry, de, answers.
    Bytes last = Set(
        Image({{0x0407, Serialize(StandardRoot(u"de"))}, {0x0409, Serialize(StandardRoot(u"en"))}}),
        {{64 + 4, 0x1234, 2}});
    std::copy_n(last.begin() + kSectionFile + DataEntries(2) + 16, 8, last.end() - 8);
    Put(last, kSectionFile + kLanguageEntries + 8 + 4, uint32_t(last.size()) - kSectionFile - 8);
    // A writable section, not shared, over the headers and the resource
    // section, with one sector of raw data (a copy of the headers): its
    // data fills one page, and the resources show through past it.
    Bytes writable = AddSection(b, 0, 0x1100, uint32_t(b.size()), 0x200, 0xC0000040u);
    const Bytes own_headers = Head(writable, kSectionFile);
    writable.insert(writable.end(), own_headers.begin(), own_headers.end());
    const Bytes zero_section = AddSection(b, 0, 0x1100, 0, 0, 0);
    // The version data from the last 16 bytes of a section's raw data on
    // through its zeros (not the file's bytes) into the next section.
    Bytes tail = Set(at_start, {{kSectionHeader + 16, 0x400}, {kDataEntry, 0x13F0}});
    std::fill(tail.begin() + kSectionFile + 0x400, tail.begin() + kSectionFile + 0x1000, 0xff);
    return {
        {"edges/version_data_through_zero_tail.dll", Set(tail, {{kDataEntry + 4, 0xC10 + size}})},
        {"section_at_address_zero_over_headers.dll", over},
        // A section of no size, not readable, at an address inside the
        // headers' page: it takes no page's access away.
        {"section_of_no_size_in_header_page.dll", AddSection(b, 4, 0, 0, 0, 0)},
        // Nor does one at an address inside a page: the loader fails to set
        // its access and goes on.
        {"section_inside_page_unreadable.dll", // room for its pages
         Set(AddSection(b, kSectionRva + 0x10, 0x10, 0, 0, 0), {{kOptional + 56, 0x4000}})},
        // One at address 0, not readable, over the headers and the
        // resources' page: the loader faults reading the section count from
        // the headers it has just made unreadable, and the parser reads the
        // file instead. Cut short by a byte, the resource section is too
        // short for the parser.
        {"section_at_address_zero_unreadable.dll", zero_section},
        {"section_at_address_zero_unreadable_cut.dll", Head(zero_section, zero_section.size() - 1)},
        // A shared writable section: zeros from the server's copy over the
        // headers, however readable.
        {"section_shared_over_headers.dll", AddSection(b, 0, 0x1100, 0, 0, 0x90000000u)},
        // 0 after the last section: no section's access is set, and the
        // unreadable resource section stays readable.
        {"section_count_zero_in_mapped_headers.dll", headers_mapped_over(unreadable, 0, false)},
        // 1 after the first: the resource section is never mapped.
        {"section_count_one_in_mapped_headers.dll", headers_mapped_over(b, 1, true)},
        {"resource_offset_negative.dll", negative_seek},
        {"version_data_at_section_start.dll", at_start},
        {"version_data_at_section_start", at_start},
        {"version_data_at_section_end.dll", at_end},
        // The version data in a section without read, write or execute
        // access; the directory's section is readable.
        {"version_data_section_not_readable.dll",
         Set(at_start, {{kSectionHeader + 40 + 36, 0x00000040}})},
        // So is one of a single byte over it: its page loses its access too.
        {"edges/version_data_under_one_byte_section.dll", AddSection(at_start, 0x2000, 1, 0, 0, 0)},
        {"directory_entry_past_section.dll", overhang},
        {"language_entry_in_last_16_bytes.dll", last},
        {"section_writable_over_resources.dll", writable},
        {"edges/version_data_from_writable_zero_tail.dll", // 16 zeros, then the resources
         Set(writable,
             {{kDataEntry, 0xFF0}, {kDataEntry + 4, size + Get32(b, kDataEntry) - 0xFF0}})},
    };
}

// Limits on both sides and images at their edges. The Wine comparison leaves
// out native_only/, where Wine would allocate 592 MiB or read past its buffer.
Files EdgeFiles(const Bytes &b)
{
    const Bytes unreadable = Set(b, {{kSectionHeader + 36, 0x00000040}});
    // .rsrc, not readable, after room for 97 section headers, then `extra`
    // sections of no size: mapped, no answer; refused, the parser answers.
    auto sections = [&](uint32_t extra) {
        Bytes x = Head(unreadable, kSectionFile);
        x.resize(0x1200, 0);
        x.insert(x.end(), unreadable.begin() + kSectionFile, unreadable.end());
        x = Set(x, {{kSectionHeader + 12, 0x2000}, {kSectionHeader + 20, 0x1200}});
        x = Set(x, {{kOptional + 56, 0x3000}, {kOptional + 60, 0x1200}, {kOptional + 112, 0x2000}});
        x = Set(x, {{kDataEntry + 0x1000, Get32(b, kDataEntry) + 0x1000}});
        for (uint32_t i = 0; i < extra; i++)
            x = AddSection(x, 0x3000, 0, 0, 0);
        return x;
    };
    // The resources after 0x100 bytes of other data (merged into .rdata): de,
    // then en-US, whose data entry is in the section's last 8 bytes (PE32: too
    // few for the parser, which answers with de) or 16. Cut, the loader refuses it.
    auto merged = [](bool pe64) {
        Bytes x = Image(
            {{0x0407, Serialize(StandardRoot(u"de"))}, {0x0409, Serialize(StandardRoot(u"en"))}},
            pe64);
        const uint32_t gap = pe64 ? 16 : 8, end = uint32_t(x.size()) - kSectionFile - gap;
        const uint32_t entries = DataEntries(2);
        std::copy_n(x.begin() + kSectionFile + entries + 16, 8, x.end() - gap);
        Put(x, kSectionFile + kLanguageEntries + 8 + 4, end);
        x.insert(x.begin() + kSectionFile, 0x100, 0xCC);
        const size_t sh = kSectionHeader + (pe64 ? 16 : 0), at = kSectionFile + 0x100;
        for (const size_t at_word : {sh + 8, sh + 16, at + entries, at + end})
            Put(x, at_word, Get32(x, at_word) + 0x100);
        x = Set(Grow(x, 0x100), {{kOptional + (pe64 ? 128 : 112), kSectionRva + 0x100}});
        return std::pair{x, AddSection(x, 0x2000, 0x200, uint32_t(x.size()), 0x200)};
    };
    // Sections aligned as the file is, which is mapped as it is: the version
    // data past the section and the file's end reads as its bytes, then zeros.
    Bytes flat = Set(b, {{kOptional + 32, 0x200}, {kSectionHeader + 12, kSectionFile}});
    flat = Set(flat, {{kOptional + 112, kSectionFile}, {kDataEntry, uint32_t(b.size())}});
    Put(flat, kDataEntry + 4, Get32(b, kDataEntry + 4) + 0x100);
    flat.insert(flat.end(), b.begin() + kFirstData,
                b.begin() + kFirstData + Get32(b, kDataEntry + 4));
    // The NT headers and one section header of `b` at `nt`, after a DOS
    // header, padded to `size`.
    auto headers_at = [&](uint32_t nt, size_t size) {
        Bytes x = Set(Bytes(nt, 0), {{0, 'M' | 'Z' << 8, 2}, {60, nt}});
        x.insert(x.end(), b.begin() + 64, b.begin() + kSectionHeader + 40);
        x.resize(std::max(size, x.size()), 0);
        return x;
    };
    // The file ends where its section table does, and the resources lie
    // before the NT headers: the loader maps it, the lookup reads them.
    Bytes stub = headers_at(0x400, 0);
    std::copy_n(b.begin() + kSectionFile, 0x3C0, stub.begin() + 0x40);
    stub = Set(stub, {{0x400 + 24 + 112, 0x40}, {0x400 + 248 + 16, 0}, {0x400 + 248 + 20, 0}});
    Put(stub, 0x40 + DataEntries(1), Get32(b, kDataEntry) - 0xFC0);
    // The NT headers at `nt`, .rsrc (from 0x1200) at 0x2000, an unreadable
    // section of no data at 0x1000. At 0xFF8 the section count ends where
    // that section starts: mapped, the lookup fails reading the NT headers;
    // at 0xFFA the count lies in it: the loader faults. At 0xEB8 the section
    // table ends where the header page does.
    auto paged = [&](uint32_t nt, uint32_t header_size, uint32_t rsrc_flags) {
        Bytes x = headers_at(nt, 0x1200);
        x.insert(x.end(), b.begin() + kSectionFile, b.end());
        const uint32_t opt = nt + 24, sh = opt + 224;
        x = Set(x, {{nt + 6, 2, 2}, {opt + 56, 0x3000}, {opt + 60, header_size}});
        x = Set(x,
                {{opt + 112, 0x2000}, {sh + 12, 0x2000}, {sh + 20, 0x1200}, {sh + 36, rsrc_flags}});
        x = Set(x, {{sh + 48, 0x1000}, {sh + 52, 0x1000}, {sh + 76, 0x40}});
        Put(x, kDataEntry + 0x1000, Get32(b, kDataEntry) + 0x1000);
        return x;
    };
    const auto [merged32, cut32] = merged(false);
    const auto [merged64, cut64] = merged(true);
    return {
        {"edges/sections_96.dll", sections(95)},
        {"edges/sections_97.dll", sections(96)},
        {"edges/merged_pe32.dll", merged32},
        {"edges/merged_pe32_cut.dll", cut32},
        {"edges/merged_pe32plus.dll", merged64},
        {"edges/merged_pe32plus_cut.dll", cut64},
        {"edges/flat_image_data_past_sections.dll", flat},
        {"edges/file_ends_at_section_table.dll", stub},
        {"edges/section_count_before_unreadable_page.dll", paged(0xFF8, 0x1200, 0x40000040)},
        {"edges/section_count_in_unreadable_page.dll", paged(0xFFA, 0x1200, 0x40000040)},
        {"edges/section_count_in_mapped_data.dll", // the count read again from .rsrc: 0
         Set(paged(0xFFA, 0x1200, 0x40000040), {{0x111A + 16, 0x200}, {0x111A + 20, 0x1200}})},
        {"edges/section_table_ends_at_header_page.dll", paged(0xEB8, 0x1000, 0x40)},
        // A section whose data would start at the file's end (one byte past
        // its last whole sector) is refused; one shared and writable with
        // a raw size but no raw pointer has no data, and is mapped.
        {"edges/section_data_at_file_end.dll",
         AddSection(Grow(unreadable, 1), 0x2000, 0x1000, 0x601, 1)},
        {"edges/shared_section_without_raw_pointer.dll",
         AddSection(unreadable, 0x2000, 0x1000, 0, 0x10000, 0xD0000040)},
        // The data entry in the image's last 4 bytes: its size cannot be read
        // (Wine reads past the image).
        // Parsed: a resource section of 16 bytes holds the root's header alone.
        {"reasons/directory_of_16_bytes.dll",
         Set(b, {{64 + 4, 0x1234, 2}, {kSectionHeader + 8, 16}, {kSectionHeader + 16, 16}})},
        {"native_only/data_entry_at_image_end.dll",
         Set(b, {{kSectionFile + kLanguageEntries + 4, 0xFFC}})},
        {"edges/header_offset_below_2_gib.dll", Set(b, {{60, 0x7fffffffu}})},
        {"edges/header_offset_2_gib.dll", Set(b, {{60, 0x80000000u}})},
        {"edges/nt_headers_cut_at_optional_header.dll", Head(b, 64 + 24)},
        // The version data in the headers, which end half-way through it:
        // the rest of their page reads as zeros, not as the file's bytes.
        // Then the version data from where the headers end: zeros.
        {"edges/version_data_past_header_end.dll",
         Set(b, {{kOptional + 60, kFirstData + 0x80}, {kDataEntry, kFirstData}})},
        {"edges/version_data_at_header_end.dll", Set(b, {{kDataEntry, kSectionFile}})},
        {"edges/nt_headers_cut_before_optional_header.dll", Head(b, 64 + 23)},
        // The largest image mapped (.rsrc unreadable: no answer); one a page
        // larger goes to the parser.
        {"edges/image_size_below_largest.dll", Set(unreadable, {{kOptional + 56, 0x24fff000}})},
        {"native_only/image_size_largest.dll", Set(unreadable, {{kOptional + 56, 0x25000000}})},
        {"native_only/section_size_below_largest.dll", Set(b, {{kSectionHeader + 8, 0x24ffffff}})},
        {"native_only/section_size_largest.dll", Set(b, {{kSectionHeader + 8, 0x25000000}})},
        // The data entry in the parser's last 4 bytes: its size lies outside.
        {"native_only/data_entry_outside_directory.dll",
         Set(b, {{64 + 4, 0x1234, 2},
                 {kSectionFile + kLanguageEntries + 4, uint32_t(b.size()) - 0x204},
                 {b.size() - 4, Get32(b, kDataEntry)}})},
    };
}

// 16-bit executables: the plain one, damaged tables, offsets and lengths.
Files NeFiles()
{
    const Bytes tree = Serialize(StandardRoot(u"ne"), false);
    const Bytes ne = NeImage(tree);
    // Dialogs, one named and two numbered (one with the version's id),
    // before the version type, whose resource follows a named one: the walk
    // steps over each type's records. The name is a counted string after
    // the table's last type.
    Bytes types =
        Set(Bytes(87, 0),
            {{0, 4, 2}, {2, 0x8005, 2}, {4, 3, 2}, {46, 0x8010, 2}, {48, 2, 2}, {60, 80, 2}});
    const uint16_t dialogs[] = {80, 0x8001, 0x8002};
    for (uint32_t i = 0; i < 3; i++) // at offset 0: the file's start, not a version
        types = Set(types, {{12 + 12 * i, 2, 2}, {16 + 12 * i, dialogs[i], 2}});
    std::copy_n(ne.begin() + kNeName, 12, types.begin() + 66);
    std::copy_n("\5ABOUT", 6, types.begin() + 80);
    Bytes several = Set(ne, {{kNeHeader + 38, 0x40 + uint32_t(types.size()), 2}});
    std::copy(types.begin(), types.end(), several.begin() + kNeResources);
    return {
        {"ne_version.exe", ne},
        {"ne_no_version_type.exe", Set(ne, {{kNeResources + 2, 0x8006, 2}})},
        {"ne_no_version_id.exe", Set(ne, {{kNeName + 6, 0x8002, 2}})},
        {"ne_shift_zero.exe", // offsets and lengths in bytes
         Set(ne,
             {{kNeResources, 0, 2}, {kNeName, 0x100, 2}, {kNeName + 2, uint32_t(tree.size()), 2}})},
        {"ne_length_below_fixed_info.exe", // 32 bytes: less than the fixed record
         Set(ne, {{kNeName + 2, 2, 2}})},
        {"ne_offset_past_file.exe", Set(ne, {{kNeName, 0x1000, 2}})}, // past the end of the file
        // Offset 0x8000 << 16: a negative seek, so the read goes on after
        // the table.
        {"ne_offset_negative.exe",
         Set(ne, {{kNeResources, 16, 2}, {kNeName, 0x8000, 2}, {kNeName + 2, 2, 2}})},
        {"ne_table_cut_short.exe", // the table ends inside the type entry
         Set(ne, {{kNeHeader + 38, 0x40 + 10, 2}})},
        {"ne_table_empty.exe", Set(ne, {{kNeHeader + 38, 0x40, 2}})},
        {"reasons/ne_names_before_resources.exe", Set(ne, {{kNeHeader + 38, 0x3E, 2}})},
        {"ne_truncated_in_resource.exe", Head(ne, 0x100 + 100)},
        {"ne_truncated_in_header.exe", Head(ne, kNeHeader + 30)},
        {"ne_several_types.exe", several},
        {"edges/ne_shift_33.exe", // the low 5 bits: units of 2 bytes
         Set(ne, {{kNeResources, 33, 2}, {kNeName, 0x80, 2}, {kNeName + 2, 0x100, 2}})},
        // For the reasons' table: a resource table past the file's end, and
        // a resource exactly as long as the fixed record (a block of 0).
        {"reasons/ne_table_outside.exe", Set(ne, {{kNeHeader + 38, 0xF000, 2}})},
        {"reasons/ne_block_empty.exe",
         Set(ne, {{kNeResources, 0, 2}, {kNeName, 0x100, 2}, {kNeName + 2, 52, 2}})},
    };
}

// GetFileVersionEx's choice of table, in a folder of their own: the
// mutation tests take their sources from the top folder only, and their
// batches stay as they are.
Files TableChoiceFiles()
{
    const std::vector<Node> both = {Table(u"040904E4", u"ansi"), Table(u"040904B0", u"unicode")};
    std::vector<Node> twelve;
    for (const char16_t *field :
         {u"FileVersion", u"CompanyName", u"FileDescription", u"InternalName", u"LegalCopyright",
          u"OriginalFilename", u"ProductName", u"ProductVersion", u"Comments", u"LegalTrademarks",
          u"PrivateBuild", u"SpecialBuild"})
        twelve.push_back(Text(field, field + std::u16string(u" text")));
    return {
        // Of the default tables, 040904B0 comes first, whatever the file's
        // order, with no list or with one naming neither.
        {"table_choice/defaults_without_list.dll", Simple(Root({StringFileInfo(both)}))},
        {"table_choice/defaults_list_names_neither.dll",
         Simple(Listed(both, {0x07, 0x04, 0xB0, 0x04}))},
        // The first listed table lacks the field; the second listed one has
        // it, and so does a default table: the second listed one answers.
        {"table_choice/second_listed_before_default.dll",
         Simple(Listed({Parent(u"040704E4", {Text(u"FileDescription", u"Datei")}),
                        Table(u"040904B0", u"default"), Table(u"040C04B0", u"second listed")},
                       {0x07, 0x04, 0xE4, 0x04, 0x0C, 0x04, 0xB0, 0x04}))},
        {"table_choice/all_twelve_fields.dll",
         Simple(Listed({Parent(u"040904B0", twelve)}, {0x09, 0x04, 0xB0, 0x04}))},
        // A list of one entry and a half, before the tables: the half
        // entry's padding, two zeros, would name 04090000, which is there,
        // and is tried before the defaults if the half entry counts.
        {"table_choice/partial_entry_padding_names_table.dll",
         Simple(Root(
             {VarFileInfo({0x07, 0x04, 0xB0, 0x04, 0x09, 0x04}),
              StringFileInfo({Table(u"04090000", u"padding"), Table(u"040904E4", u"ansi")})}))},
    };
}

bool Write(const std::filesystem::path &path, const Bytes &b)
{
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);
    std::ofstream f(path, std::ios::binary);
    return f.write(reinterpret_cast<const char *>(b.data()), std::streamsize(b.size())) &&
           f.flush();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_version_files OUTDIR\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    const Bytes plain = Simple(StandardRoot());
    for (const Files &family : {TreeFiles(), DamagedFiles(plain), SectionFiles(plain), NeFiles(),
                                TableChoiceFiles(), EdgeFiles(plain)}) {
        for (const auto &[name, bytes] : family) {
            if (!Write(dir / name, bytes)) {
                std::fprintf(stderr, "cannot write %s\n", (dir / name).string().c_str());
                return 1;
            }
        }
    }
    return 0;
}
