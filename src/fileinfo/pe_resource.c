/* Wine 8's GetFileVersionInfoSizeExW and GetFileVersionInfoExW look for the
 * resource in one of two ways. The file is loaded as a data file, which Wine
 * 8 maps the way its loader maps an image (sections at their addresses,
 * zeros between them), and ntdll's resource lookup runs over that memory; a
 * fault while reading it fails the lookup, and so does a lookup that finds
 * nothing. Only a file the loader refuses to map is parsed by kernelbase
 * itself: it reads the section holding the resource directory into memory
 * and walks it with its own, slightly different, rules, and it also reads
 * 16-bit (NE) executables. Both are modelled here; reads that would fault
 * in Wine (or read memory Wine does not own) fail instead. */
#include "pe_resource.h"

#include <string.h>

#include "byte_reader.h"

enum {
    kPageSize = 4096,
    kSectorSize = 512,
    kResourceDirectorySize = 16,
    kResourceEntrySize = 8,
    kSectionHeaderSize = 40,
    kDosHeaderSize = 64,
    kNtHeadersSize = 264,      /* the larger (64-bit) layout */
    kNtHeaders32Size = 248,    /* what Wine's 32-bit loader requires in the headers */
    kVersionType = 16,
    kVersionName = 1,
    kNeVersionType = 0x8010,
    kNeVersionName = 0x8001,
    kMaxLanguages = 3,
};

/* Section flags the loader turns into page protections. */
#define kSectionReadable 0xE0000000u /* execute, read or write: readable on x86 */

/* An offset at or past 2 GiB makes Wine's SetFilePointer fail: the read
 * that follows starts wherever the previous one ended. */
#define kNegativeSeek 0x80000000u

/* The most a 32-bit Wine process can be relied on to allocate or map in one
 * piece (its heap failed from about 600 MiB, image views from about 700). */
#define kLargestAllocation 0x20000000u

/* The languages tried in order, for Wine in a U.S. English locale: neutral,
 * the user's (en-US), its primary language with neutral sublanguage. */
static const uint16_t kLanguages[kMaxLanguages] = {0x0000, 0x0409, 0x0009};

int OpenFileImage(FileImage *image, const char *path)
{
    /* Only the bookkeeping is cleared: the buffers are written before
     * they are read, and clearing 12 KiB would cost more than the reads. */
    image->size = 0;
    image->head_length = 0;
    image->window_start = 0;
    image->window_length = 0;
    image->file = OpenFileReadOnly(path);
    if (image->file == NULL)
        return 0;
    /* A file shorter than the head is all in it, and its length is known
     * without asking; only a longer one needs the file system's length. */
    long n = ReadFileAt(image->file, 0, image->head, sizeof image->head);
    int known = n >= 0 && (size_t)n < sizeof image->head;
    if (known)
        image->size = (uint64_t)n;
    if (n < 0 || (!known && !GetFileLength(image->file, &image->size))) {
        CloseFileImage(image);
        return 0;
    }
    image->head_length = (size_t)n;
    return 1;
}

void CloseFileImage(FileImage *image)
{
    CloseFile(image->file);
    image->file = NULL;
    image->head_length = 0;
    image->window_length = 0;
}

/* Exactly `count` file bytes at `offset`: from the first 8 KiB or the last
 * window read when they lie there. A small read elsewhere brings in the
 * 8 KiB from the page it starts in, since the directory entries of one
 * lookup are read one after another from a few places, often the first
 * pages of the resource section. Reads of the resource itself (`direct`)
 * go straight to `out`. */
static int ReadFile(FileImage *image, uint64_t offset, void *out, size_t count, int direct)
{
    if (ReadBytes(image->head, image->head_length, offset, out, count))
        return 1;
    if (!RangeInside(offset, count, image->size))
        return 0;
    if (offset >= image->window_start &&
        ReadBytes(image->window, image->window_length, offset - image->window_start, out, count))
        return 1;
    if (direct || count > kFileWindowSize / 4)
        return ReadFileAt(image->file, offset, out, count) == (long)count;
    uint64_t start = offset - offset % kPageSize;
    if (offset + count > start + kFileWindowSize)
        start = offset;
    long n = ReadFileAt(image->file, start, image->window, kFileWindowSize);
    image->window_start = start;
    image->window_length = n > 0 ? (size_t)n : 0;
    return ReadBytes(image->window, image->window_length, offset - start, out, count);
}

static int ReadFileBytes(FileImage *image, uint64_t offset, void *out, size_t count)
{
    return ReadFile(image, offset, out, count, 0);
}

/* The file's bytes at `offset`, zeros for those past its end. */
static int ReadFileOrZeros(FileImage *image, uint64_t offset, uint8_t *out, size_t count,
                           int direct)
{
    size_t present = 0;
    if (offset < image->size)
        present = image->size - offset < count ? (size_t)(image->size - offset) : count;
    memset(out + present, 0, count - present);
    return present == 0 || ReadFile(image, offset, out, present, direct);
}

int ReadView(FileImage *image, const FileView *view, uint64_t offset, void *out,
             size_t count)
{
    if (!RangeInside(offset, count, view->length))
        return 0;
    memset(out, 0, count);
    if (offset >= view->backed)
        return 1;
    uint64_t backed = view->backed - offset;
    return ReadFileBytes(image, view->start + offset, out, backed < count ? (size_t)backed : count);
}

/* ---- A file mapped as an image ---- */

static uint32_t RoundPage(uint32_t size)
{
    return (size + kPageSize - 1) & ~(uint32_t)(kPageSize - 1);
}

static uint64_t Min64(uint64_t a, uint64_t b)
{
    return a < b ? a : b;
}

/* Copies `count` bytes of the image at `rva`; 0 when any of them is past
 * the image or on a page without read access (Wine would fault). */
static int ReadImage(FileImage *image, const ImageMap *map, uint64_t rva, void *out, size_t count,
                     int direct)
{
    uint8_t *bytes = out;
    if (!RangeInside(rva, count, map->size))
        return 0;
    while (count > 0) {
        /* Find what lies at `rva` and for how long it goes on: the last
         * section mapped over it wins, for both its bytes and its pages. */
        uint64_t run = count;
        int64_t file = -1; /* file offset of the bytes at rva; -1: zeros */
        int data_found = map->flat, protect_found = map->flat, readable = 1;
        if (map->flat)
            file = (int64_t)rva;
        /* In the usual image, sections follow one another without
         * overlapping: only the first one that ends after `rva` matters. */
        unsigned first = 0, last = map->count;
        if (map->ordered) {
            while (first < last) {
                unsigned middle = (first + last) / 2;
                if (map->sections[middle].protect_end > rva)
                    last = middle;
                else
                    first = middle + 1;
            }
            last = first < map->count ? first + 1 : first;
        }
        for (unsigned i = last; i-- > first && !(data_found && protect_found);) {
            const MappedSection *s = &map->sections[i];
            if (!protect_found && s->protect_start > rva)
                run = Min64(run, s->protect_start - rva);
            else if (!protect_found && rva < s->protect_end) {
                protect_found = 1;
                readable = s->readable;
                run = Min64(run, s->protect_end - rva);
            }
            if (data_found || s->zero_end == 0)
                continue;
            if (s->rva > rva) {
                run = Min64(run, s->rva - rva);
            } else if (rva - s->rva < s->zero_end) {
                data_found = 1;
                uint64_t inside = rva - s->rva;
                if (inside < s->file_size) {
                    file = (int64_t)(s->file_start + inside);
                    run = Min64(run, s->file_size - inside);
                } else {
                    run = Min64(run, s->zero_end - inside);
                }
            }
        }
        if (!data_found && rva < RoundPage(map->header_size)) {
            if (rva < map->header_size) {
                file = (int64_t)rva;
                run = Min64(run, map->header_size - rva);
            } else {
                run = Min64(run, RoundPage(map->header_size) - rva);
            }
        }
        if (!readable)
            return 0;
        if (file < 0)
            memset(bytes, 0, (size_t)run);
        else if (!ReadFileOrZeros(image, (uint64_t)file, bytes, (size_t)run, direct))
            return 0;
        bytes += run;
        rva += run;
        count -= (size_t)run;
    }
    return 1;
}

/* The loader's checks and layout (Wine 8's server and ntdll); 1 when the
 * file maps as an image. */
static int MapImage(FileImage *image, ImageMap *map)
{
    uint8_t dos[kDosHeaderSize], nt[kNtHeadersSize];
    uint32_t lfanew = 0;
    if (!ReadFileBytes(image, 0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z')
        return 0;
    ReadU32(dos, sizeof dos, 60, &lfanew);
    if (lfanew >= kNegativeSeek || lfanew >= image->size || image->size - lfanew < 24)
        return 0;
    memset(nt, 0, sizeof nt);
    uint64_t available = image->size - lfanew;
    if (!ReadFileBytes(image, lfanew, nt, available < sizeof nt ? (size_t)available : sizeof nt))
        return 0;
    uint16_t machine = 0, count = 0, optional_size = 0, magic = 0;
    uint32_t alignment = 0, file_alignment = 0, image_size = 0, header_size = 0;
    ReadU16(nt, sizeof nt, 4, &machine);
    ReadU16(nt, sizeof nt, 6, &count);
    ReadU16(nt, sizeof nt, 20, &optional_size);
    ReadU16(nt, sizeof nt, 24, &magic);
    ReadU32(nt, sizeof nt, 24 + 32, &alignment);
    ReadU32(nt, sizeof nt, 24 + 36, &file_alignment);
    ReadU32(nt, sizeof nt, 24 + 56, &image_size);
    ReadU32(nt, sizeof nt, 24 + 60, &header_size);
    if (memcmp(nt, "PE\0\0", 4) != 0)
        return 0;
    /* Only the machines Wine runs on x86: i386 images, and x86-64 ones. */
    if (!(magic == 0x10b && machine == 0x14c) && !(magic == 0x20b && machine == 0x8664))
        return 0;
    uint64_t mask = (uint32_t)(alignment - 1) > kPageSize - 1 ? (uint32_t)(alignment - 1)
                                                              : kPageSize - 1;
    map->size = ((uint64_t)image_size + mask) & ~mask;
    if (map->size == 0 || map->size >= kLargestAllocation)
        return 0;
    uint64_t table = (uint64_t)lfanew + 24 + optional_size;
    uint64_t table_end = table + (uint64_t)count * kSectionHeaderSize;
    if (table_end > map->size || table_end > image->size)
        return 0;
    /* The headers as mapped: at least up to the section table's end, at
     * most the file; the NT headers and the table must lie in their pages. */
    uint64_t headers = Min64(header_size > table_end ? header_size : table_end, image->size);
    if (lfanew + kNtHeaders32Size > RoundPage((uint32_t)headers) || table_end > RoundPage((uint32_t)headers) ||
        RoundPage((uint32_t)headers) > map->size || count > kMaxImageSections)
        return 0;
    map->header_size = (uint32_t)headers;
    map->count = 0;
    map->flat = (alignment & (kPageSize - 1)) != 0;
    uint64_t sectors = (image->size + kSectorSize - 1) / kSectorSize * kSectorSize;
    for (unsigned i = 0; i < count; i++) {
        uint8_t b[kSectionHeaderSize];
        uint32_t virtual_size = 0, rva = 0, raw_size = 0, raw_pointer = 0, flags = 0;
        if (!ReadFileBytes(image, table + (uint64_t)i * kSectionHeaderSize, b, sizeof b))
            return 0;
        ReadU32(b, sizeof b, 8, &virtual_size);
        ReadU32(b, sizeof b, 12, &rva);
        ReadU32(b, sizeof b, 16, &raw_size);
        ReadU32(b, sizeof b, 20, &raw_pointer);
        ReadU32(b, sizeof b, 36, &flags);
        if (map->flat) {
            /* Unaligned sections: the file is mapped as it is, which works
             * only when every section already lies at its address. */
            if (file_alignment != alignment || rva != raw_pointer)
                return 0;
            continue;
        }
        /* The loader's arithmetic is 32-bit. */
        uint32_t map_size = RoundPage(virtual_size != 0 ? virtual_size : raw_size);
        uint32_t file_start = raw_pointer & ~(uint32_t)(kSectorSize - 1);
        uint32_t file_size = (raw_size + (raw_pointer & (kSectorSize - 1)) + kSectorSize - 1) &
                             ~(uint32_t)(kSectorSize - 1);
        if (file_size > map_size)
            file_size = map_size;
        uint32_t end = rva + RoundPage(map_size + (rva & (kPageSize - 1)));
        if (rva > map->size || end > map->size || end < rva)
            return 0;
        MappedSection *s = &map->sections[map->count++];
        memset(s, 0, sizeof *s);
        s->rva = rva;
        if (raw_pointer != 0 && file_size != 0) {
            /* Section data goes to whole pages: an address inside a page
             * cannot be mapped at all. */
            if (raw_pointer >= image->size || (uint64_t)file_start + file_size > sectors ||
                file_start + file_size < file_start || (rva & (kPageSize - 1)) != 0)
                return 0;
            s->file_start = file_start;
            s->file_size = file_size;
            s->zero_end = RoundPage(file_size) < map_size ? RoundPage(file_size) : map_size;
        }
        uint32_t protected_size = virtual_size != 0 ? virtual_size : raw_size;
        s->protect_start = rva & ~(uint32_t)(kPageSize - 1);
        s->protect_end = s->protect_start + RoundPage(protected_size + (rva & (kPageSize - 1)));
        s->readable = (flags & kSectionReadable) != 0;
    }
    if (map->flat)
        map->size = Min64(map->size, (image->size + kPageSize - 1) / kPageSize * kPageSize);
    map->ordered = 1;
    for (unsigned i = 1; i < map->count; i++)
        if (map->sections[i].protect_start < map->sections[i - 1].protect_end)
            map->ordered = 0;
    return 1;
}

/* ---- Resource directories, in the image or in a copy of a section ---- */

/* Where a lookup reads: the mapped image, or a view of the file. */
typedef struct Space {
    FileImage *file;
    const ImageMap *map;
    const FileView *view;
    uint32_t size; /* the parser's bound on directory offsets */
} Space;

static int ReadSpace(const Space *space, uint64_t offset, void *out, size_t count)
{
    return space->map != NULL ? ReadImage(space->file, space->map, offset, out, count, 0)
                              : ReadView(space->file, space->view, offset, out, count);
}

static int SpaceU16(const Space *space, uint64_t offset, uint16_t *value)
{
    uint8_t b[2];
    return ReadSpace(space, offset, b, sizeof b) && ReadU16(b, sizeof b, 0, value);
}

static int SpaceU32(const Space *space, uint64_t offset, uint32_t *value)
{
    uint8_t b[4];
    return ReadSpace(space, offset, b, sizeof b) && ReadU32(b, sizeof b, 0, value);
}

typedef struct DirectoryEntry {
    uint16_t id;
    int is_directory;
    uint32_t offset;
} DirectoryEntry;

static int ReadEntry(const Space *space, uint64_t directory, unsigned index,
                     DirectoryEntry *entry)
{
    uint8_t b[kResourceEntrySize];
    uint32_t name = 0, data = 0;
    if (!ReadSpace(space, directory + kResourceDirectorySize + (uint64_t)index * 8, b, sizeof b))
        return 0;
    ReadU32(b, sizeof b, 0, &name);
    ReadU32(b, sizeof b, 4, &data);
    entry->id = (uint16_t)name;
    entry->is_directory = (data >> 31) != 0;
    entry->offset = data & 0x7fffffffu;
    return 1;
}

static int ReadCounts(const Space *space, uint64_t directory, int *named, int *ids)
{
    uint16_t n = 0, i = 0;
    if (!SpaceU16(space, directory + 12, &n) || !SpaceU16(space, directory + 14, &i))
        return 0;
    *named = n;
    *ids = i;
    return 1;
}

/* Binary search of the id entries; 1 found, 0 not there, -1 unreadable. */
static int SearchId(const Space *space, uint64_t directory, int min, int max, uint16_t id,
                    DirectoryEntry *entry)
{
    while (min <= max) {
        int pos = (min + max) / 2;
        if (!ReadEntry(space, directory, (unsigned)pos, entry))
            return -1;
        if (entry->id == id)
            return 1;
        if (entry->id > id)
            max = pos - 1;
        else
            min = pos + 1;
    }
    return 0;
}

/* ---- ntdll's lookup in the mapped image ---- */

/* ntdll's find_entry_by_id: the entry must also be a directory or not, as
 * wanted. Offsets are relative to the directory root. */
static int MappedFindId(const Space *space, uint64_t root, uint64_t directory, uint16_t id,
                        int want_directory, uint64_t *found)
{
    int named, ids;
    DirectoryEntry entry;
    if (!ReadCounts(space, directory, &named, &ids))
        return -1;
    int r = SearchId(space, directory, named, named + ids - 1, id, &entry);
    if (r != 1)
        return r;
    if (entry.is_directory != want_directory)
        return 0;
    *found = root + entry.offset;
    return 1;
}

/* The lookup reads the headers from the mapped memory, which a section
 * mapped at address 0 may have replaced. */
static int LocateInImage(FileImage *image, VersionLocation *location)
{
    const ImageMap *map = &location->image;
    Space space = {image, map, NULL, 0};
    uint16_t mz = 0, magic = 0;
    uint32_t lfanew = 0, signature = 0, rva_count = 0, root32 = 0, size = 0;
    if (!SpaceU16(&space, 0, &mz) || mz != 0x5a4d || !SpaceU32(&space, 60, &lfanew) ||
        !SpaceU32(&space, lfanew, &signature) || signature != 0x00004550 ||
        !SpaceU16(&space, (uint64_t)lfanew + 24, &magic))
        return 0;
    if (magic != 0x10b && magic != 0x20b)
        return 0;
    uint64_t directories = (uint64_t)lfanew + 24 + (magic == 0x20b ? 112 : 96);
    if (!SpaceU32(&space, directories - 4, &rva_count) || rva_count <= 2 ||
        !SpaceU32(&space, directories + 16, &root32) ||
        !SpaceU32(&space, directories + 20, &size) || root32 == 0 ||
        size < kResourceDirectorySize)
        return 0;
    uint64_t root = root32, type_dir, name_dir, data_entry = 0;
    if (MappedFindId(&space, root, root, kVersionType, 1, &type_dir) != 1 ||
        MappedFindId(&space, root, type_dir, kVersionName, 1, &name_dir) != 1)
        return 0;
    int r = 0;
    for (int i = 0; i < kMaxLanguages && r == 0; i++) {
        r = MappedFindId(&space, root, name_dir, kLanguages[i], 0, &data_entry);
        if (r < 0)
            return 0;
    }
    if (r == 0) {
        /* No preferred language: the first entry that is not a directory. */
        int named, ids;
        if (!ReadCounts(&space, name_dir, &named, &ids))
            return 0;
        for (int i = 0; i < named + ids && r == 0; i++) {
            DirectoryEntry entry;
            if (!ReadEntry(&space, name_dir, (unsigned)i, &entry))
                return 0;
            if (!entry.is_directory) {
                data_entry = root + entry.offset;
                r = 1;
            }
        }
        if (r == 0)
            return 0;
    }
    uint32_t rva = 0;
    if (!SpaceU32(&space, data_entry, &rva) || !SpaceU32(&space, data_entry + 4, &location->size))
        return 0;
    location->in_image = 1;
    location->start = rva;
    return 1;
}

/* ---- kernelbase's own parser ---- */

/* The section header fields the parser uses. */
typedef struct Section {
    uint32_t virtual_size;
    uint32_t virtual_address;
    uint32_t raw_size;
    uint32_t raw_pointer;
} Section;

typedef struct Headers {
    uint16_t magic;           /* optional header magic */
    uint32_t resource_rva;
    uint32_t resource_size;
    uint16_t section_count;
    uint64_t section_table;   /* offset of the section table */
} Headers;

/* Reads the headers from the first 264 bytes at the "PE" signature (the
 * larger of the two header layouts); `nt_bytes` are zero past what exists. */
static void ParseHeaders(const uint8_t *nt_bytes, size_t size, uint64_t nt, Headers *h)
{
    uint16_t optional_size = 0;
    memset(h, 0, sizeof *h);
    ReadU16(nt_bytes, size, 6, &h->section_count);
    ReadU16(nt_bytes, size, 20, &optional_size);
    ReadU16(nt_bytes, size, 24, &h->magic);
    uint64_t directory = h->magic == 0x20b ? 24 + 112 : 24 + 96;
    ReadU32(nt_bytes, size, directory + 2 * 8, &h->resource_rva);
    ReadU32(nt_bytes, size, directory + 2 * 8 + 4, &h->resource_size);
    h->section_table = nt + 24 + optional_size;
}

/* The first section holding `rva`, its end computed in 32 bits as Wine's
 * is; 0 when none does or the table cannot be read. */
static int FindSection(FileImage *image, const Headers *h, uint32_t rva, Section *found)
{
    for (unsigned i = 0; i < h->section_count; i++) {
        uint8_t b[kSectionHeaderSize];
        Section s;
        if (!ReadFileBytes(image, h->section_table + (uint64_t)i * kSectionHeaderSize, b, sizeof b))
            return 0;
        ReadU32(b, sizeof b, 8, &s.virtual_size);
        ReadU32(b, sizeof b, 12, &s.virtual_address);
        ReadU32(b, sizeof b, 16, &s.raw_size);
        ReadU32(b, sizeof b, 20, &s.raw_pointer);
        if (s.virtual_address <= rva && (uint32_t)(s.virtual_address + s.raw_size) > rva) {
            *found = s;
            return 1;
        }
    }
    return 0;
}

/* kernelbase's find_entry_by_id: checks that the entries fit in the
 * directory's memory and that the target leaves room for a directory, but
 * not whether the target is a directory. */
static int ParsedFindId(const Space *space, uint64_t directory, uint16_t id, uint64_t *found)
{
    int named, ids;
    DirectoryEntry entry;
    if (!ReadCounts(space, directory, &named, &ids))
        return -1;
    int max = named + ids - 1;
    if ((uint32_t)max >= (space->size - (uint32_t)directory - kResourceDirectorySize) / 8)
        return 0;
    int r = SearchId(space, directory, named, max, id, &entry);
    if (r != 1)
        return r;
    if (entry.offset > space->size - kResourceDirectorySize)
        return 0;
    *found = entry.offset;
    return 1;
}

static int ParsePe(FileImage *image, uint32_t lfanew, VersionLocation *location)
{
    uint8_t nt[kNtHeadersSize];
    memset(nt, 0, sizeof nt);
    uint64_t available = image->size - lfanew;
    size_t length = available < sizeof nt ? (size_t)available : sizeof nt;
    if (length < 24 || !ReadFileBytes(image, lfanew, nt, length))
        return 0;
    Headers h;
    ParseHeaders(nt, sizeof nt, lfanew, &h);
    if ((h.magic != 0x10b && h.magic != 0x20b) || h.resource_size == 0)
        return 0;
    /* The whole section table must be in the file. */
    uint64_t table_end = h.section_table + (uint64_t)h.section_count * kSectionHeaderSize;
    if (!RangeInside(h.section_table, table_end - h.section_table, image->size))
        return 0;
    Section s;
    if (!FindSection(image, &h, h.resource_rva, &s))
        return 0;
    /* The section's raw data is read whole (from where the table read
     * ended, after a failed seek); memory past it up to the virtual size
     * reads as zeros. */
    uint64_t raw = s.raw_pointer < kNegativeSeek ? s.raw_pointer : table_end;
    /* Wine allocates the section's memory, and may not get it. */
    uint32_t section_size = s.raw_size > s.virtual_size ? s.raw_size : s.virtual_size;
    if (section_size >= kLargestAllocation || !RangeInside(raw, s.raw_size, image->size))
        return 0;
    uint32_t delta = h.resource_rva - s.virtual_address;
    FileView view = {raw + delta, s.raw_size - delta, section_size - delta};
    if (view.length < kResourceDirectorySize)
        return 0;
    Space space = {image, NULL, &view, (uint32_t)view.length};
    uint64_t type_dir, name_dir, data_entry = 0;
    if (ParsedFindId(&space, 0, kVersionType, &type_dir) != 1 ||
        ParsedFindId(&space, type_dir, kVersionName, &name_dir) != 1)
        return 0;
    int r = 0;
    for (int i = 0; i < kMaxLanguages && r == 0; i++) {
        r = ParsedFindId(&space, name_dir, kLanguages[i], &data_entry);
        if (r < 0)
            return 0;
    }
    if (r == 0) {
        /* No preferred language: the first entry, whatever it is. */
        DirectoryEntry entry;
        if (!ReadEntry(&space, name_dir, 0, &entry))
            return 0;
        data_entry = entry.offset;
    }
    uint32_t rva = 0;
    if (!SpaceU32(&space, data_entry, &rva) || !SpaceU32(&space, data_entry + 4, &location->size))
        return 0;
    uint64_t section_end = raw + s.raw_size;
    if (!FindSection(image, &h, rva, &s))
        return 0;
    /* The file offset is computed in 32 bits, as Wine computes it. */
    uint32_t start = rva - s.virtual_address + s.raw_pointer;
    location->start = start < kNegativeSeek ? start : section_end;
    return 1;
}

/* kernelbase's find_ne_resource: the resource table is read whole, then
 * walked type by type (ending at type 0) without a bound, so a walk that
 * leaves the table reads past Wine's buffer; here it fails. */
static int ParseNe(FileImage *image, uint32_t lfanew, VersionLocation *location)
{
    uint8_t ne[64];
    uint16_t resources = 0, names = 0;
    if (!ReadFileBytes(image, lfanew, ne, sizeof ne))
        return 0;
    ReadU16(ne, sizeof ne, 36, &resources);
    ReadU16(ne, sizeof ne, 38, &names);
    /* A negative difference asks for about 4 GiB, which Wine cannot get. */
    if (names <= resources)
        return 0;
    uint32_t table_size = (uint32_t)(names - resources);
    uint64_t table = (uint64_t)lfanew + resources;
    if (!RangeInside(table, table_size, image->size))
        return 0;
    FileView view = {table, table_size, table_size};
    Space space = {image, NULL, &view, table_size};
    uint64_t type = 2;
    uint16_t id = 0, count = 0, shift = 0, offset = 0, length = 0;
    for (;;) {
        if (!SpaceU16(&space, type, &id) || id == 0)
            return 0;
        if (!SpaceU16(&space, type + 2, &count))
            return 0;
        if (id == kNeVersionType)
            break;
        type += 8 + (uint64_t)count * 12;
    }
    uint64_t name = type + 8;
    for (;; name += 12) {
        if (count-- == 0)
            return 0;
        if (!SpaceU16(&space, name + 6, &id))
            return 0;
        if (id == kNeVersionName)
            break;
    }
    if (!SpaceU16(&space, 0, &shift) || !SpaceU16(&space, name, &offset) ||
        !SpaceU16(&space, name + 2, &length))
        return 0;
    /* Wine shifts an int by the table's count; x86 uses its low 5 bits. */
    uint32_t start = (uint32_t)offset << (shift & 31);
    location->size = (uint32_t)length << (shift & 31);
    location->start = start < kNegativeSeek ? start : table + table_size;
    location->sixteen_bit = 1;
    return 1;
}

static int LocateParsed(FileImage *image, VersionLocation *location)
{
    uint8_t dos[kDosHeaderSize];
    uint32_t lfanew = 0;
    uint16_t magic = 0;
    if (!ReadFileBytes(image, 0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z')
        return 0;
    ReadU32(dos, sizeof dos, 60, &lfanew);
    /* A negative e_lfanew makes Wine's seek fail and read from wherever the
     * file position was; such files are simply refused here. */
    uint8_t b[2];
    if (lfanew >= kNegativeSeek || !ReadFileBytes(image, lfanew, b, sizeof b))
        return 0;
    ReadU16(b, sizeof b, 0, &magic);
    if (magic == 0x4550)
        return ParsePe(image, lfanew, location);
    if (magic == 0x454e)
        return ParseNe(image, lfanew, location);
    return 0;
}

/* LoadLibraryEx opens a name with a folder or a drive in it as it is, so
 * such a file is mapped whatever its name ends with. A bare name is looked
 * up as a module, with ".dll" as the default extension: one without an
 * extension is then never found, and only the parser sees it. (Seen with
 * Wine 8: damaged files without an extension answer as their ".dll" copies,
 * in a plain folder and in one with a dot in its name, except when named
 * bare.) */
static int NameIsMapped(const char *path)
{
    return strpbrk(path, "/\\:.") != NULL;
}

int LocateVersionResource(FileImage *image, const char *path, VersionLocation *location)
{
    location->size = 0;
    location->in_image = 0;
    location->sixteen_bit = 0;
    location->start = 0;
    /* Only a file the loader refuses goes to the parser: when the mapping
     * works but its lookup fails, Wine 8 reports no resource. */
    if (NameIsMapped(path) && MapImage(image, &location->image))
        return LocateInImage(image, location);
    return LocateParsed(image, location);
}

int ReadVersionData(FileImage *image, const VersionLocation *location, uint32_t count, void *out)
{
    if (location->in_image)
        return ReadImage(image, &location->image, location->start, out, count, 1);
    /* Wine's ReadFile stops at the end of the file. */
    uint64_t start = location->start;
    if (start >= image->size)
        return 1;
    uint64_t present = image->size - start;
    return ReadFile(image, start, out, present < count ? (size_t)present : count, 1);
}
