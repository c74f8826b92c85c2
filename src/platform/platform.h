/* The thin platform layer: the only code that differs between the Windows
 * build (the system's own functions) and the portable build (the project's
 * replacements). Everything else calls these. */
#ifndef QV_PLATFORM_H
#define QV_PLATFORM_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The version-information operations for one query, shaped as Windows'
 * 8-bit GetFileVersionInfoSizeA, GetFileVersionInfoA and VerQueryValueA:
 * the system's on Windows, the project's own reader elsewhere. */
typedef struct VersionApi VersionApi;

/* Null when the operations cannot be had; every query is then a miss.
 * Pair with CloseVersionApi. */
VersionApi *OpenVersionApi(void);
void CloseVersionApi(VersionApi *api);

uint32_t VersionInfoSize(VersionApi *api, const char *path, uint32_t *handle);
int VersionInfo(VersionApi *api, const char *path, uint32_t handle, uint32_t length,
                void *data);
int VersionQuery(VersionApi *api, const void *block, const char *sub_block, void **buffer,
                 unsigned *length);

/* Read-only file access by offset, for the version-resource reader. */
typedef struct PlatformFile PlatformFile;

/* Null when the file cannot be opened. */
PlatformFile *OpenFileReadOnly(const char *path);
/* 1 and the file's size in *size; 0 when it has none to go by (on the
 * portable build, anything but a regular file). */
int GetFileLength(PlatformFile *file, uint64_t *size);
/* Reads up to `length` bytes at `offset`; the count read (short at the end
 * of the file), or -1 on error. */
long ReadFileAt(PlatformFile *file, uint64_t offset, void *buffer, size_t length);
void CloseFile(PlatformFile *file);

#ifdef __cplusplus
}
#endif

#endif
