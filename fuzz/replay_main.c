/* Runs a fuzz target's LLVMFuzzerTestOneInput over files, as a plain
 * program: each file named on the command line, or each file of each
 * folder named. Used to replay the seed corpus in the tests on every
 * build, Windows included. */
#include <dirent.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

static int RunFile(const char *path)
{
    FILE *f = fopen(path, "rb");
    if (f == NULL) {
        fprintf(stderr, "replay: cannot read %s\n", path);
        return 1;
    }
    uint8_t *data = NULL;
    size_t size = 0, capacity = 0;
    for (;;) {
        if (size == capacity) {
            capacity = capacity ? capacity * 2 : 4096;
            uint8_t *grown = realloc(data, capacity);
            if (grown == NULL)
                break;
            data = grown;
        }
        size_t n = fread(data + size, 1, capacity - size, f);
        if (n == 0)
            break;
        size += n;
    }
    fclose(f);
    LLVMFuzzerTestOneInput(data, size);
    free(data);
    return 0;
}

int main(int argc, char **argv)
{
    int failed = 0, count = 0;
    for (int i = 1; i < argc; i++) {
        DIR *dir = opendir(argv[i]);
        if (dir == NULL) {
            failed |= RunFile(argv[i]);
            count++;
            continue;
        }
        struct dirent *entry;
        while ((entry = readdir(dir)) != NULL) {
            if (entry->d_name[0] == '.')
                continue;
            char path[4096];
            snprintf(path, sizeof path, "%s/%s", argv[i], entry->d_name);
            failed |= RunFile(path);
            count++;
        }
        closedir(dir);
    }
    printf("replayed %d inputs\n", count);
    return failed || count == 0;
}
