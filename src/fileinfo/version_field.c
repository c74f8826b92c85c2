#include "version_field.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "../platform/platform.h"
#include "../version/version_numbers.h"
#include "byte_reader.h"
#include "version_resource.h"

/* The fields a script may ask for, tried in this order, and the sub-block
 * queried for each: only the U.S. English / code page 1252 string table. */
static const char *const kVersionFields[][2] = {
    {"FileVersion", "\\StringFileInfo\\040904E4\\FileVersion"},
    {"CompanyName", "\\StringFileInfo\\040904E4\\CompanyName"},
    {"FileDescription", "\\StringFileInfo\\040904E4\\FileDescription"},
    {"InternalName", "\\StringFileInfo\\040904E4\\InternalName"},
    {"LegalCopyright", "\\StringFileInfo\\040904E4\\LegalCopyright"},
    {"OriginalFilename", "\\StringFileInfo\\040904E4\\OriginalFilename"},
    {"ProductName", "\\StringFileInfo\\040904E4\\ProductName"},
    {"ProductVersion", "\\StringFileInfo\\040904E4\\ProductVersion"},
};

enum { kFieldCount = sizeof kVersionFields / sizeof kVersionFields[0] };

/* Size of VS_FIXEDFILEINFO and the offsets of its product-version words. */
enum { kFixedInfoSize = 52, kProductVersionMS = 16, kProductVersionLS = 20 };

static char FoldCase(char c)
{
    return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
}

static int EqualIgnoringCase(const char *a, const char *b)
{
    while (*a != '\0' && FoldCase(*a) == FoldCase(*b)) {
        a++;
        b++;
    }
    return FoldCase(*a) == FoldCase(*b);
}

static int FindField(const char *field)
{
    for (int i = 0; i < kFieldCount; i++)
        if (EqualIgnoringCase(field, kVersionFields[i][0]))
            return i;
    return -1;
}

static char *CopyText(const char *text, size_t length)
{
    char *copy = malloc(length + 1);
    if (copy != NULL) {
        memcpy(copy, text, length);
        copy[length] = '\0';
    }
    return copy;
}

/* 1 and the offset of `pointer` in the `size` bytes at `block` when the
 * `count` bytes from there all lie inside them. Worked out on addresses as
 * integers: a pointer before the block or far past it cannot wrap around
 * into it. */
static int OffsetInside(const char *block, uint32_t size, const void *pointer, uint64_t count,
                        uint32_t *offset)
{
    uintptr_t delta = (uintptr_t)pointer - (uintptr_t)block;
    if (pointer == NULL || !RangeInside(delta, count, size))
        return 0;
    *offset = (uint32_t)delta;
    return 1;
}

/* "a.b.c.d" from the product-version words of the fixed record, or null
 * when the block has no whole fixed record. */
static char *ProductVersionText(VersionApi *api, const char *block, uint32_t size)
{
    void *pointer = NULL;
    unsigned length = 0;
    uint32_t record, ms, ls;
    const uint8_t *bytes = (const uint8_t *)block;
    if (!VersionQuery(api, block, "\\", &pointer, &length) || length < kFixedInfoSize ||
        !OffsetInside(block, size, pointer, length, &record) ||
        !ReadU32(bytes, size, (uint64_t)record + kProductVersionMS, &ms) ||
        !ReadU32(bytes, size, (uint64_t)record + kProductVersionLS, &ls))
        return NULL;
    const uint32_t parts[4] = {ms >> 16, ms & 0xffffu, ls >> 16, ls & 0xffffu};
    char text[4 * 6];
    char *out = text;
    for (int i = 0; i < 4; i++) {
        if (i > 0)
            *out++ = '.';
        out += FormatDecimal((int32_t)parts[i], out);
    }
    return CopyText(text, (size_t)(out - text));
}

/* The field's string, when the platform finds one that lies inside the
 * block with its terminator; else, for "FileVersion", the fixed record's
 * product version. */
static char *QueryBlock(VersionApi *api, const char *block, uint32_t size, int field)
{
    void *pointer = NULL;
    unsigned length = 0;
    uint32_t offset;
    if (VersionQuery(api, block, kVersionFields[field][1], &pointer, &length) &&
        pointer != NULL && length != 0) {
        if (!OffsetInside(block, size, pointer, length, &offset))
            return NULL;
        const char *text = block + offset;
        const char *end = memchr(text, '\0', size - offset);
        return end != NULL ? CopyText(text, (size_t)(end - text)) : NULL;
    }
    if (field == 0)
        return ProductVersionText(api, block, size);
    return NULL;
}

char *QueryVersionField(const char *path, const char *field)
{
    int index = FindField(field);
    if (index < 0)
        return NULL;
    VersionApi *api = OpenVersionApi();
    if (api == NULL)
        return NULL;
    char *result = NULL;
    uint32_t handle = 0;
    uint32_t size = VersionInfoSize(api, path, &handle);
    /* size + 1 bytes go to the platform, as the setup host's own plug-ins
     * do, and those are the block: nothing the platform points at outside
     * them is read. One more zero byte ends, for the platform, a key that
     * runs to the end. The buffer starts zero-filled so that bytes the
     * platform leaves unwritten cannot change an answer. Before any query
     * the root's length must fit the block. */
    if (size != 0 && size < kMaxVersionBlockSize) {
        char *block = calloc((size_t)size + 2, 1);
        if (block != NULL && VersionInfo(api, path, handle, size + 1, block) &&
            VersionBlockFits(block, size + 1))
            result = QueryBlock(api, block, size + 1, index);
        free(block);
    }
    CloseVersionApi(api);
    return result;
}
