/* Finding a file's version resource the way Wine 8's GetFileVersionInfo*A
 * find it: type 16, id 1 of a PE image, or type 0x8010, id 0x8001 of a
 * 16-bit (NE) executable. Only the headers, the section table, the resource
 * directory path and the resource itself are read. */
#ifndef QV_FILEINFO_PE_RESOURCE_H
#define QV_FILEINFO_PE_RESOURCE_H

#include <stddef.h>
#include <stdint.h>

#include "../platform/platform.h"

#ifdef __cplusplus
extern "C" {
#endif

enum { kFileHeadSize = 8192, kFileWindowSize = 8192, kMaxImageSections = 96 };

/* An open file with its first 8 KiB already read (all of a small file), and
 * the last 8 KiB read elsewhere kept for the reads that follow. */
typedef struct FileImage {
    PlatformFile *file;
    uint64_t size;
    uint8_t head[kFileHeadSize];
    size_t head_length;
    uint8_t window[kFileWindowSize];
    uint64_t window_start;
    size_t window_length;
} FileImage;

/* Bytes [0, backed) of a view are the file's bytes from `start` on, bytes
 * [backed, length) read as zeros, and nothing past `length` can be read. */
typedef struct FileView {
    uint64_t start;
    uint64_t backed;
    uint64_t length;
} FileView;

/* One section of a file mapped as an image: file bytes from `file_start`
 * at [rva, rva + file_size), zeros up to rva + zero_end (0: nothing mapped),
 * and the pages [protect_start, protect_end) readable or not. */
typedef struct MappedSection {
    uint32_t rva;
    uint32_t file_start;
    uint32_t file_size;
    uint32_t zero_end;
    uint32_t protect_start;
    uint32_t protect_end;
    int readable;
} MappedSection;

/* A file mapped as an image, as Wine's loader lays it out: the headers at
 * 0, each section at its address (later ones over earlier ones), zeros
 * elsewhere, nothing at or past `size`. A flat image is the file at 0. */
typedef struct ImageMap {
    uint64_t size;
    uint32_t header_size;
    int flat;
    int ordered;        /* sections in address order, none over another */
    unsigned count;
    MappedSection sections[kMaxImageSections];
} ImageMap;

typedef struct VersionLocation {
    uint32_t size;      /* the resource's length as the directory or table gives it */
    int in_image;       /* 1: at `start` of `image`; 0: at file offset `start` */
    int sixteen_bit;    /* 1: from an NE executable */
    uint64_t start;
    ImageMap image;
} VersionLocation;

int OpenFileImage(FileImage *image, const char *path);
void CloseFileImage(FileImage *image);

/* Copies `count` bytes at `offset` of `view`; 0 when they are not all
 * inside the view or the file cannot be read. */
int ReadView(FileImage *image, const FileView *view, uint64_t offset, void *out,
             size_t count);

/* 1 and the location when the file has a version resource. `path`
 * decides only whether the data-file mapping is tried (see the .c file). */
int LocateVersionResource(FileImage *image, const char *path, VersionLocation *location);

/* Copies the first `count` bytes of the resource as Wine does: from the
 * image, all or nothing (0: Wine would fault); from the file, up to its end
 * (the rest of `out` is left as it was). */
int ReadVersionData(FileImage *image, const VersionLocation *location, uint32_t count,
                    void *out);

#ifdef __cplusplus
}
#endif

#endif
