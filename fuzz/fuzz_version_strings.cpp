// CompareVersionStrings on arbitrary pairs: it finds every string equal to
// itself, and gives for (b, a) the negation of its result for (a, b), except
// where the first differing components are exactly 2^31 apart (the sign of
// their difference is then the same both ways). The input is split at its
// first zero byte; a zero byte inside the second part ends it, as it would
// for a host's C string.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "version/version_numbers.h"

namespace {

using qv::version::CompareVersionStrings;
using qv::version::NextVersionNumber;

// True when the first differing components of a and b are 2^31 apart.
bool DifferByHalfRange(std::string_view a, std::string_view b)
{
    while (!a.empty() || !b.empty()) {
        const int32_t x = NextVersionNumber(a);
        const int32_t y = NextVersionNumber(b);
        if (x != y)
            return static_cast<uint32_t>(x) - static_cast<uint32_t>(y) == 0x80000000u;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    const std::size_t zero = input.find('\0');
    const std::string_view a = input.substr(0, zero != input.npos ? zero : size / 2);
    std::string_view b = input.substr(zero != input.npos ? zero + 1 : size / 2);
    b = b.substr(0, b.find('\0'));

    const int32_t ab = CompareVersionStrings(a, b);
    const int32_t ba = CompareVersionStrings(b, a);
    if (CompareVersionStrings(a, a) != 0 || CompareVersionStrings(b, b) != 0)
        std::abort(); // a string differs from itself
    if (ab != -ba && !DifferByHalfRange(a, b))
        std::abort(); // not antisymmetric
    return 0;
}
