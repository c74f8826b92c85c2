#include "version_field.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "../host/c_interface.h"
#include "../platform/platform.h"

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

static uint32_t ReadLittleEndian32(const unsigned char *p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

/* Heap copy of the string at `text`; a string inside the block ends at the
 * block's end at the latest. */
static char *CopyString(const char *text, const char *block, const char *block_end)
{
    size_t length;
    if (text >= block && text < block_end) {
        const char *end = memchr(text, '\0', (size_t)(block_end - text));
        length = end ? (size_t)(end - text) : (size_t)(block_end - text);
    } else {
        length = strlen(text);
    }
    char *copy = malloc(length + 1);
    if (copy != NULL) {
        memcpy(copy, text, length);
        copy[length] = '\0';
    }
    return copy;
}

/* "a.b.c.d" from the product-version words of the fixed record, or null
 * when the block has no whole fixed record. */
static char *ProductVersionText(VersionApi *api, const char *block, const char *block_end)
{
    void *pointer = NULL;
    unsigned length = 0;
    if (!VersionQuery(api, block, "\\", &pointer, &length) || pointer == NULL)
        return NULL;
    const unsigned char *record = pointer;
    if (length < kFixedInfoSize || record < (const unsigned char *)block ||
        (size_t)((const unsigned char *)block_end - record) < kFixedInfoSize)
        return NULL;
    uint32_t ms = ReadLittleEndian32(record + kProductVersionMS);
    uint32_t ls = ReadLittleEndian32(record + kProductVersionLS);
    const uint32_t parts[4] = {ms >> 16, ms & 0xffffu, ls >> 16, ls & 0xffffu};
    char text[4 * 6];
    char *out = text;
    for (int i = 0; i < 4; i++) {
        if (i > 0)
            *out++ = '.';
        out += FormatDecimalText((int32_t)parts[i], out);
    }
    return CopyString(text, NULL, NULL);
}

static char *QueryBlock(VersionApi *api, const char *block, const char *block_end, int field)
{
    void *pointer = NULL;
    unsigned length = 0;
    if (VersionQuery(api, block, kVersionFields[field][1], &pointer, &length) &&
        pointer != NULL && length != 0)
        return CopyString(pointer, block, block_end);
    if (field == 0)
        return ProductVersionText(api, block, block_end);
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
     * do; one more zero byte ends any string the block leaves open. The
     * buffer starts zero-filled so that bytes the platform leaves unwritten
     * cannot change an answer. */
    if (size != 0 && size <= UINT32_MAX - 2) {
        char *block = calloc((size_t)size + 2, 1);
        if (block != NULL && VersionInfo(api, path, handle, size + 1, block))
            result = QueryBlock(api, block, block + size + 1, index);
        free(block);
    }
    CloseVersionApi(api);
    return result;
}
