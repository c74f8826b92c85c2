// qvsetup.h compiled as C++11: its version macros must be the project's
// version. The header_c99 test compiles the same header as strict C99.
#include <qvsetup.h>

#include <cstdio>
#include <cstring>

#if QVSETUP_VERSION_MAJOR != QV_PROJECT_VERSION_MAJOR ||                                           \
    QVSETUP_VERSION_MINOR != QV_PROJECT_VERSION_MINOR ||                                           \
    QVSETUP_VERSION_PATCH != QV_PROJECT_VERSION_PATCH
#error "QVSETUP_VERSION_MAJOR/MINOR/PATCH differ from the project version"
#endif

int main()
{
    if (std::strcmp(QVSETUP_VERSION_STRING, QV_PROJECT_VERSION) != 0) {
        std::printf("QVSETUP_VERSION_STRING is \"%s\", the project version \"%s\"\n",
                    QVSETUP_VERSION_STRING, QV_PROJECT_VERSION);
        return 1;
    }
    std::printf("qvsetup.h %s\n", QVSETUP_VERSION_STRING);
    return 0;
}
