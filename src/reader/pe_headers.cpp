#include "reader/pe_headers.h"

#include <algorithm>
#include <array>

#include "reader/pe_format.h"

namespace qv::reader {

using namespace pe;

std::optional<uint32_t> NewHeaderOffset(ByteView dos)
{
    if (dos.Read<uint16_t>(kDosMagicOffset) != kDosMagic)
        return std::nullopt;
    const uint32_t lfanew = dos.ReadOrZero<uint32_t>(kDosNewHeaderOffset);
    if (lfanew >= kNegativeSeek)
        return std::nullopt;
    return lfanew;
}

std::optional<uint32_t> ReadNewHeaderOffset(FileImage &image)
{
    std::array<uint8_t, kDosHeaderSize> dos;
    if (!ReadFileBytes(image, 0, dos))
        return std::nullopt;
    return NewHeaderOffset(ByteView{dos});
}

bool HasKnownMagic(const NtHeaders &h)
{
    return h.magic == kOptionalHeaderMagic32 || h.magic == kOptionalHeaderMagic64;
}

uint32_t ResourceDirectoryOffset(uint16_t magic)
{
    return kOptionalHeaderOffset +
           (magic == kOptionalHeaderMagic64 ? kDataDirectories64 : kDataDirectories32) +
           kResourceDirectoryIndex * kDataDirectorySize;
}

NtHeaders ParseNtHeaders(ByteView nt)
{
    NtHeaders h;
    h.signature = nt.ReadOrZero<uint32_t>(0);
    h.machine = nt.ReadOrZero<uint16_t>(kMachineOffset);
    h.section_count = nt.ReadOrZero<uint16_t>(kSectionCountOffset);
    h.optional_size = nt.ReadOrZero<uint16_t>(kOptionalHeaderSizeOffset);
    h.magic = nt.ReadOrZero<uint16_t>(kOptionalMagicOffset);
    h.section_alignment = nt.ReadOrZero<uint32_t>(kSectionAlignmentOffset);
    h.file_alignment = nt.ReadOrZero<uint32_t>(kFileAlignmentOffset);
    h.image_size = nt.ReadOrZero<uint32_t>(kSizeOfImageOffset);
    h.header_size = nt.ReadOrZero<uint32_t>(kSizeOfHeadersOffset);
    h.rva_count = nt.ReadOrZero<uint32_t>(h.magic == kOptionalHeaderMagic64 ? kRvaCount64Offset
                                                                            : kRvaCount32Offset);
    const uint32_t resource = ResourceDirectoryOffset(h.magic);
    h.resource_rva = nt.ReadOrZero<uint32_t>(resource + kDataDirectoryAddressOffset);
    h.resource_size = nt.ReadOrZero<uint32_t>(resource + kDataDirectorySizeOffset);
    return h;
}

std::optional<NtHeaders> ReadNtHeaders(FileImage &image, uint64_t nt)
{
    std::array<uint8_t, kNtHeaders64Size> bytes{};
    const uint64_t available = image.size - nt;
    const auto present = std::span(bytes).first(
        static_cast<std::size_t>(std::min<uint64_t>(available, bytes.size())));
    if (present.size() < kOptionalHeaderOffset || !ReadFileBytes(image, nt, present))
        return std::nullopt;
    return ParseNtHeaders(ByteView{bytes});
}

uint64_t SectionTableOffset(uint64_t nt, const NtHeaders &h)
{
    return nt + kOptionalHeaderOffset + h.optional_size;
}

std::optional<Section> ReadSection(FileImage &image, uint64_t table, unsigned index)
{
    std::array<uint8_t, kSectionHeaderSize> bytes;
    if (!ReadFileBytes(image, table + uint64_t{index} * kSectionHeaderSize, bytes))
        return std::nullopt;
    const ByteView b{bytes};
    return Section{b.ReadOrZero<uint32_t>(kSectionVirtualSizeOffset),
                   b.ReadOrZero<uint32_t>(kSectionAddressOffset),
                   b.ReadOrZero<uint32_t>(kSectionRawSizeOffset),
                   b.ReadOrZero<uint32_t>(kSectionRawPointerOffset),
                   b.ReadOrZero<uint32_t>(kSectionFlagsOffset)};
}

} // namespace qv::reader
