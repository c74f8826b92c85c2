// Export CompareVersions: "first, second" -> variable "VersionDelta".
#include <array>

#include "host/parameters.h"
#include "host/variables.h"
#include "qvsetup.h"
#include "text/text.h"
#include "version/version_numbers.h"

QVSETUP_API int32_t QVSETUP_CALL CompareVersions(HostParamBlock *block)
{
    using namespace qv;
    if (block == nullptr)
        return 0;
    const host::ParameterList list = host::SplitParameter(block);
    std::array<char, text::kDecimalSize> buffer;
    std::string_view delta; // "" with fewer than two items
    if (host::HasItems(list, 2)) {
        const int32_t result = version::CompareVersionStrings(host::ParameterItem(list, 1),
                                                              host::ParameterItem(list, 2));
        delta = text::FormatDecimal(result, buffer);
    }
    host::SetVariable(*block, "VersionDelta", delta);
    return 0;
}
