/* Hostile calls of the three version exports. The input is decoded into a
 * whole call: a variable table (capacity, slot widths, entries with keys
 * that nearly match, duplicates, values longer than their slots, a count
 * that may exceed the capacity), a parameter text or none, and which export
 * to call. Each slot array is allocated at exactly capacity x width bytes,
 * so AddressSanitizer sees any access past it. After the call:
 *   - the count is never above the capacity unless it already was,
 *   - only the export's own variable changed (one value slot, or one
 *     appended entry),
 *   - the caller's parameter text is unchanged,
 *   - a changed value is terminated inside its slot. */
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "qvsetup.h"

typedef struct Input {
    const uint8_t *data;
    size_t size;
} Input;

static uint8_t TakeByte(Input *in)
{
    if (in->size == 0)
        return 0;
    in->size--;
    return *in->data++;
}

/* Up to `max` bytes of text, ended by a zero byte in the input. */
static size_t TakeText(Input *in, char *out, size_t max)
{
    size_t n = 0;
    while (in->size > 0 && n < max) {
        uint8_t c = TakeByte(in);
        if (c == 0)
            break;
        out[n++] = (char)c;
    }
    out[n] = '\0';
    return n;
}

static const char *const kNearKeys[] = {
    "%VersionDelta%", "%FileVersion%", "%FILEVERSION%", "%VersionDelt%", "VersionDelta",
    "%versiondelta%", "%FileVersion",  "FILEVERSION%",  "%%",            "%VersionDelta%x",
};

typedef struct Export {
    int32_t(QVSETUP_CALL *function)(HostParamBlock *);
    const char *key;
} Export;

static const Export kExports[] = {
    {GetFileVersion, "%FileVersion%"},
    {NormalizeMSIEVersion, "%FILEVERSION%"},
    {CompareVersions, "%VersionDelta%"},
};

/* Index of the first entry the library may match for `key`, or `entries`. */
static uint32_t FirstMatch(const char *names, uint32_t width, uint32_t entries, const char *key)
{
    size_t need = strlen(key) + 1;
    if (need > width)
        return entries;
    for (uint32_t i = 0; i < entries; i++)
        if (memcmp(names + (size_t)i * width, key, need) == 0)
            return i;
    return entries;
}

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Input in = {data, size};
    const Export *export = &kExports[TakeByte(&in) % 3];
    uint32_t capacity = TakeByte(&in) % 9;
    uint32_t name_width = TakeByte(&in) % 40;
    uint32_t value_width = TakeByte(&in) % 300;
    uint32_t count = TakeByte(&in) % 12; /* may exceed the capacity */
    int has_text = TakeByte(&in) & 1;

    char *names = malloc((size_t)capacity * name_width + 1);
    char *values = malloc((size_t)capacity * value_width + 1);
    size_t names_size = (size_t)capacity * name_width;
    size_t values_size = (size_t)capacity * value_width;
    /* Slot bytes come from the input; keys and values are laid over them. */
    for (size_t i = 0; i < names_size; i++)
        names[i] = (char)TakeByte(&in);
    for (size_t i = 0; i < values_size; i++)
        values[i] = (char)TakeByte(&in);
    for (uint32_t i = 0; i < capacity && i < count; i++) {
        uint8_t choice = TakeByte(&in);
        const char *key = kNearKeys[choice % 10];
        size_t length = strlen(key) + 1;
        if (choice & 0x80)
            memcpy(names + (size_t)i * name_width, key, length < name_width ? length : name_width);
        char value[400];
        size_t value_length = TakeText(&in, value, sizeof value - 1) + 1;
        memcpy(values + (size_t)i * value_width, value,
               value_length < value_width ? value_length : value_width);
    }
    char text[512];
    TakeText(&in, text, sizeof text - 1);
    char text_copy[512];
    memcpy(text_copy, text, sizeof text);

    char *names_before = malloc(names_size + 1);
    char *values_before = malloc(values_size + 1);
    memcpy(names_before, names, names_size);
    memcpy(values_before, values, values_size);

    HostParamBlock block;
    memset(&block, 0, sizeof block);
    block.VariableCapacity = capacity;
    block.NameWidth = name_width;
    block.ValueWidth = value_width;
    block.VariableCount = count;
    block.NameSlots = names;
    block.ValueSlots = values;
    block.ParameterText = has_text ? text : NULL;

    export->function(&block);

    if (memcmp(text, text_copy, sizeof text) != 0)
        abort(); /* the parameter text was modified */
    if (block.VariableCount > capacity && block.VariableCount != count)
        abort(); /* the count rose past the capacity */
    if (block.VariableCount != count && !(block.VariableCount == count + 1 && count < capacity))
        abort(); /* more than one entry appended */

    uint32_t entries = count < capacity ? count : capacity;
    uint32_t target = FirstMatch(names_before, name_width, entries, export->key);
    if (block.VariableCount == count + 1) {
        if (target != entries)
            abort(); /* appended although the variable existed */
        size_t key_size = strlen(export->key) + 1;
        if (memcmp(names + (size_t)target * name_width, export->key, key_size) != 0)
            abort(); /* the appended entry does not carry the key */
        memcpy(names_before + (size_t)target * name_width, export->key, key_size);
    }
    if (memcmp(names, names_before, names_size) != 0)
        abort(); /* a name slot changed */
    /* The one value slot that may change: the variable's, when it exists or
     * was appended. */
    uint32_t allowed = target < entries || block.VariableCount == count + 1 ? target : UINT32_MAX;
    for (uint32_t i = 0; i < capacity; i++) {
        const char *slot = values + (size_t)i * value_width;
        int changed = memcmp(slot, values_before + (size_t)i * value_width, value_width) != 0;
        if (changed && i != allowed)
            abort(); /* another variable's value changed */
        if (changed && memchr(slot, '\0', value_width) == NULL)
            abort(); /* the written value is not terminated in its slot */
    }
    free(names);
    free(values);
    free(names_before);
    free(values_before);
    return 0;
}
