/* Wine 8's GetFileVersionInfoSizeExW and GetFileVersionInfoExW look for the
 * resource in one of two ways. The file is mapped as a data file
 * (LoadLibraryEx) and ntdll's resource lookup runs over the mapping; a fault
 * while reading the mapping fails that lookup, and so does a lookup that
 * finds nothing. Only a file that cannot be mapped at all (no "MZ" header
 * leading to a "PE" signature, or a name LoadLibraryEx would change) is
 * parsed by kernelbase itself: it reads the section holding the resource
 * directory into memory and walks it with its own, slightly different,
 * rules. Both are modelled
 * here; reads that would fault in Wine (or read memory Wine does not own)
 * fail instead. */
#include "pe_resource.h"

#include <string.h>

#include "byte_reader.h"

enum {
    kPageSize = 4096,
    kResourceDirectorySize = 16,
    kResourceEntrySize = 8,
    kSectionHeaderSize = 40,
    kVersionType = 16,
    kVersionName = 1,
    kMaxLanguages = 3,
};

/* The languages tried in order, for Wine in a U.S. English locale: neutral,
 * the user's (en-US), its primary language with neutral sublanguage. */
static const uint16_t kLanguages[kMaxLanguages] = {0x0000, 0x0409, 0x0009};

int OpenFileImage(FileImage *image, const char *path)
{
    /* Only the bookkeeping is cleared: the buffers are written before
     * they are read, and clearing 12 KiB would cost more than the reads. */
    image->size = 0;
    image->head_length = 0;
    image->page_start = 0;
    image->page_length = 0;
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
    image->page_length = 0;
}

/* Exactly `count` file bytes at `offset`: from the first 8 KiB or the last
 * page read when they lie there. A small read elsewhere brings in the page
 * around it, since the directory entries of one lookup are read one after
 * another from a few places. */
static int ReadFileBytes(FileImage *image, uint64_t offset, void *out, size_t count)
{
    if (ReadBytes(image->head, image->head_length, offset, out, count))
        return 1;
    if (!RangeInside(offset, count, image->size))
        return 0;
    if (offset >= image->page_start &&
        ReadBytes(image->page, image->page_length, offset - image->page_start, out, count))
        return 1;
    if (count > kFilePageSize / 2)
        return ReadFileAt(image->file, offset, out, count) == (long)count;
    uint64_t start = offset - offset % kFilePageSize;
    if (offset + count > start + kFilePageSize)
        start = offset;
    long n = ReadFileAt(image->file, start, image->page, kFilePageSize);
    image->page_start = start;
    image->page_length = n > 0 ? (size_t)n : 0;
    return ReadBytes(image->page, image->page_length, offset - start, out, count);
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

static int ViewU16(FileImage *image, const FileView *view, uint64_t offset, uint16_t *value)
{
    uint8_t b[2];
    return ReadView(image, view, offset, b, sizeof b) && ReadU16(b, sizeof b, 0, value);
}

static int ViewU32(FileImage *image, const FileView *view, uint64_t offset, uint32_t *value)
{
    uint8_t b[4];
    return ReadView(image, view, offset, b, sizeof b) && ReadU32(b, sizeof b, 0, value);
}

/* The section header fields the lookups use. */
typedef struct Section {
    uint32_t virtual_size;
    uint32_t virtual_address;
    uint32_t raw_size;
    uint32_t raw_pointer;
} Section;

typedef struct Headers {
    uint64_t nt;              /* offset of "PE" */
    uint16_t magic;           /* optional header magic */
    uint32_t rva_count;       /* NumberOfRvaAndSizes */
    uint32_t resource_rva;
    uint32_t resource_size;
    uint32_t header_size;     /* SizeOfHeaders */
    uint16_t section_count;
    uint64_t section_table;   /* offset of the section table */
} Headers;

/* Reads the headers from the first 264 bytes at the "PE" signature (the
 * larger of the two header layouts); `nt_bytes` are zero past what exists. */
static void ParseHeaders(const uint8_t *nt_bytes, size_t size, uint64_t nt, Headers *h)
{
    uint16_t optional_size = 0;
    memset(h, 0, sizeof *h);
    h->nt = nt;
    ReadU16(nt_bytes, size, 6, &h->section_count);
    ReadU16(nt_bytes, size, 20, &optional_size);
    ReadU16(nt_bytes, size, 24, &h->magic);
    ReadU32(nt_bytes, size, 24 + 60, &h->header_size);
    uint64_t directory = h->magic == 0x20b ? 24 + 112 : 24 + 96;
    ReadU32(nt_bytes, size, h->magic == 0x20b ? 24 + 108 : 24 + 92, &h->rva_count);
    ReadU32(nt_bytes, size, directory + 2 * 8, &h->resource_rva);
    ReadU32(nt_bytes, size, directory + 2 * 8 + 4, &h->resource_size);
    h->section_table = nt + 24 + optional_size;
}

static int ReadSection(FileImage *image, const FileView *view, const Headers *h,
                       unsigned index, Section *s)
{
    uint8_t b[kSectionHeaderSize];
    if (!ReadView(image, view, h->section_table + (uint64_t)index * kSectionHeaderSize, b,
                  sizeof b))
        return 0;
    ReadU32(b, sizeof b, 8, &s->virtual_size);
    ReadU32(b, sizeof b, 12, &s->virtual_address);
    ReadU32(b, sizeof b, 16, &s->raw_size);
    ReadU32(b, sizeof b, 20, &s->raw_pointer);
    return 1;
}

/* Wine loads a data file as an image, and that fails when a section's raw
 * data runs past the end of the file rounded up to 512 bytes: a file cut
 * inside a section cannot be mapped at all. (Seen with Wine 8: a 1536-byte
 * image whose only section ends at 1536 maps when cut to 1025 bytes or
 * more, not at 1024 or less.) */
static int SectionsFitFile(FileImage *image, const FileView *view, const Headers *h)
{
    uint64_t sectors = (image->size + 511) / 512 * 512;
    for (unsigned i = 0; i < h->section_count; i++) {
        Section s;
        if (!ReadSection(image, view, h, i, &s))
            return 0;
        if (s.raw_size != 0 && (uint64_t)s.raw_pointer + s.raw_size > sectors)
            return 0;
    }
    return 1;
}

/* The first section holding `rva`; the end is computed in 32 bits, wrapping
 * as Wine's does. -1 when none does, -2 when the table cannot be read. */
static int FindSection(FileImage *image, const FileView *view, const Headers *h,
                       uint32_t rva, Section *found)
{
    for (unsigned i = 0; i < h->section_count; i++) {
        Section s;
        if (!ReadSection(image, view, h, i, &s))
            return -2;
        if (s.virtual_address <= rva && (uint32_t)(s.virtual_address + s.raw_size) > rva) {
            *found = s;
            return (int)i;
        }
    }
    return -1;
}

typedef struct DirectoryEntry {
    uint16_t id;
    int is_directory;
    uint32_t offset;
} DirectoryEntry;

static int ReadEntry(FileImage *image, const FileView *view, uint64_t directory,
                     unsigned index, DirectoryEntry *entry)
{
    uint8_t b[kResourceEntrySize];
    uint32_t name = 0, data = 0;
    if (!ReadView(image, view, directory + kResourceDirectorySize + (uint64_t)index * 8, b,
                  sizeof b))
        return 0;
    ReadU32(b, sizeof b, 0, &name);
    ReadU32(b, sizeof b, 4, &data);
    entry->id = (uint16_t)name;
    entry->is_directory = (data >> 31) != 0;
    entry->offset = data & 0x7fffffffu;
    return 1;
}

static int ReadCounts(FileImage *image, const FileView *view, uint64_t directory,
                      int *named, int *ids)
{
    uint16_t n = 0, i = 0;
    if (!ViewU16(image, view, directory + 12, &n) || !ViewU16(image, view, directory + 14, &i))
        return 0;
    *named = n;
    *ids = i;
    return 1;
}

/* Binary search of the id entries; 1 found, 0 not there, -1 unreadable. */
static int SearchId(FileImage *image, const FileView *view, uint64_t directory, int min,
                    int max, uint16_t id, DirectoryEntry *entry)
{
    while (min <= max) {
        int pos = (min + max) / 2;
        if (!ReadEntry(image, view, directory, (unsigned)pos, entry))
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

/* ---- The data-file mapping and ntdll's lookup ---- */

/* ntdll's find_entry_by_id: the entry must also be a directory or not, as
 * wanted. Offsets are relative to the mapping. */
static int MappedFindId(FileImage *image, const FileView *view, uint64_t root,
                        uint64_t directory, uint16_t id, int want_directory, uint64_t *found)
{
    int named, ids;
    DirectoryEntry entry;
    if (!ReadCounts(image, view, directory, &named, &ids))
        return -1;
    int r = SearchId(image, view, directory, named, named + ids - 1, id, &entry);
    if (r != 1)
        return r;
    if (entry.is_directory != want_directory)
        return 0;
    *found = root + entry.offset;
    return 1;
}

/* 1 when the mapped lookup finds the resource, 0 when the file maps as a
 * data file but the lookup fails, -1 when it cannot be mapped (empty, or
 * no "MZ" header leading to a "PE" signature). */
static int LocateMapped(FileImage *image, VersionLocation *location)
{
    /* The mapping covers the file rounded up to whole pages; an empty file
     * cannot be mapped. */
    if (image->size == 0 || image->size > UINT64_MAX - kPageSize)
        return -1;
    FileView view = {0, image->size, (image->size + kPageSize - 1) / kPageSize * kPageSize};
    uint16_t mz = 0;
    uint32_t lfanew = 0, signature = 0;
    if (!ViewU16(image, &view, 0, &mz) || mz != 0x5a4d || !ViewU32(image, &view, 60, &lfanew))
        return -1;
    /* e_lfanew is signed; a negative one points before the mapping. */
    if (lfanew >= 0x80000000u || !ViewU32(image, &view, lfanew, &signature) ||
        signature != 0x00004550)
        return -1;
    uint8_t nt[264];
    memset(nt, 0, sizeof nt);
    uint64_t available = view.length - lfanew;
    if (!ReadView(image, &view, lfanew, nt, available < sizeof nt ? (size_t)available : sizeof nt))
        return 0;
    Headers h;
    ParseHeaders(nt, sizeof nt, lfanew, &h);
    if (!SectionsFitFile(image, &view, &h))
        return -1;
    /* The optional header fields come from the mapping; those past its end
     * would fault. */
    uint64_t directory_field = lfanew + (h.magic == 0x20b ? 24 + 112 : 24 + 96) + 2 * 8 + 8;
    if ((h.magic != 0x10b && h.magic != 0x20b) || !RangeInside(0, directory_field, view.length))
        return 0;
    if (h.rva_count <= 2 || h.resource_rva == 0)
        return 0;
    uint64_t root;
    if (h.resource_rva < h.header_size) {
        root = h.resource_rva;
    } else {
        Section s;
        if (FindSection(image, &view, &h, h.resource_rva, &s) < 0)
            return 0;
        root = (uint64_t)s.raw_pointer + (h.resource_rva - s.virtual_address);
    }
    uint64_t type_dir, name_dir, data_entry = 0;
    if (MappedFindId(image, &view, root, root, kVersionType, 1, &type_dir) != 1 ||
        MappedFindId(image, &view, root, type_dir, kVersionName, 1, &name_dir) != 1)
        return 0;
    int r = 0;
    for (int i = 0; i < kMaxLanguages && r == 0; i++) {
        r = MappedFindId(image, &view, root, name_dir, kLanguages[i], 0, &data_entry);
        if (r < 0)
            return 0;
    }
    if (r == 0) {
        /* No preferred language: the first entry that is not a directory. */
        int named, ids;
        if (!ReadCounts(image, &view, name_dir, &named, &ids))
            return 0;
        for (int i = 0; i < named + ids && r == 0; i++) {
            DirectoryEntry entry;
            if (!ReadEntry(image, &view, name_dir, (unsigned)i, &entry))
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
    if (!ViewU32(image, &view, data_entry, &rva) ||
        !ViewU32(image, &view, data_entry + 4, &location->size))
        return 0;
    memset(&location->data, 0, sizeof location->data);
    location->short_reads = 0;
    /* The data is found through the section table alone. */
    Section s;
    if (FindSection(image, &view, &h, rva, &s) >= 0) {
        uint64_t start = (uint64_t)s.raw_pointer + (rva - s.virtual_address);
        if (start < view.length) {
            location->data.start = start;
            location->data.backed = start < view.backed ? view.backed - start : 0;
            location->data.length = view.length - start;
        }
    }
    return 1;
}

/* ---- kernelbase's own parser ---- */

/* kernelbase's find_entry_by_id: checks that the entries fit in the
 * directory's memory and that the target leaves room for a directory, but
 * not whether the target is a directory. */
static int ParsedFindId(FileImage *image, const FileView *view, uint64_t directory,
                        uint16_t id, uint64_t *found)
{
    int named, ids;
    DirectoryEntry entry;
    uint32_t root_size = (uint32_t)view->length;
    if (!ReadCounts(image, view, directory, &named, &ids))
        return -1;
    int max = named + ids - 1;
    if ((uint32_t)max >= (root_size - (uint32_t)directory - kResourceDirectorySize) / 8)
        return 0;
    int r = SearchId(image, view, directory, named, max, id, &entry);
    if (r != 1)
        return r;
    if (entry.offset > root_size - kResourceDirectorySize)
        return 0;
    *found = entry.offset;
    return 1;
}

static int LocateParsed(FileImage *image, VersionLocation *location)
{
    FileView file = {0, image->size, image->size};
    uint16_t mz = 0, magic = 0;
    uint32_t lfanew = 0;
    if (image->size < 64 || !ViewU16(image, &file, 0, &mz) || mz != 0x5a4d ||
        !ViewU32(image, &file, 60, &lfanew))
        return 0;
    /* A negative e_lfanew makes Wine's seek fail and read from wherever the
     * file position was; such files are simply refused here. */
    if (lfanew >= 0x80000000u || !ViewU16(image, &file, lfanew, &magic) || magic != 0x4550)
        return 0;
    uint8_t nt[264];
    memset(nt, 0, sizeof nt);
    uint64_t available = image->size - lfanew;
    size_t length = available < sizeof nt ? (size_t)available : sizeof nt;
    if (length < 24 || !ReadView(image, &file, lfanew, nt, length))
        return 0;
    Headers h;
    ParseHeaders(nt, sizeof nt, lfanew, &h);
    if ((h.magic != 0x10b && h.magic != 0x20b) || h.resource_size == 0)
        return 0;
    /* The whole section table must be in the file. */
    if (!RangeInside(h.section_table, (uint64_t)h.section_count * kSectionHeaderSize, image->size))
        return 0;
    Section s;
    if (FindSection(image, &file, &h, h.resource_rva, &s) < 0)
        return 0;
    /* The section's raw data must be in the file; memory past the raw data
     * up to the virtual size reads as zeros. */
    uint32_t section_size = s.raw_size > s.virtual_size ? s.raw_size : s.virtual_size;
    if (!RangeInside(s.raw_pointer, s.raw_size, image->size) || s.raw_pointer >= 0x80000000u)
        return 0;
    uint32_t delta = h.resource_rva - s.virtual_address;
    FileView view = {(uint64_t)s.raw_pointer + delta, s.raw_size - delta, section_size - delta};
    if (view.length < kResourceDirectorySize)
        return 0;
    uint64_t type_dir, name_dir, data_entry = 0;
    if (ParsedFindId(image, &view, 0, kVersionType, &type_dir) != 1 ||
        ParsedFindId(image, &view, type_dir, kVersionName, &name_dir) != 1)
        return 0;
    int r = 0;
    for (int i = 0; i < kMaxLanguages && r == 0; i++) {
        r = ParsedFindId(image, &view, name_dir, kLanguages[i], &data_entry);
        if (r < 0)
            return 0;
    }
    if (r == 0) {
        /* No preferred language: the first entry, whatever it is. */
        DirectoryEntry entry;
        if (!ReadEntry(image, &view, name_dir, 0, &entry))
            return 0;
        data_entry = entry.offset;
    }
    uint32_t rva = 0;
    if (!ViewU32(image, &view, data_entry, &rva) ||
        !ViewU32(image, &view, data_entry + 4, &location->size))
        return 0;
    if (FindSection(image, &file, &h, rva, &s) < 0)
        return 0;
    /* The file offset is computed in 32 bits, as Wine computes it. */
    uint32_t start = rva - s.virtual_address + s.raw_pointer;
    location->data.start = start;
    location->data.backed = start < image->size ? image->size - start : 0;
    location->data.length = location->data.backed;
    location->short_reads = 1;
    return 1;
}

/* LoadLibraryEx opens a name with a folder or a drive in it as it is, so
 * such a file is mapped whatever its name ends with. A bare name is looked
 * up as a module, with ".dll" as the default extension: one without an
 * extension is then never found, and only the parser sees it. (Seen with Wine 8: damaged files
 * without an extension answer as their ".dll" copies, in a plain folder and
 * in one with a dot in its name, except when named bare.) */
static int NameIsMapped(const char *path)
{
    return strpbrk(path, "/\\:.") != NULL;
}

int LocateVersionResource(FileImage *image, const char *path, VersionLocation *location)
{
    memset(location, 0, sizeof *location);
    int mapped = NameIsMapped(path) ? LocateMapped(image, location) : -1;
    if (mapped >= 0)
        return mapped;
    /* Only a file that cannot be mapped at all goes to the parser: when the
     * mapping works but its lookup fails, Wine 8 reports no resource. */
    memset(location, 0, sizeof *location);
    return LocateParsed(image, location);
}
