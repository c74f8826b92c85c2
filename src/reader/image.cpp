// Wine 8's loader (its server and ntdll) maps an image's sections at their
// addresses and then sets each section's page access. docs/reader.md says
// which of its rules are modelled and why.
#include "reader/image.h"

#include <algorithm>
#include <array>
#include <optional>

#include "reader/byte_view.h"
#include "reader/pe_format.h"
#include "reader/pe_headers.h"

namespace qv::reader {
namespace {

using namespace pe;

// The file's sector, the unit in which the loader maps section data.
constexpr uint32_t kSectorSize = 512;
// The section count in the NT headers.
constexpr uint32_t kSectionCountSize = sizeof(uint16_t);

// `value` rounded up to a multiple of `unit`, a power of two, in T's
// arithmetic: in 32 bits it wraps, as the loader's does.
template <typename T>
constexpr T RoundUp(T value, uint32_t unit)
{
    return (value + unit - 1) & ~T{unit - 1};
}

// ---- Reading the mapped image ----

// What lies at one address of the image, and for how many bytes it goes on.
struct Run {
    uint64_t length;
    std::optional<uint64_t> file; // file offset of the bytes; none: zeros
    bool readable;
};

// Narrows `run` to the section's pages; true when they hold `rva`.
bool TakeAccess(const MappedSection &s, uint64_t rva, Run &run)
{
    if (s.protect_start > rva) {
        run.length = std::min<uint64_t>(run.length, s.protect_start - rva);
        return false;
    }
    if (rva >= s.protect_end)
        return false;
    run.readable = s.readable;
    run.length = std::min<uint64_t>(run.length, s.protect_end - rva);
    return true;
}

// Narrows `run` to the section's bytes; true when they hold `rva`.
bool TakeData(const MappedSection &s, uint64_t rva, Run &run)
{
    if (s.zero_end == 0)
        return false;
    if (s.rva > rva) {
        run.length = std::min<uint64_t>(run.length, s.rva - rva);
        return false;
    }
    const uint64_t inside = rva - s.rva;
    if (inside >= s.zero_end)
        return false;
    if (inside < s.file_size) {
        run.file = s.file_start + inside;
        run.length = std::min<uint64_t>(run.length, s.file_size - inside);
    } else {
        run.length = std::min<uint64_t>(run.length, s.zero_end - inside);
    }
    return true;
}

// The run at `rva`, at most `length` bytes long: the last section mapped
// over it wins, for its bytes and its pages alike; the headers lie under
// every section.
Run RunAt(const ImageMap &map, uint64_t rva, uint64_t length)
{
    Run run{length, std::nullopt, true};
    if (map.flat)
        run.file = rva;
    bool data_found = map.flat, access_found = map.flat;
    // In the usual image, sections follow one another without
    // overlapping: only the first one that ends after `rva` matters.
    unsigned first = 0, last = map.count;
    if (map.ordered) {
        const auto *end =
            std::partition_point(map.sections, map.sections + map.count,
                                 [rva](const MappedSection &s) { return s.protect_end <= rva; });
        first = static_cast<unsigned>(end - map.sections);
        last = std::min(first + 1, map.count);
    }
    for (unsigned i = last; i-- > first && !(data_found && access_found);) {
        if (!access_found)
            access_found = TakeAccess(map.sections[i], rva, run);
        if (!data_found)
            data_found = TakeData(map.sections[i], rva, run);
    }
    if (!data_found && rva < map.header_size) {
        run.file = rva;
        run.length = std::min<uint64_t>(run.length, map.header_size - rva);
    } else if (!data_found && rva < RoundUp(map.header_size, kPageSize)) {
        run.length = std::min<uint64_t>(run.length, RoundUp(map.header_size, kPageSize) - rva);
    }
    return run;
}

// ---- Mapping ----

// Where the loader finds what it maps.
struct Layout {
    NtHeaders headers;
    uint64_t table;    // the section table's file offset
    uint64_t count_at; // the section count's offset, in the file and the image
};

// The loader's checks of the headers; the map's size and header pages. None
// when it refuses the file.
std::optional<Layout> CheckHeaders(FileImage &image, ImageMap &map)
{
    // 1. The DOS header and the NT headers, from the file.
    const auto lfanew = ReadNewHeaderOffset(image);
    if (!lfanew || *lfanew >= image.size)
        return std::nullopt;
    const auto headers = ReadNtHeaders(image, *lfanew);
    if (!headers || headers->signature != kPeSignature)
        return std::nullopt;
    const NtHeaders &h = *headers;
    // 2. Only the machines Wine runs on x86: i386 images, and x86-64 ones.
    if (!(h.magic == kOptionalHeaderMagic32 && h.machine == kMachineI386) &&
        !(h.magic == kOptionalHeaderMagic64 && h.machine == kMachineAmd64))
        return std::nullopt;
    // 3. The image's size, rounded up to a whole page (not to the section
    //    alignment).
    map.size = RoundUp(uint64_t{h.image_size}, kPageSize);
    if (map.size == 0 || map.size >= kLargestAllocation)
        return std::nullopt;
    // 4. The headers as mapped: at least up to the section table's end, at
    //    most the file; the NT headers and the table must lie in their
    //    pages.
    const uint64_t table = SectionTableOffset(*lfanew, h);
    const uint64_t table_end = table + uint64_t{h.section_count} * kSectionHeaderSize;
    if (table_end > map.size || table_end > image.size)
        return std::nullopt;
    const uint64_t header_size = std::min(std::max<uint64_t>(h.header_size, table_end), image.size);
    const uint32_t header_pages = RoundUp(static_cast<uint32_t>(header_size), kPageSize);
    if (*lfanew + kNtHeaders32Size > header_pages || table_end > header_pages ||
        header_pages > map.size || h.section_count > kMaxImageSections)
        return std::nullopt;
    map.header_size = static_cast<uint32_t>(header_size);
    map.count = 0;
    map.flat = (h.section_alignment & (kPageSize - 1)) != 0;
    map.ordered = false;
    return Layout{h, table, *lfanew + kSectionCountOffset};
}

// The layout of a shared writable section: the server's copy, its data (a
// sector may be missing at the end of the file) and zeros, over all of its
// pages, whatever lay there before. It is mapped whole pages at a time, so
// it needs an address and a size in pages.
bool MapShared(MappedSection &s, bool page_aligned, uint32_t map_size, uint32_t data_size,
               bool has_data, uint64_t sectors)
{
    if (!page_aligned || map_size == 0 ||
        (has_data && uint64_t{s.file_start} + data_size > sectors))
        return false;
    s.file_size = has_data ? data_size : 0;
    s.zero_end = map_size;
    return true;
}

// Adds one section to the map as the loader lays it out; false when the
// loader refuses it. The loader's arithmetic is 32-bit. Its pages stay
// readable here: ProtectSections sets their access afterwards.
bool MapSection(ImageMap &map, const Section &section, uint64_t file_size)
{
    const uint32_t rva = section.virtual_address;
    const bool page_aligned = (rva & (kPageSize - 1)) == 0;
    const uint32_t size = section.virtual_size != 0 ? section.virtual_size : section.raw_size;
    const uint32_t map_size = RoundUp(size, kPageSize);
    const uint32_t file_start = section.raw_pointer & ~(kSectorSize - 1);
    uint32_t data_size =
        RoundUp(section.raw_size + (section.raw_pointer & (kSectorSize - 1)), kSectorSize);
    data_size = std::min(data_size, map_size);
    const uint32_t end = rva + RoundUp(map_size + (rva & (kPageSize - 1)), kPageSize);
    if (rva > map.size || end > map.size || end < rva)
        return false;
    MappedSection &s = map.sections[map.count++];
    s = MappedSection{rva, file_start, 0, 0, 0, 0, true};
    const bool has_data = section.raw_pointer != 0 && data_size != 0;
    const uint64_t sectors = RoundUp(file_size, kSectorSize);
    if ((section.flags & kSectionShared) && (section.flags & kSectionWritable)) {
        if (!MapShared(s, page_aligned, map_size, data_size, has_data, sectors))
            return false;
    } else if (has_data) {
        // Section data goes to whole pages: an address inside a page cannot
        // be mapped at all.
        if (section.raw_pointer >= file_size || uint64_t{file_start} + data_size > sectors ||
            file_start + data_size < file_start || !page_aligned)
            return false;
        s.file_size = data_size;
        s.zero_end = std::min(RoundUp(data_size, kPageSize), map_size);
    }
    // The access of the section's pages. Setting it at an address inside a
    // page fails and changes nothing, and a section of no size has no pages.
    s.protect_start = rva & ~(kPageSize - 1);
    s.protect_end =
        size == 0 || !page_aligned ? s.protect_start : s.protect_start + RoundUp(size, kPageSize);
    return true;
}

// Maps each section at its address, for as many sections as the count in
// the mapped headers says: the loader reads it again after each section,
// and one mapped over it may change it (`count` ends as the last value
// read). Past the table the loader takes entries it never filled in, from
// its own stack. Unaligned sections: the file is mapped as it is, which
// works only when every section already lies at its address.
Mapping MapSections(FileImage &image, ImageMap &map, const Layout &layout, unsigned &count)
{
    const NtHeaders &h = layout.headers;
    count = h.section_count;
    for (unsigned i = 0; i < count; i++) {
        if (i >= h.section_count)
            return Mapping::undefined;
        const auto section = ReadSection(image, layout.table, i);
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
        if (s.zero_end != 0 && layout.count_at + kSectionCountSize > s.rva &&
            layout.count_at < uint64_t{s.rva} + s.zero_end) {
            std::array<uint8_t, kSectionCountSize> count_bytes;
            if (!ReadImage(image, map, layout.count_at, count_bytes))
                return Mapping::refused;
            count = ByteView{count_bytes}.ReadOrZero<uint16_t>(0);
        }
    }
    return Mapping::image;
}

// Sets each section's access as the loader does once every section is
// mapped: in table order, for as many sections as the section count in
// the mapped headers says (`count`, the last section mapped may have
// lowered it), reading that count again after each one. False when a
// section takes read access from the count's page: the loader faults
// there and the file is not mapped.
bool ProtectSections(FileImage &image, ImageMap &map, const Layout &layout, unsigned count)
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
        const auto section = ReadSection(image, layout.table, i);
        if (!section)
            return false;
        s.readable = (section->flags & kSectionReadable) != 0;
        if (!s.readable && layout.count_at + kSectionCountSize > s.protect_start &&
            layout.count_at < s.protect_end)
            return false;
    }
    return true;
}

} // namespace

Mapping MapImage(FileImage &image, ImageMap &map)
{
    const auto layout = CheckHeaders(image, map);
    if (!layout)
        return Mapping::refused;
    unsigned count = 0;
    if (const Mapping mapped = MapSections(image, map, *layout, count); mapped != Mapping::image)
        return mapped;
    // Whether ReadImage may search the sections by address.
    map.ordered = true;
    for (unsigned i = 1; i < map.count; i++)
        if (map.sections[i].protect_start < map.sections[i - 1].protect_end)
            map.ordered = false;
    if (map.flat) {
        map.size = std::min<uint64_t>(map.size, RoundUp(image.size, kPageSize));
        return Mapping::image;
    }
    return ProtectSections(image, map, *layout, count) ? Mapping::image : Mapping::refused;
}

bool ReadImage(FileImage &image, const ImageMap &map, uint64_t rva, std::span<uint8_t> out,
               ReadMode mode)
{
    if (!RangeInside(rva, out.size(), map.size))
        return false;
    while (!out.empty()) {
        // Every run holds at least the byte at `rva`; one of no length
        // would never end the loop, so it fails the read instead.
        const Run run = RunAt(map, rva, out.size());
        if (!run.readable || run.length == 0)
            return false;
        const auto piece = out.first(static_cast<std::size_t>(run.length));
        if (!run.file)
            std::fill(piece.begin(), piece.end(), uint8_t{0});
        else if (!ReadFileOrZeros(image, *run.file, piece, mode))
            return false;
        out = out.subspan(piece.size());
        rva += run.length;
    }
    return true;
}

} // namespace qv::reader
