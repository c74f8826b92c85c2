#include "variables.h"

#include <string.h>

/* Writes "%name%" into key; returns its length, or 0 when it does not fit. */
static size_t BuildKey(const char *name, char key[VARIABLE_KEY_SIZE])
{
    size_t length = strlen(name);
    if (length > VARIABLE_KEY_SIZE - 3)
        return 0;
    key[0] = '%';
    memcpy(key + 1, name, length);
    key[length + 1] = '%';
    key[length + 2] = '\0';
    return length + 2;
}

/* Entries the library may look at. A table without slot arrays has none,
 * and a count above the capacity is not trusted beyond the capacity. */
static uint32_t UsableEntries(const HostParamBlock *block)
{
    if (block->NameSlots == NULL || block->ValueSlots == NULL)
        return 0;
    return block->VariableCount < block->VariableCapacity ? block->VariableCount
                                                          : block->VariableCapacity;
}

static char *NameSlot(const HostParamBlock *block, uint32_t index)
{
    return block->NameSlots + (size_t)index * block->NameWidth;
}

static char *ValueSlot(const HostParamBlock *block, uint32_t index)
{
    return block->ValueSlots + (size_t)index * block->ValueWidth;
}

/* Index of the first entry whose name slot holds the key (terminator
 * included), or `entries` when there is none. A slot narrower than the key
 * cannot hold it, so its bytes past the slot are never read. */
static uint32_t FindEntry(const HostParamBlock *block, uint32_t entries, const char *key,
                          size_t key_length)
{
    if (key_length + 1 > block->NameWidth)
        return entries;
    for (uint32_t i = 0; i < entries; i++) {
        const char *slot = NameSlot(block, i);
        /* Names mostly differ in their last character (or have it at
         * another place): look at it before comparing the whole key. */
        if (slot[key_length - 2] == key[key_length - 2] &&
            memcmp(slot, key, key_length + 1) == 0)
            return i;
    }
    return entries;
}

/* Copies `text` into a slot of `width` bytes, cut to width - 1 bytes. */
static void StoreInSlot(char *slot, uint32_t width, const char *text)
{
    if (width == 0)
        return;
    size_t length = strlen(text);
    if (length > width - 1)
        length = width - 1;
    memcpy(slot, text, length);
    slot[length] = '\0';
}

void GetVariable(const HostParamBlock *block, const char *name, char *out, size_t out_size)
{
    if (out_size == 0)
        return;
    out[0] = '\0';
    char key[VARIABLE_KEY_SIZE];
    size_t key_length = BuildKey(name, key);
    if (block == NULL || key_length == 0)
        return;
    uint32_t entries = UsableEntries(block);
    uint32_t index = FindEntry(block, entries, key, key_length);
    if (index == entries)
        return;
    /* The value ends at its terminator or at the end of its slot. */
    const char *value = ValueSlot(block, index);
    const char *end = memchr(value, '\0', block->ValueWidth);
    size_t length = end ? (size_t)(end - value) : block->ValueWidth;
    if (length > out_size - 1)
        length = out_size - 1;
    memcpy(out, value, length);
    out[length] = '\0';
}

void SetVariable(HostParamBlock *block, const char *name, const char *value)
{
    char key[VARIABLE_KEY_SIZE];
    size_t key_length = BuildKey(name, key);
    if (block == NULL || key_length == 0)
        return;
    if (block->NameSlots == NULL || block->ValueSlots == NULL)
        return; /* no entries and no room */
    uint32_t entries = UsableEntries(block);
    uint32_t index = FindEntry(block, entries, key, key_length);
    if (index < entries) {
        StoreInSlot(ValueSlot(block, index), block->ValueWidth, value);
        return;
    }
    if (entries != block->VariableCount || entries >= block->VariableCapacity)
        return; /* full, or not a table we can append to */
    if (key_length + 1 > block->NameWidth || block->ValueWidth == 0)
        return; /* a cut key would name another variable */
    /* Name first, then the count, then the value. */
    memcpy(NameSlot(block, index), key, key_length + 1);
    block->VariableCount = index + 1;
    StoreInSlot(ValueSlot(block, index), block->ValueWidth, value);
}
