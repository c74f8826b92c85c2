// Bounds-checked reads of little-endian values from untrusted bytes: every
// byte that came from a file is read through a ByteView.
#ifndef QV_READER_BYTE_VIEW_H
#define QV_READER_BYTE_VIEW_H

#include <bit>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

namespace qv::reader {

// True when [offset, offset + count) lies inside [0, limit), without
// overflow.
constexpr bool RangeInside(uint64_t offset, uint64_t count, uint64_t limit)
{
    return offset <= limit && count <= limit - offset;
}

// Bytes that may not be trusted, read only through checked offsets.
struct ByteView {
    std::span<const uint8_t> bytes;

    constexpr uint64_t size() const { return bytes.size(); }

    // The little-endian value at `offset`; none when it is not all inside.
    // One unaligned load: the builds are all for little-endian x86.
    template <std::unsigned_integral T>
    std::optional<T> Read(uint64_t offset) const
    {
        static_assert(std::endian::native == std::endian::little);
        if (!RangeInside(offset, sizeof(T), bytes.size()))
            return std::nullopt;
        T value;
        std::memcpy(&value, bytes.data() + offset, sizeof value);
        return value;
    }

    // The same, 0 for a value that is not all inside: for fields of a
    // header read into a zero-filled buffer of its full size.
    template <std::unsigned_integral T>
    T ReadOrZero(uint64_t offset) const
    {
        return Read<T>(offset).value_or(0);
    }

    // Copies out.size() bytes at `offset`; false (nothing copied) when they
    // are not all inside.
    bool Copy(uint64_t offset, std::span<uint8_t> out) const
    {
        if (!RangeInside(offset, out.size(), bytes.size()))
            return false;
        if (!out.empty())
            std::memcpy(out.data(), bytes.data() + offset, out.size());
        return true;
    }
};

} // namespace qv::reader

#endif
