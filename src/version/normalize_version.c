/* Export NormalizeMSIEVersion: variable "FILEVERSION" a.b.c -> a.b.0.c. */
#include <string.h>

#include "qvsetup.h"

#include "../host/parameters.h"
#include "../host/variables.h"
#include "version_numbers.h"

#define VERSION_TEXT_SIZE 256

/* Appends `value` in decimal at `out` and returns the position after it. */
static char *AppendDecimal(char *out, int32_t value)
{
    return out + FormatDecimal(value, out);
}

QVSETUP_API int32_t QVSETUP_CALL NormalizeMSIEVersion(HostParamBlock *block)
{
    if (block == NULL)
        return 0;
    char work[VERSION_TEXT_SIZE];
    GetVariable(block, "FILEVERSION", work, sizeof work);
    TrimBlanks(work);
    char *cursor = work;
    int32_t major = NextVersionNumber(&cursor);
    int32_t minor = NextVersionNumber(&cursor);
    int32_t build = NextVersionNumber(&cursor);
    /* Anything left is a fourth component (or text that is not a version):
     * the value is already in four-part form or not ours to rewrite. */
    if (*cursor != '\0')
        return 0;
    /* Four numbers of at most 11 characters and three dots fit easily. */
    char text[VERSION_TEXT_SIZE];
    char *end = AppendDecimal(text, major);
    *end++ = '.';
    end = AppendDecimal(end, minor);
    memcpy(end, ".0.", 3);
    end = AppendDecimal(end + 3, build);
    SetVariable(block, "FILEVERSION", text);
    return 0;
}
