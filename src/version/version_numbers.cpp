#include "version/version_numbers.h"

#include <algorithm>
#include <cstddef>

#include "text/text.h"

namespace qv::version {
namespace {

using text::IsBlank;
using text::IsDigit;

// The decimal value of the text at the front of `s`: leading blanks, one
// optional sign, then digits up to the first non-digit, accumulated modulo
// 2^32 and read as a signed 32-bit number. Text without digits there is
// worth 0.
int32_t DecimalValue(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && IsBlank(s[i]))
        i++;
    const bool negative = i < s.size() && s[i] == '-';
    if (i < s.size() && (s[i] == '-' || s[i] == '+'))
        i++;
    uint32_t value = 0;
    for (; i < s.size() && IsDigit(s[i]); i++)
        value = value * 10u + static_cast<uint32_t>(s[i] - '0');
    return static_cast<int32_t>(negative ? 0u - value : value);
}

// Length of the component at the front of `s`: any non-digits, then the
// digits, up to the separator.
std::size_t ComponentLength(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && !IsDigit(s[i]))
        i++;
    while (i < s.size() && IsDigit(s[i]))
        i++;
    return i;
}

// NextVersionNumber on the text from `next` to `end`, with a short road for
// the usual component, digits right at the front. The comparison reads
// through plain pointers kept in registers, so this is inlined: views
// passed by reference to every step are measurably slower
// (docs/benchmarks.md).
inline int32_t NextComponent(const char *&next, const char *end)
{
    if (next == end)
        return 0;
    if (!IsDigit(*next)) {
        std::string_view rest(next, static_cast<std::size_t>(end - next));
        const int32_t value = NextVersionNumber(rest);
        next = rest.data();
        return value;
    }
    uint32_t value = 0;
    do
        value = value * 10u + static_cast<uint32_t>(*next++ - '0');
    while (next != end && IsDigit(*next));
    if (next != end)
        next++;
    return static_cast<int32_t>(value);
}

} // namespace

// The value read from the front stops at the separator without help: the
// separator is the first non-digit after the component's first digits.
int32_t NextVersionNumber(std::string_view &cursor)
{
    if (cursor.empty())
        return 0;
    const int32_t value = DecimalValue(cursor);
    cursor.remove_prefix(std::min(ComponentLength(cursor) + 1, cursor.size()));
    return value;
}

int32_t CompareVersionStrings(std::string_view first, std::string_view second)
{
    // Where the components can first differ. Within a common prefix both
    // strings split alike: a component ends after the first non-digit that
    // follows its digits, so every digit followed by a non-digit marks the
    // start of the next component. Components that end inside the prefix
    // are equal; comparing starts with the one the prefix ends in.
    const std::size_t common = std::min(first.size(), second.size());
    std::size_t start = 0;
    int32_t position = 1;
    bool after_digit = false;
    for (std::size_t i = 0; i < common && first[i] == second[i]; i++) {
        const bool digit = IsDigit(first[i]);
        if (after_digit && !digit) {
            start = i + 1;
            position++;
        }
        after_digit = digit;
    }

    const char *x_next = first.data() + start;
    const char *y_next = second.data() + start;
    const char *const x_end = first.data() + first.size();
    const char *const y_end = second.data() + second.size();
    for (; x_next != x_end || y_next != y_end; position++) {
        const int32_t x = NextComponent(x_next, x_end);
        const int32_t y = NextComponent(y_next, y_end);
        if (x != y) {
            const auto difference =
                static_cast<int32_t>(static_cast<uint32_t>(x) - static_cast<uint32_t>(y));
            return difference < 0 ? -position : position;
        }
    }
    return 0;
}

} // namespace qv::version
