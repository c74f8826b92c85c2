/* Export GetFileVersion: "path[, field]" -> variable "FileVersion". */
#include <stdlib.h>

#include "qvsetup.h"

#include "../host/c_interface.h"
#include "version_field.h"

QVSETUP_API int32_t QVSETUP_CALL GetFileVersion(HostParamBlock *block)
{
    if (block == NULL)
        return 0;
    uint32_t count;
    ParameterCopy *list = CopyParameters(block, &count);
    char *value = NULL;
    if (count >= 2)
        value = QueryVersionField(list->item[1], count >= 3 ? list->item[2] : "FileVersion");
    SetVariableText(block, "FileVersion", value != NULL ? value : "");
    free(value);
    FreeParameterCopy(list);
    return 0;
}
