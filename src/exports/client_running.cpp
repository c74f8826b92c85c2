// Export IsQarvellClientRunning: 1 when the client's window exists, else 0.
#include "probe/client_probe.h"
#include "qvsetup.h"

QVSETUP_API int32_t QVSETUP_CALL IsQarvellClientRunning(HostParamBlock * /*block: not read*/)
{
    return qv::probe::ClientRunning() ? 1 : 0;
}
