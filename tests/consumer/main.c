/* A C program on the installed header and library: CompareVersions writes
 * VersionDelta=-1 into the host's table. */
#include <stdio.h>
#include <string.h>

#include <qvsetup.h>

int main(void)
{
    char names[2][32] = {{0}}, values[2][32] = {{0}};
    HostParamBlock block = {0};
    block.VariableCapacity = 2;
    block.NameWidth = block.ValueWidth = 32;
    block.NameSlots = names[0];
    block.ValueSlots = values[0];
    block.ParameterText = "4.72.3110, 5.0.2614.3500";
    const int32_t result = CompareVersions(&block);
    printf("C: return=%d %s=%s\n", (int)result, names[0], values[0]);
    return result == 0 && strcmp(names[0], "%VersionDelta%") == 0 && strcmp(values[0], "-1") == 0
               ? 0
               : 1;
}
