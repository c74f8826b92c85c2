/* Export IsQarvellClientRunning: 1 when a top-level window of one of the
 * client's two window classes exists, else 0. */
#include "qvsetup.h"

#include "../platform/window.h"

/* Asked in this order; the second only when the first is absent. */
static const char *const kClientWindowClasses[] = {"QarvellWobexAppClass", "OverHereVornt"};

QVSETUP_API int32_t QVSETUP_CALL IsQarvellClientRunning(HostParamBlock *block)
{
    (void)block;
    for (size_t i = 0; i < sizeof kClientWindowClasses / sizeof kClientWindowClasses[0]; i++)
        if (WindowClassExists(kClientWindowClasses[i]))
            return 1;
    return 0;
}
