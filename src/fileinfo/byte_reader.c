#include "byte_reader.h"

#include <string.h>

int RangeInside(uint64_t offset, uint64_t count, uint64_t limit)
{
    return offset <= limit && count <= limit - offset;
}

int ReadBytes(const uint8_t *data, size_t size, uint64_t offset, void *out, size_t count)
{
    if (data == NULL || !RangeInside(offset, count, size))
        return 0;
    if (count != 0)
        memcpy(out, data + offset, count);
    return 1;
}

int ReadU16(const uint8_t *data, size_t size, uint64_t offset, uint16_t *value)
{
    uint8_t b[2];
    if (!ReadBytes(data, size, offset, b, sizeof b))
        return 0;
    *value = (uint16_t)(b[0] | b[1] << 8);
    return 1;
}

int ReadU32(const uint8_t *data, size_t size, uint64_t offset, uint32_t *value)
{
    uint8_t b[4];
    if (!ReadBytes(data, size, offset, b, sizeof b))
        return 0;
    *value = (uint32_t)b[0] | (uint32_t)b[1] << 8 | (uint32_t)b[2] << 16 | (uint32_t)b[3] << 24;
    return 1;
}
