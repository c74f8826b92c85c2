// Calls CompareVersions and GetFileVersionEx (the first and the last export
// the import library gained) through the installed header and library and
// checks what lands in the variable table.
#include <cstdio>
#include <cstring>

#include <qvsetup.h>

int main()
{
    char names[4][32] = {};
    char values[4][32] = {};
    HostParamBlock block = {};
    block.VariableCapacity = 4;
    block.NameWidth = sizeof names[0];
    block.ValueWidth = sizeof values[0];
    block.NameSlots = names[0];
    block.ValueSlots = values[0];
    block.ParameterText = "4.72.3110, 5.0.2614.3500";
    const int32_t result = CompareVersions(&block);
    std::printf("return=%d %s=%s\n", static_cast<int>(result), names[0], values[0]);
    block.ParameterText = "no such file, CompanyName";
    const int32_t ex_result = GetFileVersionEx(&block);
    const bool ok = result == 0 && ex_result == 0 && block.VariableCount == 2 &&
                    std::strcmp(names[0], "%VersionDelta%") == 0 &&
                    std::strcmp(values[0], "-1") == 0 &&
                    std::strcmp(names[1], "%FileVersion%") == 0 && values[1][0] == '\0';
    return ok ? 0 : 1;
}
