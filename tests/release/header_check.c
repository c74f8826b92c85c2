/* Compiled as strict C99 and as C++: qvsetup.h must be valid in both, and its
 * version macros must be the project's version. */
#include <qvsetup.h>

#include <stdio.h>
#include <string.h>

#if QVSETUP_VERSION_MAJOR != QV_PROJECT_VERSION_MAJOR || \
    QVSETUP_VERSION_MINOR != QV_PROJECT_VERSION_MINOR || \
    QVSETUP_VERSION_PATCH != QV_PROJECT_VERSION_PATCH
#error "QVSETUP_VERSION_MAJOR/MINOR/PATCH differ from the project version"
#endif

int main(void)
{
    if (strcmp(QVSETUP_VERSION_STRING, QV_PROJECT_VERSION) != 0) {
        printf("QVSETUP_VERSION_STRING is \"%s\", the project version \"%s\"\n",
               QVSETUP_VERSION_STRING, QV_PROJECT_VERSION);
        return 1;
    }
    printf("qvsetup.h %s\n", QVSETUP_VERSION_STRING);
    return 0;
}
