/* The three version-information operations over a file's bytes, giving the
 * answers Wine 8's GetFileVersionInfoSizeA, GetFileVersionInfoA and
 * VerQueryValueA give: where Wine's answer comes only from bytes inside its
 * own buffers, the same bytes. Where Wine would read or write memory it
 * does not own (damaged files), these fail instead; such places say so. */
#include "version_resource.h"

#include <stdlib.h>
#include <string.h>

#include "byte_reader.h"
#include "cp1252_table.h"
#include "pe_resource.h"

/* The size of VS_FIXEDFILEINFO, which the 16-bit size leaves out. */
enum { kFixedRecordSize = 52 };

struct VersionFile {
    FileImage image;
    VersionLocation location;
};

VersionFile *OpenVersionFile(const char *path)
{
    if (path == NULL || *path == '\0')
        return NULL;
    VersionFile *file = malloc(sizeof *file);
    if (file == NULL)
        return NULL;
    if (OpenFileImage(&file->image, path)) {
        if (LocateVersionResource(&file->image, path, &file->location))
            return file;
        CloseFileImage(&file->image);
    }
    free(file);
    return NULL;
}

void CloseVersionFile(VersionFile *file)
{
    if (file == NULL)
        return;
    CloseFileImage(&file->image);
    free(file);
}

uint32_t VersionFileInfoSize(const VersionFile *file)
{
    /* In 32 bits, wrapping as Wine's arithmetic does. A 32-bit resource
     * needs twice its length plus four: room for "FE2X" and for the 8-bit
     * copies of its strings. A 16-bit one gets four times what follows its
     * fixed record (room for 16-bit copies). */
    uint32_t size = file->location.size;
    if (file->location.sixteen_bit)
        return (size - kFixedRecordSize) * 4;
    return size * 2 + 4;
}

static uint16_t BlockLength(const uint8_t *block)
{
    return (uint16_t)(block[0] | block[1] << 8);
}

int ReadVersionFile(VersionFile *file, uint32_t length, void *data)
{
    if (data == NULL)
        return 0;
    const VersionLocation *location = &file->location;
    uint8_t *out = data;
    /* Only what Wine copies is touched: at most the resource and the
     * buffer, and from the file never more than it holds. */
    uint32_t count = location->size < length ? location->size : length;
    if (!ReadVersionData(&file->image, location, count, out))
        return 0;
    if (location->sixteen_bit)
        return 1;
    /* The signature goes right after the tree, when it fits. The tree
     * length is read from the buffer as it now is, as in Wine. */
    if (length < 2)
        return 0;
    uint32_t tree = BlockLength(out);
    if (length >= tree + 4)
        memcpy(out + tree, "FE2X", 4);
    return 1;
}

uint32_t ReadVersionInfoSize(const char *path, uint32_t *handle)
{
    if (handle != NULL)
        *handle = 0;
    VersionFile *file = OpenVersionFile(path);
    uint32_t size = file != NULL ? VersionFileInfoSize(file) : 0;
    CloseVersionFile(file);
    return size;
}

int ReadVersionInfo(const char *path, uint32_t handle, uint32_t length, void *data)
{
    (void)handle;
    VersionFile *file = OpenVersionFile(path);
    int ok = file != NULL && ReadVersionFile(file, length, data);
    CloseVersionFile(file);
    return ok;
}

/* ---- VerQueryValueA ---- */

typedef struct Block {
    const uint8_t *bytes;
    size_t size; /* the buffer: the tree, "FE2X", the 8-bit copies */
} Block;

typedef struct Node {
    uint32_t offset;
    uint16_t length;
    uint16_t value_length;
    uint16_t type;
    uint32_t value; /* offset of the value, 32-bit aligned from the node */
    uint32_t children;
} Node;

/* A header of the 32-bit layout: wLength, wValueLength, wType, then a
 * UTF-16 key. wValueLength counts characters for text (wType nonzero) and
 * bytes for binary values. */
static int ReadNode32(const Block *b, uint32_t offset, Node *node)
{
    uint32_t key = offset + 6;
    uint16_t unit = 1;
    node->offset = offset;
    if (!ReadU16(b->bytes, b->size, offset, &node->length) ||
        !ReadU16(b->bytes, b->size, offset + 2, &node->value_length) ||
        !ReadU16(b->bytes, b->size, offset + 4, &node->type))
        return 0;
    while (unit != 0) {
        if (!ReadU16(b->bytes, b->size, key, &unit))
            return 0; /* Wine reads on past the block; unterminated here */
        key += 2;
    }
    node->value = offset + ((key - offset + 3) & ~3u);
    uint32_t value_bytes = (uint32_t)node->value_length * (node->type ? 2 : 1);
    node->children = node->value + ((value_bytes + 3) & ~3u);
    return 1;
}

/* A header of the 16-bit layout: wLength, wValueLength, then an 8-bit key;
 * wValueLength counts bytes. */
static int ReadNode16(const Block *b, uint32_t offset, Node *node)
{
    uint32_t key = offset + 4;
    uint8_t c = 1;
    node->offset = offset;
    node->type = 0;
    if (!ReadU16(b->bytes, b->size, offset, &node->length) ||
        !ReadU16(b->bytes, b->size, offset + 2, &node->value_length))
        return 0;
    while (c != 0) {
        if (!ReadBytes(b->bytes, b->size, key, &c, 1))
            return 0;
        key++;
    }
    node->value = offset + ((key - offset + 3) & ~3u);
    node->children = node->value + ((node->value_length + 3u) & ~3u);
    return 1;
}

/* Keys match with only A-Z folded, as Wine's wcsnicmp and strnicmp fold. */
static uint16_t FoldAscii(uint16_t c)
{
    return c >= 'A' && c <= 'Z' ? (uint16_t)(c + 32) : c;
}

/* 1 when the child's key is `name` (`count` units) ignoring case, 0 when
 * not, -1 when the key runs off the block. */
static int KeyMatches(const Block *b, uint32_t key, int wide, const uint16_t *name,
                      size_t count)
{
    for (size_t i = 0; i <= count; i++) {
        uint16_t unit = 0;
        uint8_t c = 0;
        uint64_t at = key + (wide ? 2 * (uint64_t)i : i);
        if (wide ? !ReadU16(b->bytes, b->size, at, &unit) : !ReadBytes(b->bytes, b->size, at, &c, 1))
            return -1;
        if (!wide)
            unit = c;
        if (i == count)
            return unit == 0;
        if (FoldAscii(unit) != FoldAscii(name[i]))
            return 0;
    }
    return 0;
}

/* The children start after the value and are each aligned to 32 bits from
 * the previous one; the walk stops at the parent's wLength or at a child
 * whose wLength is 0. */
static int FindChild(const Block *b, const Node *parent, int wide, const uint16_t *name,
                     size_t count, Node *found)
{
    uint32_t end = parent->offset + parent->length;
    uint32_t child = parent->children;
    while (child < end) {
        int match = KeyMatches(b, child + (wide ? 6 : 4), wide, name, count);
        if (match < 0)
            return 0;
        if (match)
            return wide ? ReadNode32(b, child, found) : ReadNode16(b, child, found);
        uint16_t length = 0;
        if (!ReadU16(b->bytes, b->size, child, &length) || length == 0)
            return 0;
        child += (length + 3u) & ~3u;
    }
    return 0;
}

/* Follows the path's components (empty ones skipped) from the root. */
static int Walk(const Block *b, const uint16_t *path, int wide, Node *node)
{
    if (!(wide ? ReadNode32(b, 0, node) : ReadNode16(b, 0, node)))
        return 0;
    while (*path != 0) {
        size_t count = 0;
        while (path[count] != 0 && path[count] != '\\')
            count++;
        if (count == 0) {
            path++;
            continue;
        }
        Node child;
        if (!FindChild(b, node, wide, path, count, &child))
            return 0;
        *node = child;
        path += count;
    }
    return 1;
}

/* Converts `count` UTF-16 units at `source` into `room` bytes at `target`
 * as WideCharToMultiByte(CP_ACP, 0) does: with no room it only reports the
 * length; with too little it fills the room and reports 0. -1 when the
 * units read or the bytes written would not all be inside the block. With
 * `bytes` null nothing is written: only the bounds are judged. */
static int64_t ConvertToAnsi(const Block *b, uint8_t *bytes, uint32_t source, uint32_t count,
                             uint32_t target, int64_t room)
{
    if (count == 0 || room < 0)
        return 0;
    if (room == 0)
        return count;
    uint32_t written = count < room ? count : (uint32_t)room;
    if (!RangeInside(source, 2 * (uint64_t)written, b->size) ||
        !RangeInside(target, written, b->size))
        return -1;
    for (uint32_t i = 0; bytes != NULL && i < written; i++) {
        uint16_t unit = 0;
        ReadU16(b->bytes, b->size, source + 2 * (uint64_t)i, &unit);
        bytes[target + i] = Cp1252FromUtf16(unit);
    }
    return count <= room ? count : 0;
}

/* VerQueryValueA; with `write` 0 the 8-bit copy is not made, and only
 * whether the query stays inside the block is judged. */
static int Query(const void *block, uint32_t block_length, const char *sub_block, void **buffer,
                 unsigned *length, int write)
{
    /* The first five bytes are read before anything else. */
    if (block == NULL || block_length < 5)
        return 0;
    if (sub_block == NULL || *sub_block == '\0')
        sub_block = "\\";
    /* VerQueryValueA writes its 8-bit strings into the block, so it is not
     * really read-only. */
    uint8_t *bytes = (uint8_t *)(uintptr_t)block;
    Block b = {bytes, block_length};
    /* Wine takes the block for the 16-bit layout when the byte where a
     * 32-bit block has its wType holds a key character; the byte is a
     * signed char there, so 0x80 and above mean the 32-bit layout. */
    int wide = (int8_t)bytes[4] < ' ';
    size_t path_length = strlen(sub_block);
    uint16_t *path = malloc((path_length + 1) * sizeof *path);
    if (path == NULL)
        return 0;
    for (size_t i = 0; i <= path_length; i++)
        path[i] = wide ? Utf16FromCp1252((uint8_t)sub_block[i]) : (uint8_t)sub_block[i];
    Node node;
    int found = Walk(&b, path, wide, &node);
    free(path);
    /* A value said to start past the block is refused (Wine returns it). */
    if (!found || node.value > b.size) {
        if (length != NULL)
            *length = 0;
        return 0;
    }
    *buffer = bytes + node.value;
    if (length != NULL)
        *length = node.value_length;
    if (wide && node.type != 0) {
        /* Text: the 8-bit copy goes at the same offset in the area after the
         * tree and "FE2X", with room up to the tree's length from there. */
        uint32_t tree = BlockLength(bytes);
        uint32_t target = tree + 4 + node.value;
        int64_t room = (int32_t)(tree - node.value);
        int64_t converted = ConvertToAnsi(&b, write ? bytes : NULL, node.value,
                                          node.value_length, target, room);
        if (length != NULL)
            *length = converted > 0 ? (unsigned)converted : 0;
        if (converted < 0)
            return 0;
        *buffer = bytes + target;
    }
    return 1;
}

int QueryVersionValue(const void *block, uint32_t block_length, const char *sub_block,
                      void **buffer, unsigned *length)
{
    return Query(block, block_length, sub_block, buffer, length, 1);
}

int VersionQueryStaysInside(const void *block, uint32_t block_length, const char *sub_block)
{
    void *value = NULL;
    unsigned length = 0;
    return Query(block, block_length, sub_block, &value, &length, 0);
}

int VetVersionFile(const char *path)
{
    VersionFile *file = OpenVersionFile(path);
    if (file == NULL)
        return 0;
    /* The same read into the same size of buffer as a query makes: the
     * size, plus one byte, as the setup host's plug-ins pass it; zeroed, as
     * a resource shorter than its header leaves bytes unwritten. */
    uint32_t size = VersionFileInfoSize(file);
    int sound = 0;
    if (size != 0 && size < kMaxVersionBlockSize) {
        void *block = calloc((size_t)size + 1, 1);
        sound = block != NULL && ReadVersionFile(file, size + 1, block) &&
                VersionBlockFits(block, size + 1);
        free(block);
    }
    CloseVersionFile(file);
    return sound;
}
