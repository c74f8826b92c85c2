// Reads of a file by offset, through a small cache: the first 8 KiB (all of
// a small file) and the last 8 KiB window read elsewhere. Every read the
// reader makes of a file goes through here, checked against its length.
#ifndef QV_READER_FILE_READS_H
#define QV_READER_FILE_READS_H

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/platform.h"
#include "reader/refusal.h"

namespace qv::reader {

inline constexpr std::size_t kFileHeadSize = 8192;
inline constexpr std::size_t kFileWindowSize = 8192;

// The loader's memory page: the unit in which it maps an image, and from
// whose start a small read fills the window.
inline constexpr uint32_t kPageSize = 4096;

// An offset at or past 2 GiB makes Wine's SetFilePointer fail: the read
// that follows starts wherever the previous one ended.
inline constexpr uint32_t kNegativeSeek = 0x80000000u;

// The most a 32-bit Wine process can be relied on to allocate or map in one
// piece; measured, see docs/reader.md.
inline constexpr uint32_t kLargestAllocation = 0x25000000u;

// An open file with its head already read, and the last window read
// elsewhere kept for the reads that follow. The buffers are written before
// they are read, so they start uninitialised: clearing 16 KiB would cost
// more than the reads.
struct FileImage {
    platform::FileHandle file;
    uint64_t size = 0;
    std::size_t head_length = 0;
    uint64_t window_start = 0;
    std::size_t window_length = 0;
    uint8_t head[kFileHeadSize];
    uint8_t window[kFileWindowSize];
};

// Opens the file and reads its head; why not when it cannot be read.
Refusal OpenFileImage(FileImage &image, const char *path,
                      platform::PathForm form = platform::PathForm::ansi);

// Reads of the resource itself go straight to the caller's buffer; the
// others go through the window.
enum class ReadMode { windowed, direct };

// Exactly out.size() file bytes at `offset`; false when they are not all
// in the file or cannot be read.
bool ReadFileBytes(FileImage &image, uint64_t offset, std::span<uint8_t> out,
                   ReadMode mode = ReadMode::windowed);

// The file's bytes at `offset`, zeros for those past its end.
bool ReadFileOrZeros(FileImage &image, uint64_t offset, std::span<uint8_t> out, ReadMode mode);

// Bytes [0, backed) of a view are the file's bytes from `start` on, bytes
// [backed, length) read as zeros, and nothing past `length` can be read.
struct FileView {
    uint64_t start;
    uint64_t backed;
    uint64_t length;
};

bool ReadView(FileImage &image, const FileView &view, uint64_t offset, std::span<uint8_t> out);

} // namespace qv::reader

#endif
