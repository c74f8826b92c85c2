/* Export GetFileVersion: "path[, field]" -> variable "FileVersion". */
#include <stdlib.h>

#include "qvsetup.h"

#include "../host/parameters.h"
#include "../host/variables.h"
#include "version_field.h"

QVSETUP_API int32_t QVSETUP_CALL GetFileVersion(HostParamBlock *block)
{
    if (block == NULL)
        return 0;
    uint32_t count;
    ParameterList *list = SplitParameter(block, &count);
    char *value = NULL;
    if (count >= 2)
        value = QueryVersionField(list->item[1], count >= 3 ? list->item[2] : "FileVersion");
    SetVariable(block, "FileVersion", value != NULL ? value : "");
    free(value);
    FreeParameterList(list);
    return 0;
}
