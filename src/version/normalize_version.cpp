// Export NormalizeMSIEVersion: variable "FILEVERSION" a.b.c -> a.b.0.c.
#include <array>
#include <cstring>

#include "host/parameters.h"
#include "host/variables.h"
#include "qvsetup.h"
#include "text/text.h"
#include "version/version_numbers.h"

namespace {

// The value is read cut at 255 characters.
constexpr std::size_t kVersionTextSize = 256;

} // namespace

QVSETUP_API int32_t QVSETUP_CALL NormalizeMSIEVersion(HostParamBlock *block)
{
    using namespace qv;
    if (block == nullptr)
        return 0;
    std::array<char, kVersionTextSize> work;
    std::string_view cursor = host::TrimBlanks(host::GetVariable(*block, "FILEVERSION", work));
    const int32_t major = version::NextVersionNumber(cursor);
    const int32_t minor = version::NextVersionNumber(cursor);
    const int32_t build = version::NextVersionNumber(cursor);
    // Anything left is a fourth component (or text that is not a version):
    // the value is already in four-part form or not ours to rewrite.
    if (!cursor.empty())
        return 0;

    // "a.b.0.c": three numbers of at most 11 characters and four more.
    std::array<char, 4 * text::kDecimalSize> value;
    std::size_t length = 0;
    const auto append = [&value, &length](std::string_view piece) {
        std::memcpy(value.data() + length, piece.data(), piece.size());
        length += piece.size();
    };
    std::array<char, text::kDecimalSize> number;
    append(text::FormatDecimal(major, number));
    append(".");
    append(text::FormatDecimal(minor, number));
    append(".0.");
    append(text::FormatDecimal(build, number));
    host::SetVariable(*block, "FILEVERSION", {value.data(), length});
    return 0;
}
