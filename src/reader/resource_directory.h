// Resource directories as both PE lookups walk them: in the mapped image
// (ntdll) or in a copy of the section that holds them (kernelbase's parser).
#ifndef QV_READER_RESOURCE_DIRECTORY_H
#define QV_READER_RESOURCE_DIRECTORY_H

#include <array>
#include <concepts>
#include <cstdint>
#include <optional>
#include <span>

#include "reader/byte_view.h"
#include "reader/file_reads.h"
#include "reader/image.h"

namespace qv::reader {

// What a search for a directory entry or a header gives.
enum class Lookup { found, absent, unreadable };

// Where a lookup reads: the mapped image, or a view of the file.
struct Space {
    FileImage &file;
    const ImageMap *map;
    FileView view;
    uint32_t size; // the parser's bound on directory offsets
};

bool ReadSpace(const Space &space, uint64_t offset, std::span<uint8_t> out);

template <std::unsigned_integral T>
std::optional<T> ReadSpaceValue(const Space &space, uint64_t offset)
{
    std::array<uint8_t, sizeof(T)> bytes;
    if (!ReadSpace(space, offset, bytes))
        return std::nullopt;
    return ByteView{bytes}.Read<T>(0);
}

struct DirectoryEntry {
    uint16_t id;
    bool is_directory;
    uint32_t offset;
};

std::optional<DirectoryEntry> ReadEntry(const Space &space, uint64_t directory, unsigned index);

struct EntryCounts {
    int named;
    int ids;
};

std::optional<EntryCounts> ReadCounts(const Space &space, uint64_t directory);

// Binary search of the id entries [min, max].
Lookup SearchId(const Space &space, uint64_t directory, int min, int max, uint16_t id,
                DirectoryEntry &entry);

// The languages tried in order, for Wine in a U.S. English locale: neutral,
// the user's (en-US), its primary language with neutral sublanguage.
inline constexpr std::array<uint16_t, 3> kLanguages = {0x0000, 0x0409, 0x0009};

// The data entry of the first preferred language that `find` finds, and
// that language; stops at a directory it cannot read.
template <typename Find>
Lookup FindPreferredLanguage(Find find, uint64_t &data_entry, uint16_t &language)
{
    for (const uint16_t id : kLanguages) {
        const Lookup result = find(id, data_entry);
        if (result != Lookup::absent) {
            language = id;
            return result;
        }
    }
    return Lookup::absent;
}

} // namespace qv::reader

#endif
