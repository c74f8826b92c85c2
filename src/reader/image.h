// A file mapped as an image, the way Wine 8's loader lays it out and sets
// its pages' access; reads of it fail where Wine's would fault.
#ifndef QV_READER_IMAGE_H
#define QV_READER_IMAGE_H

#include <cstdint>
#include <span>

#include "reader/file_reads.h"

namespace qv::reader {

inline constexpr unsigned kMaxImageSections = 96;

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

// The headers at 0, each section at its address (later ones over earlier
// ones), zeros elsewhere, nothing at or past `size`. A flat image is the
// file at 0.
struct ImageMap {
    uint64_t size = 0;
    uint32_t header_size = 0;
    bool flat = false;
    bool ordered = false; // sections in address order, none over another
    unsigned count = 0;
    MappedSection sections[kMaxImageSections];
};

// What the loader makes of a file: an image, a file it refuses (kernelbase's
// parser then reads it), or one where it acts on memory it never set, so
// that Wine's answer is not the file's.
enum class Mapping { image, refused, undefined };

Mapping MapImage(FileImage &image, ImageMap &map);

// Copies out.size() bytes of the image at `rva`; false when any of them is
// past the image or on a page without read access (Wine would fault).
bool ReadImage(FileImage &image, const ImageMap &map, uint64_t rva, std::span<uint8_t> out,
               ReadMode mode = ReadMode::windowed);

} // namespace qv::reader

#endif
