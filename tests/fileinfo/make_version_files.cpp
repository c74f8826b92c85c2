// Writes small PE files with version resources the resource compiler cannot
// make: odd length conventions, several tables and languages, damaged
// directories and lengths, truncations. Each file's name says what it holds.
//   make_version_files OUTDIR
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
    Put32(b, 8, 0x00010002);  // file version 1.2.3.4
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

Node VarFileInfo()
{
    Node translation;
    translation.key = u"Translation";
    translation.type = 0;
    translation.value = {0x09, 0x04, 0xE4, 0x04};
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
    uint32_t type_entry;  // the root's entry for type 16
    uint32_t name_entry;  // the type directory's entry for id 1
    uint32_t data_entry;  // the first IMAGE_RESOURCE_DATA_ENTRY
    uint32_t first_data;  // the first resource's bytes
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
    Put32(b, opt + 32, 0x1000);              // SectionAlignment
    Put32(b, opt + 36, 0x200);               // FileAlignment
    Put16(b, opt + 40, 4);                   // OS version
    Put16(b, opt + 48, 4);                   // subsystem version
    Put32(b, opt + 56, kSectionRva + ((uint32_t(section.size()) + 0xfff) & ~0xfffu));
    Put32(b, opt + 60, kSectionFile);        // SizeOfHeaders
    Put16(b, opt + 68, 2);                   // GUI subsystem
    size_t directories = opt + (pe64 ? 112 : 96);
    if (pe64)
        Put32(b, opt + 24, 0x10000000);      // ImageBase, low half
    else
        Put32(b, opt + 28, 0x10000000);
    Put32(b, directories - 4, 16);           // NumberOfRvaAndSizes
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

bool Write(const std::string &dir, const std::string &name, const Bytes &b)
{
    std::string path = dir + "/" + name;
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
        strings[6] = blank;     // just the terminating zero
        strings[2].value_length = 0; // FileVersion: no characters
        add("string_length_zero.dll", Simple(Root({StringFileInfo({Table(u"040904E4", strings)})})));
    }
    {
        std::vector<Node> strings = StandardStrings(u"");
        for (Node &s : strings)
            s.value_length = int(s.value.size()); // bytes, not characters
        add("string_lengths_in_bytes.dll", Simple(Root({StringFileInfo({Table(u"040904E4", strings)})})));
    }
    {
        std::vector<Node> strings = StandardStrings(u"");
        for (Node &s : strings)
            s.type = 0; // binary: wValueLength counts bytes
        add("strings_binary_typed.dll", Simple(Root({StringFileInfo({Table(u"040904E4", strings)})})));
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
    add("string_file_info_twice.dll",
        Simple(Root({StringFileInfo({Table(u"040704B0", StandardStrings(u"first"))}),
                     StringFileInfo({Table(u"040904E4", StandardStrings(u"second"))})})));
    add("languages_german_and_english.dll",
        Image({{0x0407, Serialize(StandardRoot(u"de"))}, {0x0409, Serialize(StandardRoot(u"en"))}},
              false));
    add("languages_neutral_and_english.dll",
        Image({{0x0000, Serialize(StandardRoot(u"neutral"))}, {0x0409, Serialize(StandardRoot(u"en"))}},
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
        Node root = Root({StringFileInfo({Table(u"040904E4",
            {Text(u"CompanyName", u"Caf\u00e9 \u20ac \u2122 \u03a9 \u0141\u00f3d\u017a \u4e2d"),
             Text(u"FileDescription", u"pair \U0001F600 end"),
             Text(u"ProductName", std::u16string(u"lone ") + char16_t(0xD800) + u" x " + char16_t(0xDC00)),
             Text(u"InternalName", u"fullwidth \uFF21\uFF22 dash \u2014 quote \u201c\u201d"),
             Text(u"FileVersion", u"1.0"),
             Text(u"Comments", std::u16string(u"embedded") + char16_t(0) + u"zero")})})});
        add("strings_non_ascii.dll", Simple(root));
    }
    add("keys_mixed_case.dll",
        Simple(Root({StringFileInfo({Table(u"040904e4",
                                           {Text(u"COMPANYNAME", u"upper"), Text(u"fileversion", u"2.0"),
                                            Text(u"ProductName\u212a", u"kelvin")})})})));
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
        add("truncated_in_resource.dll", Bytes(b.begin(), b.begin() + kSectionFile + layout.first_data + 100));
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
        const size_t section_header = 64 + 24 + 224;
        Bytes virtual_zero = b;
        Put32(virtual_zero, section_header + 8, 0);
        add("section_virtual_size_zero.dll", virtual_zero);
        Bytes virtual_small = b;
        Put32(virtual_small, section_header + 8, 16); // the root directory only
        add("section_virtual_size_small.dll", virtual_small);
        // Without an extension: mapped when named with a folder, whether or
        // not the folder's name has a dot; parsed when named bare.
        add("folder.with.dot/directory_flag_missing", not_dir);
        add("folder.with.dot/rva_count_excludes_resources", no_rva);
        add("folder.with.dot/truncated_in_last_sector", Bytes(b.begin(), b.end() - 511));
        add("folder.with.dot/resource_runs_far_past_file", far);
        add("folder/directory_flag_missing", not_dir);
        add("directory_flag_missing", not_dir);
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
