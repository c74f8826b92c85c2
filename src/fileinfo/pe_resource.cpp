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
#include "pe_resource.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

#include "byte_view.h"
#include "pe_format.h"

namespace qv::fileinfo {
namespace {

using namespace pe;

// The loader's memory page; the file's sector, the unit in which the loader
// maps section data.
constexpr uint32_t kMemoryPageSize = 4096;
constexpr uint32_t kSectorSize = 512;

// An offset at or past 2 GiB makes Wine's SetFilePointer fail: the read
// that follows starts wherever the previous one ended.
constexpr uint32_t kNegativeSeek = 0x80000000u;

// The most a 32-bit Wine process can be relied on to allocate or map in one
// piece (its heap failed from 598.5 MiB, image views from about 700; a
// section of 598 MiB was still read).
constexpr uint32_t kLargestAllocation = 0x25000000u;

// The languages tried in order, for Wine in a U.S. English locale: neutral,
// the user's (en-US), its primary language with neutral sublanguage.
constexpr std::array<uint16_t, 3> kLanguages = {0x0000, 0x0409, 0x0009};

// What a search for a directory entry or a header gives.
enum class Lookup { found, absent, unreadable };

// What the loader makes of a file: an image, a file it refuses (the parser
// then reads it), or one where it acts on memory it never set, so that
// Wine's answer is not the file's (no answer here).
enum class Mapping { image, refused, undefined };

// Reads of the resource itself go straight to the caller's buffer; the
// others go through the window.
enum class ReadMode { windowed, direct };

// ---- The file ----

// Exactly out.size() file bytes at `offset`: from the first 8 KiB or the
// last window read when they lie there. A small read elsewhere brings in
// the 8 KiB from the page it starts in, since the directory entries of one
// lookup are read one after another from a few places, often the first
// pages of the resource section.
bool ReadFileBytes(FileImage &image, uint64_t offset, std::span<uint8_t> out,
                   ReadMode mode = ReadMode::windowed)
{
    if (ByteView{{image.head, image.head_length}}.Copy(offset, out))
        return true;
    if (!RangeInside(offset, out.size(), image.size))
        return false;
    if (offset >= image.window_start &&
        ByteView{{image.window, image.window_length}}.Copy(offset - image.window_start, out))
        return true;
    if (mode == ReadMode::direct || out.size() > kFileWindowSize / 4)
        return platform::PlatformReadAt(*image.file, offset, out) == out.size();
    uint64_t start = offset - offset % kMemoryPageSize;
    if (offset + out.size() > start + kFileWindowSize)
        start = offset;
    const auto n = platform::PlatformReadAt(*image.file, start, image.window);
    image.window_start = start;
    image.window_length = n.value_or(0);
    return ByteView{{image.window, image.window_length}}.Copy(offset - start, out);
}

// The file's bytes at `offset`, zeros for those past its end.
bool ReadFileOrZeros(FileImage &image, uint64_t offset, std::span<uint8_t> out, ReadMode mode)
{
    std::size_t present = 0;
    if (offset < image.size)
        present = static_cast<std::size_t>(std::min<uint64_t>(image.size - offset, out.size()));
    std::fill(out.begin() + present, out.end(), uint8_t{0});
    return present == 0 || ReadFileBytes(image, offset, out.first(present), mode);
}

// Bytes [0, backed) of a view are the file's bytes from `start` on, bytes
// [backed, length) read as zeros, and nothing past `length` can be read.
struct FileView {
    uint64_t start;
    uint64_t backed;
    uint64_t length;
};

bool ReadView(FileImage &image, const FileView &view, uint64_t offset, std::span<uint8_t> out)
{
    if (!RangeInside(offset, out.size(), view.length))
        return false;
    std::fill(out.begin(), out.end(), uint8_t{0});
    if (offset >= view.backed)
        return true;
    const uint64_t backed = std::min<uint64_t>(view.backed - offset, out.size());
    return ReadFileBytes(image, view.start + offset, out.first(static_cast<std::size_t>(backed)));
}

// ---- A file mapped as an image ----

constexpr uint32_t RoundPage(uint32_t size)
{
    return (size + kMemoryPageSize - 1) & ~(kMemoryPageSize - 1);
}

// Copies out.size() bytes of the image at `rva`; false when any of them is
// past the image or on a page without read access (Wine would fault).
bool ReadImage(FileImage &image, const ImageMap &map, uint64_t rva, std::span<uint8_t> out,
               ReadMode mode = ReadMode::windowed)
{
    if (!RangeInside(rva, out.size(), map.size))
        return false;
    while (!out.empty()) {
        // Find what lies at `rva` and for how long it goes on: the last
        // section mapped over it wins, for both its bytes and its pages.
        uint64_t run = out.size();
        std::optional<uint64_t> file; // file offset of the bytes at rva; none: zeros
        bool data_found = map.flat, protect_found = map.flat, readable = true;
        if (map.flat)
            file = rva;
        // In the usual image, sections follow one another without
        // overlapping: only the first one that ends after `rva` matters.
        unsigned first = 0, last = map.count;
        if (map.ordered) {
            while (first < last) {
                const unsigned middle = (first + last) / 2;
                if (map.sections[middle].protect_end > rva)
                    last = middle;
                else
                    first = middle + 1;
            }
            last = first < map.count ? first + 1 : first;
        }
        for (unsigned i = last; i-- > first && !(data_found && protect_found);) {
            const MappedSection &s = map.sections[i];
            if (!protect_found && s.protect_start > rva) {
                run = std::min<uint64_t>(run, s.protect_start - rva);
            } else if (!protect_found && rva < s.protect_end) {
                protect_found = true;
                readable = s.readable;
                run = std::min<uint64_t>(run, s.protect_end - rva);
            }
            if (data_found || s.zero_end == 0)
                continue;
            if (s.rva > rva) {
                run = std::min<uint64_t>(run, s.rva - rva);
            } else if (rva - s.rva < s.zero_end) {
                data_found = true;
                const uint64_t inside = rva - s.rva;
                if (inside < s.file_size) {
                    file = s.file_start + inside;
                    run = std::min<uint64_t>(run, s.file_size - inside);
                } else {
                    run = std::min<uint64_t>(run, s.zero_end - inside);
                }
            }
        }
        if (!data_found && rva < RoundPage(map.header_size)) {
            if (rva < map.header_size) {
                file = rva;
                run = std::min<uint64_t>(run, map.header_size - rva);
            } else {
                run = std::min<uint64_t>(run, RoundPage(map.header_size) - rva);
            }
        }
        if (!readable)
            return false;
        const auto piece = out.first(static_cast<std::size_t>(run));
        if (!file)
            std::fill(piece.begin(), piece.end(), uint8_t{0});
        else if (!ReadFileOrZeros(image, *file, piece, mode))
            return false;
        out = out.subspan(piece.size());
        rva += run;
    }
    return true;
}

// ---- Headers, shared by both lookups ----

// e_lfanew of a DOS header, when it starts with "MZ".
std::optional<uint32_t> NewHeaderOffset(ByteView dos)
{
    if (dos.Read<uint16_t>(kDosMagicOffset) != kDosMagic)
        return std::nullopt;
    return dos.ReadOrZero<uint32_t>(kDosNewHeaderOffset);
}

// The fields of the NT headers either lookup uses.
struct NtHeaders {
    uint32_t signature;
    uint16_t machine;
    uint16_t section_count;
    uint16_t optional_size;
    uint16_t magic;
    uint32_t section_alignment;
    uint32_t file_alignment;
    uint32_t image_size;
    uint32_t header_size;
    uint32_t rva_count;
    uint32_t resource_rva;
    uint32_t resource_size;
};

bool HasKnownMagic(const NtHeaders &h)
{
    return h.magic == kOptionalHeaderMagic32 || h.magic == kOptionalHeaderMagic64;
}

// Offset of the resource directory's entry from the signature; the PE32
// layout for an unknown magic.
constexpr uint32_t ResourceDirectoryOffset(uint16_t magic)
{
    return kOptionalHeaderOffset +
           (magic == kOptionalHeaderMagic64 ? kDataDirectories64 : kDataDirectories32) +
           kResourceDirectoryIndex * kDataDirectorySize;
}

// The headers from the bytes at the signature; fields past the end of `nt`
// read as 0.
NtHeaders ParseNtHeaders(ByteView nt)
{
    NtHeaders h;
    h.signature = nt.ReadOrZero<uint32_t>(0);
    h.machine = nt.ReadOrZero<uint16_t>(kMachineOffset);
    h.section_count = nt.ReadOrZero<uint16_t>(kSectionCountOffset);
    h.optional_size = nt.ReadOrZero<uint16_t>(kOptionalHeaderSizeOffset);
    h.magic = nt.ReadOrZero<uint16_t>(kOptionalMagicOffset);
    h.section_alignment = nt.ReadOrZero<uint32_t>(kSectionAlignmentOffset);
    h.file_alignment = nt.ReadOrZero<uint32_t>(kFileAlignmentOffset);
    h.image_size = nt.ReadOrZero<uint32_t>(kSizeOfImageOffset);
    h.header_size = nt.ReadOrZero<uint32_t>(kSizeOfHeadersOffset);
    h.rva_count = nt.ReadOrZero<uint32_t>(h.magic == kOptionalHeaderMagic64 ? kRvaCount64Offset
                                                                            : kRvaCount32Offset);
    const uint32_t resource = ResourceDirectoryOffset(h.magic);
    h.resource_rva = nt.ReadOrZero<uint32_t>(resource);
    h.resource_size = nt.ReadOrZero<uint32_t>(resource + 4);
    return h;
}

// The NT headers at `nt` read from the file, zeros past its end; none when
// fewer than the signature and file header are there.
std::optional<NtHeaders> ReadNtHeaders(FileImage &image, uint64_t nt)
{
    std::array<uint8_t, kNtHeaders64Size> bytes{};
    const uint64_t available = image.size - nt;
    const auto present = std::span(bytes).first(
        static_cast<std::size_t>(std::min<uint64_t>(available, bytes.size())));
    if (present.size() < kOptionalHeaderOffset || !ReadFileBytes(image, nt, present))
        return std::nullopt;
    return ParseNtHeaders(ByteView{bytes});
}

uint64_t SectionTableOffset(uint64_t nt, const NtHeaders &h)
{
    return nt + kOptionalHeaderOffset + h.optional_size;
}

// One entry of the section table, read from the file.
struct Section {
    uint32_t virtual_size;
    uint32_t virtual_address;
    uint32_t raw_size;
    uint32_t raw_pointer;
    uint32_t flags;
};

std::optional<Section> ReadSection(FileImage &image, uint64_t table, unsigned index)
{
    std::array<uint8_t, kSectionHeaderSize> bytes;
    if (!ReadFileBytes(image, table + uint64_t{index} * kSectionHeaderSize, bytes))
        return std::nullopt;
    const ByteView b{bytes};
    return Section{b.ReadOrZero<uint32_t>(kSectionVirtualSizeOffset),
                   b.ReadOrZero<uint32_t>(kSectionAddressOffset),
                   b.ReadOrZero<uint32_t>(kSectionRawSizeOffset),
                   b.ReadOrZero<uint32_t>(kSectionRawPointerOffset),
                   b.ReadOrZero<uint32_t>(kSectionFlagsOffset)};
}

// Adds one section to the map as the loader lays it out; false when the
// loader refuses it. The loader's arithmetic is 32-bit. Its pages stay
// readable here: MapImage sets their access afterwards.
bool MapSection(ImageMap &map, const Section &section, uint64_t file_size)
{
    const uint32_t rva = section.virtual_address;
    const bool page_aligned = (rva & (kMemoryPageSize - 1)) == 0;
    const uint32_t map_size =
        RoundPage(section.virtual_size != 0 ? section.virtual_size : section.raw_size);
    const uint32_t file_start = section.raw_pointer & ~(kSectorSize - 1);
    uint32_t data_size =
        (section.raw_size + (section.raw_pointer & (kSectorSize - 1)) + kSectorSize - 1) &
        ~(kSectorSize - 1);
    data_size = std::min(data_size, map_size);
    const uint32_t end = rva + RoundPage(map_size + (rva & (kMemoryPageSize - 1)));
    if (rva > map.size || end > map.size || end < rva)
        return false;
    MappedSection &s = map.sections[map.count++];
    s = MappedSection{};
    s.rva = rva;
    s.readable = true;
    const bool has_data = section.raw_pointer != 0 && data_size != 0;
    const uint64_t sectors = (file_size + kSectorSize - 1) / kSectorSize * kSectorSize;
    if ((section.flags & kSectionShared) && (section.flags & kSectionWritable)) {
        // A shared writable section comes from the server's copy: its data
        // (a sector may be missing at the end of the file) and zeros, over
        // all of its pages, whatever lay there before. It is mapped whole
        // pages at a time, so it needs an address and a size in pages.
        if (!page_aligned || map_size == 0 ||
            (has_data && uint64_t{file_start} + data_size > sectors))
            return false;
        s.file_start = file_start;
        s.file_size = has_data ? data_size : 0;
        s.zero_end = map_size;
    } else if (has_data) {
        // Section data goes to whole pages: an address inside a page cannot
        // be mapped at all.
        if (section.raw_pointer >= file_size || uint64_t{file_start} + data_size > sectors ||
            file_start + data_size < file_start || !page_aligned)
            return false;
        s.file_start = file_start;
        s.file_size = data_size;
        s.zero_end = std::min(RoundPage(data_size), map_size);
    }
    // The access of the section's pages. Setting it at an address inside a
    // page fails and changes nothing, and a section of no size has no pages.
    const uint32_t protected_size =
        section.virtual_size != 0 ? section.virtual_size : section.raw_size;
    s.protect_start = rva & ~(kMemoryPageSize - 1);
    s.protect_end = protected_size == 0 || !page_aligned
                        ? s.protect_start
                        : s.protect_start + RoundPage(protected_size);
    return true;
}

// Sets each section's access as the loader does once every section is
// mapped: in table order, for as many sections as the section count in
// the mapped NT headers (`count`, at `count_at`) says (the last section
// mapped may have lowered it), reading that count again after each one.
// False when a section takes read access from the count's page: the loader
// faults there and the file is not mapped.
bool ProtectSections(FileImage &image, ImageMap &map, uint64_t table, uint64_t count_at,
                     unsigned count)
{
    const unsigned applied = std::min(count, map.count);
    for (unsigned i = 0; i < map.count; i++) {
        MappedSection &s = map.sections[i];
        if (i >= applied) {
            // Never set: the section keeps the access it was mapped with.
            // Out of address order it might hide an earlier section's
            // access, so it then has no pages of its own.
            if (!map.ordered)
                s.protect_end = s.protect_start;
            continue;
        }
        const auto section = ReadSection(image, table, i);
        if (!section)
            return false;
        s.readable = (section->flags & kSectionReadable) != 0;
        if (!s.readable && count_at + 2 > s.protect_start && count_at < s.protect_end)
            return false;
    }
    return true;
}

// The loader's checks and layout (Wine 8's server and ntdll).
Mapping MapImage(FileImage &image, ImageMap &map)
{
    // 1. The DOS header and the NT headers, from the file.
    std::array<uint8_t, kDosHeaderSize> dos;
    if (!ReadFileBytes(image, 0, dos))
        return Mapping::refused;
    const auto lfanew = NewHeaderOffset(ByteView{dos});
    if (!lfanew || *lfanew >= kNegativeSeek || *lfanew >= image.size)
        return Mapping::refused;
    const auto headers = ReadNtHeaders(image, *lfanew);
    if (!headers)
        return Mapping::refused;
    const NtHeaders &h = *headers;
    // 2. Only the machines Wine runs on x86: i386 images, and x86-64 ones.
    if (h.signature != kPeSignature)
        return Mapping::refused;
    if (!(h.magic == kOptionalHeaderMagic32 && h.machine == kMachineI386) &&
        !(h.magic == kOptionalHeaderMagic64 && h.machine == kMachineAmd64))
        return Mapping::refused;
    // 3. The image's size, rounded up to a whole page. Wine 8 does not
    //    round it to the section alignment: a section past the page-rounded
    //    size is refused even when a large alignment would cover it, and an
    //    alignment of 0 or 2 GiB still maps.
    map.size = (uint64_t{h.image_size} + kMemoryPageSize - 1) & ~uint64_t{kMemoryPageSize - 1};
    if (map.size == 0 || map.size >= kLargestAllocation)
        return Mapping::refused;
    // 4. The headers as mapped: at least up to the section table's end, at
    //    most the file; the NT headers and the table must lie in their
    //    pages.
    const uint64_t table = SectionTableOffset(*lfanew, h);
    const uint64_t table_end = table + uint64_t{h.section_count} * kSectionHeaderSize;
    if (table_end > map.size || table_end > image.size)
        return Mapping::refused;
    const uint64_t header_size = std::min(std::max<uint64_t>(h.header_size, table_end), image.size);
    const uint32_t header_pages = RoundPage(static_cast<uint32_t>(header_size));
    if (*lfanew + kNtHeaders32Size > header_pages || table_end > header_pages ||
        header_pages > map.size || h.section_count > kMaxImageSections)
        return Mapping::refused;
    map.header_size = static_cast<uint32_t>(header_size);
    map.count = 0;
    map.flat = (h.section_alignment & (kMemoryPageSize - 1)) != 0;
    map.ordered = false;
    // 5. Each section at its address, for as many sections as the count in
    //    the mapped headers says: the loader reads it again after each
    //    section, and one mapped over it may change it. Past the table the
    //    loader takes entries it never filled in, from its own stack.
    //    Unaligned sections: the file is mapped as it is, which works only
    //    when every section already lies at its address.
    // The count as mapped: the file's until a section maps over it.
    const uint64_t count_at = *lfanew + kSectionCountOffset;
    unsigned count = h.section_count;
    for (unsigned i = 0; i < count; i++) {
        if (i >= h.section_count)
            return Mapping::undefined;
        const auto section = ReadSection(image, table, i);
        if (!section)
            return Mapping::refused;
        if (map.flat) {
            if (h.file_alignment != h.section_alignment ||
                section->virtual_address != section->raw_pointer)
                return Mapping::refused;
            continue;
        }
        if (!MapSection(map, *section, image.size))
            return Mapping::refused;
        const MappedSection &s = map.sections[map.count - 1];
        if (s.zero_end != 0 && count_at + 2 > s.rva && count_at < uint64_t{s.rva} + s.zero_end) {
            std::array<uint8_t, 2> count_bytes;
            if (!ReadImage(image, map, count_at, count_bytes))
                return Mapping::refused;
            count = ByteView{count_bytes}.ReadOrZero<uint16_t>(0);
        }
    }
    // 6. Whether the binary search of ReadImage may be used.
    map.ordered = true;
    for (unsigned i = 1; i < map.count; i++)
        if (map.sections[i].protect_start < map.sections[i - 1].protect_end)
            map.ordered = false;
    if (map.flat) {
        map.size = std::min<uint64_t>(map.size, (image.size + kMemoryPageSize - 1) /
                                                    kMemoryPageSize * kMemoryPageSize);
        return Mapping::image;
    }
    // 7. The sections' access.
    return ProtectSections(image, map, table, count_at, count) ? Mapping::image : Mapping::refused;
}

// ---- Resource directories, in the image or in a copy of a section ----

// Where a lookup reads: the mapped image, or a view of the file.
struct Space {
    FileImage &file;
    const ImageMap *map;
    FileView view;
    uint32_t size; // the parser's bound on directory offsets
};

bool ReadSpace(const Space &space, uint64_t offset, std::span<uint8_t> out)
{
    return space.map != nullptr ? ReadImage(space.file, *space.map, offset, out)
                                : ReadView(space.file, space.view, offset, out);
}

template <std::unsigned_integral T>
std::optional<T> ReadSpaceValue(const Space &space, uint64_t offset)
{
    std::array<uint8_t, sizeof(T)> bytes;
    if (!ReadSpace(space, offset, bytes))
        return std::nullopt;
    return ByteView{bytes}.Read<T>(0);
}

struct DirectoryEntry {
    uint16_t id;
    bool is_directory;
    uint32_t offset;
};

std::optional<DirectoryEntry> ReadEntry(const Space &space, uint64_t directory, unsigned index)
{
    std::array<uint8_t, kResourceDirectoryEntrySize> bytes;
    if (!ReadSpace(space,
                   directory + kResourceDirectorySize +
                       uint64_t{index} * kResourceDirectoryEntrySize,
                   bytes))
        return std::nullopt;
    const ByteView b{bytes};
    const uint32_t name = b.ReadOrZero<uint32_t>(kResourceEntryNameOffset);
    const uint32_t data = b.ReadOrZero<uint32_t>(kResourceEntryDataOffset);
    return DirectoryEntry{static_cast<uint16_t>(name), (data & kResourceSubdirectoryFlag) != 0,
                          data & ~kResourceSubdirectoryFlag};
}

struct EntryCounts {
    int named;
    int ids;
};

std::optional<EntryCounts> ReadCounts(const Space &space, uint64_t directory)
{
    const auto named = ReadSpaceValue<uint16_t>(space, directory + kResourceNamedCountOffset);
    const auto ids = ReadSpaceValue<uint16_t>(space, directory + kResourceIdCountOffset);
    if (!named || !ids)
        return std::nullopt;
    return EntryCounts{*named, *ids};
}

// Binary search of the id entries [min, max].
Lookup SearchId(const Space &space, uint64_t directory, int min, int max, uint16_t id,
                DirectoryEntry &entry)
{
    while (min <= max) {
        const int pos = (min + max) / 2;
        const auto read = ReadEntry(space, directory, static_cast<unsigned>(pos));
        if (!read)
            return Lookup::unreadable;
        entry = *read;
        if (entry.id == id)
            return Lookup::found;
        if (entry.id > id)
            max = pos - 1;
        else
            min = pos + 1;
    }
    return Lookup::absent;
}

// The data entry of the first preferred language that `find` finds; stops
// at a directory it cannot read.
template <typename Find>
Lookup FindPreferredLanguage(Find find, uint64_t &data_entry)
{
    for (const uint16_t language : kLanguages) {
        const Lookup result = find(language, data_entry);
        if (result != Lookup::absent)
            return result;
    }
    return Lookup::absent;
}

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
Lookup MappedFirstLeaf(const Space &space, uint64_t root, uint64_t directory, uint64_t &found)
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
            return Lookup::found;
        }
    }
    return Lookup::absent;
}

// The lookup reads the headers from the mapped memory, which a section
// mapped at address 0 may have replaced. It reads only a few fields of
// them; reading each header whole instead gives the same answer, since
// every range read is shorter than a page and starts and ends with a field
// the lookup reads.
bool LocateInImage(FileImage &image, VersionLocation &location)
{
    const ImageMap &map = location.image;
    const Space space{image, &map, {}, 0};
    // 1. The DOS header, then the signature and the optional header's magic.
    std::array<uint8_t, kDosHeaderSize> dos;
    if (!ReadImage(image, map, 0, dos))
        return false;
    const auto lfanew = NewHeaderOffset(ByteView{dos});
    std::array<uint8_t, kNtHeaders64Size> nt{};
    if (!lfanew || !ReadImage(image, map, *lfanew, std::span(nt).first(kOptionalMagicOffset + 2)))
        return false;
    NtHeaders h = ParseNtHeaders(ByteView{nt});
    if (h.signature != kPeSignature || !HasKnownMagic(h))
        return false;
    // 2. The headers up to the resource directory's entry: there must be
    //    one, with an address and room for a directory.
    const uint32_t resource_end = ResourceDirectoryOffset(h.magic) + kDataDirectorySize;
    if (!ReadImage(image, map, *lfanew, std::span(nt).first(resource_end)))
        return false;
    h = ParseNtHeaders(ByteView{nt});
    if (h.rva_count <= kResourceDirectoryIndex || h.resource_rva == 0 ||
        h.resource_size < kResourceDirectorySize)
        return false;
    // 3. Type 16, name 1, both directories.
    const uint64_t root = h.resource_rva;
    uint64_t type_dir = 0, name_dir = 0, data_entry = 0;
    if (MappedFindId(space, root, root, kVersionType, true, type_dir) != Lookup::found ||
        MappedFindId(space, root, type_dir, kVersionName, true, name_dir) != Lookup::found)
        return false;
    // 4. A preferred language, else the first entry that is not a directory.
    Lookup language = FindPreferredLanguage(
        [&](uint16_t id, uint64_t &found) {
            return MappedFindId(space, root, name_dir, id, false, found);
        },
        data_entry);
    if (language == Lookup::absent)
        language = MappedFirstLeaf(space, root, name_dir, data_entry);
    if (language != Lookup::found)
        return false;
    // 5. The data entry: the resource's address in the image and its size.
    const auto rva = ReadSpaceValue<uint32_t>(space, data_entry + kResourceDataAddressOffset);
    const auto size = ReadSpaceValue<uint32_t>(space, data_entry + kResourceDataSizeOffset);
    if (!rva || !size)
        return false;
    location.size = *size;
    location.in_image = true;
    location.start = *rva;
    return true;
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

bool ParsePe(FileImage &image, uint32_t lfanew, VersionLocation &location)
{
    // 1. The NT headers, with a resource directory.
    const auto headers = ReadNtHeaders(image, lfanew);
    if (!headers || !HasKnownMagic(*headers) || headers->resource_size == 0)
        return false;
    const NtHeaders &h = *headers;
    // 2. The whole section table must be in the file.
    const uint64_t table = SectionTableOffset(lfanew, h);
    const uint64_t table_end = table + uint64_t{h.section_count} * kSectionHeaderSize;
    if (!RangeInside(table, table_end - table, image.size))
        return false;
    // 3. The section holding the directory. Its raw data is read whole
    //    (from where the table read ended, after a failed seek); memory past
    //    it up to the virtual size reads as zeros. Wine allocates the
    //    section's memory, and may not get it.
    const auto s = FindSection(image, table, h.section_count, h.resource_rva);
    if (!s)
        return false;
    const uint64_t raw = s->raw_pointer < kNegativeSeek ? s->raw_pointer : table_end;
    const uint32_t section_size = std::max(s->raw_size, s->virtual_size);
    if (section_size >= kLargestAllocation || !RangeInside(raw, s->raw_size, image.size))
        return false;
    const uint32_t delta = h.resource_rva - s->virtual_address;
    const FileView view = {raw + delta, s->raw_size - delta, section_size - delta};
    if (view.length < kResourceDirectorySize)
        return false;
    const Space space{image, nullptr, view, static_cast<uint32_t>(view.length)};
    // 4. Type 16, name 1.
    uint64_t type_dir = 0, name_dir = 0, data_entry = 0;
    if (ParsedFindId(space, 0, kVersionType, type_dir) != Lookup::found ||
        ParsedFindId(space, type_dir, kVersionName, name_dir) != Lookup::found)
        return false;
    // 5. A preferred language, else the first entry, whatever it is.
    const Lookup language = FindPreferredLanguage(
        [&](uint16_t id, uint64_t &found) { return ParsedFindId(space, name_dir, id, found); },
        data_entry);
    if (language == Lookup::unreadable)
        return false;
    if (language == Lookup::absent) {
        const auto entry = ReadEntry(space, name_dir, 0);
        if (!entry)
            return false;
        data_entry = entry->offset;
    }
    // 6. The data entry, and the section holding the data. The file offset
    //    is computed in 32 bits, as Wine computes it.
    const auto rva = ReadSpaceValue<uint32_t>(space, data_entry + kResourceDataAddressOffset);
    const auto size = ReadSpaceValue<uint32_t>(space, data_entry + kResourceDataSizeOffset);
    if (!rva || !size)
        return false;
    location.size = *size;
    const uint64_t section_end = raw + s->raw_size;
    const auto data_section = FindSection(image, table, h.section_count, *rva);
    if (!data_section)
        return false;
    const uint32_t start = *rva - data_section->virtual_address + data_section->raw_pointer;
    location.start = start < kNegativeSeek ? start : section_end;
    return true;
}

// kernelbase's find_ne_resource: the resource table is read whole, then
// walked type by type (ending at type 0) without a bound, so a walk that
// leaves the table reads past Wine's buffer; here it fails.
bool ParseNe(FileImage &image, uint32_t lfanew, VersionLocation &location)
{
    // 1. The resource table, between its offset and the resident names. A
    //    negative difference asks for about 4 GiB, which Wine cannot get.
    std::array<uint8_t, ne::kHeaderSize> header;
    if (!ReadFileBytes(image, lfanew, header))
        return false;
    const uint16_t resources = ByteView{header}.ReadOrZero<uint16_t>(ne::kResourceTableOffset);
    const uint16_t names = ByteView{header}.ReadOrZero<uint16_t>(ne::kResidentNameTableOffset);
    if (names <= resources)
        return false;
    const uint32_t table_size = static_cast<uint32_t>(names - resources);
    const uint64_t table = uint64_t{lfanew} + resources;
    if (!RangeInside(table, table_size, image.size))
        return false;
    const Space space{image, nullptr, {table, table_size, table_size}, table_size};
    // 2. The version type's record.
    uint64_t type = ne::kFirstTypeOffset;
    uint16_t count = 0;
    for (;;) {
        const auto id = ReadSpaceValue<uint16_t>(space, type + ne::kTypeIdOffset);
        if (!id || *id == 0)
            return false;
        const auto type_count = ReadSpaceValue<uint16_t>(space, type + ne::kTypeCountOffset);
        if (!type_count)
            return false;
        count = *type_count;
        if (*id == ne::kVersionType)
            break;
        type += ne::kTypeRecordSize + uint64_t{count} * ne::kNameRecordSize;
    }
    // 3. The version name's record among the type's.
    uint64_t name = type + ne::kTypeRecordSize;
    for (;; name += ne::kNameRecordSize) {
        if (count-- == 0)
            return false;
        const auto id = ReadSpaceValue<uint16_t>(space, name + ne::kNameIdOffset);
        if (!id)
            return false;
        if (*id == ne::kVersionName)
            break;
    }
    // 4. Its place and length, in units of the table's alignment. Wine
    //    shifts an int by the table's count; x86 uses its low 5 bits.
    const auto shift = ReadSpaceValue<uint16_t>(space, ne::kAlignmentShiftOffset);
    const auto offset = ReadSpaceValue<uint16_t>(space, name + ne::kNameStartOffset);
    const auto length = ReadSpaceValue<uint16_t>(space, name + ne::kNameLengthOffset);
    if (!shift || !offset || !length)
        return false;
    const uint32_t start = uint32_t{*offset} << (*shift & 31);
    location.size = uint32_t{*length} << (*shift & 31);
    location.start = start < kNegativeSeek ? start : table + table_size;
    location.sixteen_bit = true;
    return true;
}

bool LocateParsed(FileImage &image, VersionLocation &location)
{
    std::array<uint8_t, kDosHeaderSize> dos;
    if (!ReadFileBytes(image, 0, dos))
        return false;
    const auto lfanew = NewHeaderOffset(ByteView{dos});
    // A negative e_lfanew makes Wine's seek fail and read from wherever the
    // file position was; such files are simply refused here.
    std::array<uint8_t, 2> signature;
    if (!lfanew || *lfanew >= kNegativeSeek || !ReadFileBytes(image, *lfanew, signature))
        return false;
    switch (ByteView{signature}.ReadOrZero<uint16_t>(0)) {
    case kPeSignatureLow:
        return ParsePe(image, *lfanew, location);
    case kNeSignature:
        return ParseNe(image, *lfanew, location);
    default:
        return false;
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

bool OpenFileImage(FileImage &image, const char *path)
{
    image.size = 0;
    image.head_length = 0;
    image.window_start = 0;
    image.window_length = 0;
    image.file = platform::PlatformOpenFile(path);
    if (!image.file)
        return false;
    // A file shorter than the head is all in it, and its length is known
    // without asking; only a longer one needs the file system's length.
    const auto n = platform::PlatformReadAt(*image.file, 0, image.head);
    if (!n)
        return false;
    if (*n < sizeof image.head) {
        image.size = *n;
    } else {
        const auto length = platform::PlatformFileLength(*image.file);
        if (!length)
            return false;
        image.size = *length;
    }
    image.head_length = *n;
    return true;
}

bool LocateVersionResource(FileImage &image, std::string_view path, VersionLocation &location)
{
    location.size = 0;
    location.in_image = false;
    location.sixteen_bit = false;
    location.unset_memory = false;
    location.start = 0;
    // Only a file the loader refuses goes to the parser: when the mapping
    // works but its lookup fails, Wine 8 reports no resource.
    switch (NameIsMapped(path) ? MapImage(image, location.image) : Mapping::refused) {
    case Mapping::image:
        return LocateInImage(image, location);
    case Mapping::refused:
        return LocateParsed(image, location);
    case Mapping::undefined:
        location.unset_memory = true;
        return false;
    }
    return false;
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

} // namespace qv::fileinfo
