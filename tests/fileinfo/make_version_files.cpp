// Writes small PE files with version resources the resource compiler cannot
// make: odd length conventions, several tables and languages, damaged
// directories and lengths, truncations. Each file's name says what it holds.
//   make_version_files OUTDIR
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes &b, size_t at, uint32_t v)
{
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}

void Put32(Bytes &b, size_t at, uint32_t v)
{
    Put16(b, at, v & 0xffff);
    Put16(b, at + 2, v >> 16);
}

void Pad4(Bytes &b)
{
    while (b.size() % 4 != 0)
        b.push_back(0);
}

void AppendUtf16(Bytes &b, const std::u16string &s, bool terminate)
{
    for (char16_t c : s) {
        b.push_back(uint8_t(c));
        b.push_back(uint8_t(c >> 8));
    }
    if (terminate) {
        b.push_back(0);
        b.push_back(0);
    }
}

// One node of the version tree. value_length and length, when not -1,
// replace the computed wValueLength and wLength.
struct Node {
    std::u16string key;
    uint16_t type = 1;
    Bytes value;
    int value_length = -1;
    int length = -1;
    std::vector<Node> children;
};

Bytes Serialize(const Node &n)
{
    Bytes b(6, 0);
    AppendUtf16(b, n.key, true);
    Pad4(b);
    b.insert(b.end(), n.value.begin(), n.value.end());
    for (const Node &child : n.children) {
        Pad4(b);
        Bytes c = Serialize(child);
        b.insert(b.end(), c.begin(), c.end());
    }
    uint32_t value_length = n.type ? uint32_t(n.value.size() / 2) : uint32_t(n.value.size());
    Put16(b, 0, n.length >= 0 ? uint32_t(n.length) : uint32_t(b.size()));
    Put16(b, 2, n.value_length >= 0 ? uint32_t(n.value_length) : value_length);
    Put16(b, 4, n.type);
    return b;
}

Node Text(const std::u16string &key, const std::u16string &text)
{
    Node n;
    n.key = key;
    AppendUtf16(n.value, text, true);
    return n;
}

Bytes FixedInfo()
{
    Bytes b(52, 0);
    Put32(b, 0, 0xFEEF04BD);
    Put32(b, 4, 0x00010000);
    Put32(b, 8, 0x00010002); // file version 1.2.3.4
    Put32(b, 12, 0x00030004);
    Put32(b, 16, 0x00050006); // product version 5.6.7.8
    Put32(b, 20, 0x00070008);
    Put32(b, 32, 0x00040004);
    Put32(b, 36, 0x00000002);
    return b;
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

Node Table(const std::u16string &name, std::vector<Node> strings)
{
    Node t;
    t.key = name;
    t.children = std::move(strings);
    return t;
}

Node StringFileInfo(std::vector<Node> tables)
{
    Node s;
    s.key = u"StringFileInfo";
    s.children = std::move(tables);
    return s;
}

// The translation list: WORD language, WORD code page, ...
Node VarFileInfo(Bytes translations = {0x09, 0x04, 0xE4, 0x04})
{
    Node translation;
    translation.key = u"Translation";
    translation.type = 0;
    translation.value = std::move(translations);
    Node v;
    v.key = u"VarFileInfo";
    v.children = {translation};
    return v;
}

Node Root(std::vector<Node> children)
{
    Node root;
    root.key = u"VS_VERSION_INFO";
    root.type = 0;
    root.value = FixedInfo();
    root.children = std::move(children);
    return root;
}

Node StandardRoot(const std::u16string &tag = u"")
{
    return Root({StringFileInfo({Table(u"040904E4", StandardStrings(tag))}), VarFileInfo()});
}

struct Resource {
    uint16_t language;
    Bytes data;
};

constexpr uint32_t kSectionRva = 0x1000;
constexpr uint32_t kSectionFile = 0x200;

// Offsets inside the resource section of the parts a damaged file alters.
struct Layout {
    uint32_t type_entry; // the root's entry for type 16
    uint32_t name_entry; // the type directory's entry for id 1
    uint32_t data_entry; // the first IMAGE_RESOURCE_DATA_ENTRY
    uint32_t first_data; // the first resource's bytes
};

// The resource section: root -> type 16 -> id 1 -> one entry per language.
Bytes ResourceSection(const std::vector<Resource> &resources, Layout &layout)
{
    size_t count = resources.size();
    Bytes b(16 + 8 + 16 + 8 + 16 + 8 * count, 0);
    Put16(b, 14, 1);
    layout.type_entry = 16;
    Put32(b, 16, 16);
    Put32(b, 20, 0x80000000u | 24);
    Put16(b, 24 + 14, 1);
    layout.name_entry = 40;
    Put32(b, 40, 1);
    Put32(b, 44, 0x80000000u | 48);
    Put16(b, 48 + 14, uint32_t(count));
    size_t entries = b.size();
    layout.data_entry = uint32_t(entries);
    b.resize(entries + 16 * count, 0);
    for (size_t i = 0; i < count; i++) {
        Put32(b, 64 + 8 * i, resources[i].language);
        Put32(b, 64 + 8 * i + 4, uint32_t(entries + 16 * i));
    }
    for (size_t i = 0; i < count; i++) {
        Pad4(b);
        if (i == 0)
            layout.first_data = uint32_t(b.size());
        Put32(b, entries + 16 * i, kSectionRva + uint32_t(b.size()));
        Put32(b, entries + 16 * i + 4, uint32_t(resources[i].data.size()));
        b.insert(b.end(), resources[i].data.begin(), resources[i].data.end());
    }
    return b;
}

// A DLL with one section, ".rsrc", holding the resources.
Bytes Image(const std::vector<Resource> &resources, bool pe64, Layout *layout_out = nullptr)
{
    Layout layout;
    Bytes section = ResourceSection(resources, layout);
    uint32_t raw_size = (uint32_t(section.size()) + 0x1ff) & ~0x1ffu;
    Bytes b(kSectionFile, 0);
    b[0] = 'M';
    b[1] = 'Z';
    Put32(b, 60, 64);
    const size_t nt = 64, opt = nt + 24;
    const uint32_t optional_size = pe64 ? 240 : 224;
    b[nt] = 'P';
    b[nt + 1] = 'E';
    Put16(b, nt + 4, pe64 ? 0x8664 : 0x14c);
    Put16(b, nt + 6, 1);
    Put16(b, nt + 20, optional_size);
    Put16(b, nt + 22, pe64 ? 0x2022 : 0x2102);
    Put16(b, opt, pe64 ? 0x20b : 0x10b);
    Put32(b, opt + 32, 0x1000); // SectionAlignment
    Put32(b, opt + 36, 0x200);  // FileAlignment
    Put16(b, opt + 40, 4);      // OS version
    Put16(b, opt + 48, 4);      // subsystem version
    Put32(b, opt + 56, kSectionRva + ((uint32_t(section.size()) + 0xfff) & ~0xfffu));
    Put32(b, opt + 60, kSectionFile); // SizeOfHeaders
    Put16(b, opt + 68, 2);            // GUI subsystem
    size_t directories = opt + (pe64 ? 112 : 96);
    if (pe64)
        Put32(b, opt + 24, 0x10000000); // ImageBase, low half
    else
        Put32(b, opt + 28, 0x10000000);
    Put32(b, directories - 4, 16); // NumberOfRvaAndSizes
    Put32(b, directories + 16, kSectionRva);
    Put32(b, directories + 20, uint32_t(section.size()));
    size_t sh = opt + optional_size;
    const char name[8] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};
    for (int i = 0; i < 8; i++)
        b[sh + i] = uint8_t(name[i]);
    Put32(b, sh + 8, uint32_t(section.size()));
    Put32(b, sh + 12, kSectionRva);
    Put32(b, sh + 16, raw_size);
    Put32(b, sh + 20, kSectionFile);
    Put32(b, sh + 36, 0x40000040);
    section.resize(raw_size, 0);
    b.insert(b.end(), section.begin(), section.end());
    if (layout_out != nullptr)
        *layout_out = layout;
    return b;
}

Bytes Simple(const Node &root, bool pe64 = false)
{
    return Image({{0x0409, Serialize(root)}}, pe64);
}

// Header offsets of the 32-bit images Image() writes.
constexpr size_t kOptional = 64 + 24, kSectionHeader = kOptional + 224;

// Adds a section header after the last one; its bytes are not written.
void AddSection(Bytes &b, uint32_t rva, uint32_t virtual_size, uint32_t raw_pointer,
                uint32_t raw_size)
{
    uint32_t count = b[64 + 6] | b[64 + 7] << 8;
    size_t sh = kSectionHeader + 40 * count;
    Put16(b, 64 + 6, count + 1);
    Put32(b, sh + 8, virtual_size);
    Put32(b, sh + 12, rva);
    Put32(b, sh + 16, raw_size);
    Put32(b, sh + 20, raw_pointer);
    Put32(b, sh + 36, 0x40000040);
    Put32(b, kOptional + 56, (rva + virtual_size + 0xfff) & ~0xfffu); // SizeOfImage
}

// The 16-bit layout of a version tree: wLength, wValueLength, 8-bit key.
Bytes Serialize16(const Node &n)
{
    Bytes b(4, 0);
    for (char16_t c : n.key)
        b.push_back(uint8_t(c));
    b.push_back(0);
    Pad4(b);
    Bytes value = n.value;
    if (n.type != 0) { // text: 8-bit here
        value.clear();
        for (size_t i = 0; i + 1 < n.value.size(); i += 2)
            value.push_back(n.value[i]);
    }
    b.insert(b.end(), value.begin(), value.end());
    for (const Node &child : n.children) {
        Pad4(b);
        Bytes c = Serialize16(child);
        b.insert(b.end(), c.begin(), c.end());
    }
    Put16(b, 0, n.length >= 0 ? uint32_t(n.length) : uint32_t(b.size()));
    Put16(b, 2, uint32_t(value.size()));
    return b;
}

// Offsets inside the 16-bit executables NeImage() writes.
constexpr size_t kNeHeader = 0x40, kNeResources = kNeHeader + 0x40, kNeName = kNeResources + 2 + 8;

// A 16-bit (NE) executable whose resource table holds one version
// resource (type 0x8010, id 0x8001), in 16-byte units (shift 4).
Bytes NeImage(const Bytes &resource)
{
    Bytes b(kNeResources, 0);
    b[0] = 'M';
    b[1] = 'Z';
    Put32(b, 60, kNeHeader);
    b[kNeHeader] = 'N';
    b[kNeHeader + 1] = 'E';
    b[kNeHeader + 54] = 2; // Windows
    Bytes table(2 + 8 + 12 + 2 + 2, 0);
    Put16(table, 0, 4); // alignment shift
    Put16(table, 2, 0x8010);
    Put16(table, 4, 1);
    const uint32_t data = 0x100;
    Put16(table, 10, data >> 4);
    Put16(table, 12, uint32_t(resource.size() + 15) >> 4);
    Put16(table, 14, 0x0030);
    Put16(table, 16, 0x8001);
    Put16(b, kNeHeader + 36, 0x40);                          // resource table
    Put16(b, kNeHeader + 38, 0x40 + uint32_t(table.size())); // resident names
    b.insert(b.end(), table.begin(), table.end());
    b.resize(data, 0);
    b.insert(b.end(), resource.begin(), resource.end());
    while (b.size() % 16 != 0)
        b.push_back(0);
    return b;
}

bool Write(const std::string &dir, const std::string &name, const Bytes &b)
{
    std::string path = dir + "/" + name;
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    FILE *f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    bool ok = b.empty() || std::fwrite(b.data(), 1, b.size(), f) == b.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_version_files OUTDIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    std::vector<std::pair<std::string, Bytes>> files;
    auto add = [&](const std::string &name, Bytes b) { files.emplace_back(name, std::move(b)); };

    add("basic_pe32.dll", Simple(StandardRoot()));
    add("basic_pe32plus.dll", Simple(StandardRoot(), true));
    add("basic_no_extension", Simple(StandardRoot()));

    {
        std::vector<Node> strings = StandardStrings(u"");
        Node empty;
        empty.key = u"Comments";
        strings.back() = empty; // wValueLength 0, no value at all
        Node blank = Text(u"ProductName", u"");
        strings[6] = blank;          // just the terminating zero
        strings[2].value_length = 0; // FileVersion: no characters
        add("string_length_zero.dll",
            Simple(Root({StringFileInfo({Table(u"040904E4", strings)})})));
    }
    {
        std::vector<Node> strings = StandardStrings(u"");
        for (Node &s : strings)
            s.value_length = int(s.value.size()); // bytes, not characters
        add("string_lengths_in_bytes.dll",
            Simple(Root({StringFileInfo({Table(u"040904E4", strings)})})));
    }
    {
        std::vector<Node> strings = StandardStrings(u"");
        for (Node &s : strings)
            s.type = 0; // binary: wValueLength counts bytes
        add("strings_binary_typed.dll",
            Simple(Root({StringFileInfo({Table(u"040904E4", strings)})})));
        for (Node &s : strings)
            s.value_length = int(s.value.size() / 2); // binary, but characters
        add("strings_binary_typed_char_lengths.dll",
            Simple(Root({StringFileInfo({Table(u"040904E4", strings)})})));
    }
    add("varfileinfo_first.dll",
        Simple(Root({VarFileInfo(), StringFileInfo({Table(u"040904E4", StandardStrings(u""))})})));
    add("string_tables_several.dll",
        Simple(Root({StringFileInfo({Table(u"040704B0", StandardStrings(u"de")),
                                     Table(u"040904B0", StandardStrings(u"unicode")),
                                     Table(u"040904e4", StandardStrings(u"ansi"))}),
                     VarFileInfo()})));
    // The file's own tables, in the order its translation list names them
    // (GetFileVersionEx). Blank and empty strings: StandardStrings' tags.
    const std::vector<Node> empty_strings = {Text(u"CompanyName", u""), Text(u"FileVersion", u""),
                                             Text(u"ProductName", u" ")};
    add("tables_unicode_only.dll",
        Simple(Root({StringFileInfo({Table(u"040904B0", StandardStrings(u"unicode"))}),
                     VarFileInfo({0x09, 0x04, 0xB0, 0x04})})));
    add("translation_names_missing_table.dll",
        Simple(Root({StringFileInfo({Table(u"040904b0", StandardStrings(u"lower key"))}),
                     VarFileInfo({0x07, 0x04, 0xB0, 0x04})})));
    add("translation_first_table_lacks_field.dll",
        Simple(Root({StringFileInfo({Table(u"040704E4", {Text(u"FileDescription", u"Datei")}),
                                     Table(u"040904B0", StandardStrings(u"second"))}),
                     VarFileInfo({0x07, 0x04, 0xE4, 0x04, 0x09, 0x04, 0xB0, 0x04})})));
    add("translation_german_table.dll",
        Simple(Root({StringFileInfo({Table(u"040904E4", StandardStrings(u"en")),
                                     Table(u"040704B0", StandardStrings(u"de"))}),
                     VarFileInfo({0x07, 0x04, 0xB0, 0x04})})));
    add("translation_partial_entry.dll",
        Simple(Root({StringFileInfo({Table(u"04090000", StandardStrings(u"no code page")),
                                     Table(u"040904E4", StandardStrings(u"ansi"))}),
                     VarFileInfo({0x07, 0x04, 0xB0, 0x04, 0x09, 0x04})})));
    add("translation_first_string_empty.dll",
        Simple(Root({StringFileInfo({Table(u"040904B0", empty_strings),
                                     Table(u"040904E4", {Text(u"CompanyName", u"ansi"),
                                                         Text(u"FileVersion", u"")})}),
                     VarFileInfo({0x09, 0x04, 0xB0, 0x04, 0x09, 0x04, 0xE4, 0x04})})));
    add("string_file_info_twice.dll",
        Simple(Root({StringFileInfo({Table(u"040704B0", StandardStrings(u"first"))}),
                     StringFileInfo({Table(u"040904E4", StandardStrings(u"second"))})})));
    add("languages_german_and_english.dll",
        Image({{0x0407, Serialize(StandardRoot(u"de"))}, {0x0409, Serialize(StandardRoot(u"en"))}},
              false));
    add("languages_neutral_and_english.dll", Image({{0x0000, Serialize(StandardRoot(u"neutral"))},
                                                    {0x0409, Serialize(StandardRoot(u"en"))}},
                                                   false));
    add("languages_english_uk_and_french.dll",
        Image({{0x040C, Serialize(StandardRoot(u"fr"))}, {0x0809, Serialize(StandardRoot(u"uk"))}},
              false));
    add("languages_german_and_french.dll",
        Image({{0x0407, Serialize(StandardRoot(u"de"))}, {0x040C, Serialize(StandardRoot(u"fr"))}},
              false));
    {
        // No fixed record, and no FileVersion string to stand in for it.
        std::vector<Node> strings = StandardStrings(u"");
        strings.erase(strings.begin() + 2);
        Node root = Root({StringFileInfo({Table(u"040904E4", strings)})});
        root.value.clear();
        add("root_without_fixed_info.dll", Simple(root));
    }
    {
        Node root = StandardRoot();
        root.children[0].children[0].children[0].length = 0x400; // past its table
        add("child_runs_past_parent.dll", Simple(root));
        Node zero = StandardRoot();
        zero.children[0].children[0].children[1].length = 0; // stops the walk
        add("child_length_zero.dll", Simple(zero));
        Node long_value = StandardRoot();
        long_value.children[0].children[0].children[2].value_length = 0x300;
        add("value_length_past_tree.dll", Simple(long_value));
        Node tree = StandardRoot();
        tree.length = 0x2000; // more than the resource holds
        add("tree_longer_than_resource.dll", Simple(tree));
        tree.length = 0x1000;
        add("root_length_4096.dll", Simple(tree));
        tree.length = 0xffff;
        add("root_length_65535.dll", Simple(tree));
        Node odd = StandardRoot();
        odd.type = 0x41; // the byte Wine uses to tell 16-bit blocks
        add("root_type_looks_16bit.dll", Simple(odd));
    }
    {
        Node root = Root({StringFileInfo({Table(
            u"040904E4",
            {Text(u"CompanyName", u"Caf\u00e9 \u20ac \u2122 \u03a9 \u0141\u00f3d\u017a \u4e2d"),
             Text(u"FileDescription", u"pair \U0001F600 end"),
             Text(u"ProductName",
                  std::u16string(u"lone ") + char16_t(0xD800) + u" x " + char16_t(0xDC00)),
             Text(u"InternalName", u"fullwidth \uFF21\uFF22 dash \u2014 quote \u201c\u201d"),
             Text(u"FileVersion", u"1.0"),
             Text(u"Comments", std::u16string(u"embedded") + char16_t(0) + u"zero")})})});
        add("strings_non_ascii.dll", Simple(root));
    }
    {
        // Every code unit from 0 to 0xFF (0 ends CompanyName), runs of those
        // above, and a stride over all of them, for the 8-bit copies.
        auto units = [](uint32_t first, uint32_t step) {
            std::u16string s;
            for (uint32_t i = 0; i < 255; i++)
                s += char16_t(first + step * i);
            return s;
        };
        add("strings_code_units.dll",
            Simple(Root({StringFileInfo({Table(
                u"040904E4",
                {Text(u"CompanyName", units(1, 1)), Text(u"FileDescription", units(0x100, 1)),
                 Text(u"InternalName", units(0x2000, 1)), Text(u"LegalCopyright", units(0x2100, 1)),
                 Text(u"OriginalFilename", units(0xFF00, 1)), Text(u"Comments", units(0x280, 1)),
                 Text(u"ProductName", units(0x100, 0x101))})})})));
    }
    {
        Bytes mixed = Simple(Root({StringFileInfo(
            {Table(u"040904e4", {Text(u"COMPANYNAME", u"upper"), Text(u"fileversion", u"2.0"),
                                 Text(u"ProductName\u212a", u"kelvin")})})}));
        add("keys_mixed_case.dll", mixed);
        // Cut before the resource but inside the section's last sector: the
        // image maps, and the resource reads as the zeros after the file.
        add("truncated_before_resource.dll", Bytes(mixed.begin(), mixed.begin() + 594));
    }
    {
        Layout layout;
        Bytes b = Image({{0x0409, Serialize(StandardRoot())}}, false, &layout);
        Bytes loop = b;
        Put32(loop, kSectionFile + layout.type_entry + 4, 0x80000000u); // type -> root
        add("directory_loops_to_root.dll", loop);
        Bytes loop2 = b;
        Put32(loop2, kSectionFile + layout.name_entry + 4, 0x80000000u | 16); // name -> type
        add("directory_loops_to_parent.dll", loop2);
        Bytes outside = b;
        Put32(outside, kSectionFile + layout.name_entry + 4, 0x80000000u | 0x7ffff000u);
        add("directory_points_outside.dll", outside);
        Bytes not_dir = b;
        Put32(not_dir, kSectionFile + layout.type_entry + 4, 24); // directory flag cleared
        add("directory_flag_missing.dll", not_dir);
        Bytes past_file = b;
        Put32(past_file, kSectionFile + layout.data_entry + 4, 0x3000); // size past the file
        add("resource_runs_past_file.dll", past_file);
        Bytes far = b;
        Put32(far, kSectionFile + layout.data_entry + 4, 0x20000); // size past the page
        add("resource_runs_far_past_file.dll", far);
        Bytes zero = b;
        Put32(zero, kSectionFile + layout.data_entry + 4, 0);
        add("resource_size_zero.dll", zero);
        Bytes no_section = b;
        Put32(no_section, kSectionFile + layout.data_entry, 0x9000); // in no section
        add("resource_rva_outside_sections.dll", no_section);
        Bytes many = b;
        Put16(many, kSectionFile + 14, 0xffff); // entries run off the section
        add("directory_entry_count_huge.dll", many);
        add("truncated_in_headers.dll", Bytes(b.begin(), b.begin() + 150));
        add("truncated_in_section_table.dll", Bytes(b.begin(), b.begin() + 64 + 24 + 224 + 20));
        add("truncated_in_directory.dll", Bytes(b.begin(), b.begin() + kSectionFile + 40));
        add("truncated_in_resource.dll",
            Bytes(b.begin(), b.begin() + kSectionFile + layout.first_data + 100));
        // Cut inside the section's last 512 bytes: Wine still maps it.
        add("truncated_in_last_sector.dll", Bytes(b.begin(), b.end() - 511));
        Bytes no_pe = b;
        no_pe[66] = 'X';
        add("signature_not_pe.dll", no_pe);
        Bytes half_signature = b;
        half_signature[66] = 'X'; // "PE" kept, the two zero bytes not
        half_signature[64] = 'P';
        half_signature[65] = 'E';
        half_signature[66] = 1;
        add("signature_pe_then_garbage.dll", half_signature);
        Bytes lfanew = b;
        Put32(lfanew, 60, 0x7ffffff0u);
        add("header_offset_past_file.dll", lfanew);
        Bytes negative = b;
        Put32(negative, 60, 0xfffffff0u);
        add("header_offset_negative.dll", negative);
        Bytes no_rva = b;
        Put32(no_rva, 64 + 24 + 92, 2); // resource directory not counted
        add("rva_count_excludes_resources.dll", no_rva);
        // The section ends at its raw size, whatever its virtual size says.
        Bytes virtual_zero = b;
        Put32(virtual_zero, kSectionHeader + 8, 0);
        add("section_virtual_size_zero.dll", virtual_zero);
        Bytes virtual_small = b;
        Put32(virtual_small, kSectionHeader + 8, 16); // the root directory only
        add("section_virtual_size_small.dll", virtual_small);
        // Without an extension: mapped when named with a folder, whether or
        // not the folder's name has a dot; parsed when named bare.
        for (const char *folder : {"", "folder/", "folder.with.dot/"}) {
            add(std::string(folder) + "directory_flag_missing", not_dir);
            add(std::string(folder) + "rva_count_excludes_resources", no_rva);
            add(std::string(folder) + "truncated_in_last_sector", Bytes(b.begin(), b.end() - 511));
        }
        add("folder.with.dot/resource_runs_far_past_file", far);
        Bytes headers = b;
        Put32(headers, kOptional + 60, 0xFF0400);
        add("size_of_headers_far_past_file.dll", headers);
        Bytes raw = b;
        Put32(raw, kSectionHeader + 16, 0x100000); // the loader maps VirtualSize of it
        raw.resize(raw.size() + 0x1000, 0);        // as if another section followed
        add("section_raw_size_far_past_file.dll", raw);
        Bytes leaf = b;
        Put32(leaf, kSectionFile + 64 + 4, 0x80000000u | layout.data_entry);
        add("leaf_entry_directory_flag.dll", leaf);
        Bytes va_zero = b;
        Put32(va_zero, kSectionHeader + 12, 0);
        add("section_virtual_address_zero.dll", va_zero);
        // The section at address 0 replaces the headers in memory: the
        // lookup finds no "MZ" there (the parser would find the resource).
        Bytes over(b.begin(), b.begin() + kSectionFile);
        over.resize(kSectionFile + 0x20, 0);
        over.insert(over.end(), b.begin() + kSectionFile, b.end());
        uint32_t data_rva = 0;
        for (int i = 0; i < 4; i++)
            data_rva |= uint32_t(over[kSectionFile + 0x20 + layout.data_entry + i]) << (8 * i);
        Put32(over, kSectionFile + 0x20 + layout.data_entry, data_rva - kSectionRva + 0x20);
        Put32(over, kSectionHeader + 8, uint32_t(over.size() - kSectionFile));
        Put32(over, kSectionHeader + 12, 0);
        Put32(over, kSectionHeader + 16, uint32_t(over.size() - kSectionFile));
        Put32(over, kOptional + 96 + 16, 0x20);
        add("section_at_address_zero_over_headers.dll", over);
        Bytes unreadable = b;
        Put32(unreadable, kSectionHeader + 36, 0x00000040);
        add("rsrc_not_readable.dll", unreadable);
        uint32_t size = 0;
        for (int i = 0; i < 4; i++)
            size |= uint32_t(b[kSectionFile + layout.data_entry + 4 + i]) << (8 * i);
        // Images the loader refuses, whose unreadable .rsrc the parser
        // then reads: a section address inside a page, and more image than
        // a 32-bit process can map.
        Bytes inside_page = unreadable;
        Put32(inside_page, kSectionHeader + 12, kSectionRva + 0x80);
        Put32(inside_page, kOptional + 96 + 16, kSectionRva + 0x80);
        Put32(inside_page, kSectionFile + layout.data_entry,
              kSectionRva + 0x80 + layout.first_data);
        Put32(inside_page, kOptional + 56, 0x4000); // room for the section where it lies
        add("section_address_inside_page.dll", inside_page);
        Bytes huge_image = unreadable;
        Put32(huge_image, kOptional + 56, 0x30000000);
        add("image_size_huge.dll", huge_image);
        // The image's size is rounded to a page, not to a 64 KiB section
        // alignment: the section lies past it, and the loader refuses it.
        Bytes past_image = unreadable;
        Put32(past_image, kOptional + 32, 0x10000);
        Put32(past_image, kOptional + 56, 0x1000);
        add("section_alignment_past_image.dll", past_image);
        // A section the parser would need 768 MiB for: Wine cannot get them.
        Bytes huge_section = b;
        Put32(huge_section, kSectionHeader + 8, 0x30000000);
        add("section_virtual_size_huge.dll", huge_section);
        Bytes large_section = b; // 513 MiB: Wine still gets them
        Put32(large_section, kSectionHeader + 8, 0x20100000);
        add("section_virtual_size_513_mib.dll", large_section);
        Bytes small_directory = b;
        Put32(small_directory, kOptional + 96 + 20, 8); // less than one directory
        add("resource_directory_size_8.dll", small_directory);
        Bytes top_bit = b;
        Put32(top_bit, kSectionFile + layout.data_entry + 4, 0x80000000u | size);
        add("resource_size_top_bit.dll", top_bit);
        Bytes gap = b;
        AddSection(gap, 0x3000, 0x200, uint32_t(gap.size()), 0x200);
        gap.resize(gap.size() + 0x200, 0);
        Put32(gap, kSectionFile + layout.data_entry, 0x2100);
        add("resource_rva_in_section_gap.dll", gap);
        // A second section, with no data and flags `flags`, in an image as
        // large as before.
        auto extra_section = [&](uint32_t rva, uint32_t virtual_size, uint32_t flags) {
            Bytes x = b;
            AddSection(x, rva, virtual_size, 0, 0);
            Put32(x, kSectionHeader + 40 + 36, flags);
            std::copy_n(b.begin() + kOptional + 56, 4, x.begin() + kOptional + 56);
            return x;
        };
        // A section of no size, not readable, at an address inside the
        // headers' page: it takes no page's access away.
        add("section_of_no_size_in_header_page.dll", extra_section(4, 0, 0));
        // Nor does one at an address inside a page: the loader fails to set
        // its access and goes on.
        Bytes inside_rsrc_page = extra_section(kSectionRva + 0x10, 0x10, 0);
        Put32(inside_rsrc_page, kOptional + 56, 0x4000); // room for its pages
        add("section_inside_page_unreadable.dll", inside_rsrc_page);
        // One at address 0, not readable, over the headers and the
        // resources' page: the loader faults reading the section count
        // from the headers it has just made unreadable, and the parser
        // reads the file instead. Cut short by a byte, the resource
        // section is too short for the parser.
        const Bytes zero_section = extra_section(0, 0x1100, 0);
        add("section_at_address_zero_unreadable.dll", zero_section);
        add("section_at_address_zero_unreadable_cut.dll",
            Bytes(zero_section.begin(), zero_section.end() - 1));
        // A shared writable section: zeros from the server's copy over the
        // headers, however readable.
        add("section_shared_over_headers.dll", extra_section(0, 0x1100, 0x90000000u));
        // A copy of the headers mapped over them, with another section
        // count, which the loader reads again after each section it maps
        // and each one whose access it sets.
        auto headers_mapped_over = [&](Bytes x, uint16_t count, bool copy_first) {
            AddSection(x, 0, 0x200, uint32_t(x.size()), 0x200);
            std::copy_n(b.begin() + kOptional + 56, 4, x.begin() + kOptional + 56);
            if (copy_first)
                std::swap_ranges(x.begin() + kSectionHeader, x.begin() + kSectionHeader + 40,
                                 x.begin() + kSectionHeader + 40);
            Bytes copy(x.begin(), x.begin() + 0x200);
            Put16(copy, 64 + 6, count);
            x.insert(x.end(), copy.begin(), copy.end());
            return x;
        };
        // 0 after the last section: no section's access is set, and the
        // unreadable resource section stays readable.
        add("section_count_zero_in_mapped_headers.dll", headers_mapped_over(unreadable, 0, false));
        // 1 after the first: the resource section is never mapped.
        add("section_count_one_in_mapped_headers.dll", headers_mapped_over(b, 1, true));
        Bytes cut = b;
        AddSection(cut, 0x2000, 0x1000, uint32_t(cut.size()), 0x1000); // not in the file
        Put32(cut, kSectionFile + layout.data_entry + 4, 0x20000);
        add("resource_runs_past_file_later_section_cut.dll", cut);
        Bytes machine = b;
        Put16(machine, 64 + 4, 0x1234);
        add("machine_unknown.dll", machine);
        add("machine_unknown_resource_cut.dll", Bytes(machine.begin(), machine.end() - 300));
        // The parser's data offset is 2 GiB or more: its seek fails and the
        // read goes on from the end of the section it read last, where a
        // copy of the resource lies.
        Bytes negative_seek = machine;
        AddSection(negative_seek, 0x3000, 0x1000, 0x80000000u, 0x1000);
        Put32(negative_seek, kSectionFile + layout.data_entry, 0x3000);
        negative_seek.insert(negative_seek.end(), b.begin() + kSectionFile + layout.first_data,
                             b.end());
        add("resource_offset_negative.dll", negative_seek);
        // Images with the version data against a section's edge: at the
        // first byte of a second section (the first one's raw data ends at
        // that address, and a gap in the file lies between them; the copy
        // without an extension is for the parser), and at the end of the
        // first, right before a section without access: Wine copies no byte
        // past the resource.
        Bytes at_start = b;
        Put32(at_start, kSectionHeader + 16, 0x1000);
        at_start.resize(kSectionFile + 0x1000 + 0x200, 0);
        AddSection(at_start, 0x2000, size, uint32_t(at_start.size()), 0x400);
        at_start.insert(at_start.end(), b.begin() + kSectionFile + layout.first_data,
                        b.begin() + kSectionFile + layout.first_data + size);
        at_start.resize(at_start.size() + 0x400 - size, 0);
        Put32(at_start, kSectionFile + layout.data_entry, 0x2000);
        add("version_data_at_section_start.dll", at_start);
        add("version_data_at_section_start", at_start);
        Bytes at_end = b;
        Put32(at_end, kSectionHeader + 8, 0x1000);
        Put32(at_end, kSectionHeader + 16, 0x1000);
        at_end.resize(kSectionFile + 0x1000, 0);
        std::copy_n(b.begin() + kSectionFile + layout.first_data, size, at_end.end() - size);
        Put32(at_end, kSectionFile + layout.data_entry, 0x2000 - size);
        AddSection(at_end, 0x2000, 0x200, uint32_t(at_end.size()), 0x200);
        Put32(at_end, kSectionHeader + 40 + 36, 0x00000040);
        at_end.resize(at_end.size() + 0x200, 0xff);
        add("version_data_at_section_end.dll", at_end);
        // The version data in a section without read, write or execute
        // access; the directory's section is readable.
        Bytes data_unreadable = at_start;
        Put32(data_unreadable, kSectionHeader + 40 + 36, 0x00000040);
        add("version_data_section_not_readable.dll", data_unreadable);
        // For the parser (the loader refuses the machine): the version
        // type's directory moved to the end of the section's raw data,
        // claiming a second entry past it after the version name.
        const uint32_t raw_size = uint32_t(b.size()) - kSectionFile;
        Bytes overhang = machine;
        std::copy_n(b.begin() + kSectionFile + 24, 24, overhang.end() - 24);
        Put16(overhang, overhang.size() - 24 + 14, 2);
        Put32(overhang, kSectionFile + layout.type_entry + 4, 0x80000000u | (raw_size - 24));
        add("directory_entry_past_section.dll", overhang);
        // For the parser too: en-US's data entry in the section's last 8
        // bytes, where no directory would fit; the first entry, de, answers.
        Layout two;
        Bytes last = Image(
            {{0x0407, Serialize(StandardRoot(u"de"))}, {0x0409, Serialize(StandardRoot(u"en"))}},
            false, &two);
        Put16(last, 64 + 4, 0x1234);
        const uint32_t near_end = uint32_t(last.size()) - kSectionFile - 8;
        std::copy_n(last.begin() + kSectionFile + two.data_entry + 16, 8, last.end() - 8);
        Put32(last, kSectionFile + 64 + 8 + 4, near_end);
        add("language_entry_in_last_16_bytes.dll", last);
        // A writable section, not shared, over the headers and the resource
        // section, with one sector of raw data (a copy of the headers): its
        // data fills one page, and the resources show through past it.
        Bytes writable = b;
        AddSection(writable, 0, 0x1100, uint32_t(writable.size()), 0x200);
        Put32(writable, kSectionHeader + 40 + 36, 0xC0000040u);
        const Bytes own_headers(writable.begin(), writable.begin() + kSectionFile);
        writable.insert(writable.end(), own_headers.begin(), own_headers.end());
        add("section_writable_over_resources.dll", writable);
    }
    {
        Bytes tree = Serialize(StandardRoot());
        for (int extra : {-1, 1, 8}) {
            Node root = StandardRoot();
            root.length = extra < 0 ? 6 : int(tree.size()) + extra;
            add(extra < 0 ? "root_length_6.dll"
                          : "root_length_plus_" + std::to_string(extra) + ".dll",
                Simple(root));
        }
        Node odd = StandardRoot();
        odd.type = 0x80; // a negative char where Wine tells the layouts apart
        odd.value_length = 52;
        add("root_type_high_byte.dll", Simple(odd));
        // The root's wLength ends inside CompanyName, after its key and
        // before its value (the root's header 40 and fixed record 52,
        // StringFileInfo's header 36, the table's 24: CompanyName at 152,
        // its key up to 182, its value at 184). "FE2X" goes over the key's
        // padding and the value's first character, and the 8-bit copies
        // have no room.
        Node short_root = StandardRoot();
        short_root.length = 182;
        add("string_value_past_root_length.dll", Simple(short_root));
        Bytes padded = tree;
        padded.resize(70000, 0);
        add("resource_larger_than_64k.dll", Image({{0x0409, padded}}, false));
    }
    {
        Bytes tree = Serialize16(StandardRoot(u"ne"));
        Bytes ne = NeImage(tree);
        add("ne_version.exe", ne);
        Bytes no_type = ne;
        Put16(no_type, kNeResources + 2, 0x8006);
        add("ne_no_version_type.exe", no_type);
        Bytes no_id = ne;
        Put16(no_id, kNeName + 6, 0x8002);
        add("ne_no_version_id.exe", no_id);
        Bytes shift = ne;
        Put16(shift, kNeResources, 0); // offsets and lengths in bytes
        Put16(shift, kNeName, 0x100);
        Put16(shift, kNeName + 2, uint32_t(tree.size()));
        add("ne_shift_zero.exe", shift);
        Bytes small = ne;
        Put16(small, kNeName + 2, 2); // 32 bytes: less than the fixed record
        add("ne_length_below_fixed_info.exe", small);
        Bytes past = ne;
        Put16(past, kNeName, 0x1000); // data offset past the end of the file
        add("ne_offset_past_file.exe", past);
        Bytes far = ne;
        Put16(far, kNeResources, 16); // offset 0x8000 << 16: a negative seek,
        Put16(far, kNeName, 0x8000);  // so the read goes on after the table
        Put16(far, kNeName + 2, 2);
        add("ne_offset_negative.exe", far);
        Bytes open = ne;
        Put16(open, kNeHeader + 38, 0x40 + 10); // table ends inside the type entry
        add("ne_table_cut_short.exe", open);
        Bytes empty = ne;
        Put16(empty, kNeHeader + 38, 0x40);
        add("ne_table_empty.exe", empty);
        add("ne_truncated_in_resource.exe", Bytes(ne.begin(), ne.begin() + 0x100 + 100));
        add("ne_truncated_in_header.exe", Bytes(ne.begin(), ne.begin() + kNeHeader + 30));
        // Dialogs, one named and two numbered (one with the version's id),
        // before the version type, whose resource follows a named one: the
        // walk steps over each type's records. The name is a counted string
        // after the table's last type.
        Bytes types(87, 0);
        Put16(types, 0, 4);
        Put16(types, 2, 0x8005);
        Put16(types, 4, 3);
        const uint16_t dialogs[] = {80, 0x8001, 0x8002};
        for (uint32_t i = 0; i < 3; i++) {
            Put16(types, 12 + 12 * i, 2); // at offset 0: the file's start, not a version
            Put16(types, 16 + 12 * i, dialogs[i]);
        }
        Put16(types, 46, 0x8010);
        Put16(types, 48, 2);
        Put16(types, 60, 80);
        std::copy_n(ne.begin() + kNeName, 12, types.begin() + 66);
        const char name[] = "\5ABOUT";
        std::copy_n(name, 6, types.begin() + 80);
        Bytes several = ne;
        std::copy(types.begin(), types.end(), several.begin() + kNeResources);
        Put16(several, kNeHeader + 38, 0x40 + uint32_t(types.size()));
        add("ne_several_types.exe", several);
    }
    add("no_version_resource.dll", Image({}, false));
    add("empty_file.dll", Bytes());
    add("not_an_image.dll", Bytes{'h', 'e', 'l', 'l', 'o'});

    std::error_code error;
    for (const char *folder : {"/folder", "/folder.with.dot"})
        std::filesystem::create_directories(dir + folder, error);
    for (const auto &f : files) {
        if (!Write(dir, f.first, f.second)) {
            std::fprintf(stderr, "cannot write %s/%s\n", dir.c_str(), f.first.c_str());
            return 1;
        }
    }
    return 0;
}
