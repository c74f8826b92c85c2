// Hostile calls of the three version exports. The input is decoded into a
// whole call: a variable table (capacity, slot widths, entries with keys
// that nearly match, duplicates, values longer than their slots, a count
// that may exceed the capacity), a parameter text or none, and which export
// to call. Each slot array is allocated at exactly capacity x width bytes,
// so AddressSanitizer sees any access past it. After the call:
//   - the count is never above the capacity unless it already was,
//   - only the export's own variable changed (one value slot, or one
//     appended entry),
//   - the caller's parameter text is unchanged,
//   - a changed value is terminated inside its slot.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "qvsetup.h"

namespace {

struct Input {
    const uint8_t *data;
    std::size_t size;

    uint8_t TakeByte()
    {
        if (size == 0)
            return 0;
        size--;
        return *data++;
    }

    // Up to `max` bytes of text, ended by a zero byte in the input.
    std::string_view TakeText(std::size_t max)
    {
        const auto *start = reinterpret_cast<const char *>(data);
        std::size_t n = 0;
        while (size > 0 && n < max && *data != 0) {
            TakeByte();
            n++;
        }
        if (size > 0 && n < max)
            TakeByte(); // the zero byte
        return {start, n};
    }
};

constexpr std::array<std::string_view, 10> kNearKeys = {
    "%VersionDelta%",  "%FileVersion%", "%FILEVERSION%",
    "%VersionDelt%",   "VersionDelta",  "%versiondelta%",
    "%FileVersion",    "FILEVERSION%",  "%%",
    "%VersionDelta%x",
};

struct Export {
    QvSetupExport function;
    std::string_view key;
};

constexpr std::array<Export, 4> kExports = {{
    {GetFileVersion, "%FileVersion%"},
    {NormalizeMSIEVersion, "%FILEVERSION%"},
    {CompareVersions, "%VersionDelta%"},
    {GetFileVersionEx, "%FileVersion%"},
}};

// A slot array of exactly `size` bytes, so AddressSanitizer sees any access
// past it; an empty one still has an address of its own.
struct SlotArray {
    explicit SlotArray(std::size_t n) : size(n), bytes(std::make_unique<char[]>(n)) {}
    SlotArray(const SlotArray &other) : SlotArray(other.size)
    {
        std::memcpy(bytes.get(), other.bytes.get(), size);
    }
    char *At(std::size_t offset) const { return bytes.get() + offset; }
    bool operator==(const SlotArray &other) const
    {
        return size == other.size && std::memcmp(bytes.get(), other.bytes.get(), size) == 0;
    }

    std::size_t size;
    std::unique_ptr<char[]> bytes;
};

// Copies `text` and its terminator into a slot of `width` bytes, cut to it.
void WriteSlot(char *slot, uint32_t width, std::string_view text)
{
    std::copy_n(text.begin(), std::min<std::size_t>(text.size(), width), slot);
    if (text.size() < width)
        slot[text.size()] = '\0';
}

// Index of the first entry the library may match for `key`, or `entries`.
uint32_t FirstMatch(const SlotArray &names, uint32_t width, uint32_t entries, std::string_view key)
{
    const std::size_t need = key.size() + 1;
    if (need > width)
        return entries;
    for (uint32_t i = 0; i < entries; i++) {
        const char *slot = names.At(std::size_t{i} * width);
        if (std::memcmp(slot, key.data(), key.size()) == 0 && slot[key.size()] == '\0')
            return i;
    }
    return entries;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    Input in{data, size};
    const Export &call = kExports[in.TakeByte() % kExports.size()];
    const uint32_t capacity = in.TakeByte() % 9;
    const uint32_t name_width = in.TakeByte() % 40;
    const uint32_t value_width = in.TakeByte() % 300;
    const uint32_t count = in.TakeByte() % 12; // may exceed the capacity
    const bool has_text = in.TakeByte() & 1;

    const std::size_t names_size = std::size_t{capacity} * name_width;
    const std::size_t values_size = std::size_t{capacity} * value_width;
    // Slot bytes come from the input; keys and values are laid over them.
    SlotArray names(names_size), values(values_size);
    for (std::size_t i = 0; i < names_size; i++)
        *names.At(i) = static_cast<char>(in.TakeByte());
    for (std::size_t i = 0; i < values_size; i++)
        *values.At(i) = static_cast<char>(in.TakeByte());
    for (uint32_t i = 0; i < capacity && i < count; i++) {
        const uint8_t choice = in.TakeByte();
        if (choice & 0x80)
            WriteSlot(names.At(std::size_t{i} * name_width), name_width, kNearKeys[choice % 10]);
        WriteSlot(values.At(std::size_t{i} * value_width), value_width, in.TakeText(399));
    }
    const std::string text(in.TakeText(511));
    const std::string text_before = text;
    const SlotArray names_before = names, values_before = values;

    HostParamBlock block = {};
    block.VariableCapacity = capacity;
    block.NameWidth = name_width;
    block.ValueWidth = value_width;
    block.VariableCount = count;
    block.NameSlots = names.At(0);
    block.ValueSlots = values.At(0);
    block.ParameterText = has_text ? text.c_str() : nullptr;

    call.function(&block);

    if (text != text_before)
        std::abort(); // the parameter text was modified
    if (block.VariableCount > capacity && block.VariableCount != count)
        std::abort(); // the count rose past the capacity
    const bool appended = block.VariableCount == count + 1;
    if (block.VariableCount != count && !(appended && count < capacity))
        std::abort(); // more than one entry appended

    const uint32_t entries = std::min(count, capacity);
    const uint32_t target = FirstMatch(names_before, name_width, entries, call.key);
    SlotArray names_expected = names_before;
    if (appended) {
        if (target != entries)
            std::abort(); // appended although the variable existed
        char *slot = names_expected.At(std::size_t{target} * name_width);
        std::memcpy(slot, call.key.data(), call.key.size());
        slot[call.key.size()] = '\0';
    }
    if (names != names_expected)
        std::abort(); // a name slot changed, or the appended one lacks the key
    // The one value slot that may change: the variable's, when it exists or
    // was appended.
    const uint32_t allowed = target < entries || appended ? target : UINT32_MAX;
    for (uint32_t i = 0; i < capacity; i++) {
        const char *slot = values.At(std::size_t{i} * value_width);
        const char *before = values_before.At(std::size_t{i} * value_width);
        const bool changed = std::memcmp(slot, before, value_width) != 0;
        if (changed && i != allowed)
            std::abort(); // another variable's value changed
        if (changed && std::memchr(slot, '\0', value_width) == nullptr)
            std::abort(); // the written value is not terminated in its slot
    }
    return 0;
}
