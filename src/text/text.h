// ASCII character classes and decimal formatting, shared by the host and
// version code. Only plain ASCII counts: no locale, and no byte of 0x80 or
// above is a blank, a digit or a letter.
#ifndef QV_TEXT_TEXT_H
#define QV_TEXT_TEXT_H

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace qv::text {

// Space, tab, line feed, vertical tab, form feed, carriage return.
constexpr bool IsBlank(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

constexpr bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// 'A' to 'Z' become 'a' to 'z'; every other byte, or UTF-16 code unit,
// stays as it is.
template <std::integral Unit>
constexpr Unit FoldAscii(Unit c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<Unit>(c - 'A' + 'a') : c;
}

// The longest decimal text of a 32-bit value, "-2147483648", and its
// terminator.
inline constexpr std::size_t kDecimalSize = 12;

// Writes `value` as "%d" does, terminated, into `out`; returns the text
// written, without the terminator.
std::string_view FormatDecimal(int32_t value, std::span<char, kDecimalSize> out);

} // namespace qv::text

#endif
