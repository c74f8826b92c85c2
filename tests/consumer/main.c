/* CompareVersions from C, through the installed header and library. */
#include <stdio.h>
#include <string.h>

#include <qvsetup.h>

int main(void)
{
    char name[32] = {0}, value[32] = {0};
    HostParamBlock block = {0, 0, 1, 32, 32, 0, name, value, 0, 0, "4.72.3110, 5.0.2614.3500"};
    printf("C: return=%d %s=%s\n", (int)CompareVersions(&block), name, value);
    return strcmp(name, "%VersionDelta%") != 0 || strcmp(value, "-1") != 0;
}
