// Export NormalizeMSIEVersion: variable "FILEVERSION" a.b.c -> a.b.0.c.
#include <array>

#include "host/parameters.h"
#include "host/variables.h"
#include "qvsetup.h"
#include "version/normalize.h"

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
    const auto value = host::TrimBlanks(host::GetVariable(*block, "FILEVERSION", work));
    version::NormalizedVersion normalized;
    if (version::NormalizeVersion(value, normalized))
        host::SetVariable(*block, "FILEVERSION", normalized.text());
    return 0;
}
