/* Export CompareVersions: "first, second" -> variable "VersionDelta". */
#include "qvsetup.h"

#include "../host/parameters.h"
#include "../host/variables.h"
#include "version_numbers.h"

QVSETUP_API int32_t QVSETUP_CALL CompareVersions(HostParamBlock *block)
{
    if (block == NULL)
        return 0;
    uint32_t count;
    ParameterList *list = SplitParameter(block, &count);
    char text[40] = "";
    if (count >= 3)
        FormatDecimal(CompareVersionStrings(list->item[1], list->item[2]), text);
    SetVariable(block, "VersionDelta", text);
    FreeParameterList(list);
    return 0;
}
