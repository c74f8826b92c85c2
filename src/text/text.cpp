#include "text/text.h"

namespace qv::text {

std::string_view FormatDecimal(int32_t value, std::span<char, kDecimalSize> out)
{
    char digits[10];
    std::size_t count = 0;
    const uint32_t bits = static_cast<uint32_t>(value);
    uint32_t magnitude = value < 0 ? 0u - bits : bits;
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10u);
        magnitude /= 10u;
    } while (magnitude != 0);
    std::size_t length = 0;
    if (value < 0)
        out[length++] = '-';
    while (count > 0)
        out[length++] = digits[--count];
    out[length] = '\0';
    return {out.data(), length};
}

} // namespace qv::text
