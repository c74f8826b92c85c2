/* Bounds-checked reads of little-endian values from untrusted bytes. Every
 * access to bytes that came from a file goes through ReadBytes. */
#ifndef QV_FILEINFO_BYTE_READER_H
#define QV_FILEINFO_BYTE_READER_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Inline: the reader calls these for every field it reads. */

/* 1 when [offset, offset + count) lies inside [0, limit), without overflow. */
static inline int RangeInside(uint64_t offset, uint64_t count, uint64_t limit)
{
    return offset <= limit && count <= limit - offset;
}

/* Copies `count` bytes at `offset` of the `size` bytes at `data` to `out`;
 * 0 (and nothing copied) when they are not all inside. */
static inline int ReadBytes(const uint8_t *data, size_t size, uint64_t offset, void *out,
                            size_t count)
{
    if (data == NULL || !RangeInside(offset, count, size))
        return 0;
    if (count != 0)
        memcpy(out, data + offset, count);
    return 1;
}

static inline int ReadU16(const uint8_t *data, size_t size, uint64_t offset, uint16_t *value)
{
    uint8_t b[2];
    if (!ReadBytes(data, size, offset, b, sizeof b))
        return 0;
    *value = (uint16_t)(b[0] | b[1] << 8);
    return 1;
}

static inline int ReadU32(const uint8_t *data, size_t size, uint64_t offset, uint32_t *value)
{
    uint8_t b[4];
    if (!ReadBytes(data, size, offset, b, sizeof b))
        return 0;
    *value = (uint32_t)b[0] | (uint32_t)b[1] << 8 | (uint32_t)b[2] << 16 | (uint32_t)b[3] << 24;
    return 1;
}

#ifdef __cplusplus
}
#endif

#endif
