// Wine 8's GetFileVersionInfoSizeExW and GetFileVersionInfoExW look for the
// resource in one of two ways. The file is loaded as a data file, which Wine
// 8 maps the way its loader maps an image (sections at their addresses,
// zeros between them), and ntdll's resource lookup runs over that memory; a
// fault while reading it fails the lookup, and so does a lookup that finds
// nothing. Only a file the loader refuses to map is parsed by kernelbase
// itself: it reads the section holding the resource directory into memory
// and walks it with its own, slightly different, rules, and it also reads
// 16-bit (NE) executables. Both are modelled here; reads that would fault
// in Wine (or read memory Wine does not own) fail instead.
#include "reader/resource.h"

#include <algorithm>
#include <array>
#include <optional>

#include "reader/byte_view.h"
#include "reader/pe_format.h"
#include "reader/pe_headers.h"
#include "reader/resource_directory.h"

namespace qv::reader {
namespace {

using namespace pe;

// ---- ntdll's lookup in the mapped image ----

// ntdll's find_entry_by_id: the entry must also be a directory or not, as
// wanted. Offsets are relative to the directory root.
Lookup MappedFindId(const Space &space, uint64_t root, uint64_t directory, uint16_t id,
                    bool want_directory, uint64_t &found)
{
    const auto counts = ReadCounts(space, directory);
    if (!counts)
        return Lookup::unreadable;
    DirectoryEntry entry;
    const Lookup result =
        SearchId(space, directory, counts->named, counts->named + counts->ids - 1, id, entry);
    if (result != Lookup::found)
        return result;
    if (entry.is_directory != want_directory)
        return Lookup::absent;
    found = root + entry.offset;
    return Lookup::found;
}

// The first entry of the directory that is not a directory itself.
Lookup MappedFirstLeaf(const Space &space, uint64_t root, uint64_t directory, uint64_t &found,
                       uint16_t &language)
{
    const auto counts = ReadCounts(space, directory);
    if (!counts)
        return Lookup::unreadable;
    for (int i = 0; i < counts->named + counts->ids; i++) {
        const auto entry = ReadEntry(space, directory, static_cast<unsigned>(i));
        if (!entry)
            return Lookup::unreadable;
        if (!entry->is_directory) {
            found = root + entry->offset;
            language = entry->id;
            return Lookup::found;
        }
    }
    return Lookup::absent;
}

// Why a lookup of a directory entry failed: the entry is not there, or the
// directory cannot be read. A subdirectory lies after its parent; one that
// led back to its parent or before it makes the walk fail too: a loop.
Refusal LookupRefusal(Lookup result, Refusal absent, bool looped = false)
{
    if (looped)
        return Refusal::directory_loop;
    return result == Lookup::unreadable ? Refusal::directory_unreadable : absent;
}

// Steps 3 and 4 of the lookup below, from the directory root: type 16,
// name 1, both directories; then a preferred language, else the first entry
// that is not a directory. Its data entry, and its language.
Refusal FindMappedEntry(const Space &space, uint64_t root, uint64_t &data_entry, uint16_t &language)
{
    uint64_t type_dir = 0, name_dir = 0;
    Lookup result = MappedFindId(space, root, root, kVersionType, true, type_dir);
    if (result != Lookup::found)
        return LookupRefusal(result, Refusal::no_version_type);
    result = MappedFindId(space, root, type_dir, kVersionName, true, name_dir);
    if (result != Lookup::found)
        return LookupRefusal(result, Refusal::no_version_name, type_dir <= root);
    result = FindPreferredLanguage(
        [&](uint16_t id, uint64_t &found) {
            return MappedFindId(space, root, name_dir, id, false, found);
        },
        data_entry, language);
    if (result == Lookup::absent)
        result = MappedFirstLeaf(space, root, name_dir, data_entry, language);
    if (result != Lookup::found)
        return LookupRefusal(result, Refusal::no_version_language, name_dir <= type_dir);
    return Refusal::none;
}

// The lookup reads the headers from the mapped memory, which a section
// mapped at address 0 may have replaced. It reads only a few fields of
// them; reading each header whole instead gives the same answer, since
// every range read is shorter than a page and starts and ends with a field
// the lookup reads.
Refusal LocateInImage(FileImage &image, VersionLocation &location)
{
    const ImageMap &map = location.image;
    const Space space{image, &map, {}, 0};
    // 1. The DOS header, then the signature and the optional header's magic.
    std::array<uint8_t, kDosHeaderSize> dos;
    if (!ReadImage(image, map, 0, dos))
        return Refusal::headers_unreadable;
    const auto lfanew = NewHeaderOffset(ByteView{dos});
    std::array<uint8_t, kNtHeaders64Size> nt{};
    if (!lfanew || !ReadImage(image, map, *lfanew,
                              std::span(nt).first(kOptionalMagicOffset + sizeof(uint16_t))))
        return Refusal::headers_unreadable;
    NtHeaders h = ParseNtHeaders(ByteView{nt});
    if (h.signature != kPeSignature || !HasKnownMagic(h))
        return Refusal::headers_unreadable;
    // 2. The headers up to the resource directory's entry: there must be
    //    one, with an address and room for a directory.
    const uint32_t resource_end = ResourceDirectoryOffset(h.magic) + kDataDirectorySize;
    if (!ReadImage(image, map, *lfanew, std::span(nt).first(resource_end)))
        return Refusal::headers_unreadable;
    h = ParseNtHeaders(ByteView{nt});
    location.magic = h.magic;
    if (h.rva_count <= kResourceDirectoryIndex || h.resource_rva == 0 ||
        h.resource_size < kResourceDirectorySize)
        return Refusal::no_resource_directory;
    // 3. and 4. The version resource's directories and language.
    uint64_t data_entry = 0;
    if (const Refusal refusal =
            FindMappedEntry(space, h.resource_rva, data_entry, location.language);
        refusal != Refusal::none)
        return refusal;
    // 5. The data entry: the resource's address in the image and its size.
    const auto rva = ReadSpaceValue<uint32_t>(space, data_entry + kResourceDataAddressOffset);
    const auto size = ReadSpaceValue<uint32_t>(space, data_entry + kResourceDataSizeOffset);
    if (!rva || !size)
        return Refusal::directory_unreadable;
    location.size = *size;
    location.in_image = true;
    location.start = *rva;
    return Refusal::none;
}

// ---- kernelbase's own parser ----

// The first section holding `rva`, its end computed in 32 bits as Wine's
// is; none when none does or the table cannot be read.
std::optional<Section> FindSection(FileImage &image, uint64_t table, unsigned count, uint32_t rva)
{
    for (unsigned i = 0; i < count; i++) {
        const auto s = ReadSection(image, table, i);
        if (!s)
            return std::nullopt;
        if (s->virtual_address <= rva &&
            static_cast<uint32_t>(s->virtual_address + s->raw_size) > rva)
            return s;
    }
    return std::nullopt;
}

// kernelbase's find_entry_by_id: checks that the entries fit in the
// directory's memory and that the target leaves room for a directory, but
// not whether the target is a directory.
Lookup ParsedFindId(const Space &space, uint64_t directory, uint16_t id, uint64_t &found)
{
    const auto counts = ReadCounts(space, directory);
    if (!counts)
        return Lookup::unreadable;
    const int max = counts->named + counts->ids - 1;
    if (static_cast<uint32_t>(max) >=
        (space.size - static_cast<uint32_t>(directory) - kResourceDirectorySize) /
            kResourceDirectoryEntrySize)
        return Lookup::absent;
    DirectoryEntry entry;
    const Lookup result = SearchId(space, directory, counts->named, max, id, entry);
    if (result != Lookup::found)
        return result;
    if (entry.offset > space.size - kResourceDirectorySize)
        return Lookup::absent;
    found = entry.offset;
    return Lookup::found;
}

// The section that holds the resource directory, as the parser reads it.
struct DirectorySection {
    NtHeaders headers;
    uint64_t table;       // the section table's offset
    uint64_t section_end; // where reading the section's raw data ended
    FileView view;        // the section from the directory on
};

Refusal ReadDirectorySection(FileImage &image, uint32_t lfanew, uint16_t &magic,
                             std::optional<DirectorySection> &directory)
{
    // 1. The NT headers, with a resource directory.
    const auto headers = ReadNtHeaders(image, lfanew);
    if (!headers)
        return Refusal::headers_unreadable;
    magic = headers->magic;
    if (!HasKnownMagic(*headers))
        return Refusal::unknown_magic;
    if (headers->resource_size == 0)
        return Refusal::no_resource_directory;
    const NtHeaders &h = *headers;
    // 2. The whole section table must be in the file.
    const uint64_t table = SectionTableOffset(lfanew, h);
    const uint64_t table_end = table + uint64_t{h.section_count} * kSectionHeaderSize;
    if (!RangeInside(table, table_end - table, image.size))
        return Refusal::section_table_outside;
    // 3. The section holding the directory. Its raw data is read whole
    //    (from where the table read ended, after a failed seek); memory past
    //    it up to the virtual size reads as zeros. Wine allocates the
    //    section's memory, and may not get it.
    const auto s = FindSection(image, table, h.section_count, h.resource_rva);
    if (!s)
        return Refusal::directory_in_no_section;
    const uint64_t raw = s->raw_pointer < kNegativeSeek ? s->raw_pointer : table_end;
    const uint32_t section_size = std::max(s->raw_size, s->virtual_size);
    if (section_size >= kLargestAllocation || !RangeInside(raw, s->raw_size, image.size))
        return Refusal::directory_section_outside;
    const uint32_t delta = h.resource_rva - s->virtual_address;
    const FileView view = {raw + delta, s->raw_size - delta, section_size - delta};
    if (view.length < kResourceDirectorySize)
        return Refusal::directory_section_outside;
    directory = DirectorySection{h, table, raw + s->raw_size, view};
    return Refusal::none;
}

Refusal ParsePe(FileImage &image, uint32_t lfanew, VersionLocation &location)
{
    std::optional<DirectorySection> directory;
    if (const Refusal refusal = ReadDirectorySection(image, lfanew, location.magic, directory);
        refusal != Refusal::none)
        return refusal;
    const Space space{image, nullptr, directory->view,
                      static_cast<uint32_t>(directory->view.length)};
    // 4. Type 16, name 1.
    uint64_t type_dir = 0, name_dir = 0, data_entry = 0;
    Lookup result = ParsedFindId(space, 0, kVersionType, type_dir);
    if (result != Lookup::found)
        return LookupRefusal(result, Refusal::no_version_type);
    result = ParsedFindId(space, type_dir, kVersionName, name_dir);
    if (result != Lookup::found)
        return LookupRefusal(result, Refusal::no_version_name, type_dir == 0);
    // 5. A preferred language, else the first entry, whatever it is.
    result = FindPreferredLanguage(
        [&](uint16_t id, uint64_t &found) { return ParsedFindId(space, name_dir, id, found); },
        data_entry, location.language);
    if (result == Lookup::unreadable)
        return LookupRefusal(result, Refusal::directory_unreadable, name_dir <= type_dir);
    if (result == Lookup::absent) {
        const auto entry = ReadEntry(space, name_dir, 0);
        if (!entry)
            return Refusal::directory_unreadable;
        data_entry = entry->offset;
        location.language = entry->id;
    }
    // 6. The data entry, and the section holding the data. The file offset
    //    is computed in 32 bits, as Wine computes it.
    const auto rva = ReadSpaceValue<uint32_t>(space, data_entry + kResourceDataAddressOffset);
    const auto size = ReadSpaceValue<uint32_t>(space, data_entry + kResourceDataSizeOffset);
    if (!rva || !size)
        return Refusal::directory_unreadable;
    location.size = *size;
    const auto data_section =
        FindSection(image, directory->table, directory->headers.section_count, *rva);
    if (!data_section)
        return Refusal::data_in_no_section;
    const uint32_t start = *rva - data_section->virtual_address + data_section->raw_pointer;
    location.start = start < kNegativeSeek ? start : directory->section_end;
    return Refusal::none;
}

// The offset of the version name's record in an NE resource table: the
// version type's record first, then the name among the type's.
Refusal FindNeVersionName(const Space &space, uint64_t &found)
{
    uint64_t type = ne::kFirstTypeOffset;
    uint16_t count = 0;
    for (;;) {
        const auto id = ReadSpaceValue<uint16_t>(space, type + ne::kTypeIdOffset);
        if (!id)
            return Refusal::ne_walk_leaves_table;
        if (*id == 0)
            return Refusal::no_version_type;
        const auto type_count = ReadSpaceValue<uint16_t>(space, type + ne::kTypeCountOffset);
        if (!type_count)
            return Refusal::ne_walk_leaves_table;
        count = *type_count;
        if (*id == ne::kVersionType)
            break;
        type += ne::kTypeRecordSize + uint64_t{count} * ne::kNameRecordSize;
    }
    for (uint64_t name = type + ne::kTypeRecordSize; count-- != 0; name += ne::kNameRecordSize) {
        const auto id = ReadSpaceValue<uint16_t>(space, name + ne::kNameIdOffset);
        if (!id)
            return Refusal::ne_walk_leaves_table;
        if (*id == ne::kVersionName) {
            found = name;
            return Refusal::none;
        }
    }
    return Refusal::no_version_name;
}

// kernelbase's find_ne_resource: the resource table is read whole, then
// walked type by type (ending at type 0) without a bound, so a walk that
// leaves the table reads past Wine's buffer; here it fails.
Refusal ParseNe(FileImage &image, uint32_t lfanew, VersionLocation &location)
{
    // 1. The resource table, between its offset and the resident names. A
    //    negative difference asks for about 4 GiB, which Wine cannot get.
    std::array<uint8_t, ne::kHeaderSize> header;
    location.sixteen_bit = true;
    if (!ReadFileBytes(image, lfanew, header))
        return Refusal::headers_unreadable;
    const uint16_t resources = ByteView{header}.ReadOrZero<uint16_t>(ne::kResourceTableOffset);
    const uint16_t names = ByteView{header}.ReadOrZero<uint16_t>(ne::kResidentNameTableOffset);
    if (names <= resources)
        return Refusal::ne_table_empty;
    const uint32_t table_size = static_cast<uint32_t>(names - resources);
    const uint64_t table = uint64_t{lfanew} + resources;
    if (!RangeInside(table, table_size, image.size))
        return Refusal::ne_table_outside;
    const Space space{image, nullptr, {table, table_size, table_size}, table_size};
    uint64_t name = 0;
    if (const Refusal refusal = FindNeVersionName(space, name); refusal != Refusal::none)
        return refusal;
    // 2. The version resource's place and length, in units of the table's
    //    alignment. Wine shifts an int by the table's count; x86 uses its
    //    low 5 bits.
    const auto shift = ReadSpaceValue<uint16_t>(space, ne::kAlignmentShiftOffset);
    const auto offset = ReadSpaceValue<uint16_t>(space, name + ne::kNameStartOffset);
    const auto length = ReadSpaceValue<uint16_t>(space, name + ne::kNameLengthOffset);
    if (!shift || !offset || !length)
        return Refusal::ne_walk_leaves_table;
    const uint32_t start = uint32_t{*offset} << (*shift & 31);
    location.size = uint32_t{*length} << (*shift & 31);
    location.start = start < kNegativeSeek ? start : table + table_size;
    return Refusal::none;
}

Refusal LocateParsed(FileImage &image, VersionLocation &location)
{
    const auto lfanew = ReadNewHeaderOffset(image);
    if (!lfanew)
        return Refusal::not_executable;
    std::array<uint8_t, 2> signature;
    if (!ReadFileBytes(image, *lfanew, signature))
        return Refusal::header_offset_outside;
    switch (ByteView{signature}.ReadOrZero<uint16_t>(0)) {
    case kPeSignatureLow:
        return ParsePe(image, *lfanew, location);
    case kNeSignature:
        return ParseNe(image, *lfanew, location);
    default:
        return Refusal::not_pe_or_ne;
    }
}

// LoadLibraryEx opens a name with a folder or a drive in it as it is, so
// such a file is mapped whatever its name ends with. A bare name is looked
// up as a module, with ".dll" as the default extension: one without an
// extension is then never found, and only the parser sees it. (Seen with
// Wine 8: damaged files without an extension answer as their ".dll" copies,
// in a plain folder and in one with a dot in its name, except when named
// bare.)
bool NameIsMapped(std::string_view path)
{
    return path.find_first_of("/\\:.") != std::string_view::npos;
}

} // namespace

Refusal LocateVersionResource(FileImage &image, std::string_view path, VersionLocation &location)
{
    location.size = 0;
    location.in_image = false;
    location.sixteen_bit = false;
    location.magic = 0;
    location.language = 0;
    location.start = 0;
    // Only a file the loader refuses goes to the parser: when the mapping
    // works but its lookup fails, Wine 8 reports no resource.
    // Where the loader acts on memory it never set, Wine's answer is not the
    // file's: there is none here.
    switch (NameIsMapped(path) ? MapImage(image, location.image) : Mapping::refused) {
    case Mapping::image:
        return LocateInImage(image, location);
    case Mapping::refused:
        return LocateParsed(image, location);
    case Mapping::undefined:
        return Refusal::loader_undefined;
    }
    return Refusal::loader_undefined;
}

bool ReadVersionData(FileImage &image, const VersionLocation &location, std::span<uint8_t> out)
{
    if (location.in_image)
        return ReadImage(image, location.image, location.start, out, ReadMode::direct);
    // Wine's ReadFile stops at the end of the file.
    if (location.start >= image.size)
        return true;
    const uint64_t present = image.size - location.start;
    return ReadFileBytes(
        image, location.start,
        out.first(static_cast<std::size_t>(std::min<uint64_t>(present, out.size()))),
        ReadMode::direct);
}

} // namespace qv::reader
