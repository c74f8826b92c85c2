/* The portable reader of version resources: answers the three Windows
 * version-information operations from a file's bytes, as Windows (judged
 * against Wine) answers them. */
#ifndef QV_FILEINFO_VERSION_RESOURCE_H
#define QV_FILEINFO_VERSION_RESOURCE_H

#include <stdint.h>

#include "byte_reader.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A file whose version resource has been found, open for reading it. The
 * three operations below on one path open it once each; a caller that asks
 * for the size and then the data of one file can open it once instead. */
typedef struct VersionFile VersionFile;

/* Null when the file has no version resource or cannot be read. */
VersionFile *OpenVersionFile(const char *path);
/* What ReadVersionInfoSize answers for the file. */
uint32_t VersionFileInfoSize(const VersionFile *file);
/* What ReadVersionInfo does for the file. */
int ReadVersionFile(VersionFile *file, uint32_t length, void *data);
/* Null is ignored. */
void CloseVersionFile(VersionFile *file);

/* 1 when the file's version resource can be read soundly: it is found, all
 * of it lies inside the file and the image Wine maps, and its tree fits the
 * block that GetFileVersionInfoSizeA's size gives room for. These are the
 * files on which the system's own functions neither crash nor leave their
 * buffers; the Windows build hands no other file to them. */
int VetVersionFile(const char *path);

/* Damaged files can claim sizes up to 4 GiB (Wine's arithmetic wraps); a
 * 32-bit host cannot be relied on to allocate 512 MiB or more, so no build
 * tries, and such files have no version information. */
enum { kMaxVersionBlockSize = 0x20000000 };

/* 1 when the `length` bytes at `block` hold at least the root's header and
 * its wLength: the tree VerQueryValueA walks, in either layout, is then
 * inside what was read. Each query's own reads and its 8-bit copy are
 * judged by VersionQueryStaysInside. */
static inline int VersionBlockFits(const void *block, uint32_t length)
{
    uint16_t tree = 0;
    return length >= 6 && ReadU16((const uint8_t *)block, length, 0, &tree) && tree <= length;
}

/* As GetFileVersionInfoSizeA: the buffer size the version information needs,
 * 0 when the file has none or cannot be read. *handle (if not null) is set
 * to 0. */
uint32_t ReadVersionInfoSize(const char *path, uint32_t *handle);

/* As GetFileVersionInfoA: copies the version information into `data`
 * (`length` bytes at most). Nonzero on success. */
int ReadVersionInfo(const char *path, uint32_t handle, uint32_t length, void *data);

/* As VerQueryValueA on a block of `block_length` bytes filled by
 * ReadVersionInfo (that length given to it): for a string value, points
 * *buffer at the 8-bit (code page 1252) string inside the block and sets
 * *length; for "\", points at the VS_FIXEDFILEINFO record. Nonzero when
 * found. Wine reads and writes the block without knowing its length; where
 * it would go past it, this fails instead. */
int QueryVersionValue(const void *block, uint32_t block_length, const char *sub_block,
                      void **buffer, unsigned *length);

/* 1 when QueryVersionValue of `sub_block` on the block finds a value and
 * reads and writes only inside the block's `block_length` bytes. Nothing is
 * written. The Windows build asks this before each VerQueryValueA, which
 * does not know the block's length. */
int VersionQueryStaysInside(const void *block, uint32_t block_length, const char *sub_block);

#ifdef __cplusplus
}
#endif

#endif
