// Finding a file's version resource the way Wine 8's GetFileVersionInfo*A
// find it: type 16, id 1 of a PE image, or type 0x8010, id 0x8001 of a
// 16-bit (NE) executable. Only the headers, the section table, the resource
// directory path and the resource itself are read.
#ifndef QV_READER_RESOURCE_H
#define QV_READER_RESOURCE_H

#include <cstdint>
#include <span>
#include <string_view>

#include "reader/file_reads.h"
#include "reader/image.h"

namespace qv::reader {

struct VersionLocation {
    uint32_t size = 0;        // the resource's length as the directory or table gives it
    bool in_image = false;    // true: at `start` of `image`; false: at file offset `start`
    bool sixteen_bit = false; // from an NE executable
    uint16_t magic = 0;       // the optional header's, once read (PE32 or PE32+)
    uint16_t language = 0;    // the language entry found
    uint64_t start = 0;
    ImageMap image;
};

// The location when the file has a version resource, else why not. `path`
// decides only whether the data-file mapping is tried (see the .cpp file).
Refusal LocateVersionResource(FileImage &image, std::string_view path, VersionLocation &location);

// Copies the first out.size() bytes of the resource as Wine does: from the
// image, all or nothing (false: Wine would fault); from the file, up to its
// end (the rest of `out` is left as it was).
bool ReadVersionData(FileImage &image, const VersionLocation &location, std::span<uint8_t> out);

} // namespace qv::reader

#endif
