// Finding a file's version resource the way Wine 8's GetFileVersionInfo*A
// find it: type 16, id 1 of a PE image, or type 0x8010, id 0x8001 of a
// 16-bit (NE) executable. Only the headers, the section table, the resource
// directory path and the resource itself are read.
#ifndef QV_FILEINFO_PE_RESOURCE_H
#define QV_FILEINFO_PE_RESOURCE_H

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "../platform/platform.h"

namespace qv::fileinfo {

inline constexpr std::size_t kFileHeadSize = 8192;
inline constexpr std::size_t kFileWindowSize = 8192;
inline constexpr unsigned kMaxImageSections = 96;

// An open file with its first 8 KiB already read (all of a small file), and
// the last 8 KiB read elsewhere kept for the reads that follow. The buffers
// are written before they are read, so they start uninitialised: clearing
// 16 KiB would cost more than the reads.
struct FileImage {
    platform::FileHandle file;
    uint64_t size = 0;
    std::size_t head_length = 0;
    uint64_t window_start = 0;
    std::size_t window_length = 0;
    uint8_t head[kFileHeadSize];
    uint8_t window[kFileWindowSize];
};

// One section of a file mapped as an image: file bytes from `file_start`
// at [rva, rva + file_size), zeros up to rva + zero_end (0: nothing mapped),
// and the pages [protect_start, protect_end) readable or not. Left
// uninitialised in a new map: the loader's layout fills each one it uses.
struct MappedSection {
    uint32_t rva;
    uint32_t file_start;
    uint32_t file_size;
    uint32_t zero_end;
    uint32_t protect_start;
    uint32_t protect_end;
    bool readable;
};

// A file mapped as an image, as Wine's loader lays it out: the headers at
// 0, each section at its address (later ones over earlier ones), zeros
// elsewhere, nothing at or past `size`. A flat image is the file at 0.
struct ImageMap {
    uint64_t size = 0;
    uint32_t header_size = 0;
    bool flat = false;
    bool ordered = false; // sections in address order, none over another
    unsigned count = 0;
    MappedSection sections[kMaxImageSections];
};

struct VersionLocation {
    uint32_t size = 0;         // the resource's length as the directory or table gives it
    bool in_image = false;     // true: at `start` of `image`; false: at file offset `start`
    bool sixteen_bit = false;  // from an NE executable
    bool unset_memory = false; // none found: Wine's loader would act on memory it never set
    uint64_t start = 0;
    ImageMap image;
};

// Opens the file and reads its head; false when it cannot be read.
bool OpenFileImage(FileImage &image, const char *path);

// True and the location when the file has a version resource. `path`
// decides only whether the data-file mapping is tried (see the .cpp file).
bool LocateVersionResource(FileImage &image, std::string_view path, VersionLocation &location);

// Copies the first out.size() bytes of the resource as Wine does: from the
// image, all or nothing (false: Wine would fault); from the file, up to its
// end (the rest of `out` is left as it was).
bool ReadVersionData(FileImage &image, const VersionLocation &location, std::span<uint8_t> out);

} // namespace qv::fileinfo

#endif
