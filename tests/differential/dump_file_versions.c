/* Calls the loaded module's GetFileVersion for every file named in a list
 * and every field below, and prints one line per call:
 *   <path as listed> TAB <field> TAB <value in hex>
 * The Windows build (under Wine, the system's version functions) and the
 * portable build (the project's own reader) must print the same lines.
 *   dump_file_versions LIST_FILE */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "loader/module_loader.h"
#include "qvsetup.h"

static const char *const kFields[] = {
    "FileVersion", "CompanyName", "FileDescription", "InternalName", "LegalCopyright",
    "OriginalFilename", "ProductName", "ProductVersion", "Comments", "companyname", "",
};

enum { kValueWidth = 65536 };

static void DumpOne(QvSetupExport get_file_version, const char *path, const char *listed,
                    char *names, char *values)
{
    for (size_t f = 0; f < sizeof kFields / sizeof kFields[0]; f++) {
        char parameters[8192];
        snprintf(parameters, sizeof parameters, "%s,%s", path, kFields[f]);
        HostParamBlock block;
        memset(&block, 0, sizeof block);
        block.VariableCapacity = 1;
        block.NameWidth = 64;
        block.ValueWidth = kValueWidth;
        block.NameSlots = names;
        block.ValueSlots = values;
        block.ParameterText = parameters;
        get_file_version(&block);
        printf("%s\t%s\t", listed, kFields[f]);
        for (const unsigned char *p = (const unsigned char *)values; block.VariableCount && *p; p++)
            printf("%02x", *p);
        putchar('\n');
    }
}

int main(int argc, char **argv)
{
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY); /* the same bytes as on Linux */
#endif
    if (argc != 2) {
        fprintf(stderr, "usage: dump_file_versions LIST_FILE\n");
        return 2;
    }
    char module_path[4096];
    LoadedModule *module = NULL;
    if (DefaultModulePath(module_path, sizeof module_path))
        module = OpenModule(module_path);
    QvSetupExport get_file_version = module ? FindModuleExport(module, "GetFileVersion", 0) : NULL;
    FILE *list = fopen(argv[1], "r");
    char *names = calloc(64, 1);
    char *values = calloc(kValueWidth, 1);
    if (get_file_version == NULL || list == NULL || names == NULL || values == NULL) {
        fprintf(stderr, "dump_file_versions: cannot load the module or read the list\n");
        return 2;
    }
    char line[4096];
    while (fgets(line, sizeof line, list) != NULL) {
        line[strcspn(line, "\r\n")] = '\0';
        if (line[0] == '\0')
            continue;
        char path[4200];
#ifdef _WIN32
        /* A Unix path under Wine: drive Z: is the root. */
        snprintf(path, sizeof path, "%s%s", line[0] == '/' ? "Z:" : "", line);
#else
        snprintf(path, sizeof path, "%s", line);
#endif
        DumpOne(get_file_version, path, line, names, values);
    }
    fclose(list);
    free(names);
    free(values);
    CloseModule(module);
    return 0;
}
