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

#ifdef _WIN32
#define PLATFORM_CALL __stdcall
#else
#define PLATFORM_CALL
#endif

/* The three version-information operations, shaped as Windows' 8-bit
 * GetFileVersionInfoSizeA, GetFileVersionInfoA and VerQueryValueA. */
typedef uint32_t(PLATFORM_CALL *VersionInfoSizeFunction)(const char *path, uint32_t *handle);
typedef int(PLATFORM_CALL *VersionInfoFunction)(const char *path, uint32_t handle,
                                                uint32_t length, void *data);
typedef int(PLATFORM_CALL *VersionQueryFunction)(const void *block, const char *sub_block,
                                                 void **buffer, unsigned *length);

typedef struct VersionApi {
    void *module; /* the system's VERSION.dll while loaded (Windows) */
    VersionInfoSizeFunction GetSize;
    VersionInfoFunction GetInfo;
    VersionQueryFunction Query;
} VersionApi;

/* Makes the operations available for one call; 0 when they cannot be had,
 * and every query is then a miss. Pair with CloseVersionApi. */
int OpenVersionApi(VersionApi *api);
void CloseVersionApi(VersionApi *api);

/* Read-only file access by offset, for the version-resource reader. */
typedef struct PlatformFile PlatformFile;

/* Null when the file cannot be opened. */
PlatformFile *OpenFileReadOnly(const char *path);
/* 1 and the file's size in *size, else 0. */
int GetFileLength(PlatformFile *file, uint64_t *size);
/* Reads up to `length` bytes at `offset`; the count read (short at the end
 * of the file), or -1 on error. */
long ReadFileAt(PlatformFile *file, uint64_t offset, void *buffer, size_t length);
void CloseFile(PlatformFile *file);

/* 1 when a top-level window of the class exists, else 0. */
int WindowClassExists(const char *class_name);

#ifdef __cplusplus
}
#endif

#endif
