/* Calls CompareVersions through the installed header and library and checks
 * what lands in the variable table. */
#include <stdio.h>
#include <string.h>

#include <qvsetup.h>

int main(void)
{
    char names[4][32] = {{0}};
    char values[4][32] = {{0}};
    HostParamBlock block;
    memset(&block, 0, sizeof block);
    block.VariableCapacity = 4;
    block.NameWidth = sizeof names[0];
    block.ValueWidth = sizeof values[0];
    block.NameSlots = names[0];
    block.ValueSlots = values[0];
    block.ParameterText = "4.72.3110, 5.0.2614.3500";
    int32_t result = CompareVersions(&block);
    printf("return=%d %s=%s\n", (int)result, names[0], values[0]);
    return result == 0 && block.VariableCount == 1 && strcmp(names[0], "%VersionDelta%") == 0 &&
                   strcmp(values[0], "-1") == 0
               ? 0
               : 1;
}
