#include "reader/file_reads.h"

#include <algorithm>

#include "reader/byte_view.h"

namespace qv::reader {

// The largest read that goes through the window; larger ones go straight
// to the caller's buffer.
constexpr std::size_t kLargestWindowedRead = kFileWindowSize / 4;

Refusal OpenFileImage(FileImage &image, const char *path, platform::PathForm form)
{
    image.size = 0;
    image.head_length = 0;
    image.window_start = 0;
    image.window_length = 0;
    image.file = platform::PlatformOpenFile(path, form);
    if (!image.file)
        return Refusal::not_opened;
    // A file shorter than the head is all in it, and its length is known
    // without asking; only a longer one needs the file system's length.
    const auto n = platform::PlatformReadAt(*image.file, 0, image.head);
    if (!n)
        return Refusal::not_read;
    if (*n < sizeof image.head) {
        image.size = *n;
    } else {
        const auto length = platform::PlatformFileLength(*image.file);
        if (!length)
            return Refusal::not_read;
        image.size = *length;
    }
    image.head_length = *n;
    return Refusal::none;
}

// From the head or the last window when the bytes lie there. A small read
// elsewhere brings in the 8 KiB from the page it starts in, since the
// directory entries of one lookup are read one after another from a few
// places, often the first pages of the resource section.
bool ReadFileBytes(FileImage &image, uint64_t offset, std::span<uint8_t> out, ReadMode mode)
{
    if (ByteView{{image.head, image.head_length}}.Copy(offset, out))
        return true;
    if (!RangeInside(offset, out.size(), image.size))
        return false;
    if (offset >= image.window_start &&
        ByteView{{image.window, image.window_length}}.Copy(offset - image.window_start, out))
        return true;
    if (mode == ReadMode::direct || out.size() > kLargestWindowedRead)
        return platform::PlatformReadAt(*image.file, offset, out) == out.size();
    uint64_t start = offset - offset % kPageSize;
    if (offset + out.size() > start + kFileWindowSize)
        start = offset;
    const auto n = platform::PlatformReadAt(*image.file, start, image.window);
    image.window_start = start;
    image.window_length = n.value_or(0);
    return ByteView{{image.window, image.window_length}}.Copy(offset - start, out);
}

bool ReadFileOrZeros(FileImage &image, uint64_t offset, std::span<uint8_t> out, ReadMode mode)
{
    std::size_t present = 0;
    if (offset < image.size)
        present = static_cast<std::size_t>(std::min<uint64_t>(image.size - offset, out.size()));
    std::fill(out.begin() + present, out.end(), uint8_t{0});
    return present == 0 || ReadFileBytes(image, offset, out.first(present), mode);
}

bool ReadView(FileImage &image, const FileView &view, uint64_t offset, std::span<uint8_t> out)
{
    if (!RangeInside(offset, out.size(), view.length))
        return false;
    std::fill(out.begin(), out.end(), uint8_t{0});
    if (offset >= view.backed)
        return true;
    const uint64_t backed = std::min<uint64_t>(view.backed - offset, out.size());
    return ReadFileBytes(image, view.start + offset, out.first(static_cast<std::size_t>(backed)));
}

} // namespace qv::reader
