// Export IsQarvellClientRunning: 1 when a top-level window of one of the
// client's two window classes exists, else 0.
#include <array>

#include "platform/window.h"
#include "qvsetup.h"

namespace {

// Asked in this order; the second only when the first is absent.
constexpr std::array<const char *, 2> kClientWindowClasses = {"QarvellWobexAppClass",
                                                              "OverHereVornt"};

} // namespace

QVSETUP_API int32_t QVSETUP_CALL IsQarvellClientRunning(HostParamBlock * /*block: not read*/)
{
    for (const char *window_class : kClientWindowClasses)
        if (qv::platform::WindowClassExists(window_class))
            return 1;
    return 0;
}
