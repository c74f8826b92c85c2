#include "reader/resource_directory.h"

#include "reader/pe_format.h"

namespace qv::reader {

using namespace pe;

bool ReadSpace(const Space &space, uint64_t offset, std::span<uint8_t> out)
{
    return space.map != nullptr ? ReadImage(space.file, *space.map, offset, out)
                                : ReadView(space.file, space.view, offset, out);
}

std::optional<DirectoryEntry> ReadEntry(const Space &space, uint64_t directory, unsigned index)
{
    std::array<uint8_t, kResourceDirectoryEntrySize> bytes;
    if (!ReadSpace(space,
                   directory + kResourceDirectorySize +
                       uint64_t{index} * kResourceDirectoryEntrySize,
                   bytes))
        return std::nullopt;
    const ByteView b{bytes};
    const uint32_t name = b.ReadOrZero<uint32_t>(kResourceEntryNameOffset);
    const uint32_t data = b.ReadOrZero<uint32_t>(kResourceEntryDataOffset);
    return DirectoryEntry{static_cast<uint16_t>(name), (data & kResourceSubdirectoryFlag) != 0,
                          data & ~kResourceSubdirectoryFlag};
}

std::optional<EntryCounts> ReadCounts(const Space &space, uint64_t directory)
{
    const auto named = ReadSpaceValue<uint16_t>(space, directory + kResourceNamedCountOffset);
    const auto ids = ReadSpaceValue<uint16_t>(space, directory + kResourceIdCountOffset);
    if (!named || !ids)
        return std::nullopt;
    return EntryCounts{*named, *ids};
}

Lookup SearchId(const Space &space, uint64_t directory, int min, int max, uint16_t id,
                DirectoryEntry &entry)
{
    while (min <= max) {
        const int pos = (min + max) / 2;
        const auto read = ReadEntry(space, directory, static_cast<unsigned>(pos));
        if (!read)
            return Lookup::unreadable;
        entry = *read;
        if (entry.id == id)
            return Lookup::found;
        if (entry.id > id)
            max = pos - 1;
        else
            min = pos + 1;
    }
    return Lookup::absent;
}

} // namespace qv::reader
