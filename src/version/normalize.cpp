#include "version/normalize.h"

#include <cstring>

#include "version/version_numbers.h"

namespace qv::version {

bool NormalizeVersion(std::string_view value, NormalizedVersion &out)
{
    const int32_t major = NextVersionNumber(value);
    const int32_t minor = NextVersionNumber(value);
    const int32_t build = NextVersionNumber(value);
    if (!value.empty())
        return false;
    out.length = 0;
    const auto append = [&out](std::string_view piece) {
        std::memcpy(out.buffer.data() + out.length, piece.data(), piece.size());
        out.length += piece.size();
    };
    std::array<char, text::kDecimalSize> number;
    append(text::FormatDecimal(major, number));
    append(".");
    append(text::FormatDecimal(minor, number));
    append(".0.");
    append(text::FormatDecimal(build, number));
    return true;
}

} // namespace qv::version
