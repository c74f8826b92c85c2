// The portable reader of version resources: answers the three Windows
// version-information operations from a file's bytes, as Windows (judged
// against Wine) answers them.
#ifndef QV_FILEINFO_VERSION_RESOURCE_H
#define QV_FILEINFO_VERSION_RESOURCE_H

#include <cstdint>
#include <memory>
#include <string_view>

#include "byte_view.h"

namespace qv::fileinfo::reader {

// A file whose version resource has been found, open for reading it. The
// operations on a path open it once each; a caller that asks for the size
// and then the data of one file can open it once instead.
struct VersionFile;

struct VersionFileCloser {
    void operator()(VersionFile *file) const;
};
using VersionFileHandle = std::unique_ptr<VersionFile, VersionFileCloser>;

// Empty when the file has no version resource or cannot be read.
VersionFileHandle OpenVersionFile(const char *path);

// As GetFileVersionInfoSizeA: the buffer size the version information needs,
// 0 when the file has none or cannot be read. *handle (if not null) is set
// to 0.
uint32_t VersionInfoSize(const char *path, uint32_t *handle);
uint32_t VersionInfoSize(const VersionFile &file);

// As GetFileVersionInfoA: copies the version information into `data`
// (`length` bytes at most). True on success.
bool VersionInfoRead(const char *path, uint32_t handle, uint32_t length, void *data);
bool VersionInfoRead(VersionFile &file, uint32_t length, void *data);

// As VerQueryValueA on a block of `block_length` bytes filled by
// VersionInfoRead (that length given to it): for a string value, points
// *buffer at the 8-bit (code page 1252) string it writes inside the block
// and sets *length; for "\", points at the VS_FIXEDFILEINFO record. True
// when found. Wine reads and writes the block without knowing its length;
// where it would go past it, this fails instead.
bool VersionValueQuery(void *block, uint32_t block_length, std::string_view sub_block,
                       void **buffer, unsigned *length);

// True when VersionValueQuery of `sub_block` on the block finds a value and
// reads and writes only inside the block's `block_length` bytes. Nothing is
// written. The Windows build asks this before each VerQueryValueA, which
// does not know the block's length.
bool VersionQueryStaysInside(const void *block, uint32_t block_length, std::string_view sub_block);

// True when the file's version resource can be read soundly: it is found,
// all of it lies inside the file and the image Wine maps, and its tree fits
// the block that GetFileVersionInfoSizeA's size gives room for. These are
// the files on which the system's own functions neither crash nor leave
// their buffers; the Windows build hands no other file to them.
bool VetVersionFile(const char *path);

// True when Wine 8's loader, mapping the file, would act on memory it never
// set (section entries past its table, from its own stack): Wine's answer
// then depends on what that memory held, and the reader gives none. For
// the comparison with Wine, which cannot see this.
bool WineUsesUnsetMemory(const char *path);

// Damaged files can claim sizes up to 4 GiB (Wine's arithmetic wraps); a
// 32-bit host cannot be relied on to allocate 512 MiB or more, so no build
// tries, and such files have no version information.
inline constexpr uint32_t kMaxVersionBlockSize = 0x20000000;

// True when the `length` bytes at `block` hold at least the root's header
// and its wLength: the tree VerQueryValueA walks, in either layout, is then
// inside what was read. Each query's own reads and its 8-bit copy are
// judged by VersionQueryStaysInside.
inline bool VersionBlockFits(const void *block, uint32_t length)
{
    if (length < 6)
        return false;
    const ByteView bytes{{static_cast<const uint8_t *>(block), length}};
    return bytes.ReadOrZero<uint16_t>(0) <= length;
}

} // namespace qv::fileinfo::reader

#endif
