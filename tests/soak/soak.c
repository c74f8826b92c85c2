/* Loads QVSETUP.dll and calls every export many times, then reports the
 * process's private memory before and after. Growth of 64 KiB or more
 * fails.
 *   soak.exe CALLS FILE_CALLS FIXTURE...
 * Each export but GetFileVersion is called CALLS times; GetFileVersion
 * FILE_CALLS times, cycling over the fixtures and fields. */
#include <windows.h>
#include <psapi.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "loader/module_loader.h"
#include "qvsetup.h"

/* The process's private committed memory (its commit charge). Wine 8
 * leaves PrivateUsage at 0 but keeps PagefileUsage, which Windows defines
 * as the same commit charge. */
static SIZE_T PrivateBytes(void)
{
    PROCESS_MEMORY_COUNTERS counters;
    memset(&counters, 0, sizeof counters);
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return 0;
    return counters.PagefileUsage;
}

typedef struct Table {
    char names[8][64];
    char values[8][1024];
    HostParamBlock block;
} Table;

static void ResetTable(Table *t, const char *parameters)
{
    memset(&t->block, 0, sizeof t->block);
    t->block.VariableCapacity = 8;
    t->block.NameWidth = sizeof t->names[0];
    t->block.ValueWidth = sizeof t->values[0];
    t->block.NameSlots = t->names[0];
    t->block.ValueSlots = t->values[0];
    t->block.ParameterText = parameters;
    strcpy(t->names[0], "%FILEVERSION%");
    strcpy(t->values[0], "4.72.3110");
    t->block.VariableCount = 1;
}

static const char *const kFields[] = {"FileVersion", "CompanyName", "ProductVersion", "Comments"};

static void Run(QvSetupExport exports[4], long calls, long file_calls, int fixtures,
                char **fixture)
{
    Table t;
    for (long i = 0; i < calls; i++) {
        ResetTable(&t, (i & 1) ? "4.72.3110, 5.0.2614.3500" : "1.2.3, 1.2.3.0");
        exports[2](&t.block);
        exports[1](&t.block);
        exports[3](&t.block);
    }
    char parameters[4096];
    for (long i = 0; i < file_calls; i++) {
        snprintf(parameters, sizeof parameters, "%s, %s", fixture[i % fixtures],
                 kFields[(i / fixtures) % 4]);
        ResetTable(&t, parameters);
        exports[0](&t.block);
    }
}

int main(int argc, char **argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: soak CALLS FILE_CALLS FIXTURE...\n");
        return 2;
    }
    long calls = atol(argv[1]);
    long file_calls = atol(argv[2]);
    char module_path[MAX_PATH];
    LoadedModule *module = NULL;
    if (DefaultModulePath(module_path, sizeof module_path))
        module = OpenModule(module_path);
    const char *names[4] = {"GetFileVersion", "NormalizeMSIEVersion", "CompareVersions",
                            "IsQarvellClientRunning"};
    QvSetupExport exports[4];
    for (int i = 0; i < 4; i++) {
        exports[i] = module ? FindModuleExport(module, names[i], 0) : NULL;
        if (exports[i] == NULL) {
            fprintf(stderr, "soak: cannot find %s\n", names[i]);
            return 2;
        }
    }
    /* A short warm-up first: the heap and the loader settle. */
    Run(exports, 1000, 100, argc - 3, argv + 3);
    SIZE_T before = PrivateBytes();
    Run(exports, calls, file_calls, argc - 3, argv + 3);
    SIZE_T after = PrivateBytes();
    long growth = (long)after - (long)before;
    printf("soak: %ld calls of each export, %ld of GetFileVersion; private bytes %lu -> %lu "
           "(growth %ld bytes)\n",
           calls, file_calls, (unsigned long)before, (unsigned long)after, growth);
    CloseModule(module);
    if (before == 0 || after == 0) {
        fprintf(stderr, "soak: the process's memory cannot be measured\n");
        return 1;
    }
    return growth < 64 * 1024 ? 0 : 1;
}
