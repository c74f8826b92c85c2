#include "reader/cp1252.h"

#include <algorithm>
#include <array>
#include <iterator>

#include "reader/cp1252_table.h"

namespace qv::reader {

uint8_t Cp1252FromUtf16(uint16_t unit)
{
    // ASCII maps to itself; the table starts above it.
    if (unit < 0x80)
        return static_cast<uint8_t>(unit);
    const auto *entry =
        std::lower_bound(std::begin(kCp1252BestFit), std::end(kCp1252BestFit), unit,
                         [](const Cp1252BestFit &e, uint16_t u) { return e.unit < u; });
    if (entry != std::end(kCp1252BestFit) && entry->unit == unit)
        return entry->byte;
    return unit < 0x100 ? static_cast<uint8_t>(unit) : static_cast<uint8_t>('?');
}

// Bytes 0x80..0x9F; the five unassigned ones stay C1 controls.
constexpr std::array<uint16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

uint16_t Utf16FromCp1252(uint8_t byte)
{
    if (byte >= 0x80 && byte <= 0x9F)
        return kHighControls[byte - 0x80];
    return byte;
}

} // namespace qv::reader
