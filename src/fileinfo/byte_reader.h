/* Bounds-checked reads of little-endian values from untrusted bytes. Every
 * access to bytes that came from a file goes through ReadBytes. */
#ifndef QV_FILEINFO_BYTE_READER_H
#define QV_FILEINFO_BYTE_READER_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* 1 when [offset, offset + count) lies inside [0, limit), without overflow. */
int RangeInside(uint64_t offset, uint64_t count, uint64_t limit);

/* Copies `count` bytes at `offset` of the `size` bytes at `data` to `out`;
 * 0 (and nothing copied) when they are not all inside. */
int ReadBytes(const uint8_t *data, size_t size, uint64_t offset, void *out, size_t count);

int ReadU16(const uint8_t *data, size_t size, uint64_t offset, uint16_t *value);
int ReadU32(const uint8_t *data, size_t size, uint64_t offset, uint32_t *value);

#ifdef __cplusplus
}
#endif

#endif
