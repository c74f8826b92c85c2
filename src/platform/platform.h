// The platform layer: operating-system access and nothing else, the only
// code that differs between the Windows build (the system's functions) and
// the portable build (POSIX). Names start with Platform so that none can be
// mistaken for a Win32 call.
#ifndef QV_PLATFORM_PLATFORM_H
#define QV_PLATFORM_PLATFORM_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "memory/heap.h"

namespace qv::platform {

// How a path's bytes name a file: in the system's ANSI code page, as the
// exports receive it, or in UTF-8, which reaches every name the file system
// holds. The portable build hands both to the file system as they are.
enum class PathForm : uint8_t { ansi, utf8 };

// A file open for reading by offset.
struct PlatformFile;

void PlatformCloseFile(PlatformFile *file);
using FileHandle = memory::Owned<PlatformFile, PlatformCloseFile>;

// Empty when the file cannot be opened. On the portable build a FIFO opens
// at once (and then fails to read) instead of waiting for a writer.
FileHandle PlatformOpenFile(const char *path, PathForm form = PathForm::ansi);

// The file's size; none when it has none to go by (on the portable build,
// anything but a regular file).
std::optional<uint64_t> PlatformFileLength(PlatformFile &file);

// Reads up to out.size() bytes at `offset`: the count read (short only at
// the end of the file), none on error.
std::optional<std::size_t> PlatformReadAt(PlatformFile &file, uint64_t offset,
                                          std::span<uint8_t> out);

#ifdef _WIN32
// The system's VERSION.dll, loaded by its full path in the system folder.
struct PlatformVersionLibrary;

void PlatformFreeVersionLibrary(PlatformVersionLibrary *library);
using VersionLibraryHandle = memory::Owned<PlatformVersionLibrary, PlatformFreeVersionLibrary>;

// Empty when the library or one of its three functions cannot be had.
VersionLibraryHandle PlatformLoadVersionLibrary();

// GetFileVersionInfoSizeA, GetFileVersionInfoA and VerQueryValueA, called
// as they are: nothing is checked here. A UTF-8 path goes to the W
// functions instead (an unconvertible one names no file).
uint32_t PlatformGetFileVersionInfoSizeA(PlatformVersionLibrary &library, const char *path,
                                         uint32_t *handle, PathForm form = PathForm::ansi);
bool PlatformGetFileVersionInfoA(PlatformVersionLibrary &library, const char *path, uint32_t handle,
                                 uint32_t length, void *data, PathForm form = PathForm::ansi);
bool PlatformVerQueryValueA(PlatformVersionLibrary &library, const void *block,
                            const char *sub_block, void **buffer, unsigned *length);
// VerQueryValueW: for a string, *buffer at its UTF-16 units in the block
// and *length their count. `sub_block` is ASCII.
bool PlatformVerQueryValueW(PlatformVersionLibrary &library, const void *block,
                            const char *sub_block, void **buffer, unsigned *length);
#endif

} // namespace qv::platform

#endif
