// Hostile calls of the three version exports. The input is decoded into a
// whole call: a variable table (capacity, slot widths, entries with keys
// that nearly match, duplicates, values longer than their slots, a count
// that may exceed the capacity), a parameter text or none, and which export
// to call. Each slot array is allocated at exactly capacity x width bytes,
// so AddressSanitizer sees any access past it. After the call:
//   - the block's host fields are unchanged,
//   - the count is never above the capacity unless it already was,
//   - only the export's own variable changed (one value slot, or one
//     appended entry),
//   - the caller's parameter text is unchanged,
//   - a changed slot is terminated inside it, the bytes after kept.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "host_table.h"
#include "qvsetup.h"

namespace {

// The input not yet taken; 0 bytes past its end.
struct Input {
    std::string_view rest;

    uint8_t TakeByte()
    {
        const uint8_t b = rest.empty() ? 0 : static_cast<uint8_t>(rest[0]);
        rest.remove_prefix(!rest.empty());
        return b;
    }

    // Up to `max` bytes of text, ended by a zero byte in the input.
    std::string_view TakeText(std::size_t max)
    {
        const std::string_view text = rest.substr(0, std::min(max, rest.find('\0')));
        rest.remove_prefix(std::min(rest.size(), text.size() + (text.size() < max)));
        return text;
    }
};

constexpr std::array<std::string_view, 10> kNearKeys = {
    "%VersionDelta%", "%FileVersion%", "%FILEVERSION%",
    "%VersionDelt%",  "VersionDelta",  "%versiondelta%",
    "%FileVersion",   "FILEVERSION%",  "%%",
    "%VersionDelta%x"};

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

// Index of the first entry the library may match for `key`, or `entries`.
uint32_t FirstMatch(std::string_view names, uint32_t width, uint32_t entries, std::string_view key)
{
    const std::string terminated = std::string(key) + '\0';
    for (uint32_t i = 0; i < entries; i++)
        if (names.substr(std::size_t{i} * width, width).starts_with(terminated))
            return i;
    return entries;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    Input in{{reinterpret_cast<const char *>(data), size}};
    const Export &call = kExports[in.TakeByte() % kExports.size()];
    const uint32_t capacity = in.TakeByte() % 9;
    const uint32_t name_width = in.TakeByte() % 40;
    const uint32_t value_width = in.TakeByte() % 300;
    const uint32_t count = in.TakeByte() % 12; // may exceed the capacity
    const bool has_text = in.TakeByte() & 1;

    // Each slot array is exactly capacity x width bytes, without guards.
    HostTable table(
        {.capacity = capacity, .name_width = name_width, .value_width = value_width, .guard = 0});
    // Slot bytes come from the input; keys and values are laid over them.
    std::string names(std::size_t{capacity} * name_width, '\0');
    std::string values(std::size_t{capacity} * value_width, '\0');
    for (std::string *slots : {&names, &values})
        for (char &c : *slots)
            c = static_cast<char>(in.TakeByte());
    table.SetSlotBytes(names, values);
    for (uint32_t i = 0; i < capacity && i < count; i++) {
        const uint8_t choice = in.TakeByte();
        if (choice & 0x80)
            table.SetName(i, kNearKeys[choice % 10]);
        table.SetValue(i, in.TakeText(399));
    }
    table.block()->VariableCount = count;
    const std::string text(in.TakeText(511));
    const std::string text_before = text;
    table.Parameters(has_text ? text.c_str() : nullptr);
    const std::string names_before(table.Names()), values_before(table.Values());

    call.function(table.block());

    const uint32_t now = table.count();
    if (text != text_before)
        std::abort(); // the parameter text was modified
    if (now > capacity && now != count)
        std::abort(); // the count rose past the capacity
    const bool appended = now == count + 1;
    if (now != count && !(appended && count < capacity))
        std::abort(); // more than one entry appended
    if (!table.Intact())
        std::abort(); // a host field changed, or a changed slot is not terminated in it

    const uint32_t entries = std::min(count, capacity);
    const uint32_t target = FirstMatch(names_before, name_width, entries, call.key);
    std::string names_expected = names_before;
    if (appended) {
        if (target != entries)
            std::abort(); // appended although the variable existed
        names_expected.replace(std::size_t{target} * name_width, call.key.size() + 1,
                               std::string(call.key) + '\0');
    }
    if (table.Names() != names_expected)
        std::abort(); // a name slot changed, or the appended one lacks the key
    // The one value slot that may change: the variable's, when it exists or
    // was appended.
    std::string values_expected = values_before;
    const std::size_t at = std::size_t{target} * value_width;
    if (target < entries || appended)
        values_expected.replace(at, value_width, table.Values().substr(at, value_width));
    if (table.Values() != values_expected)
        std::abort(); // another variable's value changed
    return 0;
}
