// The portable reader of version resources: answers the first two Windows
// version-information operations from a file's bytes, as Windows (judged
// against Wine) answers them; reader/version_block.h answers the third.
#ifndef QV_READER_VERSION_FILE_H
#define QV_READER_VERSION_FILE_H

#include <cstdint>

#include "memory/heap.h"
#include "platform/platform.h"
#include "reader/refusal.h"

namespace qv::reader {

// Damaged files can claim sizes up to 4 GiB (Wine's arithmetic wraps); a
// 32-bit host cannot be relied on to allocate 512 MiB or more, so no build
// tries, and such files have no version information.
inline constexpr uint32_t kMaxVersionBlockSize = 0x20000000;

// True when a block of `size` bytes, as GetFileVersionInfoSizeA answers, is
// worth reading: not empty, and below kMaxVersionBlockSize. A block read
// must then pass VersionBlockFits (reader/version_block.h).
constexpr bool UsableBlockSize(uint32_t size)
{
    return size != 0 && size < kMaxVersionBlockSize;
}

// A file whose version resource has been found, open for reading it. The
// operations on a path open it once each; a caller that asks for the size
// and then the data of one file can open it once instead.
struct VersionFile;

void CloseVersionFile(VersionFile *file);
using VersionFileHandle = memory::Owned<VersionFile, CloseVersionFile>;

// Empty when the file has no version resource or cannot be read.
VersionFileHandle OpenVersionFile(const char *path);

// The same, and why not. Once the file is allocated, `file` keeps what was
// read of it (VersionFileLocation), for a report; only a file opened with
// Refusal::none may be read. `form` says how the path is written.
Refusal OpenVersionFile(const char *path, VersionFileHandle &file,
                        platform::PathForm form = platform::PathForm::ansi);

struct VersionLocation;
const VersionLocation &VersionFileLocation(const VersionFile &file);

// The reader's two operations, each in two forms: Path* open the file at
// `path` for the one call, File* read from a file already open.

// As GetFileVersionInfoSizeA: the buffer size the version information needs,
// 0 when the file has none or cannot be read. *handle (if not null) is set
// to 0.
uint32_t PathInfoSize(const char *path, uint32_t *handle);
uint32_t FileInfoSize(const VersionFile &file);

// As GetFileVersionInfoA: copies the version information into `data`
// (`length` bytes at most). True on success.
bool PathInfoRead(const char *path, uint32_t handle, uint32_t length, void *data);
bool FileInfoRead(VersionFile &file, uint32_t length, void *data);

// Refusal::none when the file's version resource can be read soundly: it is found,
// all of it lies inside the file and the image Wine maps, and its tree fits
// the block that GetFileVersionInfoSizeA's size gives room for. These are
// the files on which the system's own functions neither crash nor leave
// their buffers; the Windows build hands no other file to them.
Refusal VetVersionFile(const char *path, platform::PathForm form = platform::PathForm::ansi);

} // namespace qv::reader

#endif
