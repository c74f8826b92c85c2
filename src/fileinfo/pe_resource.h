/* Finding a file's version resource (type 16, id 1) the way Wine 8's
 * GetFileVersionInfo*A find it, reading only the headers, the section
 * table, the resource directory path and the resource itself. */
#ifndef QV_FILEINFO_PE_RESOURCE_H
#define QV_FILEINFO_PE_RESOURCE_H

#include <stddef.h>
#include <stdint.h>

#include "../platform/platform.h"

#ifdef __cplusplus
extern "C" {
#endif

enum { kFileHeadSize = 8192, kFilePageSize = 4096 };

/* An open file with its first 8 KiB already read (all of a small file), and
 * the last page read elsewhere kept for the reads that follow. */
typedef struct FileImage {
    PlatformFile *file;
    uint64_t size;
    uint8_t head[kFileHeadSize];
    size_t head_length;
    uint8_t page[kFilePageSize];
    uint64_t page_start;
    size_t page_length;
} FileImage;

/* Bytes [0, backed) of a view are the file's bytes from `start` on, bytes
 * [backed, length) read as zeros, and nothing past `length` can be read. */
typedef struct FileView {
    uint64_t start;
    uint64_t backed;
    uint64_t length;
} FileView;

typedef struct VersionLocation {
    uint32_t size;    /* the resource's length as its directory entry gives it */
    FileView data;    /* where its bytes are; data.length 0 when unreachable */
    int short_reads;  /* 1: bytes past the file's end are simply not copied */
} VersionLocation;

int OpenFileImage(FileImage *image, const char *path);
void CloseFileImage(FileImage *image);

/* Copies `count` bytes at `offset` of `view`; 0 when they are not all
 * inside the view or the file cannot be read. */
int ReadView(FileImage *image, const FileView *view, uint64_t offset, void *out,
             size_t count);

/* 1 and the location when the file has a version resource. `path` decides
 * only whether the data-file mapping is tried (see the .c file). */
int LocateVersionResource(FileImage *image, const char *path, VersionLocation *location);

#ifdef __cplusplus
}
#endif

#endif
