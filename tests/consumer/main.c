/* A C program on the installed header and library. */
#include <stdio.h>
#include <string.h>

#include <qvsetup.h>

int main(void)
{
    char names[32] = {0}, values[32] = {0};
    HostParamBlock block = {0};
    block.VariableCapacity = 1;
    block.NameWidth = block.ValueWidth = 32;
    block.NameSlots = names;
    block.ValueSlots = values;
    block.ParameterText = "4.72.3110, 5.0.2614.3500";
    printf("C: return=%d %s=%s\n", (int)CompareVersions(&block), names, values);
    return strcmp(names, "%VersionDelta%") == 0 && strcmp(values, "-1") == 0 ? 0 : 1;
}
